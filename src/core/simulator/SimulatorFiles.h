// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "simulator/SimulatorConfig.h"

// The simulated instrument's files, beside the program's settings file:
// its own settings file (so a demonstration never touches the real
// instrument's settings) and the positions its motors stand at between runs.

struct TSimulatorState {
  int Carriage;
  int Wheel;
};

// The positions kept in TPaths::SimulatorStateFile(); the first power-on
// positions (35000, 1234) when the file is absent, and for any value that is
// missing or not a number.
TSimulatorState LoadSimulatorState();
// Power-on positions: the config's, else (with KeepState) the ones kept from
// the last run, else the first power-on positions.
TSimulatorConfig ResolvePowerOnPositions(TSimulatorConfig config);
// Writes the positions through a temporary file; a failure leaves the old file
// intact, fills error and returns false.
bool SaveSimulatorState(const TSimulatorState &state, QString *error = nullptr);

// Seeds TPaths::SimulatorSettingsFile() with the simulated instrument's filter
// calibration when the file does not exist yet. An existing file is never
// touched. Returns false with error filled when the file cannot be written.
bool EnsureSimulatorSettings(QString *error = nullptr);
