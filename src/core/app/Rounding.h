// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cmath>

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4), as a
// double so that out-of-range values stay comparable.
inline double RoundHalfEven(double value) {
  return std::nearbyint(value);  // default rounding mode: to nearest, ties to even
}
