// SPDX-License-Identifier: GPL-3.0-or-later
// The device over a real serial port: veltravor-sim serves the simulated
// instrument on a pseudo-terminal and TSerialPortLink opens it by name.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "app/AppError.h"
#include "device/Device.h"
#include "device/SerialPortLink.h"
#include "simulator/SimulatorConfig.h"
#include "simulator/SimulatorOptics.h"

namespace {

QString SimulatorProgram() {
  return QCoreApplication::applicationDirPath() + "/../bin/veltravor-sim";
}

class SerialPortEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo(SimulatorProgram()).isExecutable()) GTEST_SKIP() << "veltravor-sim not built";
    server.start(SimulatorProgram(), {"--pty", pty, "--speed", "0", "--no-state", "--carriage",
                                      "30000", "--length", "70000"});
    ASSERT_TRUE(server.waitForStarted(5000));
    while (!server.readAllStandardOutput().contains("serving"))
      ASSERT_TRUE(server.waitForReadyRead(5000)) << "the simulator did not announce its terminal";
  }
  void TearDown() override {
    if (server.state() != QProcess::NotRunning) {
      server.terminate();
      if (!server.waitForFinished(5000)) server.kill();
    }
  }

  QTemporaryDir dir;
  QString pty = dir.path() + "/veltravor-pty";
  QProcess server;
};

TEST_F(SerialPortEndToEnd, InitializeMoveBothMotorsToTheirLimitsAndMeasure) {
  TSerialPortLink link(pty);
  TDevice device(&link);
  device.WriteLog = true;
  device.PeriodDelayLine = device.PeriodFilter = 4;
  device.FilterTable = {{1.0, 0}, {0.0923, 400}};
  device.CarriagePosition = 12345;  // not where the carriage really is

  device.Initialize();
  EXPECT_TRUE(device.Opened);
  EXPECT_EQ(device.WheelPosition, 0);  // home (answer 19), then the first filter at 0
  EXPECT_EQ(device.AmpF, 16);
  EXPECT_EQ(device.AmpI, 64);

  // The carriage runs back to its initial limit from 30000: 17, 70000 not made.
  EXPECT_EQ(device.ShiftMotor(0, -100000), -70000);
  EXPECT_EQ(device.CarriagePosition, 0);
  // And forward to the end of the delay line: 16, 30000 not made.
  EXPECT_EQ(device.ShiftMotor(0, 100000), 30000);
  EXPECT_EQ(device.CarriagePosition, 70000);

  EXPECT_TRUE(device.NextFilter());
  EXPECT_EQ(device.WheelPosition, 400);
  EXPECT_FLOAT_EQ(device.CurrentTransmission(), 0.0923f);
  // The wheel backward past its home: 19.
  EXPECT_EQ(device.ShiftMotor(1, -1000), -600);
  EXPECT_EQ(device.WheelPosition, 0);

  // Far off the peak, with no filter and unit gain: the simulated converter's
  // dark level, within a few standard deviations of the model's mean.
  device.SetGains(1, 1);
  const int value = device.Measure(16);
  const double c =
      SimulatorOptics::Correlation(SimulatorOptics::Delay(70000, TSimulatorConfig{}.Zero));
  const double mean = SimulatorOptics::MeanCounts(c, 1.0, 1, 1);
  const double sigma = SimulatorOptics::AverageSigma(c, 1.0, 1, 1, 16);
  EXPECT_NEAR(value, mean, 6 * sigma + 1) << "mean " << mean << ", sigma " << sigma;

  // Bytes the instrument does not answer time out.
  device.WriteBytes(0x99);
  EXPECT_THROW(device.ReadByte(200), EAppError);

  device.Close();
  EXPECT_FALSE(device.Opened);
  EXPECT_TRUE(device.EventLog.filter("ERROR").isEmpty())
      << device.EventLog.join('\n').toStdString();
}

TEST_F(SerialPortEndToEnd, ALinkDroppedByTheInstrumentIsAnInputOutputError) {
  TSerialPortLink link(pty);
  TDevice device(&link);
  device.Initialize();
  server.terminate();
  ASSERT_TRUE(server.waitForFinished(5000));
  try {
    device.Measure(1);
    FAIL() << "a measurement on a lost link succeeded";
  } catch (const EAppError &e) {
    EXPECT_EQ(e.Message(), "Input/output error.");
  }
}

}  // namespace
