// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QLocale>

#include "QtPrinters.h"
#include "app/AppError.h"
#include "settings/FilterTable.h"
#include "ErrorOf.h"

namespace {

TEST(FilterTableText, GeneralNumberFormat) {
  const struct {
    double value;
    const char *text;
  } cases[] = {
      {1.0, "1"},         {0.0123, "0.0123"},     {0.0001, "0.0001"},
      {0.00001, "1E-5"},  {0.000035, "3.5E-5"},   {9.1e-6, "9.1E-6"},
      {8.93e-5, "8.93E-5"}, {0.000937, "0.000937"}, {0.0923, "0.0923"},
      {0.1 + 0.2, "0.3"},  // 15 significant digits hide the binary noise
      {1.0 / 3, "0.333333333333333"},
      {123.5, "123.5"},   {1e20, "1E20"},         {0, "0"},
      {-0.5, "-0.5"},     {9.99999999999999999e-5, "0.0001"},
  };
  for (const auto &c : cases) EXPECT_EQ(FormatGeneralFloat(c.value), c.text) << c.value;
}

TEST(FilterTableText, TableTextEndsEveryRecordWithASemicolon) {
  EXPECT_EQ(FilterTableToText(DefaultFilterTable()), "1;0;");
  EXPECT_EQ(FilterTableToText({{1.0, 0}, {0.0123, 240}}), "1;0;0.0123;240;");
  EXPECT_EQ(FilterTableToText({}), "");
}

TEST(FilterTableText, TheDecimalPointIgnoresTheLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German));
  EXPECT_EQ(FilterTableToText({{0.0923, 400}}), "0.0923;400;");
  EXPECT_EQ(ParseFilterTable("0.0923;400;"), (TFilterRecords{{0.0923, 400}}));
  QLocale::setDefault(saved);
}

TEST(FilterTableText, Parsing) {
  const TFilterRecords fallback = DefaultFilterTable();
  const struct {
    const char *text;
    TFilterRecords table;
  } cases[] = {
      {"1;0;0.25;100;", {{1.0, 0}, {0.25, 100}}},
      {"1;0;0.25;100;junk", {{1.0, 0}, {0.25, 100}}},  // text after the last pair
      {" 1 ; 0 ;2.5e-1;100;", {{1.0, 0}, {0.25, 100}}},  // blanks and an exponent
      {"0.5;-7;", {{0.5, -7}}},                      // ranges are not checked here
      {"0.1;0;1;100;", {{0.1, 0}, {1.0, 100}}},      // nor the order
      {"", fallback},
      {"abc", fallback},
      {"0.5;10", fallback},    // the last pair has no closing ";"
      {"1;0;0.5;10", fallback},  // ... also after a good pair
      {";;", fallback},
      {"0,5;10;", fallback},   // a comma is no decimal separator here
      {"1,000;10;", fallback},
      {"0.5;1.5;", fallback},  // the position is an integer
      {"0.5;99999999999;", fallback},
      {"inf;0;", fallback},
      {"nan;0;", fallback},
      {"1;x;", fallback},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseFilterTable(c.text), c.table) << c.text;
}

TEST(FilterTableText, SmallTransmissionsRoundTrip) {
  const TFilterRecords table = {{1, 0},         {0.0923, 400},   {0.00871, 800},
                                {0.000937, 1200}, {8.93e-5, 1600}, {9.1e-6, 2000},
                                {0.000035, 2400}};
  EXPECT_EQ(FilterTableToText(table),
            "1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;3.5E-5;2400;");
  EXPECT_EQ(ParseFilterTable(FilterTableToText(table)), table);
}

// --- editing rules -----------------------------------------------------------------

TFilterRow Row(std::optional<double> transmission, std::optional<int32_t> shift) {
  return TFilterRow{transmission, shift, 0};
}

TEST(FilterTableRules, ARowIsCheckedBeforeItIsPosted) {
  const struct {
    TFilterRow row;
    const char *message;
  } cases[] = {
      {Row(100, 0), ""},
      {Row(0.0001, 123456), ""},
      {Row(100.0001, 0), "Transmission can not exceed 100%."},
      {Row(100.0001, std::nullopt), "Transmission can not exceed 100%."},  // first rule first
      {Row(0, 0), "Transmission must be positive."},
      {Row(-1, 0), "Transmission must be positive."},
      {Row(std::nullopt, 0), "Transmission must be positive."},
      {Row(std::numeric_limits<double>::quiet_NaN(), 0), "Transmission must be positive."},
      {Row(50, std::nullopt), "Filter wheel position is not specified."},
      {Row(50, -1), "Filter wheel position must be nonnegative."},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ErrorOf([&] { CheckFilterRecord(c.row); }), c.message)
        << c.row.Transmission.value_or(-999) << " " << c.row.Shift.value_or(-999);
}

TEST(FilterTableRules, PostedRowsAreSortedAndNumberedAndTheTableRulesFindTheBadRow) {
  TFilterTable data;
  data.Rows = {Row(100, 0), Row(1, 150), Row(10, 200)};
  data.Current = 1;  // the row of 1 %
  RenumberFilterTable(data);
  ASSERT_EQ(data.Rows.size(), 3);
  EXPECT_EQ(data.Rows[0].Transmission, 100);
  EXPECT_EQ(data.Rows[1].Transmission, 10);
  EXPECT_EQ(data.Rows[2].Transmission, 1);
  EXPECT_EQ((QList<int>{data.Rows[0].Id, data.Rows[1].Id, data.Rows[2].Id}), (QList<int>{1, 2, 3}));
  EXPECT_EQ(data.Current, 2);  // stays on its record

  data.Current = 0;
  EXPECT_EQ(ErrorOf([&] { CheckFilterTable(data); }), "Position sequence must be monotone increasing.");
  EXPECT_EQ(data.Current, 2);
}

TEST(FilterTableRules, WholeTableRules) {
  const struct {
    QList<TFilterRow> rows;
    const char *message;
    int badRow;
  } cases[] = {
      {{}, "Filter calibration table must contain at least 1 record.", -1},
      {{Row(100, 0)}, "", 0},
      {{Row(100, 0), Row(10, 200), Row(1, 400)}, "", 0},
      {{Row(100, 0), Row(10, 200), Row(10, 400)}, "Transmission sequence must be monotone decreasing.", 2},
      {{Row(100, 0), Row(50, 0)}, "Position sequence must be monotone increasing.", 1},
      {{Row(10, 0), Row(100, 0)}, "Transmission sequence must be monotone decreasing.", 1},
  };
  for (const auto &c : cases) {
    TFilterTable data;
    data.Rows = c.rows;
    data.Current = c.rows.isEmpty() ? -1 : 0;
    EXPECT_EQ(ErrorOf([&] { CheckFilterTable(data); }), c.message) << c.message;
    EXPECT_EQ(data.Current, c.badRow) << c.message;
  }
}

TEST(FilterTableRules, LoadAndStoreConvertPercentAndKeepTheDevicesOrder) {
  TFilterTable data;
  LoadFilterTable(data, {{1.0, 0}, {0.1, 120}});
  ASSERT_EQ(data.Rows.size(), 2);
  EXPECT_DOUBLE_EQ(*data.Rows[0].Transmission, 100);
  EXPECT_DOUBLE_EQ(*data.Rows[1].Transmission, 10);
  EXPECT_EQ(*data.Rows[1].Shift, 120);
  EXPECT_EQ(data.Rows[1].Id, 2);
  EXPECT_EQ(data.Current, 0);
  const TFilterRecords back = StoreFilterTable(data);
  ASSERT_EQ(back.size(), 2);
  EXPECT_DOUBLE_EQ(back[0].Transmission, 1.0);
  EXPECT_DOUBLE_EQ(back[1].Transmission, 0.1);
  EXPECT_EQ(back[1].Position, 120);

  // A hand-edited device table is loaded unsorted, as it is ...
  LoadFilterTable(data, {{0.1, 0}, {1.0, 100}});
  EXPECT_EQ(*data.Rows[0].Transmission, 10);
  // ... and one that breaks a row rule stops at that row with its message.
  EXPECT_EQ(ErrorOf([&] { LoadFilterTable(data, {{1.0, 0}, {2.0, 100}, {0.1, 200}}); }),
            "Transmission can not exceed 100%.");
  EXPECT_EQ(data.Rows.size(), 1);
}

}  // namespace
