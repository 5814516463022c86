// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <chrono>
#include <memory>

#include "device/DeviceLink.h"
#include "simulator/SimulatedInstrument.h"
#include "simulator/SimulatorConfig.h"

// The in-process link backend on the simulated instrument. Model time follows
// the steady clock scaled by config.Speed; at speed 0 every answer is ready as
// soon as the bytes that ask for it are written. Used by one thread at a time
// (the device object's thread), like every link.
class TSimulatorLink : public TDeviceLink {
 public:
  // Powers the instrument on. With config.KeepState, positions not given in
  // the config come from the state file, and the positions are written back
  // by Close and by the destructor.
  explicit TSimulatorLink(const TSimulatorConfig &config);
  ~TSimulatorLink() override;
  TSimulatorLink(const TSimulatorLink &) = delete;
  TSimulatorLink &operator=(const TSimulatorLink &) = delete;

  // The description must be "Veltravor controller" with flags 2, as the
  // instrument's USB chip reports it; anything else finds no device.
  uint32_t OpenEx(const QString &description, uint32_t flags) override;
  uint32_t SetBaudRate(uint32_t baud) override;
  uint32_t SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
  uint32_t Purge(uint32_t mask) override;
  uint32_t Write(const uint8_t *buffer, uint32_t count, uint32_t *written) override;
  bool SetCommMask(uint32_t mask) override;
  // Blocks for at most 1 ms when nothing is waiting (speed above 0 only).
  uint32_t GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) override;
  // Waits for count bytes up to the read time-out (speed above 0), returns
  // what has arrived.
  uint32_t Read(uint8_t *buffer, uint32_t count, uint32_t *read) override;
  uint32_t Close() override;

  // The model behind the link, brought up to the present.
  TSimulatedInstrument &Instrument();
  // Writes the present positions to the state file (when KeepState). Returns
  // false with error filled when the file cannot be written.
  bool SaveState(QString *error = nullptr);

 private:
  using TWallClock = std::chrono::steady_clock;

  void Sync();
  TSimTicks ModelTime(TWallClock::time_point wall) const;
  TWallClock::time_point WallTime(TSimTicks model) const;
  // Sleeps until the next model event or for at most `limit`.
  void WaitForEvent(std::chrono::microseconds limit);
  bool LineMatches() const;

  TSimulatorConfig FConfig;
  TSimulatedInstrument FInstrument;
  TWallClock::time_point FWallOrigin;
  bool FOpened = false;
  uint32_t FBaud = 9600;
  uint8_t FWordLength = 8;
  uint8_t FStopBits = 0;
  uint8_t FParity = 0;
  uint32_t FReadTimeoutMs = 0;
};

// The link for `veltravor --simulator` and the tests.
std::unique_ptr<TSimulatorLink> CreateSimulatorLink(const TSimulatorConfig &config);
