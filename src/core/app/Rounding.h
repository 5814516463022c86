#pragma once
#include <cmath>
#include <cstdint>

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline int64_t RoundHalfEven(double value) {
  const double r = std::nearbyint(value);  // default rounding mode: to nearest, ties to even
  return static_cast<int64_t>(r);
}
