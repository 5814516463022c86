// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <random>

// Seeded normal deviates that are the same on every platform and standard
// library: a fixed engine (mt19937_64, whose output sequence the standard
// defines) with our own uniform conversion and Box–Muller transform, instead
// of the library's distributions whose algorithms are unspecified.
class TNoiseSource {
 public:
  explicit TNoiseSource(uint64_t seed) : FEngine(seed) {}

  // Uniform in the open interval (0, 1), 53 bits.
  double Uniform();
  // Standard normal (mean 0, variance 1).
  double Gaussian();

 private:
  std::mt19937_64 FEngine;
  double FSpare = 0;
  bool FHasSpare = false;
};
