// SPDX-License-Identifier: GPL-3.0-or-later
// The pulse report against the simulated instrument (instant time scale, fixed
// seed), whose optics are known: a 250 fsec Gaussian correlation, a pre-pulse of
// 2e-5 at -3300 fsec, a post-pulse of 3e-3 at +6700 fsec with its mirror
// artefact of 9e-6 at -6700 fsec, a 5e-9 pedestal within +-40 psec. Scans run
// through the scan worker, as the program runs them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <memory>

#include "MeasurementTestSupport.h"
#include "app/Globals.h"
#include "device/Device.h"
#include "measurement/CurveAnalysis.h"
#include "measurement/ProjectData.h"
#include "measurement/PulseReport.h"
#include "measurement/WorkingThread.h"
#include "settings/FilterTable.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"
#include "simulator/SimulatorOptics.h"

namespace {
constexpr int SimZero = 30000;  // the simulated instrument's true zero delay

// A project measured on the simulated instrument under a given filter table.
struct TSimulatedProject {
  explicit TSimulatedProject(const char *filterTable = SimulatorOptics::FilterTableText,
                             uint64_t seed = 11) {
    Settings.AddParam({"General"}, "avgNum", 64);
    AppSettings = &Settings;
    TSimulatorConfig config;
    config.Speed = 0;
    config.Seed = seed;
    config.KeepState = false;
    config.Carriage = SimZero;
    config.Wheel = 0;
    Link = CreateSimulatorLink(config);
    Dev = std::make_unique<TDevice>(Link.get());
    Dev->FilterTable = ParseFilterTable(filterTable);
    Dev->CarriagePosition = SimZero;
    Dev->ZeroPosition = SimZero;
    // The signal shift removes the converter's dark reading, as on a set-up
    // instrument.
    Dev->SignalShift = int(SimulatorOptics::DarkCounts);
    Dev->Initialize();
    Project.ZeroPosition = SimZero;
  }
  ~TSimulatedProject() { AppSettings = nullptr; }

  // One run over leftFs..rightFs at step 1; a second run measures only what
  // is still missing, as in the program.
  void Scan(int leftFs, int rightFs) {
    Project.Left = leftFs;
    Project.Right = rightFs;
    Project.Step = 1;
    Project.BuildPlan(SimZero);
    TWorkingThread worker(&Project, Dev.get());
    worker.start();
    ASSERT_TRUE(worker.wait(QDeadlineTimer(300000)));
    ASSERT_TRUE(worker.ErrorText.isEmpty()) << worker.ErrorText.toStdString();
  }

  TPulseReport Report(TCorrelationKind kind = TCorrelationKind::ThirdOrderCross) const {
    return ComputePulseReport(Project, SimZero, kind);
  }

  TSettingsStorage Settings;
  std::unique_ptr<TSimulatorLink> Link;
  std::unique_ptr<TDevice> Dev;
  TProjectData Project;
};

std::string Describe(const TPulseReport &r) {
  return PulseReportText(r).toStdString();
}

// The project measured once for the tests that only read it.
class SimulatedScan : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Shared = new TSimulatedProject();
    Shared->Scan(-10000, 10000);
  }
  static void TearDownTestSuite() {
    delete Shared;
    Shared = nullptr;
  }
  static TSimulatedProject *Shared;
};
TSimulatedProject *SimulatedScan::Shared = nullptr;
}  // namespace

TEST_F(SimulatedScan, FitsGiveTheTrueWidthWhereTheHalfMaximumWidthIsBiased) {
  const TPulseReport r = Shared->Report();
  ASSERT_TRUE(r.Gaussian.Valid) << Describe(r);
  EXPECT_NEAR(r.Gaussian.FwhmFs, 250, 5) << Describe(r);
  EXPECT_NEAR(r.Gaussian.DurationFs, 204, 5);
  EXPECT_NEAR(r.Gaussian.DurationFs, r.Gaussian.FwhmFs * 0.816, 1e-9);
  ASSERT_TRUE(r.FwhmFs.has_value());
  EXPECT_LE(std::abs(r.Gaussian.FwhmFs - 250), std::abs(*r.FwhmFs - 250) + 1)
      << "the fit is no worse than the half-maximum width";
  // The half-maximum width is the chart's own figure.
  EXPECT_NEAR(*r.FwhmFs, ComputePeakWidth(Shared->Project, SimZero), 0.01);
  EXPECT_NEAR(*r.PeakPositionFs, DelayOf(Shared->Project.PeakIndex, SimZero), 1e-9);
  // The curve is a Gaussian: that fit is the closer one, sech^2 comes out
  // narrower at the top and worse.
  ASSERT_TRUE(r.Sech2.Valid);
  EXPECT_LT(r.Gaussian.Residual, r.Sech2.Residual);
  EXPECT_LT(r.Gaussian.Residual, 0.02);
  EXPECT_NEAR(r.Sech2.DurationFs, r.Sech2.FwhmFs * 0.777, 1e-9);
  EXPECT_NEAR(r.Gaussian.CenterFs, 0, 5);

  const TPulseReport a = Shared->Report(TCorrelationKind::SecondOrderAuto);
  EXPECT_NEAR(a.Gaussian.DurationFs, a.Gaussian.FwhmFs * 0.707, 1e-9);
  EXPECT_NEAR(a.Sech2.DurationFs, a.Sech2.FwhmFs * 0.648, 1e-9);
  EXPECT_DOUBLE_EQ(a.Gaussian.FwhmFs, r.Gaussian.FwhmFs);
}

TEST_F(SimulatedScan, FindsThePreAndPostPulseAndFlagsTheMirrorArtefact) {
  const TPulseReport r = Shared->Report();
  ASSERT_EQ(r.Pulses.size(), 3) << Describe(r);
  const TSatellite &ghost = r.Pulses[0], &pre = r.Pulses[1], &post = r.Pulses[2];

  EXPECT_TRUE(post.Pre == false);
  EXPECT_NEAR(post.DelayFs, 6700, 30);
  EXPECT_NEAR(post.Contrast, 3e-3, 0.25 * 3e-3);
  EXPECT_FALSE(post.GhostOf.has_value());
  ASSERT_TRUE(post.WidthFs.has_value());
  EXPECT_NEAR(*post.WidthFs, 250, 40);

  // The pre-pulse sits on the exponential wing; its own height is asked for.
  EXPECT_TRUE(pre.Pre);
  EXPECT_NEAR(pre.DelayFs, -3300, 30);
  EXPECT_NEAR(pre.Contrast, 2e-5, 0.4 * 2e-5);
  EXPECT_FALSE(pre.GhostOf.has_value()) << "nothing at +3300 fsec";

  EXPECT_TRUE(ghost.Pre);
  EXPECT_NEAR(ghost.DelayFs, -6700, 30);
  EXPECT_NEAR(ghost.Contrast, 9e-6, 0.4 * 9e-6);
  ASSERT_TRUE(ghost.GhostOf.has_value());
  EXPECT_DOUBLE_EQ(*ghost.GhostOf, post.DelayFs);
}

TEST_F(SimulatedScan, TrueCalibrationGivesNoStitchWarning) {
  const TPulseReport r = Shared->Report();
  ASSERT_FALSE(r.Stitches.isEmpty());
  int filterSwitches = 0;
  for (const TStitch &s : r.Stitches) {
    EXPECT_FALSE(s.Warning) << s.DelayFs << " fsec: ratio " << s.Ratio.value_or(-1) << "\n"
                            << Describe(r);
    if (s.TransmissionBefore != s.TransmissionAfter) ++filterSwitches;
  }
  EXPECT_GE(filterSwitches, 4) << "the scan crosses the filter range both ways";
  EXPECT_FALSE(r.CalibrationWarning());
  for (const TFilterCheck &f : r.Filters) {
    if (f.SuggestedTransmission) {
      EXPECT_NEAR(*f.SuggestedTransmission, f.Transmission, 0.05 * f.Transmission);
    }
  }
}

TEST(PulseReportSimulated, PedestalAndDynamicRangeFromAFarScan) {
  TSimulatedProject p;
  p.Scan(-10000, 10000);
  {
    const TPulseReport r = p.Report();
    EXPECT_FALSE(r.Pedestal.has_value()) << "nothing 15 psec from the peak yet";
    EXPECT_TRUE(r.Notes.join(' ').contains("pedestal")) << Describe(r);
  }
  p.Scan(-40000, -20000);
  const TPulseReport r = p.Report();
  ASSERT_TRUE(r.Pedestal.has_value()) << Describe(r);
  EXPECT_NEAR(*r.Pedestal, 5e-9, 0.3 * 5e-9);
  ASSERT_TRUE(r.PedestalSpread.has_value());
  EXPECT_LT(*r.PedestalSpread, 0.2 * *r.Pedestal);
  ASSERT_TRUE(r.DynamicRangeDecades.has_value());
  EXPECT_GT(*r.DynamicRangeDecades, 9);
  EXPECT_LT(*r.NoiseFloor, *r.Pedestal / 10) << "the pedestal is well above the floor";
  EXPECT_EQ(r.Pulses.size(), 3) << "the far scan adds no pulse" << Describe(r);
}

TEST(PulseReportSimulated, AWrongFilterTransmissionIsFoundAndItsTrueValueSuggested) {
  TSimulatedProject p("1;0;0.0923;400;0.0100;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;");
  p.Scan(-10000, 10000);
  const TPulseReport r = p.Report();
  EXPECT_TRUE(r.CalibrationWarning());
  int warned = 0;
  for (const TStitch &s : r.Stitches) {
    const bool touches = s.TransmissionBefore == 0.0100f || s.TransmissionAfter == 0.0100f;
    const bool filterSwitch = s.TransmissionBefore != s.TransmissionAfter;
    if (touches && filterSwitch && s.Conclusive) {
      EXPECT_TRUE(s.Warning) << s.DelayFs << " fsec, ratio " << *s.Ratio;
      ++warned;
    }
    if (!touches) {
      EXPECT_FALSE(s.Warning) << s.DelayFs << " fsec\n" << Describe(r);
    }
  }
  EXPECT_GE(warned, 2);
  bool found = false;
  for (const TFilterCheck &f : r.Filters) {
    if (f.Transmission == 0.0100f) {
      found = true;
      ASSERT_TRUE(f.SuggestedTransmission.has_value()) << Describe(r);
      EXPECT_NEAR(*f.SuggestedTransmission, 0.00871, 0.05 * 0.00871);
      EXPECT_TRUE(f.Warning);
    } else if (!f.Reference && f.SuggestedTransmission) {
      EXPECT_FALSE(f.Warning) << f.Transmission << "\n" << Describe(r);
    }
  }
  EXPECT_TRUE(found);
}

