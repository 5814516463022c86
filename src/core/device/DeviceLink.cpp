// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceLink.h"

#include <chrono>

uint32_t TSteadyClock::Ticks() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(ms);
}
