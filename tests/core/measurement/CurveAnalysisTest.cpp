// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>

#include <cmath>

#include "app/AppError.h"
#include "measurement/CurveAnalysis.h"
#include "measurement/Graph.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "MeasurementTestSupport.h"

TEST(PeakWidth, InterpolatesBothHalfMaximumEdges) {
  TProjectData d;
  SetPixel(d, 10, 200);
  SetPixel(d, 11, 1000);
  SetPixel(d, 12, 400);
  d.RecomputeStatistics();
  const float width = ComputePeakWidth(d, 0);
  EXPECT_NEAR(width, (11.8333333 - 10.375) * 16.6666666, 1e-3);
  EXPECT_EQ(QLocale::c().toString(width, 'f', 0), "24");

  // Unmeasured positions between the edge pixels are skipped.
  TProjectData wide;
  SetPixel(wide, 1000, 1000);
  SetPixel(wide, 900, 400);
  SetPixel(wide, 1100, 400);
  wide.RecomputeStatistics();
  // edges at 900 + 100 / 6 and 1100 - 100 / 6 steps
  EXPECT_NEAR(ComputePeakWidth(wide, 500), (200 - 200.0 / 6) * FsPerStep, 1e-2);
}

TEST(PeakWidth, IsZeroWhenASideNeverFallsToHalfMaximum) {
  for (bool leftFalls : {false, true}) {
    TProjectData d;
    SetPixel(d, 11, 1000);
    SetPixel(d, 10, leftFalls ? 100 : 900);
    SetPixel(d, 12, leftFalls ? 900 : 100);
    d.RecomputeStatistics();
    EXPECT_EQ(ComputePeakWidth(d, 0), 0) << leftFalls;
  }
  TProjectData none;
  EXPECT_EQ(ComputePeakWidth(none, 0), 0);
}

TEST(Breaks, FollowEveryRunOfGapLengthUnmeasuredPositions) {
  const struct {
    QList<int> measured, breaks;
  } cases[] = {
      {{100, 121}, {100, 121}},
      {{100, 120}, {120}},
      {{100}, {100}},
      {{69990}, {}},  // fewer than 20 positions left after it
      {{0, 30, 31, 52}, {0, 31, 52}},
      {{}, {}},
  };
  for (const auto &c : cases) {
    TProjectData d;
    for (int i : c.measured) SetPixel(d, i, 1);
    EXPECT_EQ(BreakPositions(d), c.breaks) << c.measured.size();
  }
}

TEST(Breaks, AnAddedGraphBreaksAfterItsLastPositiveValue) {
  // value by position; every other position has none (-1)
  const struct {
    QList<QPair<int, float>> values;
    QList<int> breaks;
  } cases[] = {
      {{{100, 1}, {121, 0.5f}}, {100, 121}},
      {{{100, 1}, {120, 0.5f}}, {120}},
      {{{100, 1}, {110, 0}, {121, 0.5f}}, {100, 121}},  // a 0 does not bridge the gap
      {{{100, 0}, {130, 0}}, {}},                       // nor starts one
      {{{69990, 1}}, {}},
  };
  for (const auto &c : cases) {
    TGraph g;
    for (const auto &[i, v] : c.values) g.Values[i] = v;
    EXPECT_EQ(g.BreakPositions(), c.breaks) << c.values.size();
  }
}

TEST(Readout, LogValueAndPaddedTitles) {
  EXPECT_EQ(LogValue(0), -10);
  EXPECT_DOUBLE_EQ(LogValue(1e-6), -6);
  EXPECT_DOUBLE_EQ(LogValue(1), 0);
  EXPECT_EQ(PadTitle("Scan", "0.5", 6), "Scan" + QString(7, u' ') + "0.5");
  EXPECT_EQ(PadTitle("A very long name", "0.25", 2), "A very long name0.25");
  EXPECT_EQ(PadTitle("Scan", "", 4), "Scan" + QString(8, u' '));
}

TEST(Readout, TwoSignificantDigitsFixedFromOneHundredThousandth) {
  const struct {
    double value;
    const char *text;
  } cases[] = {
      {0.5, "0.5"},        {0.012, "0.012"},        {1, "1"},          {0.0000012, "1.2E-6"},
      {0.00001, "0.00001"}, {0.0000099, "9.9E-6"},  {0.123456, "0.12"}, {0.125, "0.13"},
      {0.996, "1"},        {0.0000099999, "0.00001"}, {0, "0"},         {1e-11, "1E-11"},
      {12, "12"},          {123, "1.2E2"},          {0.30000000000000004, "0.3"},
  };
  for (const auto &c : cases) EXPECT_EQ(FormatReadoutValue(c.value), c.text) << c.value;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FormatReadoutValue(0.012), "0,012");
  EXPECT_EQ(FormatReadoutValue(1.2e-6), "1,2E-6");
  QLocale::setDefault(QLocale::c());
}

TEST(Readout, InterpolatesAcrossAtMostGapLengthPositions) {
  TProjectData d;
  SetPixel(d, 1000, 1000);  // the peak, at 0 fsec with zero 1000
  SetPixel(d, 990, 200);
  SetPixel(d, 1010, 600);   // 990 and 1010 are 20 apart
  SetPixel(d, 1031, 100);   // 1010 and 1031 are 21 apart
  d.RecomputeStatistics();
  auto at = [&](int position) { return ValueTextAt(d, DelayOf(position, 1000), 1000); };
  EXPECT_EQ(at(1000), "1");
  EXPECT_EQ(at(990), "0.2");
  EXPECT_EQ(at(995), "0.6");   // 0.2 + (1 - 0.2) * 5 / 10
  EXPECT_EQ(at(1005), "0.8");
  EXPECT_EQ(at(1020), "");     // neighbours 10 below, 11 above
  EXPECT_EQ(at(1021), "");
  EXPECT_EQ(at(950), "");
  EXPECT_EQ(ValueTextAt(d, DelayOf(-1, 1000), 1000), "");
  EXPECT_EQ(ValueTextAt(d, 1e300, 1000), "");

  TProjectData wide;
  SetPixel(wide, 100, 500);
  SetPixel(wide, 120, 1000);
  wide.RecomputeStatistics();
  EXPECT_EQ(ValueTextAt(wide, DelayOf(110, 0), 0), "0.75");  // 10 + 10 positions

  TProjectData empty;
  EXPECT_EQ(ValueTextAt(empty, 0, 0), "");
}

TEST(Graph, ReadsNormalisedValuesWithItsOwnZeroPosition) {
  TStreamBuilder b;
  b.Int16(30000).Int8(-100).Int8(1).Int8(100).Int8(1).Int8(0).Int8(0).LString("note");
  b.Int8(5);
  b.Int32(-3).Int8(100).Single(1).Int8(1).Int8(1);       // outside: ignored
  b.Int32(70001).Int16(999).Single(1).Int8(1).Int8(1);   // outside: ignored
  b.Int16(29990).Int16(1000).Single(0.5f).Int8(1).Int8(1);  // value 2000: the peak
  b.Int16(30010).Int16(500).Single(1).Int8(1).Int8(1);
  b.Int16(30030).Int8(0).Single(1).Int8(1).Int8(1);       // a value of 0 is a value
  QTemporaryDir dir;
  TGraph g;
  EXPECT_EQ(g.Values[0], -1.0f);
  EXPECT_GT(g.MinX, g.MaxX);
  g.LoadFromFile(WriteTempFile(dir, "g.vtp", b.Bytes));
  EXPECT_EQ(g.ZeroPosition, 30000);
  EXPECT_EQ(g.Values[29990], 1.0f);
  EXPECT_EQ(g.Values[30010], 0.25f);
  EXPECT_EQ(g.Values[30030], 0.0f);
  EXPECT_EQ(g.Values[0], -1.0f);
  EXPECT_EQ(g.Values[70000], -1.0f);
  EXPECT_EQ(g.MinX, float(-10 * FsPerStep));
  EXPECT_EQ(g.MaxX, float(30 * FsPerStep));
  EXPECT_EQ(g.ValueTextAt(DelayOf(30000, 30000)), "0.63");  // 1 + (0.25 - 1) / 2 = 0.625, half up
  EXPECT_EQ(g.ValueTextAt(DelayOf(30030, 30000)), "0");
  EXPECT_EQ(g.ValueTextAt(DelayOf(29960, 30000)), "");

  const TAxisRange r = TimeAxisRange(EmptyRangeMin, EmptyRangeMax, {&g});
  EXPECT_EQ(r.Min, g.MinX);
  EXPECT_EQ(r.Max, g.MaxX);
}

TEST(Graph, WithoutPositiveValuesItDoesNotWidenTheAxis) {
  TStreamBuilder b;
  b.Int8(0).Int8(0).Int8(1).Int8(1).Int8(0).LString("").Int8(2);
  b.Int8(10).Int8(0).Single(1).Int8(1).Int8(1);
  b.Int8(11).Int8(5).Single(0).Int8(1).Int8(1);  // damaged: infinite value, ignored
  QTemporaryDir dir;
  TGraph g;
  g.LoadFromFile(WriteTempFile(dir, "z.vtp", b.Bytes));
  EXPECT_EQ(g.Values[10], 0.0f);
  EXPECT_EQ(g.Values[11], -1.0f);
  EXPECT_EQ(g.MinX, 1166666.625f);
  EXPECT_EQ(g.MaxX, -1166666.625f);
  const TAxisRange none = TimeAxisRange(EmptyRangeMin, EmptyRangeMax, {&g});
  EXPECT_EQ(none.Min, -100);
  EXPECT_EQ(none.Max, 100);
  const TAxisRange own = TimeAxisRange(-50, 70, {&g});
  EXPECT_EQ(own.Min, -50);
  EXPECT_EQ(own.Max, 70);

  TGraph bad;
  EXPECT_THROW(bad.LoadFromFile(WriteTempFile(dir, "cut.vtp", b.Bytes.left(20))), EAppError);
  EXPECT_EQ(bad.Values[10], -1.0f);
}
