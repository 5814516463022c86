// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/AppError.h"
#include "app/Globals.h"
#include "measurement/ProjectData.h"
#include "settings/SettingsStorage.h"
#include "MeasurementTestSupport.h"

namespace {
QList<int> Range(int from, int to, int step = 1) {
  QList<int> r;
  for (int p = from; p <= to; p += step) r.append(p);
  return r;
}

QString ErrorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const EAppError &e) {
    return e.Message();
  }
  return QStringLiteral("<no error>");
}
}  // namespace

TEST(StepConversion, RoundsHalvesToTheEvenNeighbour) {
  const struct {
    double in, out;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
               {2.4, 2}, {2.6, 3}, {-6.0000001, -6}};
  for (const auto &c : cases) EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
  // FsPerStep is the decimal 16.6666666, so 100 fsec is a little over 6 steps.
  EXPECT_EQ(PositionOf(-100, 20000), 19994);
  EXPECT_EQ(PositionOf(100, 20000), 20006);
  EXPECT_DOUBLE_EQ(DelayOf(19999, 20000), -16.6666666);
  EXPECT_GT(100 / FsPerStep, 6.0);
}

TEST(ProjectData, ValueIsSignalReferredToUnitGainAndNoAttenuation) {
  TProjectData d;
  SetPixel(d, 20000, 512, 0.5f, 1, 4);
  SetPixel(d, 1, 1000, 9.1e-6f, 16, 64);
  EXPECT_FLOAT_EQ(d.getValue(20000), 256.0f);
  EXPECT_EQ(d.getValue(1), float(1000.0 / 16 / 64 / double(9.1e-6f)));
  EXPECT_EQ(ErrorOf([&] { d.getValue(70001); }), "Index is out of bound (getValue(70001)).");
  EXPECT_EQ(ErrorOf([&] { d.getValue(-1); }), "Index is out of bound (getValue(-1)).");
}

TEST(StandardPlan, PositionsAreMultiplesOfTheStepWithinTheInterval) {
  const struct {
    int left, right, step, zero;
    QList<int> plan;
  } cases[] = {
      {-100, 100, 1, 20000, Range(19994, 20006)},
      {-100, 100, 4, 20000, {19996, 20000, 20004}},
      {0, 16, 1, 0, {0}},  // 16 fsec is less than one step
      {0, 17, 1, 0, {0, 1}},
  };
  for (const auto &c : cases) {
    TProjectData d;
    d.Left = c.left;
    d.Right = c.right;
    d.Step = c.step;
    d.BuildPlan(c.zero);
    EXPECT_EQ(d.Plan, c.plan) << c.left << ".." << c.right << " step " << c.step;
  }
}

TEST(StandardPlan, HoldsOnlyPositionsWithoutData) {
  TProjectData d;
  d.Left = -100;
  d.Right = 100;
  d.BuildPlan(20000);
  for (int p : d.Plan)
    if (p % 2) SetPixel(d, p, 100);
  d.BuildPlan(20000);
  EXPECT_EQ(d.Plan, Range(19994, 20006, 2));
  for (int p : d.Plan) SetPixel(d, p, 100);
  d.BuildPlan(20000);
  EXPECT_TRUE(d.Plan.isEmpty());
}

TEST(StandardPlan, RejectsEmptyIntervalsAndLimitsBeyondTheCarriage) {
  const struct {
    int left, right, zero, dlSteps;  // dlSteps 0: no setting stored
    const char *message;
  } cases[] = {
      {100, 100, 20000, 0, "Incorrect interval."},
      {100, -100, 20000, 0, "Incorrect interval."},
      {-1, 100, 0, 0, "Left interval limit is 0 fsec."},
      {-333334, 100, 20000, 0, "Left interval limit is -333333 fsec."},
      // (70000 - 20000) * 16.6666666 = 833333.33: the test uses 70000 ...
      {0, 833334, 20000, 0, "Right interval limit is 833333 fsec."},
      // ... and only the reported number the configured delay line length.
      {0, 833334, 20000, 65000, "Right interval limit is 749999 fsec."},
      {-333333, 833333, 20000, 65000, "<no error>"},
  };
  for (const auto &c : cases) {
    TSettingsStorage settings;
    if (c.dlSteps) settings.AddParam({"General"}, "DL_STEPS", c.dlSteps);
    AppSettings = &settings;
    TProjectData d;
    d.Left = c.left;
    d.Right = c.right;
    EXPECT_EQ(ErrorOf([&] { d.BuildPlan(c.zero); }), c.message) << c.left << ".." << c.right;
    AppSettings = nullptr;
  }
}

TEST(AddInterval, SegmentsContinueAfterThePreviousOneAndNeverGoBelowZero) {
  TProjectData d;
  d.AddInterval(-1000, 100, 5, 10);  // starts at carriage position 0
  EXPECT_EQ(d.Plan.first(), 0);
  EXPECT_EQ(d.Plan.last(), 15);
  d.AddInterval(0, 300, 4, 10);  // would start at 10: continues after 15 instead
  EXPECT_EQ(d.Plan.mid(4), QList<int>({16, 20, 24, 28}));
  const qsizetype before = d.Plan.size();
  d.AddInterval(0, 1000, 0, 10);
  d.AddInterval(0, 1000, -3, 10);
  EXPECT_EQ(d.Plan.size(), before);

  // Position 70000 is never planned, however far the interval reaches.
  TProjectData end;
  end.AddInterval(-50, 1000, 3, 69990);
  EXPECT_EQ(end.Plan, QList<int>({69987, 69990, 69993, 69996, 69999}));
}

TEST(AdvancedPlan, EachRowSetsTheStepUpToTheNextRowsShift) {
  TProjectData d;
  d.AdvancedMode = true;
  d.Interval.Post({-500, 10, {}});
  d.Interval.Post({0, 2, {}});
  d.Interval.Post({500, 7, {}});
  d.BuildPlan(20000);
  QList<int> expected = Range(19970, 20000, 10);
  expected += Range(20002, 20030, 2);
  EXPECT_EQ(d.Plan, expected);
  EXPECT_FALSE(d.Interval.Row(2).Step.has_value());
  EXPECT_FALSE(d.Interval.Row(2).StepFs.has_value());
}

TEST(AdvancedPlan, TableErrors) {
  const struct {
    QList<TIntervalRow> rows;
    const char *message;
    int rowsLeft;
  } cases[] = {
      {{{0, 5, {}}}, "Interval table must contain at least 2 records.", 1},
      {{{0, 5, {}}, {0, 7, {}}}, "Ambiguous conditions.", 2},
      {{{0, 5, {}}, {0, 5, {}}}, "Interval table must contain at least 2 records.", 1},
      {{{0, 5, {}}, {{}, {}, {}}, {100, {}, {}}}, "<no error>", 2},
      {{{0, 5, {}}, {{}, 3, {}}, {100, {}, {}}}, "Shift is not specified.", 3},
      {{{-333334, 5, {}}, {0, {}, {}}}, "Left interval limit is -333333 fsec.", 2},
  };
  for (const auto &c : cases) {
    TProjectData d;
    d.AdvancedMode = true;
    for (const TIntervalRow &r : c.rows) d.Interval.Post(r);
    EXPECT_EQ(ErrorOf([&] { d.BuildPlan(20000); }), c.message);
    EXPECT_EQ(d.Interval.Count(), c.rowsLeft) << c.message;
  }
}

TEST(ShiftPixels, MovesTheDataAndClearsTheVacatedEnd) {
  TProjectData d;
  for (int i : {0, 4, 100, 70000}) SetPixel(d, i, quint16(i % 1000 + 1));
  d.RecomputeStatistics();
  ASSERT_EQ(d.PeakIndex, 100);

  d.ShiftPixels(5);
  EXPECT_EQ(d.Pixels[105].Signal, 101);
  EXPECT_EQ(d.Pixels[9].Signal, 5);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(d.Pixels[i].Measured()) << i;
  EXPECT_EQ(d.PeakIndex, 105);

  d.ShiftPixels(-10);
  EXPECT_EQ(d.Pixels[95].Signal, 101);
  for (int i = 69991; i <= 70000; ++i) EXPECT_FALSE(d.Pixels[i].Measured()) << i;
  EXPECT_EQ(d.PeakIndex, 95);

  d.ShiftPixels(70001);
  EXPECT_EQ(d.FirstMeasured(), -1);
}

TEST(ShiftPixels, StatisticsFollowDataPushedOutOfTheTable) {
  // Moving the peak out must not leave PeakIndex pointing outside the table,
  // where the peak width would read a pixel that does not exist.
  TProjectData d;
  SetPixel(d, 69998, 900);
  SetPixel(d, 100, 300);
  d.RecomputeStatistics();
  d.ShiftPixels(5);
  EXPECT_EQ(d.PixelCount, 1);
  EXPECT_EQ(d.PeakIndex, 105);
  EXPECT_FLOAT_EQ(d.MaxValue, 300);

  TProjectData empty;
  empty.ShiftPixels(7);
  EXPECT_EQ(empty.PeakIndex, -1);
}

TEST(RunControl, TimeAxisCoversOldDataAndTheWholePlan) {
  TProjectData d;
  d.Plan = {20000, 20010, 20020};
  d.SetRangeForPlan(20000);
  EXPECT_DOUBLE_EQ(d.RangeMin, 0);
  EXPECT_DOUBLE_EQ(d.RangeMax, 20 * FsPerStep);
  SetPixel(d, 19000, 5);  // before the plan
  SetPixel(d, 20005, 5);  // inside it: no effect
  SetPixel(d, 25000, 5);
  d.SetRangeForPlan(20000);
  EXPECT_DOUBLE_EQ(d.RangeMin, -1000 * FsPerStep);
  EXPECT_DOUBLE_EQ(d.RangeMax, 5000 * FsPerStep);
  ASSERT_TRUE(d.SetRangeFromData(0));
  EXPECT_DOUBLE_EQ(d.RangeMin, 19000 * FsPerStep);
  TProjectData empty;
  EXPECT_FALSE(empty.SetRangeFromData(0));
  EXPECT_EQ(empty.RangeMin, EmptyRangeMin);
}

TEST(RunControl, ZeroProposalOnlyForAPeakWhoseNeighboursDoNotEncloseTheZero) {
  const struct {
    int peak, zero;
    bool proposed;
  } cases[] = {
      {30000, 29000, true},   // zero below both neighbours
      {30000, 30000, false},  // 29999 < zero < 30001
      {30000, 30001, true},   // the upper neighbour is the zero itself
      {19999, 10000, false},  {40001, 10000, false},
      {20000, 10000, true},   {40000, 10000, true},
  };
  for (const auto &c : cases) {
    TProjectData d;
    SetPixel(d, c.peak - 1, 100);
    SetPixel(d, c.peak, 1000);
    SetPixel(d, c.peak + 1, 100);
    d.RecomputeStatistics();
    EXPECT_EQ(d.ZeroProposalApplies(c.zero), c.proposed) << c.peak << " " << c.zero;
  }
  TProjectData lonely;  // no neighbour on one side
  SetPixel(lonely, 30000, 1000);
  SetPixel(lonely, 30001, 10);
  lonely.RecomputeStatistics();
  EXPECT_FALSE(lonely.ZeroProposalApplies(0));
}
