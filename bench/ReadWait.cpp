// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of waiting for an answer on the serial link: a read that waits 2 s for
// its byte (CPU share of one core, from getrusage) and a read whose byte is
// already waiting (latency). Runs over a pseudo-terminal; prints its figures.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "device/Device.h"
#include "device/SerialPortLink.h"

namespace {
double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
  TSerialPortLink link(QString::fromLocal8Bit(::ptsname(master)));
  TDevice device(&link);
  if (link.OpenEx(QString(), 2) != LINK_OK) return 1;
  device.Opened = true;

  // The answer comes after 2 s.
  std::thread answer([&] {
    ::usleep(2000000);
    const uint8_t b = 0x42;
    (void)!::write(master, &b, 1);
  });
  QElapsedTimer wall;
  const double cpu0 = CpuSeconds();
  wall.start();
  device.ReadByte(30000);
  const double seconds = double(wall.nsecsElapsed()) / 1e9;
  const double cpu = CpuSeconds() - cpu0;
  answer.join();
  std::printf("read waiting %.3f s for its answer: %.4f s CPU = %.2f %% of one core\n", seconds,
              cpu, 100 * cpu / seconds);

  // Answers already waiting.
  double worst = 0, total = 0;
  const int rounds = 200;
  for (int i = 0; i < rounds; ++i) {
    const uint8_t b = uint8_t(i);
    (void)!::write(master, &b, 1);
    ::usleep(2000);
    wall.restart();
    device.ReadByte(30000);
    const double ms = double(wall.nsecsElapsed()) / 1e6;
    total += ms;
    if (ms > worst) worst = ms;
  }
  std::printf("read of a waiting answer: mean %.4f ms, worst %.4f ms over %d reads\n",
              total / rounds, worst, rounds);
  ::close(master);
  return 0;
}
