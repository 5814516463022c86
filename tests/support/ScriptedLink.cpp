// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedLink.h"

#include <algorithm>

QString HexBytes(const QByteArray &bytes) {
  QStringList parts;
  for (char c : bytes) parts << QString("%1").arg(uint8_t(c), 2, 16, QChar(u'0')).toUpper();
  return parts.join(u' ');
}

TScriptedLink::TScriptedLink(TFakeClock *clock) : FClock(clock ? clock : &Clock) {}

TScriptedLink &TScriptedLink::Expect(const QByteArray &bytes) {
  FScript.append({false, bytes, 0});
  Advance();
  return *this;
}

TScriptedLink &TScriptedLink::Expect(std::initializer_list<uint8_t> bytes) {
  return Expect(QByteArray(reinterpret_cast<const char *>(bytes.begin()), qsizetype(bytes.size())));
}

TScriptedLink &TScriptedLink::Reply(const QByteArray &bytes, qint64 delayMs) {
  FScript.append({true, bytes, delayMs});
  Advance();
  return *this;
}

TScriptedLink &TScriptedLink::Reply(std::initializer_list<uint8_t> bytes, qint64 delayMs) {
  return Reply(QByteArray(reinterpret_cast<const char *>(bytes.begin()), qsizetype(bytes.size())),
               delayMs);
}

void TScriptedLink::FailNext(const QString &call, uint32_t status) { FFailures[call] = status; }

bool TScriptedLink::Done() const {
  return FProblems.isEmpty() && FStep == FScript.size() && FPending.isEmpty();
}

QStringList TScriptedLink::Problems() const {
  QStringList problems = FProblems;
  if (!FPending.isEmpty()) problems << "unmatched bytes written: " + HexBytes(FPending);
  for (qsizetype i = FStep; i < FScript.size(); ++i)
    problems << QString(FScript[i].IsReply ? "reply not released: %1" : "bytes never written: %1")
                    .arg(HexBytes(FScript[i].Bytes));
  return problems;
}

bool TScriptedLink::Injected(const QString &call, uint32_t &status) {
  auto it = FFailures.find(call);
  if (it == FFailures.end()) return false;
  status = it.value();
  FFailures.erase(it);
  return true;
}

void TScriptedLink::Advance() {
  while (FStep < FScript.size()) {
    const TStep &step = FScript[FStep];
    if (step.IsReply) {
      for (char c : step.Bytes) FIncoming.append({uint8_t(c), FClock->Elapsed() + step.DelayMs});
      ++FStep;
      continue;
    }
    if (FPending.size() < step.Bytes.size()) {
      if (!step.Bytes.startsWith(FPending)) break;
      return;  // part of it written so far
    }
    if (!FPending.startsWith(step.Bytes)) break;
    FPending.remove(0, step.Bytes.size());
    ++FStep;
  }
  if (!FPending.isEmpty()) {
    const QString expected =
        FStep < FScript.size() ? HexBytes(FScript[FStep].Bytes) : QStringLiteral("nothing");
    FProblems << QString("wrote %1, expected %2").arg(HexBytes(FPending), expected);
    FPending.clear();
  }
}

uint32_t TScriptedLink::Available() const {
  uint32_t n = 0;
  for (const TIncoming &in : FIncoming) {
    if (in.At > FClock->Elapsed()) break;
    ++n;
  }
  return n;
}

uint32_t TScriptedLink::OpenEx(const QString &description, uint32_t flags) {
  Calls << QString("OpenEx(%1,%2)").arg(description).arg(flags);
  uint32_t status;
  if (Injected("OpenEx", status)) return status;
  FOpen = true;
  return LINK_OK;
}

uint32_t TScriptedLink::SetBaudRate(uint32_t baud) {
  Calls << QString("SetBaudRate(%1)").arg(baud);
  uint32_t status;
  return Injected("SetBaudRate", status) ? status : LINK_OK;
}

uint32_t TScriptedLink::SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                               uint8_t parity) {
  Calls << QString("SetDataCharacteristics(%1,%2,%3)").arg(wordLength).arg(stopBits).arg(parity);
  uint32_t status;
  return Injected("SetDataCharacteristics", status) ? status : LINK_OK;
}

uint32_t TScriptedLink::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
  Calls << QString("SetTimeouts(%1,%2)").arg(readMs).arg(writeMs);
  uint32_t status;
  return Injected("SetTimeouts", status) ? status : LINK_OK;
}

uint32_t TScriptedLink::Purge(uint32_t mask) {
  Calls << QString("Purge(%1)").arg(mask);
  uint32_t status;
  if (Injected("Purge", status)) return status;
  if (mask & 1) {
    // Only what has arrived is discarded; later replies still come.
    FIncoming.remove(0, Available());
  }
  return LINK_OK;
}

uint32_t TScriptedLink::Write(const uint8_t *buffer, uint32_t count, uint32_t *written) {
  const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(count));
  Calls << "Write(" + HexBytes(bytes) + ")";
  uint32_t status;
  if (Injected("Write", status)) return status;
  if (Injected("ShortWrite", status)) {
    *written = status;
    return LINK_OK;
  }
  FWritten += bytes;
  FWrites << bytes;
  FPending += bytes;
  *written = count;
  Advance();
  return LINK_OK;
}

bool TScriptedLink::SetCommMask(uint32_t mask) {
  Calls << QString("SetCommMask(%1)").arg(mask);
  return CommMaskResult;
}

uint32_t TScriptedLink::GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) {
  // Not recorded in Calls: a wait polls it many times.
  uint32_t status;
  if (Injected("GetStatus", status)) return status;
  *rxQueue = Available();
  *txQueue = 0;
  *eventStatus = 0;
  if (*rxQueue == 0) FClock->Advance(PollStepMs);
  return LINK_OK;
}

uint32_t TScriptedLink::Read(uint8_t *buffer, uint32_t count, uint32_t *read) {
  Calls << QString("Read(%1)").arg(count);
  uint32_t status;
  if (Injected("Read", status)) return status;
  const uint32_t n = std::min(count, Available());
  for (uint32_t i = 0; i < n; ++i) buffer[i] = FIncoming[i].Byte;
  FIncoming.remove(0, n);
  *read = n;
  return LINK_OK;
}

uint32_t TScriptedLink::Close() {
  Calls << "Close()";
  uint32_t status;
  if (Injected("Close", status)) return status;
  FOpen = false;
  return LINK_OK;
}
