// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/SimulatorLink.h"

#include <cmath>
#include <thread>

#include "app/Notifier.h"
#include "simulator/SimulatorFiles.h"

namespace {
const QString UsbDescription = QStringLiteral("Veltravor controller");
constexpr uint32_t OpenByDescription = 2;
}  // namespace

TSimulatorLink::TSimulatorLink(const TSimulatorConfig &config)
    : FConfig(ResolvePowerOnPositions(config)),
      FInstrument(FConfig),
      FWallOrigin(TWallClock::now()) {
  if (!(FConfig.Speed >= 0) || !std::isfinite(FConfig.Speed)) FConfig.Speed = 0;
}

TSimulatorLink::~TSimulatorLink() {
  QString error;
  if (!SaveState(&error)) NotifyWarning(error);
}

TSimTicks TSimulatorLink::ModelTime(TWallClock::time_point wall) const {
  const double seconds = std::chrono::duration<double>(wall - FWallOrigin).count();
  return static_cast<TSimTicks>(std::floor(seconds / FConfig.Speed * SimTicksPerSecond));
}

TSimulatorLink::TWallClock::time_point TSimulatorLink::WallTime(TSimTicks model) const {
  const double seconds = static_cast<double>(model) / SimTicksPerSecond * FConfig.Speed;
  return FWallOrigin + std::chrono::duration_cast<TWallClock::duration>(
                           std::chrono::duration<double>(seconds));
}

void TSimulatorLink::Sync() {
  if (FConfig.Speed == 0)
    FInstrument.RunUntilIdle();
  else
    FInstrument.AdvanceTo(ModelTime(TWallClock::now()));
  if (!LineMatches()) {
    // At other line settings the answers arrive as noise: discard them.
    uint8_t sink[64];
    while (FInstrument.Receive(sink, sizeof sink) > 0) {
    }
  }
}

void TSimulatorLink::WaitForEvent(std::chrono::microseconds limit) {
  auto until = TWallClock::now() + limit;
  if (const auto next = FInstrument.NextEventTime()) until = std::min(until, WallTime(*next));
  std::this_thread::sleep_until(until);
  Sync();
}

bool TSimulatorLink::LineMatches() const {
  return FBaud == 9600 && FWordLength == 8 && FStopBits == 0 && FParity == 0;
}

TSimulatedInstrument &TSimulatorLink::Instrument() {
  Sync();
  return FInstrument;
}

bool TSimulatorLink::SaveState(QString *error) {
  if (!FConfig.KeepState) return true;
  Sync();
  return SaveSimulatorState({FInstrument.CarriagePosition(), FInstrument.WheelPosition()}, error);
}

uint32_t TSimulatorLink::OpenEx(const QString &description, uint32_t flags) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (flags != OpenByDescription || description != UsbDescription) return LINK_DEVICE_NOT_FOUND;
  if (FOpened) return LINK_DEVICE_NOT_OPENED;  // the chip allows one handle
  Sync();
  // A fresh handle: the chip's power-on line settings, no time-outs, and
  // nothing left of what arrived while the port was closed.
  FBaud = 9600;
  FWordLength = 8;
  FStopBits = 0;
  FParity = 0;
  FReadTimeoutMs = 0;
  uint8_t sink[64];
  while (FInstrument.Receive(sink, sizeof sink) > 0) {
  }
  FOpened = true;
  return LINK_OK;
}

uint32_t TSimulatorLink::SetBaudRate(uint32_t baud) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  if (baud == 0 || baud > 3000000) return LINK_INVALID_PARAMETER;
  FBaud = baud;
  return LINK_OK;
}

uint32_t TSimulatorLink::SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                                uint8_t parity) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
    return LINK_INVALID_PARAMETER;
  FWordLength = wordLength;
  FStopBits = stopBits;
  FParity = parity;
  return LINK_OK;
}

uint32_t TSimulatorLink::SetTimeouts(uint32_t readMs, uint32_t /*writeMs*/) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  FReadTimeoutMs = readMs;  // writes never block here
  return LINK_OK;
}

uint32_t TSimulatorLink::Purge(uint32_t mask) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  Sync();
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  FInstrument.Purge((mask & 1) != 0, (mask & 2) != 0);
  return LINK_OK;
}

uint32_t TSimulatorLink::Write(const uint8_t *buffer, uint32_t count, uint32_t *written) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  if (!written || (count > 0 && !buffer)) return LINK_INVALID_PARAMETER;
  Sync();
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  // At other line settings the controller cannot decode the bytes: they are
  // sent, and lost.
  if (LineMatches()) FInstrument.Send(buffer, count);
  *written = count;
  if (FConfig.Speed == 0) FInstrument.RunUntilIdle();
  return LINK_OK;
}

bool TSimulatorLink::SetCommMask(uint32_t /*mask*/) {
  return FOpened && !FInstrument.LinkDropped();
}

uint32_t TSimulatorLink::GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  if (!rxQueue || !txQueue || !eventStatus) return LINK_INVALID_PARAMETER;
  Sync();
  if (FConfig.Speed > 0 && FInstrument.Available() == 0 && !FInstrument.LinkDropped())
    WaitForEvent(std::chrono::milliseconds(1));
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  *rxQueue = static_cast<uint32_t>(FInstrument.Available());
  *txQueue = static_cast<uint32_t>(FInstrument.Pending());
  *eventStatus = 0;  // no event notification is set up
  return LINK_OK;
}

uint32_t TSimulatorLink::Read(uint8_t *buffer, uint32_t count, uint32_t *read) {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  if (!read || (count > 0 && !buffer)) return LINK_INVALID_PARAMETER;
  Sync();
  if (FConfig.Speed > 0 && FInstrument.Available() < count && FReadTimeoutMs > 0) {
    const auto deadline = TWallClock::now() + std::chrono::milliseconds(FReadTimeoutMs);
    while (FInstrument.Available() < count && !FInstrument.LinkDropped()) {
      const auto now = TWallClock::now();
      if (now >= deadline) break;
      WaitForEvent(std::min<std::chrono::microseconds>(
          std::chrono::milliseconds(1),
          std::chrono::duration_cast<std::chrono::microseconds>(deadline - now)));
    }
  }
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  *read = static_cast<uint32_t>(FInstrument.Receive(buffer, count));
  return LINK_OK;
}

uint32_t TSimulatorLink::Close() {
  if (FInstrument.LinkDropped()) return LINK_IO_ERROR;
  if (!FOpened) return LINK_INVALID_HANDLE;
  FOpened = false;
  QString error;
  if (!SaveState(&error)) NotifyWarning(error);
  return LINK_OK;
}

std::unique_ptr<TSimulatorLink> CreateSimulatorLink(const TSimulatorConfig &config) {
  return std::make_unique<TSimulatorLink>(config);
}
