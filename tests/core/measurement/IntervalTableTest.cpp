// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "measurement/IntervalTable.h"
#include "measurement/ProjectData.h"

namespace {
using Row = TIntervalRow;
QString Text(const TIntervalTable &t) { return t.GetIntervalText(); }
}  // namespace

TEST(IntervalTable, PostedStepMustBePositiveAndCarriesItsFsValue) {
  const struct {
    std::optional<int> step, kept;
  } cases[] = {{0, {}}, {-3, {}}, {{}, {}}, {3, 3}, {1, 1}};
  for (const auto &c : cases) {
    TIntervalTable t;
    t.Post({10, c.step, 99.0});
    EXPECT_EQ(t.Row(0).Step, c.kept);
    if (c.kept)
      EXPECT_DOUBLE_EQ(*t.Row(0).StepFs, *c.kept * 16.6666666);
    else
      EXPECT_FALSE(t.Row(0).StepFs.has_value());
  }
}

TEST(IntervalTable, StaysSortedByShiftAndReportsWhereThePostedRowWent) {
  TIntervalTable t;
  EXPECT_EQ(t.Post({10, 2, {}}), 0);
  EXPECT_EQ(t.Post({-10, 4, {}}), 0);
  EXPECT_EQ(t.Post({{}, 1, {}}), 0);  // empty shifts first
  EXPECT_EQ(Text(t), ";1;-10;4;10;2;");
  // Editing a shift moves the row; equal shifts keep their posting order.
  EXPECT_EQ(t.Post({20, 1, {}}, 0), 2);
  EXPECT_EQ(t.Post({10, 5, {}}), 2);
  EXPECT_EQ(Text(t), "-10;4;10;2;10;5;20;1;");
}

TEST(IntervalTable, ValidationDropsRedundantRowsAndEmptiesTheLastStep) {
  const struct {
    QString before, after;
  } cases[] = {
      // repeated steps merge into the earlier row
      {"0;5;100;5;200;2;300;9;", "0;5;200;2;300;;"},
      // an empty step after an empty step goes, as does an empty row
      {"0;5;100;;200;;;;", "0;5;100;;"},
      // exact duplicates collapse before the ambiguity test
      {"0;5;0;5;50;1;", "0;5;50;;"},
  };
  for (const auto &c : cases) {
    TIntervalTable t;
    t.SetIntervalText(c.before);
    t.Validate(20000);
    EXPECT_EQ(Text(t), c.after) << c.before.toStdString();
  }
}

TEST(IntervalTable, ValidationReturnsTheRowWithTheRememberedShift) {
  TIntervalTable t;
  t.SetIntervalText("0;5;100;5;200;2;300;;");
  EXPECT_EQ(t.Validate(20000, 2), 1);   // row with shift 200, now second
  EXPECT_EQ(t.Validate(20000, -1), 0);  // nothing remembered: shift 0
  t.SetIntervalText("0;5;100;5;200;;");
  EXPECT_EQ(t.Validate(20000, 1), -1);  // the row with shift 100 is gone
}

TEST(IntervalText, ReadsCompletePairsAndStopsAtTheFirstNonInteger) {
  const struct {
    const char *text, *rows;
  } cases[] = {
      {"10;2;-10;4;", "-10;4;10;2;"},
      {"0;5;200;;", "0;5;200;;"},
      {"-100;1;100;;", "-100;1;100;;"},
      {"no separators", ""},
      {"", ""},
      {"1;2;3;", "1;2;"},        // a value without its partner is dropped
      {"1;2;3;x;5;6;", "1;2;"},  // reading ends at "x"
      {"x;1;5;6;", ""},
      {"7;0;8;-2;", "7;;8;;"},  // table rules apply to pasted rows
      {";;;;", ";;;;"},
  };
  for (const auto &c : cases) {
    TIntervalTable t;
    t.Post({1, 1, {}});  // replaced
    t.SetIntervalText(c.text);
    EXPECT_EQ(Text(t), c.rows) << c.text;
  }
}
