// SPDX-License-Identifier: GPL-3.0-or-later
// The device object against the simulated instrument: the program's whole
// protocol stack, as the start actions and the scan worker drive it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "app/AppError.h"
#include "device/Device.h"
#include "measurement/ProjectData.h"
#include "measurement/WorkingThread.h"
#include "settings/FilterTable.h"
#include "simulator/SimulatorLink.h"
#include "simulator/SimulatorOptics.h"

namespace O = SimulatorOptics;

namespace {
// A clock that runs 50 ms per reading, so that a 30 s time-out passes in a
// few hundred polls.
class TRacingClock : public TClock {
 public:
  uint32_t Ticks() override { return FNow += 50; }

 private:
  uint32_t FNow = 0;
};

TSimulatorConfig Instant(TSimulatorFaults faults = {}) {
  TSimulatorConfig config;
  config.Speed = 0;
  config.KeepState = false;
  config.Faults = faults;
  return config;
}

// A device on the simulated instrument, set up as the program's start does:
// calibration from the simulator's settings, instrument initialised, carriage
// rolled back to its initial limit.
struct TSimulatedDevice {
  explicit TSimulatedDevice(const TSimulatorConfig &config)
      : Link(CreateSimulatorLink(config)), Device(Link.get(), &Clock) {
    Device.FilterTable = ParseFilterTable(O::FilterTableText);
    Device.ZeroPosition = config.Zero;
    Device.PeriodDelayLine = 4;
    Device.PeriodFilter = 4;
  }
  void Start() {
    Device.Initialize();
    Device.ShiftMotor(TDevice::MotorCarriage, -100000);
  }
  // One point as the scan worker measures it, by the worker's own code.
  int MeasurePoint(int average, int low = 50, int high = 650) {
    if (!Worker) Worker = std::make_unique<TWorkingThread>(&Project, &Device);
    Worker->AvgNum = average;
    Worker->LowLevel = low;
    Worker->HighLevel = high;
    return Worker->MeasurePoint();
  }

  std::unique_ptr<TSimulatorLink> Link;
  TRacingClock Clock;
  TDevice Device;
  TProjectData Project;
  std::unique_ptr<TWorkingThread> Worker;
};

std::string ErrorOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EAppError &e) {
    return e.Message().toStdString();
  }
  return "(no error)";
}
}  // namespace

TEST(SimulatedDevice, StartFindsTheFirstFilterAndTheInitialLimit) {
  TSimulatedDevice d(Instant());
  d.Start();
  TSimulatedInstrument &model = d.Link->Instrument();
  EXPECT_EQ(d.Device.WheelPosition, 0);
  EXPECT_EQ(model.WheelPosition(), 0);
  EXPECT_EQ(d.Device.CarriagePosition, 0);
  EXPECT_EQ(model.CarriagePosition(), 0);
  EXPECT_EQ(model.PhotoGain(), 16);
  EXPECT_EQ(model.InputGain(), 64);
  EXPECT_FLOAT_EQ(d.Device.CurrentTransmission(), 1.0f);
  // Tracked positions follow the model through filter steps and long moves.
  while (d.Device.NextFilter()) {
  }
  EXPECT_EQ(d.Device.WheelPosition, 2000);
  EXPECT_EQ(model.WheelPosition(), 2000);
  EXPECT_EQ(d.Device.ShiftMotor(TDevice::MotorCarriage, 69000), 0);
  EXPECT_EQ(d.Device.ShiftMotor(TDevice::MotorCarriage, 5000), 4000) << "forward limit at 70000";
  EXPECT_EQ(d.Device.CarriagePosition, 70000);
  EXPECT_EQ(model.CarriagePosition(), 70000);
}

TEST(SimulatedDevice, RangedSweepRecoversTheCurveOverTenDecades) {
  TSimulatorConfig config = Instant();
  config.Seed = 5;
  TSimulatedDevice d(config);
  d.Start();
  d.Device.SignalShift = static_cast<int>(O::DarkCounts);
  const int average = 128;

  // Coarse grid from -60 ps to +60 ps: 2 ps steps outside ±8 ps, 100 fs within.
  std::vector<double> delays;
  for (double t = -60000; t < -8000; t += 2000) delays.push_back(t);
  for (double t = -8000; t <= 8000; t += 100) delays.push_back(t);
  for (double t = 10000; t <= 60000; t += 2000) delays.push_back(t);

  std::map<double, double> curve;  // delay fs -> value referred to unit gain, no filter
  for (double tau : delays) {
    const int position = config.Zero + static_cast<int>(std::lround(tau / O::FsPerStep));
    ASSERT_EQ(d.Device.ShiftMotor(TDevice::MotorCarriage, position - d.Device.CarriagePosition), 0);
    const int v = d.MeasurePoint(average);
    const double t = d.Device.CurrentTransmission();
    const int f = d.Device.AmpF, i = d.Device.AmpI;
    const double value = v / (f * i * t) / O::PeakCounts;
    const double truth = O::Correlation(O::Delay(position, config.Zero));
    // Within the noise of the gains and filter in force, plus rounding.
    const double sigma = O::AverageSigma(truth, t, f, i, average);
    const double tolerance = (5 * sigma + 1) / (f * i * t) / O::PeakCounts;
    EXPECT_NEAR(value, truth, tolerance)
        << "tau " << tau << " fs, " << f << "x" << i << ", T " << t;
    curve[tau] = value;
  }

  EXPECT_NEAR(curve[0], 1.0, 0.02);
  // Pre-pulse: twice the wing alone at the mirror delay; post-pulse far above
  // its mirror artefact, which stands at the post-pulse's height squared.
  EXPECT_GT(curve[-3300], 1.8 * curve[3300]);
  EXPECT_GT(curve[6700], 100 * curve[-6700]);
  EXPECT_NEAR(curve[6700], 3e-3, 3e-4);
  EXPECT_NEAR(curve[-6700], 9e-6, 1.5e-6);
  EXPECT_GT(curve[-6700], 10 * curve[-6000]) << "the artefact is a peak, not the wing";
  // Pedestal within ±40 ps, nothing beyond: more than ten decades below the peak.
  for (double tau : {-30000.0, -20000.0, 20000.0, 30000.0}) EXPECT_NEAR(curve[tau], 5e-9, 5e-10);
  for (double tau : {-60000.0, -50000.0, 50000.0, 60000.0}) EXPECT_LT(curve[tau], 1e-10 * curve[0]);
}

TEST(SimulatedDevice, EachFaultEndsInTheProgramsError) {
  struct Row {
    const char *Name;
    TSimulatorFaults Faults;
    std::function<void(TDevice &)> Action;
    const char *Message;
  };
  // Initialize sends command 1 (gains) and 2 (wheel home); the carriage roll
  // back is command 3; the actions below start at command 4.
  const Row rows[] = {
      {"swallowed measurement",
       {.SwallowAnswer = 4},
       [](TDevice &d) { d.Measure(1); },
       "Timeout error."},
      {"swallowed shift",
       {.SwallowAnswer = 4},
       [](TDevice &d) { d.ShiftMotor(TDevice::MotorCarriage, 100); },
       "Timeout error."},
      {"bad acknowledgement",
       {.BadAcknowledgement = 4},
       [](TDevice &d) { d.ShiftMotor(TDevice::MotorCarriage, 100); },
       "Incorrect device answer."},
      {"other motor's code",
       {.WrongMotorCode = 4},
       [](TDevice &d) { d.NextFilter(); },
       "Incorrect device answer."},
      {"dropped link", {.DropLink = 4}, [](TDevice &d) { d.Measure(1); }, "Input/output error."},
  };
  for (const Row &r : rows) {
    TSimulatedDevice d(Instant(r.Faults));
    d.Start();
    d.Device.ShiftMotor(TDevice::MotorCarriage, 0);  // sends nothing
    const int carriage = d.Device.CarriagePosition, wheel = d.Device.WheelPosition;
    EXPECT_EQ(ErrorOf([&] { r.Action(d.Device); }), r.Message) << r.Name;
    EXPECT_EQ(d.Device.CarriagePosition, carriage) << r.Name;
    EXPECT_EQ(d.Device.WheelPosition, wheel) << r.Name;
  }
}

TEST(SimulatedDevice, StalledCarriageReportsItsStepsNotMade) {
  TSimulatedDevice d(Instant({.StallCarriage = 4}));
  d.Start();
  const int32_t left = d.Device.ShiftMotor(TDevice::MotorCarriage, 1000);
  EXPECT_EQ(left, 500);
  // The tracked position stays true to the model.
  EXPECT_EQ(d.Device.CarriagePosition, 500);
  EXPECT_EQ(d.Link->Instrument().CarriagePosition(), 500);
}

TEST(SimulatedDevice, DroppedLinkFailsEveryLaterCallAndClosesQuietly) {
  auto d = std::make_unique<TSimulatedDevice>(Instant({.DropLink = 1}));
  EXPECT_EQ(ErrorOf([&] { d->Device.Initialize(); }), "Input/output error.");
  // The failed start closed the link again, so nothing is sent on a dead one.
  EXPECT_FALSE(d->Device.Opened);
  EXPECT_EQ(ErrorOf([&] { d->Device.Measure(1); }), "Device is not opened.");
  EXPECT_EQ(ErrorOf([&] { d->Device.Initialize(); }), "Input/output error.");
  d.reset();  // the destructor swallows every error
}

TEST(SimulatedDevice, AStartThatFailsAfterOpeningIsRetriedWhole) {
  // The first answer (the wheel's acknowledgement) never comes.
  TSimulatedDevice d(Instant({.SwallowAnswer = 2}));
  EXPECT_EQ(ErrorOf([&] { d.Device.Initialize(); }), "Timeout error.");
  EXPECT_FALSE(d.Device.Opened);
  // The next attempt runs the whole sequence: gains set, wheel at the first filter.
  d.Device.Initialize();
  EXPECT_TRUE(d.Device.Opened);
  EXPECT_EQ(d.Device.AmpF * d.Device.AmpI, 1024);
  EXPECT_EQ(d.Device.WheelPosition, d.Device.FilterTable.first().Position);
  EXPECT_FLOAT_EQ(d.Device.CurrentTransmission(), 1.0f);
}
