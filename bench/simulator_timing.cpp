// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time behaviour of the in-process simulated instrument at speed 1:
// a 1,000-step carriage move at period 4 must take 4.0 s ± 3 %, a measurement
// of 2^7 pulses 128 ms ± 3 % plus the time of its bytes on the line.
// Polls the link as the device object does (status until a byte waits).
#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <vector>

#include "simulator/SimulatorLink.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr double ByteMs = 10.0 / 9600 * 1000;  // 1.0417 ms per byte at 9600 baud

bool Write(TSimulatorLink &link, uint8_t byte) {
  uint32_t written = 0;
  return link.Write(&byte, 1, &written) == LINK_OK && written == 1;
}

int ReadByte(TSimulatorLink &link) {
  uint32_t rx = 0, tx = 0, ev = 1, read = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    if (link.GetStatus(&rx, &tx, &ev) != LINK_OK) return -1;
    if (rx > 0) break;
  }
  uint8_t byte = 0;
  if (rx == 0 || link.Read(&byte, 1, &read) != LINK_OK || read != 1) return -1;
  return byte;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Report(const char *what, double measuredMs, double expectedMs, double toleranceMs) {
  const bool ok = measuredMs >= expectedMs - toleranceMs && measuredMs <= expectedMs + toleranceMs;
  std::printf("%-44s %9.2f ms  (expected %8.2f ± %6.2f)  %s\n", what, measuredMs, expectedMs,
              toleranceMs, ok ? "ok" : "OUT OF RANGE");
  return ok;
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir home;  // keep the operator's simulator state untouched
  qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());

  TSimulatorConfig config;
  config.Speed = 1;
  config.KeepState = false;
  config.Carriage = 10000;
  config.Wheel = 0;
  TSimulatorLink link(config);
  if (link.OpenEx("Veltravor controller", 2) != LINK_OK) return 1;
  bool ok = true;

  // Carriage move: four command bytes out, three acknowledgements and the
  // final answer back; the acknowledgements cross while the motor runs.
  for (int run = 0; run < 3; ++run) {
    const uint8_t direction = run % 2 == 0 ? 0x21 : 0x23;
    const auto start = Clock::now();
    for (uint8_t b : {direction, uint8_t(0x03), uint8_t(0xE8), uint8_t(4)}) ok &= Write(link, b);
    for (int i = 0; i < 3; ++i) ok &= ReadByte(link) == 1;
    ok &= ReadByte(link) == 2;
    const double ms = Ms(Clock::now() - start);
    ok &= Report("1000-step carriage move, period 4", ms, 4000 + 5 * ByteMs, 0.03 * 4000);
    std::printf("%-44s %9.2f ms\n", "  of which beyond 4000 ms + 5 bytes", ms - 4000 - 5 * ByteMs);
  }

  // Measurement with k = 7: command byte out, 128 ms of pulses, low byte back;
  // byte 1 out, high byte back.
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    ok &= Write(link, 0x57);
    ok &= ReadByte(link) >= 0;
    const double lowMs = Ms(Clock::now() - start);
    ok &= Write(link, 1);
    ok &= ReadByte(link) >= 0;
    const double allMs = Ms(Clock::now() - start);
    ok &= Report("measurement k = 7, to the low byte", lowMs, 128 + 2 * ByteMs, 0.03 * 128);
    ok &= Report("measurement k = 7, to the high byte", allMs, 128 + 4 * ByteMs, 0.03 * 128);
  }
  link.Close();
  std::printf("%s\n", ok ? "all figures within their tolerance" : "SOME FIGURES OUT OF RANGE");
  return ok ? 0 : 1;
}
