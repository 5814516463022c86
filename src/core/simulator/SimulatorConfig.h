// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <optional>

// Fault switches of the simulated controller. Each is armed with a command
// number n (0 = off) and fires once, on the first command numbered n or later
// to which it applies. Commands are the gain, shift and measurement frames the
// controller recognises, counted from 1 since power-on; ignored bytes and the
// byte 1 of a read-back are not commands.
struct TSimulatorFaults {
  // The controller executes the command but sends none of its answer bytes
  // (a shift or a measurement): the program's read times out.
  int SwallowAnswer = 0;
  // A shift is refused: acknowledgements 1, 1, 0 and no motion.
  int BadAcknowledgement = 0;
  // A shift completes but its final answer is the other motor's limit code:
  // 16 to a wheel shift, 19 to a carriage shift.
  int WrongMotorCode = 0;
  // A carriage shift stops after half of its steps and answers 16 with the
  // rest as steps not made.
  int StallCarriage = 0;
  // After this command has arrived the link is gone: every link call fails
  // with the I/O status (4) from then on.
  int DropLink = 0;

  bool Any() const {
    return SwallowAnswer || BadAcknowledgement || WrongMotorCode || StallCarriage || DropLink;
  }
};

// Time scales of the two front ends.
inline constexpr double SimulatorProgramSpeed = 0.05;  // veltravor --simulator
inline constexpr double SimulatorServerSpeed = 1.0;    // veltravor-sim --pty

// Configuration of the simulated instrument.
struct TSimulatorConfig {
  // Time scale: wall time = model time × Speed. 0 = every answer at once,
  // 1 = real time (10/9600 s per byte, period ms per motor step, 2^k ms per
  // measurement).
  double Speed = SimulatorProgramSpeed;
  uint64_t Seed = 1;   // noise seed
  int Zero = 30000;    // carriage position of true zero delay, steps
  int Length = 70000;  // delay line length, steps; the forward limit
  // Power-on positions. When absent, CreateSimulatorLink takes them from the
  // state file (KeepState) or the first power-on positions below.
  std::optional<int> Carriage;
  std::optional<int> Wheel;
  // Load the positions from TPaths::SimulatorStateFile() and write them back
  // when the link closes.
  bool KeepState = true;
  TSimulatorFaults Faults;
};

// Where a never-used instrument stands: somewhere the program does not know.
inline constexpr int SimulatorFirstCarriage = 35000;
inline constexpr int SimulatorFirstWheel = 1234;
