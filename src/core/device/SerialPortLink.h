// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "device/DeviceLink.h"

// The instrument's USB serial port (an FTDI chip) behind the ten link calls.
// OpenEx finds the port whose USB product description is the given text
// (blanks and "_" count alike: udev reports blanks as "_"), unless the link was
// made with an explicit port path (--port PATH, or the key "port" of section
// General). 9600 baud 8N1 without flow control; on an FTDI port whose sysfs
// latency_timer is writable, the timer is set to 1 ms so that single-byte
// answers are not held back for 16 ms.
//
// Statuses: no such device 2, a port that cannot be opened 3, an I/O failure
// 4, a call on a closed link 1.
//
// Threads: one thread at a time, as every link, but not always the same one:
// the main thread opens the link and the scan worker reads and writes it. A
// QSerialPort belongs to the thread that created it and reads the port from
// that thread's event loop through its notifier, which would race with a
// worker's blocking reads; so the port is found with QSerialPortInfo and then
// driven through its file descriptor with blocking calls only (termios, poll),
// which any thread may make.
class TSerialPortLink : public TDeviceLink {
 public:
  explicit TSerialPortLink(const QString &portPath = QString());
  ~TSerialPortLink() override;
  TSerialPortLink(const TSerialPortLink &) = delete;
  TSerialPortLink &operator=(const TSerialPortLink &) = delete;

  // The system location of the port opened last (empty before).
  QString PortName() const { return FPortName; }
  // The system location of the first port whose product description matches,
  // or an empty text.
  static QString FindPortByDescription(const QString &description);
  // Descriptions compare with "_" read as a blank, runs of blanks collapsed,
  // ends trimmed, letter case ignored.
  static QString NormalizeDescription(const QString &description);

  uint32_t OpenEx(const QString &description, uint32_t flags) override;
  uint32_t SetBaudRate(uint32_t baud) override;
  uint32_t SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
  uint32_t Purge(uint32_t mask) override;
  uint32_t Write(const uint8_t *buffer, uint32_t count, uint32_t *written) override;
  bool SetCommMask(uint32_t mask) override;
  // Waits up to 1 ms for data when none is waiting.
  uint32_t GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) override;
  uint32_t Read(uint8_t *buffer, uint32_t count, uint32_t *read) override;
  uint32_t Close() override;

 private:
  bool IsOpen() const { return FFd >= 0; }
  bool ApplyTermios();
  void SetLowLatency();

  QString FPortPath;
  QString FPortName;
  int FFd = -1;
  uint32_t FBaud = 9600;
  uint8_t FWordLength = 8, FStopBits = 0, FParity = 0;
  int FWriteTimeoutMs = 30000;
};
