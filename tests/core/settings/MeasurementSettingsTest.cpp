// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "settings/MeasurementSettings.h"
#include "settings/SettingsStorage.h"

TEST(MeasurementSettings, AveragingCountsAndTheirIndex) {
  const QList<int> &counts = AveragingCounts();
  ASSERT_EQ(counts.size(), 16);
  EXPECT_EQ(counts[12], 4069);  // offered as such, stored as such
  const struct {
    int Count, Index;
  } cases[] = {{1, 0}, {2, 1}, {4069, 12}, {32768, 15}, {3, 0}, {4096, 0}, {0, 0}, {-8, 0}};
  for (const auto &c : cases) EXPECT_EQ(AveragingIndex(c.Count), c.Index) << c.Count;
}

TEST(MeasurementSettings, ReadDefaultsAndStoredValues) {
  TSettingsStorage settings;
  EXPECT_EQ(ReadMeasurementSettings(settings), (TMeasurementSettings{50, 650, 1, 70000}));
  EXPECT_EQ(StoredLanguage(settings), "English");
  QStringList lines;
  settings.WriteToLines(lines);
  EXPECT_TRUE(lines.isEmpty());  // reading stores no default

  settings.ReadFromLines({"[general]", "LOWLEVEL=40", "highLevel=abc", "avgNum=4069",
                          "DL_STEPS=50000", "[Settings]", "Language=Русский"});
  EXPECT_EQ(ReadMeasurementSettings(settings), (TMeasurementSettings{40, 650, 4069, 50000}));
  EXPECT_EQ(StoredLanguage(settings), "Русский");

  StoreMeasurementSettings(settings, {1, 2, 3, 4});
  StoreLanguage(settings, "Deutsch");
  lines.clear();
  settings.WriteToLines(lines);
  EXPECT_EQ(lines, (QStringList{"[general]", "LOWLEVEL=1", "highLevel=2", "avgNum=3", "DL_STEPS=4",
                                "[Settings]", "Language=Deutsch"}));
}
