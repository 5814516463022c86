// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "ErrorOf.h"
#include "QtPrinters.h"
#include "app/AppError.h"
#include "device/Device.h"
#include "device/SerialPortLink.h"

namespace {

// A pseudo-terminal: the link opens the slave side, the test plays the
// instrument on the master side.
class Pty {
 public:
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
      slave = QString::fromLocal8Bit(::ptsname(master));
  }
  ~Pty() { CloseMaster(); }
  void CloseMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  void Send(std::initializer_list<uint8_t> bytes) {
    ASSERT_EQ(::write(master, bytes.begin(), bytes.size()), ssize_t(bytes.size()));
  }
  // The next byte the program sent, or -1 after timeoutMs.
  int Receive(int timeoutMs = 2000) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return -1;
    uint8_t b;
    return ::read(master, &b, 1) == 1 ? b : -1;
  }
  int master = -1;
  QString slave;
};

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(SerialPortLink, DescriptionsCompareWithBlanksAndUnderscoresAlike) {
  const QString wanted = TSerialPortLink::NormalizeDescription("Veltravor controller");
  EXPECT_EQ(TSerialPortLink::NormalizeDescription("Veltravor_controller"), wanted);
  EXPECT_EQ(TSerialPortLink::NormalizeDescription(" veltravor  Controller "), wanted);
  EXPECT_NE(TSerialPortLink::NormalizeDescription("Veltravor controller 2"), wanted);
}

TEST(SerialPortLink, AMissingDeviceIsStatusTwo) {
  TSerialPortLink named("/dev/veltravor-no-such-port");
  EXPECT_EQ(named.OpenEx("Veltravor controller", 2), LINK_DEVICE_NOT_FOUND);
  TSerialPortLink found;
  EXPECT_EQ(found.OpenEx("No such controller description", 2), LINK_DEVICE_NOT_FOUND);
  TSerialPortLink notATty("/proc/version");
  EXPECT_NE(notATty.OpenEx("Veltravor controller", 2), LINK_OK);
  uint32_t rx, tx, ev;
  EXPECT_EQ(named.GetStatus(&rx, &tx, &ev), LINK_INVALID_HANDLE);
}

TEST(SerialPortLink, TheDeviceTalksThroughARealTerminal) {
  Pty pty;
  ASSERT_FALSE(pty.slave.isEmpty());
  TSerialPortLink link(pty.slave);
  TDevice device(&link);
  device.FilterTable = {{1.0, 0}};
  // The instrument: gains, then the wheel runs home (answer 19, 0 steps left).
  std::thread instrument([&] {
    EXPECT_EQ(pty.Receive(), 0x30);
    EXPECT_EQ(pty.Receive(), 0x04);
    for (uint8_t b : {0x27, 0xFF, 0xFF, 0x0F}) EXPECT_EQ(pty.Receive(), b);
    pty.Send({1, 1, 1, 2});
    for (uint8_t b : {0x27, 0x86, 0xA1, 0x0F}) EXPECT_EQ(pty.Receive(), b);
    pty.Send({1, 1, 1, 19});
    EXPECT_EQ(pty.Receive(), 1);
    pty.Send({0});
    EXPECT_EQ(pty.Receive(), 1);
    pty.Send({0});
  });
  device.Initialize();
  instrument.join();
  EXPECT_TRUE(device.Opened);
  EXPECT_EQ(device.WheelPosition, 0);

  // A measurement made from another thread than the one that opened the link,
  // as the scan worker does.
  std::thread instrument2([&] {
    EXPECT_EQ(pty.Receive(), 0x53);
    pty.Send({0xFF});
    EXPECT_EQ(pty.Receive(), 1);
    pty.Send({0x03});
  });
  int value = -1;
  std::thread worker([&] { value = device.Measure(8); });
  worker.join();
  instrument2.join();
  EXPECT_EQ(value, 1023);

  // Bytes waiting before a gain assignment are purged.
  pty.Send({0x55, 0x66});
  ::usleep(20000);
  device.SetGains(1, 1);
  EXPECT_EQ(pty.Receive(), 0x30);
  EXPECT_EQ(pty.Receive(), 0x1E);
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(30); }), "Timeout error.");

  device.Close();
  EXPECT_FALSE(device.Opened);
}

TEST(SerialPortLink, AWaitingReadSleepsAndAWaitingByteComesAtOnce) {
  Pty pty;
  TSerialPortLink link(pty.slave);
  TDevice device(&link);
  device.Opened = link.OpenEx(QString(), 2) == LINK_OK;
  ASSERT_TRUE(device.Opened);

  QElapsedTimer wall;
  const double cpu0 = CpuSeconds();
  wall.start();
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(300); }), "Timeout error.");
  const qint64 waited = wall.elapsed();
  const double cpu = CpuSeconds() - cpu0;
  // The read's own time-out ends it, not the driver's 30 s; the margin holds
  // on a loaded machine.
  EXPECT_GE(waited, 300);
  EXPECT_LT(waited, 5000);
  // Polling in 1 ms sleeps costs a few percent of a core (bench/ReadWait
  // prints the figure); a busy wait would take most of the wall time. Load
  // from other processes only lowers this process's share.
  EXPECT_LT(cpu, 0.5 * double(waited) / 1000) << cpu << " s of CPU in " << waited << " ms";

  pty.Send({0x42});
  ::usleep(20000);
  wall.restart();
  EXPECT_EQ(device.ReadByte(30000), 0x42);
  EXPECT_LT(wall.elapsed(), 5000);  // at once, not after a time-out
}

TEST(SerialPortLink, ALostDeviceIsAnInputOutputError) {
  Pty pty;
  TSerialPortLink link(pty.slave);
  TDevice device(&link);
  device.Opened = link.OpenEx(QString(), 2) == LINK_OK;
  ASSERT_TRUE(device.Opened);
  pty.CloseMaster();
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(1000); }), "Input/output error.");
}

}  // namespace
