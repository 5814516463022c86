// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "device/DeviceLink.h"

// A millisecond tick the test sets and advances by hand. Ticks() wraps at 2^32
// like the real counter; Elapsed() counts on without wrapping.
class TFakeClock : public TClock {
 public:
  explicit TFakeClock(uint32_t start = 0) : FStart(start) {}
  uint32_t Ticks() override {
    const uint32_t now = uint32_t(FStart + FElapsed);
    FElapsed += StepPerRead;
    return now;
  }
  // Milliseconds that pass with every reading of the clock (0: time stands
  // still until Advance). Lets a wait on a link that never blocks end.
  qint64 StepPerRead = 0;
  void Advance(qint64 ms) { FElapsed += ms; }
  qint64 Elapsed() const { return FElapsed; }

 private:
  uint32_t FStart;
  qint64 FElapsed = 0;
};

// A fake link that plays a script: the exact bytes the device must write, and
// the bytes the instrument answers, in order. A reply is released into the
// receive queue once every expectation before it has been met, after an
// optional delay on the fake clock. While nothing is waiting, GetStatus stands
// for the link's short blocking wait and advances the clock by PollStepMs.
//
//   TScriptedLink link;
//   link.Expect({0x50}).Reply({0x34}).Expect({0x01}).Reply({0x02});
//   TDevice device(&link, &link.Clock);
//   ... EXPECT_TRUE(link.Done()) << link.Problems().join("\n");
//
// Every call is recorded in Calls ("OpenEx(Veltravor controller,2)",
// "SetBaudRate(9600)", "Purge(3)", "Write(30 04)", "Close()", ...). A status
// can be injected for the next call of a given name.
class TScriptedLink : public TDeviceLink {
 public:
  // clock: not owned; null uses the link's own Clock.
  explicit TScriptedLink(TFakeClock *clock = nullptr);

  TFakeClock Clock;          // the default clock of this link
  qint64 PollStepMs = 1;     // fake time one empty GetStatus takes
  bool CommMaskResult = true;

  // The device must write exactly these bytes next (across one or more writes).
  TScriptedLink &Expect(const QByteArray &bytes);
  TScriptedLink &Expect(std::initializer_list<uint8_t> bytes);
  // These bytes arrive delayMs after every earlier expectation was met.
  TScriptedLink &Reply(const QByteArray &bytes, qint64 delayMs = 0);
  TScriptedLink &Reply(std::initializer_list<uint8_t> bytes, qint64 delayMs = 0);
  // The next call named `call` ("OpenEx", "Write", "GetStatus", ...) returns
  // status and does nothing else.
  void FailNext(const QString &call, uint32_t status);

  // Every expectation met, every reply released, nothing unexpected written.
  bool Done() const;
  // What went wrong: unexpected bytes, unmet expectations.
  QStringList Problems() const;
  // All bytes written, and each Write call's bytes.
  QByteArray Written() const { return FWritten; }
  QList<QByteArray> Writes() const { return FWrites; }
  QStringList Calls;
  bool IsOpen() const { return FOpen; }

  uint32_t OpenEx(const QString &description, uint32_t flags) override;
  uint32_t SetBaudRate(uint32_t baud) override;
  uint32_t SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
  uint32_t Purge(uint32_t mask) override;
  uint32_t Write(const uint8_t *buffer, uint32_t count, uint32_t *written) override;
  bool SetCommMask(uint32_t mask) override;
  uint32_t GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) override;
  uint32_t Read(uint8_t *buffer, uint32_t count, uint32_t *read) override;
  uint32_t Close() override;

 private:
  struct TStep {
    bool IsReply;
    QByteArray Bytes;
    qint64 DelayMs;
  };
  struct TIncoming {
    uint8_t Byte;
    qint64 At;  // fake elapsed time from which it can be read
  };
  bool Injected(const QString &call, uint32_t &status);
  void Advance();  // releases replies and consumes met expectations
  uint32_t Available() const;

  TFakeClock *FClock;
  QList<TStep> FScript;
  qsizetype FStep = 0;
  QByteArray FPending;  // written, not yet matched
  QList<TIncoming> FIncoming;
  QByteArray FWritten;
  QList<QByteArray> FWrites;
  QStringList FProblems;
  QHash<QString, uint32_t> FFailures;
  bool FOpen = false;
};

// "30 04" for the bytes 0x30 0x04.
QString HexBytes(const QByteArray &bytes);
