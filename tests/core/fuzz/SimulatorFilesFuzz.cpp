// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated instrument's state file (motor positions kept between runs):
// any bytes give power-on positions, and the instrument powered on there
// answers a carriage roll-back, a filter move and a measurement like the real
// one, whatever position a damaged file names.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

#include "FuzzEntry.h"
#include "app/Paths.h"
#include "simulator/SimulatedInstrument.h"
#include "simulator/SimulatorFiles.h"

namespace {
void Send(TSimulatedInstrument &instrument, std::initializer_list<uint8_t> bytes) {
  const std::vector<uint8_t> v(bytes);
  instrument.Send(v.data(), v.size());
  instrument.RunUntilIdle();
  uint8_t answer[64];
  static const uint8_t readBack = 1;  // the byte that asks for the next part of an answer
  while (size_t n = instrument.Available()) {
    instrument.Receive(answer, std::min(n, sizeof answer));
    instrument.Send(&readBack, 1);
    instrument.RunUntilIdle();
  }
}
}  // namespace

VELTRAVOR_FUZZ_TARGET(SimulatorFiles) {
  static const bool configured = [] {
    qputenv("XDG_CONFIG_HOME", (FuzzScratchFolder() + "/config").toUtf8());
    return QDir().mkpath(QFileInfo(TPaths::SimulatorStateFile()).absolutePath());
  }();
  FUZZ_CHECK(configured);
  const QString file = TPaths::SimulatorStateFile();
  const QString written = FuzzScratchFile("state", data, size);
  QFile::remove(file);
  FUZZ_CHECK(QFile::rename(written, file));

  TSimulatorConfig config;
  config.Speed = 0;
  config.KeepState = true;
  config = ResolvePowerOnPositions(config);
  FUZZ_CHECK(config.Carriage.has_value() && config.Wheel.has_value());
  config.KeepState = false;  // the instrument below must not write the file back
  TSimulatedInstrument instrument(config);
  Send(instrument, {0x30, 0x1E});              // gains 1 x 1
  Send(instrument, {0x23, 0x00, 0x10, 0x01});  // carriage 16 steps backwards
  Send(instrument, {0x25, 0x00, 0x10, 0x01});  // wheel 16 steps forwards
  Send(instrument, {0x50});                    // one pulse measured
  return 0;
}
