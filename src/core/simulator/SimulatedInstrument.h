// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "simulator/NoiseSource.h"
#include "simulator/SimulatorConfig.h"

// Model time: ticks of 1/48000 s, so that one byte on the line (10 bits at
// 9600 baud = 50 ticks) and one millisecond (48 ticks) are both whole numbers.
using TSimTicks = int64_t;
inline constexpr TSimTicks SimTicksPerSecond = 48000;
inline constexpr TSimTicks SimTicksPerMs = 48;
inline constexpr TSimTicks SimByteTicks = 50;

// The simulated instrument: its controller (the instrument's side of the byte
// protocol), motors, amplifiers, converter and the line between it and the
// program, on a model clock of its own. Nothing here sleeps or reads a wall
// clock: the front ends (TSimulatorLink, the pty server) decide how model time
// follows real time. Not thread-safe; one thread at a time.
class TSimulatedInstrument {
 public:
  // Power-on. Positions come from config.Carriage and config.Wheel (clamped to
  // the line and taken modulo one revolution) or the first power-on values.
  explicit TSimulatedInstrument(const TSimulatorConfig &config);

  // The program's end of the line, at Now(). Each byte occupies the line for
  // SimByteTicks after the previous one.
  void Send(const uint8_t *bytes, size_t count);
  // Answer bytes that have reached the program.
  size_t Available() const;
  // Written bytes still on their way to the controller.
  size_t Pending() const;
  size_t Receive(uint8_t *buffer, size_t count);
  // receive: answers on their way or waiting, and a read-back not yet asked
  // for, are discarded; a move or measurement under way finishes silently.
  // transmit: written bytes not yet taken and a half-received command are
  // discarded.
  void Purge(bool receive, bool transmit);
  // The drop-link fault has fired.
  bool LinkDropped() const { return FDropped; }

  // Model time of the program's side.
  TSimTicks Now() const { return FNow; }
  // Lets everything due up to t happen; Now() becomes t (never goes back).
  void AdvanceTo(TSimTicks t);
  // Lets everything happen that can happen without new bytes from the program,
  // and moves Now() past the last answer's arrival: time scale 0.
  void RunUntilIdle();
  // The next model time at which something changes (an answer arrives, a byte
  // reaches the controller, a move or measurement ends); none when idle.
  std::optional<TSimTicks> NextEventTime() const;

  // Carriage position at Now(), counting the steps of a move under way.
  int CarriagePosition() const;
  // Wheel position at Now(), 0..3199.
  int WheelPosition() const;
  int PhotoGain() const { return FPhotoGain; }
  int InputGain() const { return FInputGain; }
  // Commands recognised since power-on.
  int CommandCount() const { return FCommands; }
  // Waiting for a command, nothing under way, nothing on the line.
  bool Idle() const;
  const TSimulatorConfig &Config() const { return FConfig; }

 private:
  struct TTimedByte {
    TSimTicks Time;  // arrival at the far end
    uint8_t Byte;
  };
  enum class EState { Idle, Collecting, Busy, AwaitOne };
  enum class EBusy { Move, Measure };

  void Process(TSimTicks limit);
  void HandleByte(uint8_t byte);
  void StartFrame(uint8_t byte);
  void Execute();
  void ExecuteShift(int command);
  void ExecuteMeasure(int command);
  void ApplyGainCode(uint8_t code);
  void FinishBusy();
  void SendAnswer(uint8_t byte);
  bool Fire(int armedAt, bool &fired, int command);
  int MovingPosition(int motor) const;

  TSimulatorConfig FConfig;
  TNoiseSource FNoise;

  std::deque<TTimedByte> FInbound;   // program → controller
  std::deque<TTimedByte> FOutbound;  // controller → program
  TSimTicks FNow = 0;                // program side
  TSimTicks FClock = 0;              // controller: time of the event in hand
  TSimTicks FTxLineFree = 0;
  TSimTicks FRxLineFree = 0;

  EState FState = EState::Idle;
  std::vector<uint8_t> FFrame;
  size_t FFrameLength = 0;

  EBusy FBusyKind = EBusy::Move;
  TSimTicks FBusyStart = 0;
  TSimTicks FBusyUntil = 0;
  bool FSilent = false;  // answers of the operation in hand are not sent
  int FMoveMotor = 0;
  int FMoveDirection = 1;
  int FMoveMade = 0;
  int FMoveLeft = 0;
  int FMoveStart = 0;
  TSimTicks FStepTicks = SimTicksPerMs;
  uint8_t FFinalCode = 2;
  int FMeasuredValue = 0;
  std::vector<uint8_t> FReadBack;  // bytes sent one per byte 1 received
  size_t FReadBackNext = 0;

  int FCarriage = 0;
  int FWheel = 0;
  int FPhotoGain = 1;
  int FInputGain = 1;
  int FCommands = 0;
  bool FDropped = false;
  bool FSwallowFired = false;
  bool FBadAckFired = false;
  bool FWrongCodeFired = false;
  bool FStallFired = false;
  bool FDropFired = false;
};
