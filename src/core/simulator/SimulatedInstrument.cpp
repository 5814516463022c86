// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/SimulatedInstrument.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "simulator/SimulatorOptics.h"

namespace {
constexpr uint8_t GainCommand = 0x30;
constexpr uint8_t MeasureCommand = 0x50;
constexpr uint8_t Acknowledgement = 1;
constexpr uint8_t ShiftComplete = 2;
constexpr uint8_t CarriageForwardLimit = 16;
constexpr uint8_t CarriageBackwardLimit = 17;
constexpr uint8_t WheelHome = 19;

bool IsShiftCommand(uint8_t byte) {
  return byte == 0x21 || byte == 0x23 || byte == 0x25 || byte == 0x27;
}

int WheelModulo(int64_t position) {
  const int r = static_cast<int>(position % SimulatorOptics::WheelRevolution);
  return r < 0 ? r + SimulatorOptics::WheelRevolution : r;
}
}  // namespace

TSimulatedInstrument::TSimulatedInstrument(const TSimulatorConfig &config)
    : FConfig(config), FNoise(config.Seed) {
  FConfig.Length = std::max(0, FConfig.Length);
  FCarriage = std::clamp(config.Carriage.value_or(SimulatorFirstCarriage), 0, FConfig.Length);
  FWheel = WheelModulo(config.Wheel.value_or(SimulatorFirstWheel));
}

// ---- the program's end of the line ----

void TSimulatedInstrument::Send(const uint8_t *bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    FTxLineFree = std::max(FNow, FTxLineFree) + SimByteTicks;
    FInbound.push_back({FTxLineFree, bytes[i]});
  }
}

size_t TSimulatedInstrument::Available() const {
  size_t n = 0;
  for (const TTimedByte &b : FOutbound) {
    if (b.Time > FNow) break;
    ++n;
  }
  return n;
}

size_t TSimulatedInstrument::Pending() const {
  size_t n = 0;
  for (const TTimedByte &b : FInbound)
    if (b.Time > FNow) ++n;
  return n;
}

size_t TSimulatedInstrument::Receive(uint8_t *buffer, size_t count) {
  const size_t n = std::min(count, Available());
  for (size_t i = 0; i < n; ++i) {
    buffer[i] = FOutbound.front().Byte;
    FOutbound.pop_front();
  }
  return n;
}

void TSimulatedInstrument::Purge(bool receive, bool transmit) {
  Process(FNow);
  if (receive) {
    FOutbound.clear();
    FRxLineFree = std::max(FRxLineFree, FNow);
    if (FState == EState::AwaitOne) {
      FState = EState::Idle;
      FReadBack.clear();
    } else if (FState == EState::Busy) {
      FSilent = true;
    }
  }
  if (transmit) {
    FInbound.clear();
    FTxLineFree = FNow;
    if (FState == EState::Collecting) {
      FState = EState::Idle;
      FFrame.clear();
    }
  }
}

// ---- time ----

void TSimulatedInstrument::AdvanceTo(TSimTicks t) {
  Process(t);
  FNow = std::max(FNow, t);
}

void TSimulatedInstrument::RunUntilIdle() {
  Process(std::numeric_limits<TSimTicks>::max());
  TSimTicks last = std::max(FNow, FClock);
  if (!FOutbound.empty()) last = std::max(last, FOutbound.back().Time);
  FNow = last;
}

std::optional<TSimTicks> TSimulatedInstrument::NextEventTime() const {
  std::optional<TSimTicks> next;
  auto consider = [&next](TSimTicks t) {
    if (!next || t < *next) next = t;
  };
  if (FState == EState::Busy)
    consider(FBusyUntil);
  else if (!FInbound.empty())
    consider(std::max(FInbound.front().Time, FClock));
  for (const TTimedByte &b : FOutbound) {
    if (b.Time > FNow) {
      consider(b.Time);
      break;
    }
  }
  return next;
}

bool TSimulatedInstrument::Idle() const {
  return FState == EState::Idle && FInbound.empty() && Available() == FOutbound.size();
}

// The controller is sequential: while a motor runs or a measurement
// integrates it takes no bytes; they wait in order and are handled after.
void TSimulatedInstrument::Process(TSimTicks limit) {
  for (;;) {
    if (FState == EState::Busy) {
      if (FBusyUntil > limit) return;
      FClock = std::max(FClock, FBusyUntil);
      FinishBusy();
      continue;
    }
    if (FInbound.empty() || FInbound.front().Time > limit) return;
    const TTimedByte b = FInbound.front();
    FInbound.pop_front();
    FClock = std::max(FClock, b.Time);
    HandleByte(b.Byte);
  }
}

// ---- the controller ----

void TSimulatedInstrument::HandleByte(uint8_t byte) {
  switch (FState) {
    case EState::Idle:
      StartFrame(byte);
      return;
    case EState::Collecting:
      FFrame.push_back(byte);
      if (FFrame.size() == FFrameLength) Execute();
      return;
    case EState::AwaitOne:
      if (byte == Acknowledgement) {
        SendAnswer(FReadBack[FReadBackNext++]);
        if (FReadBackNext == FReadBack.size()) {
          FState = EState::Idle;
          FReadBack.clear();
        }
        return;
      }
      // Anything but the byte 1 abandons the read-back and is taken as the
      // start of the next command, so that a program that gave up on an
      // answer is understood again at its next command.
      FState = EState::Idle;
      FReadBack.clear();
      StartFrame(byte);
      return;
    case EState::Busy:
      return;  // not reached: Process holds bytes while busy
  }
}

void TSimulatedInstrument::StartFrame(uint8_t byte) {
  FFrame.assign(1, byte);
  if (byte == GainCommand) {
    FFrameLength = 2;
    FState = EState::Collecting;
  } else if (IsShiftCommand(byte)) {
    FFrameLength = 4;
    FState = EState::Collecting;
  } else if ((byte & 0xF0) == MeasureCommand) {
    FFrameLength = 1;
    Execute();
  } else {
    FFrame.clear();  // not a command: ignored
  }
}

bool TSimulatedInstrument::Fire(int armedAt, bool &fired, int command) {
  if (armedAt <= 0 || fired || command < armedAt) return false;
  fired = true;
  return true;
}

void TSimulatedInstrument::Execute() {
  const int command = ++FCommands;
  FState = EState::Idle;
  if (Fire(FConfig.Faults.DropLink, FDropFired, command)) FDropped = true;
  const uint8_t first = FFrame[0];
  if (first == GainCommand)
    ApplyGainCode(FFrame[1]);
  else if (IsShiftCommand(first))
    ExecuteShift(command);
  else
    ExecuteMeasure(command);
  FFrame.clear();
}

void TSimulatedInstrument::ApplyGainCode(uint8_t code) {
  // Bit 0 and bits 5..7 are always clear; bits 2..4 hold 7 - log2(input
  // gain), 1..7. Anything else is not in the table and changes nothing.
  const int level = (code >> 2) & 7;
  if ((code & 0xE1) != 0 || level == 0) return;
  FPhotoGain = (code & 0x02) ? 1 : 16;
  FInputGain = 1 << (7 - level);
}

void TSimulatedInstrument::ExecuteShift(int command) {
  const uint8_t first = FFrame[0];
  const int motor = (first >> 2) & 1;  // 0 carriage, 1 wheel
  const bool backward = (first & 0x02) != 0;
  const int steps = FFrame[1] * 256 + FFrame[2];
  const int period = std::max<int>(1, FFrame[3]);  // ms per step; 0 runs as 1

  FSilent = Fire(FConfig.Faults.SwallowAnswer, FSwallowFired, command);
  if (Fire(FConfig.Faults.BadAcknowledgement, FBadAckFired, command)) {
    // Refused: the third acknowledgement is wrong and nothing moves.
    SendAnswer(Acknowledgement);
    SendAnswer(Acknowledgement);
    SendAnswer(0);
    FSilent = false;
    return;
  }

  int made = steps;
  uint8_t code = ShiftComplete;
  if (motor == 0) {
    const int room = backward ? FCarriage : FConfig.Length - FCarriage;
    if (steps > room) {
      made = room;
      code = backward ? CarriageBackwardLimit : CarriageForwardLimit;
    }
    if (Fire(FConfig.Faults.StallCarriage, FStallFired, command)) {
      made = std::min(made, steps / 2);
      code = CarriageForwardLimit;
    }
  } else if (backward && steps > FWheel) {
    // The home switch stops a backward wheel at 0; forward moves go round.
    made = FWheel;
    code = WheelHome;
  }
  if (Fire(FConfig.Faults.WrongMotorCode, FWrongCodeFired, command))
    code = motor == 1 ? CarriageForwardLimit : WheelHome;

  for (int i = 0; i < 3; ++i) SendAnswer(Acknowledgement);
  FState = EState::Busy;
  FBusyKind = EBusy::Move;
  FMoveMotor = motor;
  FMoveDirection = backward ? -1 : 1;
  FMoveMade = made;
  FMoveLeft = steps - made;
  FMoveStart = motor == 0 ? FCarriage : FWheel;
  FStepTicks = period * SimTicksPerMs;
  FFinalCode = code;
  FBusyStart = FClock;
  FBusyUntil = FClock + made * FStepTicks;
}

void TSimulatedInstrument::ExecuteMeasure(int command) {
  namespace O = SimulatorOptics;
  const int k = FFrame[0] & 0x0F;
  const int pulses = 1 << k;
  FSilent = Fire(FConfig.Faults.SwallowAnswer, FSwallowFired, command);

  // The average of the pulses is Gaussian around the mean count; one deviate
  // per measurement, drawn in command order, so values do not depend on
  // timing.
  const double c = O::Correlation(O::Delay(FCarriage, FConfig.Zero));
  const double t = O::WheelTransmission(FWheel);
  const double average = O::MeanCounts(c, t, FPhotoGain, FInputGain) +
                         O::AverageSigma(c, t, FPhotoGain, FInputGain, pulses) * FNoise.Gaussian();
  FMeasuredValue = static_cast<int>(std::clamp(std::floor(average + 0.5), 0.0,
                                               static_cast<double>(O::ConverterMax)));

  FState = EState::Busy;
  FBusyKind = EBusy::Measure;
  FBusyStart = FClock;
  FBusyUntil = FClock + pulses * SimTicksPerMs;  // 1 kHz repetition
}

void TSimulatedInstrument::FinishBusy() {
  FState = EState::Idle;
  if (FBusyKind == EBusy::Move) {
    const int64_t end = int64_t(FMoveStart) + int64_t(FMoveDirection) * FMoveMade;
    if (FMoveMotor == 0)
      FCarriage = static_cast<int>(end);
    else
      FWheel = WheelModulo(end);
    SendAnswer(FFinalCode);
    if (FFinalCode != ShiftComplete && !FSilent) {
      FReadBack = {static_cast<uint8_t>(FMoveLeft >> 8), static_cast<uint8_t>(FMoveLeft & 0xFF)};
      FReadBackNext = 0;
      FState = EState::AwaitOne;
    }
  } else {
    SendAnswer(static_cast<uint8_t>(FMeasuredValue & 0xFF));
    if (!FSilent) {
      FReadBack = {static_cast<uint8_t>(FMeasuredValue >> 8)};
      FReadBackNext = 0;
      FState = EState::AwaitOne;
    }
  }
  FSilent = false;
}

void TSimulatedInstrument::SendAnswer(uint8_t byte) {
  if (FSilent) return;
  FRxLineFree = std::max(FClock, FRxLineFree) + SimByteTicks;
  FOutbound.push_back({FRxLineFree, byte});
}

// ---- positions ----

int TSimulatedInstrument::MovingPosition(int motor) const {
  const int base = motor == 0 ? FCarriage : FWheel;
  if (FState != EState::Busy || FBusyKind != EBusy::Move || FMoveMotor != motor) return base;
  const int64_t done =
      std::min<int64_t>(FMoveMade, std::max<int64_t>(0, FNow - FBusyStart) / FStepTicks);
  return static_cast<int>(FMoveStart + FMoveDirection * done);
}

int TSimulatedInstrument::CarriagePosition() const { return MovingPosition(0); }

int TSimulatedInstrument::WheelPosition() const { return WheelModulo(MovingPosition(1)); }
