// SPDX-License-Identifier: GPL-3.0-or-later
// veltravor-sim end to end: the program serves the instrument on a
// pseudo-terminal that a serial port opens like the USB one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <csignal>

#include "device/Device.h"
#include "device/SerialPortLink.h"
#include "settings/FilterTable.h"
#include "simulator/SimulatorOptics.h"

namespace {
QString SimulatorProgram() {
  // The test binary lives in <build>/tests, the programs in <build>/bin.
  return QCoreApplication::applicationDirPath() + "/../bin/veltravor-sim";
}

struct TServer {
  QTemporaryDir Dir;
  QString Link = Dir.path() + "/veltravor-pty";
  QProcess Process;

  bool Start(QStringList extra = {}) {
    Process.start(SimulatorProgram(),
                  QStringList{"--pty", Link, "--speed", "0", "--no-state"} + extra);
    if (!Process.waitForStarted(5000)) return false;
    // Ready once it has announced the terminal.
    while (!Process.readAllStandardOutput().contains("serving"))
      if (!Process.waitForReadyRead(5000)) return false;
    return true;
  }
  ~TServer() {
    if (Process.state() != QProcess::NotRunning) {
      Process.kill();
      Process.waitForFinished(5000);
    }
  }
};

QByteArray Exchange(QSerialPort &port, const QByteArray &bytes, int count) {
  port.write(bytes);
  port.waitForBytesWritten(1000);
  QByteArray answer;
  while (answer.size() < count && port.waitForReadyRead(2000)) answer += port.readAll();
  return answer;
}
}  // namespace

class PtyServer : public testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo(SimulatorProgram()).isExecutable()) GTEST_SKIP() << "veltravor-sim not built";
  }
};

TEST_F(PtyServer, HelpListsEveryOption) {
  QProcess p;
  p.start(SimulatorProgram(), {"--help"});
  ASSERT_TRUE(p.waitForFinished(5000));
  const QString help = p.readAllStandardOutput();
  for (const char *option : {"--pty", "--speed", "--seed", "--zero", "--length", "--carriage",
                             "--swallow-answer", "--bad-ack", "--wrong-motor-code",
                             "--stall-carriage", "--drop-link"})
    EXPECT_TRUE(help.contains(option)) << option;
  EXPECT_EQ(p.exitCode(), 0);
}

TEST_F(PtyServer, ServesTheProtocolAndEndsCleanlyOnEachSignal) {
  for (int signal : {SIGTERM, SIGINT}) {
    TServer server;
    ASSERT_TRUE(server.Start({"--carriage", "30000"})) << signal;
    ASSERT_TRUE(QFileInfo(server.Link).isSymLink());
    {
      QSerialPort port(server.Link);
      ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
      port.setBaudRate(9600);
      EXPECT_EQ(Exchange(port, QByteArray("\x21\x00\x0A\x04", 4), 4),
                QByteArray("\x01\x01\x01\x02", 4));
      const QByteArray low = Exchange(port, QByteArray("\x50", 1), 1);
      EXPECT_EQ(low.size(), 1);
      EXPECT_EQ(Exchange(port, QByteArray("\x01", 1), 1).size(), 1);
    }
    ::kill(static_cast<pid_t>(server.Process.processId()), signal);
    ASSERT_TRUE(server.Process.waitForFinished(5000));
    EXPECT_EQ(server.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.Process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(server.Link) || QFileInfo(server.Link).isSymLink())
        << "the link is removed";
  }
}

TEST_F(PtyServer, DropLinkFaultClosesTheTerminal) {
  TServer server;
  ASSERT_TRUE(server.Start({"--drop-link", "1"}));
  QSerialPort port(server.Link);
  ASSERT_TRUE(port.open(QIODevice::ReadWrite));
  port.write(QByteArray("\x50", 1));
  port.waitForBytesWritten(1000);
  ASSERT_TRUE(server.Process.waitForFinished(5000));
  EXPECT_EQ(server.Process.exitCode(), 0);
  EXPECT_FALSE(QFileInfo(server.Link).isSymLink());
}

TEST_F(PtyServer, NeverReplacesAFileAtThePath) {
  TServer server;
  QFile file(server.Link);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("precious");
  file.close();
  server.Process.start(SimulatorProgram(), {"--pty", server.Link, "--no-state"});
  ASSERT_TRUE(server.Process.waitForFinished(5000));
  EXPECT_NE(server.Process.exitCode(), 0);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "precious");
}

TEST_F(PtyServer, RejectsBadOptions) {
  for (const QStringList &args : {QStringList{"--pty", "/tmp/x", "--speed", "-1"},
                                  QStringList{"--pty", "/tmp/x", "--carriage", "80000"},
                                  QStringList{"--pty", "/tmp/x", "--drop-link", "0"},
                                  QStringList{"--speed", "1"}}) {
    QProcess p;
    p.start(SimulatorProgram(), args);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    EXPECT_FALSE(QFileInfo(QStringLiteral("/tmp/x")).isSymLink());
  }
}

TEST_F(PtyServer, DeviceDrivesTheServedInstrumentThroughTheSerialPortLink) {
  TServer server;
  // Speed 0.01: a real clock and real waits, a hundred times faster.
  server.Process.start(SimulatorProgram(), {"--pty", server.Link, "--speed", "0.01",
                                            "--no-state", "--carriage", "500"});
  ASSERT_TRUE(server.Process.waitForStarted(5000));
  while (!server.Process.readAllStandardOutput().contains("serving"))
    ASSERT_TRUE(server.Process.waitForReadyRead(5000));

  TSerialPortLink link(server.Link);
  TDevice device(&link);  // the steady clock
  device.FilterTable = ParseFilterTable(SimulatorOptics::FilterTableText);
  device.SignalShift = 4;
  device.PeriodDelayLine = 1;
  device.PeriodFilter = 1;
  device.Initialize();
  EXPECT_EQ(device.WheelPosition, 0);
  EXPECT_EQ(device.ShiftMotor(TDevice::MotorCarriage, -100000), -100000 + 500);
  EXPECT_EQ(device.ShiftMotor(TDevice::MotorCarriage, 30000), 0);
  // Peak at full gain, open wheel, saturates; behind the strongest filter at
  // gain 1 it reads about 700.
  EXPECT_EQ(device.Measure(16), 1023 - 4);
  while (device.NextFilter()) {
  }
  device.SetGains(1, 1);
  EXPECT_NEAR(device.Measure(128), 700, 15);
  device.Close();
}
