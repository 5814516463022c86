// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

#include "app/Paths.h"
#include "device/DeviceLink.h"
#include "settings/FilterTable.h"

// The instrument: the link state, the byte protocol of its three commands
// (gains, motor shift, measurement), the carriage and wheel positions tracked
// from commands and answers, the gains in force, the filter table, and the
// time-stamped event log of every command.
//
// Threads: one thread at a time drives the device (the main thread, or the
// scan worker during a run); nothing here locks except the event log, which
// both threads write under LogLock.
//
// Errors: every failure raises EAppError with a translated message; every
// command logs its event first and, when it fails, an error line before the
// error propagates unchanged.
class TDevice {
 public:
  // Motor numbers.
  static constexpr int MotorCarriage = 0;
  static constexpr int MotorWheel = 1;
  // Read time-outs, milliseconds.
  static constexpr uint32_t AnswerTimeout = 30000;
  static constexpr uint32_t ShiftTimeout = 600000;
  static constexpr int MaxLogLines = 10000;
  // Entries 0..1: photo amplifier gains; 2..8: input amplifier gains.
  static constexpr uint8_t GainTable[9] = {1, 16, 1, 2, 4, 8, 16, 32, 64};

  // link and clock are not owned and must outlive the device; a null clock
  // means the system's steady millisecond clock. The link is not touched here.
  TDevice(TDeviceLink *link, TClock *clock = nullptr);
  // Closes the link, swallowing every error.
  ~TDevice();
  TDevice(const TDevice &) = delete;
  TDevice &operator=(const TDevice &) = delete;

  TDeviceLink *Link() const { return FLink; }

  // --- Link -----------------------------------------------------------------
  bool Opened = false;

  // Logs "DEVICE CLOSING" (every call), then closes the link when it is open.
  void Close();
  // Raises the message of a non-zero link status.
  static void CheckStatus(uint32_t status);
  // One byte, or two in one write when second is not -1 (its low byte is sent).
  void WriteBytes(uint8_t first, int second = -1);
  // Waits for one byte; "Timeout error." when none arrives within timeoutMs
  // (a byte that arrives in the pass in which the time ran out still times out).
  uint8_t ReadByte(uint32_t timeoutMs);

  // --- Commands --------------------------------------------------------------
  int32_t CarriagePosition = 0;  // steps; 0 is the carriage's initial limit
  int32_t WheelPosition = 0;     // steps; 0 is the wheel's initial position
  uint8_t AmpF = 0;              // photo gain in force, 1 or 16; 0 before the first SetGains
  uint8_t AmpI = 0;              // input gain in force, 1..64; 0 before the first SetGains
  TFilterRecords FilterTable = DefaultFilterTable();
  int32_t ZeroPosition = 0;      // carriage position of zero delay, steps
  int32_t SignalShift = 0;       // subtracted from every measured value
  uint8_t PeriodDelayLine = 15;  // period byte of carriage shifts
  uint8_t PeriodFilter = 15;     // period byte of wheel shifts

  // Opens and configures the link when it is not open, sets the gains 16 x 64,
  // runs the wheel back to its home and on to the first filter. Does not move
  // the carriage.
  void Initialize();
  void SetGains(uint8_t photoGain, uint8_t inputGain);
  // Shifts a motor by steps (positive = forward); returns the steps not made,
  // with the sign of the request (0 = complete). Requests above 65535 steps go
  // out as commands of 65535 and one with the rest; one that stops short ends
  // the request.
  int32_t ShiftMotor(int motor, int32_t steps);
  // One shift command; |steps| at most 65535. Callers use ShiftMotor.
  int32_t ShiftMotorOnce(int motor, int32_t steps);
  // Average of about `count` laser pulses (a power of two is sent), less
  // SignalShift, never below 0. A count below 1 is taken as 1.
  int Measure(int count);

  // Transmission of the filter at WheelPosition; "Unknown filter transmission."
  // when the wheel stands at no calibrated filter (not logged).
  float CurrentTransmission() const;
  // Move to the next stronger / weaker filter; false when there is none.
  bool NextFilter();
  bool PreviousFilter();
  // Halve / double the total gain; false (and nothing sent) at 1 / 1024.
  bool GainDown();
  bool GainUp();

  // --- Event log ---------------------------------------------------------------
  // Guarded by LogLock after start-up: the log window copies and resets under it.
  QStringList EventLog;
  QMutex LogLock;
  std::atomic<bool> WriteLog{false};
  int32_t DroppedLines = 0;

  // Appends an event line (title in lower case) while WriteLog is on.
  void LogEvent(const QString &title, const QString &detail);
  // Appends an "ERROR" line with the error's message while WriteLog is on.
  void LogError(const std::exception &error);
  void LogError(const QString &message);

  // Replaces EventLog by the lines of the file (the whole file, however long).
  // Returns false and leaves the log as it was when the file cannot be read.
  // Start-up only: takes no lock.
  bool LoadEventLog(const QString &fileName = TPaths::EventLogFile());
  // Writes every line through QSaveFile, CR LF; false when it failed (the old
  // file stays). Shutdown only: takes no lock.
  bool SaveEventLog(const QString &fileName = TPaths::EventLogFile()) const;

  // For the log window, each under LogLock.
  // Its first copy: every line; DroppedLines restarts at 0. The window's
  // position is then the size of the copy.
  QStringList CopyEventLog();
  // The lines added since `position` (the count of log lines the window has
  // passed since its copy, shown or skipped), from index position -
  // DroppedLines on; position moves past them. When the log dropped lines
  // before the window could show them (more than the bound between two
  // updates), those are skipped and counted, so later updates neither repeat
  // nor lose a line.
  QStringList EventLogLinesAfter(qint64 &position);
  // Clear: empties the log and resets DroppedLines.
  void ClearEventLog();

  // One log line as written: time stamp, TAB, title, TAB, detail.
  static QString FormatLogLine(const QDateTime &time, const QString &title, const QString &detail);
  // The time separator of the user's locale (":" when the locale shows none).
  static QString LocaleTimeSeparator();

 private:
  void OpenLink();
  void CheckOpened() const;
  void AppendLogLine(const QString &title, const QString &detail);
  template <typename Body>
  auto Framed(const QString &title, const QString &detail, Body body) -> decltype(body());

  TDeviceLink *FLink;
  TClock *FClock;
  std::unique_ptr<TSteadyClock> FOwnClock;
};

// "+" before zero and positive numbers, "-" before negative ones.
QString SignedText(qint64 value);
