// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/NoiseSource.h"

#include <cmath>
#include <numbers>

double TNoiseSource::Uniform() {
  // The top 53 bits, centred in their cell so that 0 and 1 never occur.
  return (static_cast<double>(FEngine() >> 11) + 0.5) * 0x1.0p-53;
}

double TNoiseSource::Gaussian() {
  if (FHasSpare) {
    FHasSpare = false;
    return FSpare;
  }
  const double radius = std::sqrt(-2.0 * std::log(Uniform()));
  const double angle = 2.0 * std::numbers::pi * Uniform();
  FSpare = radius * std::sin(angle);
  FHasSpare = true;
  return radius * std::cos(angle);
}
