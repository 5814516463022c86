// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <vector>

#include "simulator/SimulatedInstrument.h"

// Drives the simulated instrument with raw bytes at time scale 0: every
// exchange runs the model until it waits for the program again and returns
// every byte that reached the program.
struct TRawController {
  explicit TRawController(TSimulatorConfig config = {}) : Instrument(Quiet(config)) {}

  std::vector<uint8_t> Exchange(const std::vector<uint8_t> &bytes) {
    Instrument.Send(bytes.data(), bytes.size());
    Instrument.RunUntilIdle();
    return Drain();
  }
  std::vector<uint8_t> Drain() {
    std::vector<uint8_t> answer(Instrument.Available());
    Instrument.Receive(answer.data(), answer.size());
    return answer;
  }
  // A full measurement: command, low byte, byte 1, high byte.
  int Measure(int k) {
    const auto low = Exchange({static_cast<uint8_t>(0x50 + k)});
    const auto high = Exchange({1});
    if (low.size() != 1 || high.size() != 1) return -1;
    return low[0] + 256 * high[0];
  }

  static TSimulatorConfig Quiet(TSimulatorConfig config) {
    config.Speed = 0;
    config.KeepState = false;
    return config;
  }

  TSimulatedInstrument Instrument;
};

inline TSimulatorConfig At(int carriage, int wheel) {
  TSimulatorConfig config;
  config.Carriage = carriage;
  config.Wheel = wheel;
  return config;
}
