// SPDX-License-Identifier: GPL-3.0-or-later
// The pulse report on noise-free curves built pixel by pixel with the gains
// and filters a scan would pick, and on projects the data cannot tell much
// about.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <functional>
#include <limits>

#include "MeasurementTestSupport.h"
#include "measurement/ProjectData.h"
#include "measurement/PulseReport.h"

namespace {
constexpr int Zero = 30000;
constexpr double PeakCounts = 7.7e7;  // converter counts of contrast 1 at gain 1, no filter
const double Filters[] = {1, 0.0923, 0.00871, 0.000937, 8.93e-5, 9.1e-6};

// Stores contrast c at index i the way the scan worker would: the least
// attenuation and then the lowest gain that bring the reading to 50..650.
void StoreContrast(TProjectData &d, int i, double c, double wrongFilter = 0, double givenAs = 0) {
  for (int f = 0; f < 6; ++f) {
    for (int gain = 1; gain <= 1024; gain *= 2) {
      const double reading = c * PeakCounts * Filters[f] * gain;
      // Above the upper threshold: more attenuation, unless there is none left.
      if (reading > 650 && !(f == 5 && gain == 1)) break;
      if (reading >= 50 || (gain == 1024 && f == 0) || (f == 5 && gain == 1)) {
        const quint8 ampF = gain >= 16 ? 16 : 1;
        const quint8 ampI = quint8(gain / ampF);
        float t = float(Filters[f]);
        if (wrongFilter && Filters[f] == wrongFilter) t = float(givenAs);
        SetPixel(d, i, quint16(std::lround(std::min(reading, 1023.0))), t, ampF, ampI);
        return;
      }
    }
  }
  SetPixel(d, i, 50, 1, 16, 64);  // unreachable for the contrasts used here
}

double Gaussian(double tau, double fwhm) {
  return std::exp(-4 * std::log(2.0) * tau * tau / (fwhm * fwhm));
}
double Sech2(double tau, double fwhm) {
  const double t = fwhm / 1.7627471740390860;
  const double s = 1 / std::cosh(tau / t);
  return s * s;
}

// A curve over fromFs..toFs (step 1) from a contrast function.
void Fill(TProjectData &d, double fromFs, double toFs, const std::function<double(double)> &c,
          double wrongFilter = 0, double givenAs = 0) {
  for (qint64 i = PositionOf(fromFs, Zero); i <= PositionOf(toFs, Zero); ++i)
    StoreContrast(d, int(i), c(DelayOf(int(i), Zero)), wrongFilter, givenAs);
  d.RecomputeStatistics();
}

std::string Text(const TPulseReport &r) {
  return PulseReportText(r).toStdString();
}

// The main peak, exponential wings and a post-pulse at +5000 fsec of 1e-3.
double WithPostPulse(double tau, double preAt, double preContrast) {
  return Gaussian(tau, 250) + 1e-4 * std::exp(-std::abs(tau) / 600) +
         1e-3 * Gaussian(tau - 5000, 250) + preContrast * Gaussian(tau - preAt, 250) + 1e-9;
}
}  // namespace

TEST(PulseReportShapes, EachFitRecoversItsOwnShapeAndTellsTheOtherApart) {
  for (const bool sech2 : {false, true}) {
    TProjectData d;
    Fill(d, -3000, 3000,
         [&](double t) { return sech2 ? Sech2(t - 40, 300) : Gaussian(t - 40, 300); });
    const TPulseReport r = ComputePulseReport(d, Zero);
    const TPeakFit &own = sech2 ? r.Sech2 : r.Gaussian;
    const TPeakFit &other = sech2 ? r.Gaussian : r.Sech2;
    ASSERT_TRUE(own.Valid && other.Valid) << Text(r);
    EXPECT_NEAR(own.FwhmFs, 300, 3) << (sech2 ? "sech2" : "gaussian");
    EXPECT_NEAR(own.CenterFs, 40, 3);
    EXPECT_LT(own.Residual, 0.01);
    EXPECT_GT(other.Residual, 3 * own.Residual) << "the wrong shape fits worse";
    EXPECT_NEAR(own.DurationFs, 300 * (sech2 ? 0.777 : 0.816), 3);
  }
}

TEST(PulseReportShapes, TheMirrorArtefactIsFlaggedOnlyAtTheMirrorDelayAndTheSquaredContrast) {
  const struct {
    double PreAt, PreContrast;
    bool Ghost;
  } rows[] = {
      {-5000, 1e-6, true},    // exactly the square of 1e-3
      {-5000, 2.5e-6, true},  // within the factor
      {-5000, 4e-6, false},   // four times the square: a pre-pulse of its own
      {-4200, 1e-6, false},   // not at the mirror delay
  };
  for (const auto &row : rows) {
    TProjectData d;
    Fill(d, -8000, 8000, [&](double t) { return WithPostPulse(t, row.PreAt, row.PreContrast); });
    const TPulseReport r = ComputePulseReport(d, Zero);
    ASSERT_EQ(r.Pulses.size(), 2) << row.PreAt << " " << row.PreContrast << "\n" << Text(r);
    const TSatellite &pre = r.Pulses[0], &post = r.Pulses[1];
    EXPECT_NEAR(pre.DelayFs, row.PreAt, 20);
    EXPECT_NEAR(pre.Contrast, row.PreContrast, 0.15 * row.PreContrast);
    EXPECT_NEAR(post.Contrast, 1e-3, 0.05e-3);
    EXPECT_EQ(pre.GhostOf.has_value(), row.Ghost) << row.PreAt << " " << row.PreContrast;
    if (row.Ghost) {
      EXPECT_DOUBLE_EQ(*pre.GhostOf, post.DelayFs);
    }
  }
}

TEST(PulseReportShapes, ShouldersAndSmallBumpsOnTheWingAreNoPulses) {
  TProjectData d;
  // A bump of 0.2 of the wing it sits on.
  Fill(d, -8000, 8000, [](double t) {
    const double wing = 1e-4 * std::exp(-std::abs(t) / 600);
    return Gaussian(t, 250) + wing +
           0.2 * 1e-4 * std::exp(-3000.0 / 600) * Gaussian(t + 3000, 250) + 1e-9;
  });
  const TPulseReport r = ComputePulseReport(d, Zero);
  EXPECT_TRUE(r.Pulses.isEmpty()) << Text(r);
  EXPECT_FALSE(r.CalibrationWarning()) << "exact gains and filters stitch seamlessly\n" << Text(r);
}

TEST(PulseReportShapes, AFilterGivenTenPerCentHighIsCaughtAndCorrected) {
  TProjectData d;
  // Slow wings: every filter holds long runs of pixels on both sides.
  Fill(
      d, -12000, 12000,
      [](double t) { return Gaussian(t, 250) + 1e-2 * std::exp(-std::abs(t) / 1200); }, 0.000937,
      0.000937 * 1.1);
  const TPulseReport r = ComputePulseReport(d, Zero);
  bool found = false;
  for (const TFilterCheck &f : r.Filters) {
    if (std::abs(f.Transmission - 0.000937f * 1.1f) < 1e-9) {
      found = true;
      ASSERT_TRUE(f.SuggestedTransmission.has_value()) << Text(r);
      EXPECT_NEAR(*f.SuggestedTransmission, 0.000937, 0.03 * 0.000937);
      EXPECT_TRUE(f.Warning);
    } else if (!f.Reference && f.SuggestedTransmission) {
      EXPECT_NEAR(*f.SuggestedTransmission, f.Transmission, 0.03 * f.Transmission) << Text(r);
    }
  }
  EXPECT_TRUE(found) << Text(r);
  EXPECT_TRUE(r.CalibrationWarning());
}

TEST(PulseReportShapes, WhatTheDataCannotTellIsLeftOpenWithItsReason) {
  struct Row {
    const char *Name;
    std::function<void(TProjectData &)> Fill;
    bool HasPeak;
    const char *Reason;
  };
  const Row rows[] = {
      {"no measured pixel", [](TProjectData &) {}, false, "No pixel is measured"},
      {"one pixel", [](TProjectData &d) { SetPixel(d, Zero, 500); }, true,
       "does not fall to half maximum"},
      {"a flat curve",
       [](TProjectData &d) {
         for (int i = Zero - 2000; i <= Zero + 2000; ++i) SetPixel(d, i, 300, 0.0923f, 16, 4);
       },
       true, "does not fall to half maximum"},
      {"a peak at the edge of the data",
       [](TProjectData &d) { Fill(d, 0, 3000, [](double t) { return Gaussian(t, 250); }); }, true,
       "does not fall below 20 %"},
      {"only zero signals",
       [](TProjectData &d) {
         for (int i = Zero; i < Zero + 50; ++i) SetPixel(d, i, 0);
       },
       false, "no peak"},
  };
  for (const Row &row : rows) {
    TProjectData d;
    row.Fill(d);
    d.RecomputeStatistics();
    const TPulseReport r = ComputePulseReport(d, Zero);
    EXPECT_EQ(r.PeakPositionFs.has_value(), row.HasPeak) << row.Name;
    EXPECT_FALSE(r.FwhmFs.has_value()) << row.Name;
    EXPECT_FALSE(r.Gaussian.Valid || r.Sech2.Valid) << row.Name;
    EXPECT_FALSE(r.Pedestal || r.NoiseFloor || r.DynamicRangeDecades) << row.Name;
    EXPECT_TRUE(r.Pulses.isEmpty()) << row.Name;
    EXPECT_TRUE(r.Notes.join('\n').contains(row.Reason)) << row.Name << "\n" << Text(r);
    // Undetermined figures are null in JSON, "-" in the text.
    const QJsonObject j = PulseReportJson(r);
    EXPECT_TRUE(j["fwhmFs"].isNull() && j["pedestal"].isNull() && j["noiseFloor"].isNull() &&
                j["fit"]["gaussian"]["fwhmFs"].isNull())
        << row.Name;
    EXPECT_TRUE(PulseReportText(r).contains("Half-maximum width                -")) << Text(r);
  }
}

TEST(PulseReportShapes, ImpossiblePixelsOfADamagedFileAreLeftOutNotUsed) {
  TProjectData d;
  Fill(d, -2000, 2000, [](double t) { return Gaussian(t, 250) + 1e-4; });
  const TPulseReport clean = ComputePulseReport(d, Zero);
  // Transmissions a damaged file may hold: zero (an infinite value), negative,
  // not a number, the smallest positive single.
  SetPixel(d, Zero + 10, 500, 0.0f);
  SetPixel(d, Zero + 20, 500, -0.5f);
  SetPixel(d, Zero + 30, 500, std::numeric_limits<float>::quiet_NaN());
  SetPixel(d, Zero - 40, 500, std::numeric_limits<float>::denorm_min());
  d.RecomputeStatistics();
  const TPulseReport r = ComputePulseReport(d, Zero);
  EXPECT_EQ(r.Pixels, clean.Pixels);
  EXPECT_TRUE(r.Notes.join(' ').contains("4 pixels hold no usable value")) << Text(r);
  ASSERT_TRUE(r.Gaussian.Valid) << Text(r);
  EXPECT_NEAR(r.Gaussian.FwhmFs, clean.Gaussian.FwhmFs, 2);
  ASSERT_TRUE(r.FwhmFs.has_value());
}
