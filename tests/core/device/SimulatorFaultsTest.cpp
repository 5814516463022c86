// SPDX-License-Identifier: GPL-3.0-or-later
// The device against the in-process simulated instrument and its faults: what
// the operator would see from a misbehaving controller.
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "ScriptedLink.h"
#include "app/AppError.h"
#include "device/Device.h"
#include "simulator/SimulatorLink.h"

namespace {

TEST(DeviceOnSimulator, ControllerFaults) {
  const struct {
    const char *name;
    TSimulatorFaults faults;
    int motor;
    int32_t steps;
    const char *message;  // "" when the shift returns
    int32_t result;
    int32_t positionAfter;  // of the shifted motor; both start at 1000
  } cases[] = {
      {"no fault", {}, 0, 500, "", 0, 1500},
      {"acknowledgement 0", {.BadAcknowledgement = 1}, 0, 500, "Incorrect device answer.", 0, 1000},
      {"16 to a wheel shift", {.WrongMotorCode = 1}, 1, 500, "Incorrect device answer.", 0, 1000},
      {"19 to a carriage shift", {.WrongMotorCode = 1}, 0, 500, "Incorrect device answer.", 0, 1000},
      {"stalled carriage", {.StallCarriage = 1}, 0, 1000, "", 500, 1500},
      {"answer swallowed", {.SwallowAnswer = 1}, 0, 500, "Timeout error.", 0, 1000},
      {"link dropped", {.DropLink = 1}, 1, 500, "Input/output error.", 0, 1000},
  };
  for (const auto &c : cases) {
    TSimulatorConfig config;
    config.Speed = 0;
    config.KeepState = false;
    config.Carriage = 1000;
    config.Wheel = 1000;
    config.Faults = c.faults;
    TSimulatorLink link(config);
    TFakeClock clock;
    clock.StepPerRead = 1;  // the simulator at speed 0 never blocks
    TDevice device(&link, &clock);
    device.WriteLog = true;
    ASSERT_EQ(link.OpenEx("Veltravor controller", 2), LINK_OK);
    device.Opened = true;
    device.CarriagePosition = device.WheelPosition = 1000;

    QString error;
    int32_t result = 0;
    try {
      result = device.ShiftMotor(c.motor, c.steps);
    } catch (const EAppError &e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.message) << c.name;
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(c.motor == 0 ? device.CarriagePosition : device.WheelPosition, c.positionAfter)
        << c.name;
    if (!error.isEmpty()) {
      EXPECT_TRUE(device.EventLog.last().endsWith("\tERROR\t" + error)) << c.name;
    }
  }
}

TEST(DeviceOnSimulator, PositionsTrackTheInstrument) {
  TSimulatorConfig config;
  config.Speed = 0;
  config.KeepState = false;
  config.Carriage = 35000;
  config.Wheel = 1234;
  TSimulatorLink link(config);
  TDevice device(&link);
  device.FilterTable = ParseFilterTable("1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;");
  device.Initialize();
  EXPECT_EQ(device.WheelPosition, 0);
  EXPECT_EQ(device.ShiftMotor(0, -100000), -65000);
  EXPECT_EQ(device.CarriagePosition, 0);
  EXPECT_EQ(device.ShiftMotor(0, 30000), 0);

  // Through the filters and back; the gain walk of a scan.
  int filters = 0;
  while (device.NextFilter()) ++filters;
  EXPECT_EQ(filters, 5);
  EXPECT_FLOAT_EQ(device.CurrentTransmission(), 9.1e-6f);
  while (device.PreviousFilter()) --filters;
  EXPECT_EQ(filters, 0);
  EXPECT_EQ(device.WheelPosition, 0);
  // At zero delay with full transmission the signal is far beyond the scale
  // at full gain and reads mid-scale behind the strongest filter at gain 1.
  EXPECT_EQ(device.Measure(4), 1023);
  while (device.GainDown()) {
  }
  while (device.NextFilter()) {
  }
  const int value = device.Measure(16);
  EXPECT_GT(value, 400);
  EXPECT_LT(value, 1000);
}

}  // namespace
