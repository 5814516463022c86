// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/Device.h"

#include <QLocale>
#include <QMutexLocker>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/AppError.h"
#include "app/Messages.h"
#include "app/TextFile.h"

namespace {
const QString DescriptionText = QStringLiteral("Veltravor controller");
constexpr uint32_t OpenByDescription = 2;
constexpr uint32_t BaudRate = 9600;
constexpr uint32_t DriverTimeout = 30000;  // ms, bounds the driver's own blocking only
constexpr uint32_t PurgeBoth = 3;
constexpr uint32_t EventRxChar = 1;

constexpr uint8_t GainCommand = 0x30;
constexpr uint8_t ShiftCommand = 0x21;
constexpr uint8_t MeasureCommand = 0x50;
constexpr uint8_t Acknowledge = 1;

// Final answers of a shift.
constexpr uint8_t ShiftComplete = 2;
constexpr uint8_t CarriageStopped = 16;
constexpr uint8_t CarriageAtLimit = 17;
constexpr uint8_t WheelStopped = 18;
constexpr uint8_t WheelAtHome = 19;

constexpr int32_t MaxSingleShift = 65535;
}  // namespace

QString SignedText(qint64 value) {
  return value < 0 ? QString::number(value) : u'+' + QString::number(value);
}

TDevice::TDevice(TDeviceLink *link, TClock *clock) : FLink(link), FClock(clock) {
  if (!FClock) {
    FOwnClock = std::make_unique<TSteadyClock>();
    FClock = FOwnClock.get();
  }
}

TDevice::~TDevice() {
  try {
    Close();
  } catch (...) {
    // A link that cannot be closed at shutdown has nothing left to tell.
  }
}

// --- Link ------------------------------------------------------------------------

void TDevice::CheckStatus(uint32_t status) {
  switch (status) {
    case LINK_OK:
      return;
    case LINK_INVALID_HANDLE:
      RaiseError("Invalid handle.");
    case LINK_DEVICE_NOT_FOUND:
      RaiseError("Device not found.");
    case LINK_DEVICE_NOT_OPENED:
      RaiseError("Device is not opened.");
    case LINK_IO_ERROR:
      RaiseError("Input/output error.");
    case LINK_INSUFFICIENT_RESOURCES:
      RaiseError("Insufficient resources.");
    case LINK_INVALID_PARAMETER:
      RaiseError("Invalid parameter.");
    default:
      RaiseError("Device communication error %.", {qint64(status)});
  }
}

void TDevice::OpenLink() {
  CheckStatus(FLink->OpenEx(DescriptionText, OpenByDescription));
  // A handle that was opened is closed again when configuring it fails: a port
  // left open would make every later attempt fail as busy.
  try {
    CheckStatus(FLink->SetBaudRate(BaudRate));
    CheckStatus(FLink->SetDataCharacteristics(8, 0, 0));
    CheckStatus(FLink->SetTimeouts(DriverTimeout, DriverTimeout));
  } catch (...) {
    FLink->Close();
    throw;
  }
  Opened = true;
}

void TDevice::Close() {
  LogEvent("DEVICE CLOSING", QString());
  if (!Opened) return;
  try {
    CheckStatus(FLink->Close());
    Opened = false;
  } catch (const std::exception &e) {
    LogError(e);
    throw;
  }
}

void TDevice::WriteBytes(uint8_t first, int second) {
  uint8_t buffer[2] = {first, 0};
  uint32_t count = 1;
  if (second != -1) {
    buffer[1] = static_cast<uint8_t>(second & 0xFF);
    count = 2;
  }
  uint32_t written = 0;
  CheckStatus(FLink->Write(buffer, count, &written));
  if (written < count) RaiseError("Write timeout error.");
}

uint8_t TDevice::ReadByte(uint32_t timeoutMs) {
  if (!FLink->SetCommMask(EventRxChar)) RaiseError("Input/output error.");
  const uint32_t start = FClock->Ticks();
  // The link's status call blocks up to 1 ms while nothing is waiting, so this
  // loop sleeps rather than spins; the elapsed time is the unsigned 32-bit
  // difference, which stays right across the wrap of the tick counter.
  for (;;) {
    uint32_t rxQueue = 0, txQueue = 0, eventStatus = 1;
    CheckStatus(FLink->GetStatus(&rxQueue, &txQueue, &eventStatus));
    if (uint32_t(FClock->Ticks() - start) > timeoutMs) RaiseError("Timeout error.");
    if (rxQueue != 0) break;
  }
  uint8_t byte = 0;
  uint32_t read = 0;
  CheckStatus(FLink->Read(&byte, 1, &read));
  if (read < 1) RaiseError("Timeout error.");
  return byte;
}

// --- Commands ----------------------------------------------------------------------

template <typename Body>
auto TDevice::Framed(const QString &title, const QString &detail, Body body) -> decltype(body()) {
  LogEvent(title, detail);
  try {
    return body();
  } catch (const std::exception &e) {
    LogError(e);
    throw;
  }
}

void TDevice::CheckOpened() const {
  if (!Opened) RaiseError("Device is not opened.");
}

void TDevice::Initialize() {
  Framed("DEVICE INITIALIZATION", QString(), [&] {
    if (Opened) return;
    OpenLink();
    try {
      SetGains(16, 64);
      ShiftMotor(MotorWheel, -100000);
      ShiftMotor(MotorWheel, FilterTable.isEmpty() ? 0 : FilterTable.first().Position);
    } catch (...) {
      // The link is open but the instrument did not come up. Left open, every
      // later Initialize would return at once and a scan would run with gains
      // never set (points stored with gain 0) and the wheel anywhere; closed,
      // the next attempt runs the whole sequence. The close's own status is
      // dropped: the error that brought us here is the one to report.
      FLink->Close();
      Opened = false;
      throw;
    }
  });
}

void TDevice::SetGains(uint8_t photoGain, uint8_t inputGain) {
  const QString detail = QStringLiteral("%1 x %2 = %3")
                             .arg(photoGain)
                             .arg(inputGain)
                             .arg(int(photoGain) * int(inputGain));
  Framed("GAIN FACTORS ASSIGNMENT", detail, [&] {
    CheckOpened();
    CheckStatus(FLink->Purge(PurgeBoth));
    int photoPart;
    switch (photoGain) {
      case 1: photoPart = 0; break;
      case 16: photoPart = 2; break;
      default:
        // Programming error of a caller: not translated.
        throw EAppError("Incorrect level for Photo Amplifier: + " + QString::number(photoGain));
    }
    int inputPart = -1;
    for (int i = 0; i < 7; ++i)
      if (inputGain == (1 << i)) inputPart = 4 * i;
    if (inputPart < 0)
      throw EAppError("Incorrect level for Input Amplifier: + " + QString::number(inputGain));
    WriteBytes(GainCommand, ~(photoPart + inputPart) & 0x1E);
    AmpF = photoGain;
    AmpI = inputGain;
  });
}

int32_t TDevice::ShiftMotorOnce(int motor, int32_t steps) {
  const QString title = motor == MotorCarriage ? "CARRIAGE SHIFT" : "FILTER WHEEL SHIFT";
  const int32_t position = motor == MotorCarriage ? CarriagePosition : WheelPosition;
  return Framed(title, QString::number(position) + SignedText(steps), [&]() -> int32_t {
    CheckOpened();
    if (steps == 0) return 0;
    const uint32_t magnitude = uint32_t(std::abs(qint64(steps)));
    uint8_t period = 0;
    if (motor == MotorCarriage) period = PeriodDelayLine;
    if (motor == MotorWheel) period = PeriodFilter;
    WriteBytes(uint8_t(ShiftCommand | (motor << 2) | (steps < 0 ? 2 : 0)));
    WriteBytes(uint8_t(magnitude >> 8));
    WriteBytes(uint8_t(magnitude));
    WriteBytes(period);
    for (int i = 0; i < 3; ++i)
      if (ReadByte(AnswerTimeout) != Acknowledge) RaiseError("Incorrect device answer.");

    const uint8_t answer = ReadByte(ShiftTimeout);
    if (answer == ShiftComplete) {
      if (motor == MotorCarriage) CarriagePosition += steps;
      if (motor == MotorWheel) WheelPosition += steps;
      return 0;
    }
    if (((answer == CarriageStopped || answer == CarriageAtLimit) && motor != MotorCarriage) ||
        ((answer == WheelStopped || answer == WheelAtHome) && motor != MotorWheel))
      RaiseError("Incorrect device answer.");

    WriteBytes(Acknowledge);
    const int high = ReadByte(AnswerTimeout);
    WriteBytes(Acknowledge);
    const int low = ReadByte(AnswerTimeout);
    int32_t remaining = high * 256 + low;
    if (steps < 0) remaining = -remaining;

    // The wheel turns round and round forward: reaching its home on the way
    // still completes the move.
    if (motor == MotorWheel && steps > 0 && answer == WheelAtHome) {
      WheelPosition += steps;
      return 0;
    }
    switch (answer) {
      case CarriageStopped: CarriagePosition += steps - remaining; break;
      case CarriageAtLimit: CarriagePosition = 0; break;
      case WheelStopped: WheelPosition += steps - remaining; break;
      case WheelAtHome: WheelPosition = 0; break;
      default: break;
    }
    if (remaining != 0) LogEvent("STEPS NOT PASSED", QString::number(remaining));
    return remaining;
  });
}

int32_t TDevice::ShiftMotor(int motor, int32_t steps) {
  // One command moves at most 65535 steps. A longer request goes out in full
  // commands of 65535 and a last one with the rest; a command that stops short
  // ends the request, and the steps of the commands not sent count as not made.
  // (Up to 131070 steps this is a single split; beyond it a single split would
  // send a truncated step count.)
  const int32_t chunk = steps < 0 ? -MaxSingleShift : MaxSingleShift;
  int32_t rest = steps;
  while (std::abs(qint64(rest)) > MaxSingleShift) {
    const int32_t remaining = ShiftMotorOnce(motor, chunk);
    if (remaining != 0) return (rest - chunk) + remaining;
    rest -= chunk;
  }
  return ShiftMotorOnce(motor, rest);
}

int TDevice::Measure(int count) {
  return Framed("MEASUREMENT", QString(), [&] {
    CheckOpened();
    // A count below 1 (0 or a negative value) is one pulse.
    const int pulses = count < 1 ? 1 : count;
    const int exponent = int(std::lround(std::log2(double(pulses))));
    WriteBytes(uint8_t(MeasureCommand | (exponent & 0x0F)));
    const int low = ReadByte(AnswerTimeout);
    WriteBytes(Acknowledge);
    const int high = ReadByte(AnswerTimeout);
    qint64 value = qint64(high) * 256 + low - SignalShift;
    if (value < 0) value = 0;
    // A negative shift can lift the value above 1023, never beyond an int.
    if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
    LogEvent("RESULT", QString::number(value));
    return int(value);
  });
}

// --- Filter and gain stepping -------------------------------------------------------

float TDevice::CurrentTransmission() const {
  for (const TFilterRecord &r : FilterTable)
    if (r.Position == WheelPosition) return float(r.Transmission);
  RaiseError("Unknown filter transmission.");
}

bool TDevice::NextFilter() {
  for (const TFilterRecord &r : FilterTable)
    if (r.Position > WheelPosition) {
      ShiftMotor(MotorWheel, r.Position - WheelPosition);
      return true;
    }
  return false;
}

bool TDevice::PreviousFilter() {
  for (qsizetype i = FilterTable.size() - 1; i >= 0; --i)
    if (FilterTable[i].Position < WheelPosition) {
      ShiftMotor(MotorWheel, FilterTable[i].Position - WheelPosition);
      return true;
    }
  return false;
}

bool TDevice::GainDown() {
  const int total = int(AmpF) * int(AmpI);
  for (uint8_t photo : {16, 1})
    for (uint8_t input : {64, 32, 16, 8, 4, 2, 1})
      if (photo * input < total) {
        SetGains(photo, input);
        return true;
      }
  return false;
}

bool TDevice::GainUp() {
  const int total = int(AmpF) * int(AmpI);
  for (uint8_t photo : {1, 16})
    for (uint8_t input : {1, 2, 4, 8, 16, 32, 64})
      if (photo * input > total) {
        SetGains(photo, input);
        return true;
      }
  return false;
}

// --- Event log ------------------------------------------------------------------------

QString TDevice::LocaleTimeSeparator() {
  static const QString separator = [] {
    // The separator that follows the hours in the locale's time format.
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    const qsizetype hours = format.indexOf(QRegularExpression("[hH]"));
    if (hours >= 0) {
      qsizetype i = hours;
      while (i < format.size() && (format[i] == u'h' || format[i] == u'H')) ++i;
      qsizetype end = i;
      while (end < format.size() && !format[end].isLetter() && format[end] != u'\'') ++end;
      const QString text = format.mid(i, end - i);
      if (!text.isEmpty()) return text;
    }
    return QStringLiteral(":");
  }();
  return separator;
}

QString TDevice::FormatLogLine(const QDateTime &time, const QString &title, const QString &detail) {
  const QString s = LocaleTimeSeparator();
  const QDate d = time.date();
  const QTime t = time.time();
  auto two = [](int v) { return QString::number(v).rightJustified(2, u'0'); };
  QString line;
  line.reserve(48 + detail.size());
  line += two(d.day()) + s + two(d.month()) + s + QString::number(d.year()).rightJustified(4, u'0');
  line += u' ' + two(t.hour()) + s + two(t.minute()) + s + two(t.second()) + s +
          QString::number(t.msec()).rightJustified(3, u'0');
  line += u'\t' + title + u'\t' + detail;
  return line;
}

void TDevice::AppendLogLine(const QString &title, const QString &detail) {
  const QString line = FormatLogLine(QDateTime::currentDateTime(), title, detail);
  QMutexLocker lock(&LogLock);
  // A log loaded from a longer hand-made file is trimmed here, on the first
  // append, down to MaxLogLines - 1 before the new line goes in.
  const qsizetype excess = EventLog.size() - (MaxLogLines - 1);
  if (excess > 0) {
    EventLog.remove(0, excess);
    DroppedLines += int32_t(excess);
  }
  EventLog.append(line);
}

void TDevice::LogEvent(const QString &title, const QString &detail) {
  if (!WriteLog) return;
  AppendLogLine(title.toLower(), detail);
}

void TDevice::LogError(const std::exception &error) { LogError(ExceptionMessage(error)); }

void TDevice::LogError(const QString &message) {
  if (!WriteLog) return;
  AppendLogLine(QStringLiteral("ERROR"), message);
}

bool TDevice::LoadEventLog(const QString &fileName) {
  QStringList lines;
  if (!ReadTextLines(fileName, lines)) return false;
  EventLog = std::move(lines);
  return true;
}

bool TDevice::SaveEventLog(const QString &fileName) const {
  return WriteTextLines(fileName, EventLog);
}

QStringList TDevice::CopyEventLog() {
  QMutexLocker lock(&LogLock);
  DroppedLines = 0;
  return EventLog;
}

QStringList TDevice::EventLogLinesAfter(qint64 &position) {
  QMutexLocker lock(&LogLock);
  qint64 first = position - DroppedLines;
  if (first < 0) {
    position -= first;  // lines dropped before they were shown
    first = 0;
  }
  if (first >= EventLog.size()) return {};
  const QStringList lines = EventLog.mid(qsizetype(first));
  position += lines.size();
  return lines;
}

void TDevice::ClearEventLog() {
  QMutexLocker lock(&LogLock);
  EventLog.clear();
  DroppedLines = 0;
}
