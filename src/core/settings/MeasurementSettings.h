// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

class TSettingsStorage;

// Values of section General that the settings dialog edits and that live only
// in the settings store (the scan reads the first three, project and
// adjustment windows the delay line length):
//   "lowLevel"   lower signal threshold              default 50
//   "highLevel"  upper signal threshold              default 650
//   "avgNum"     impulses averaged per measurement   default 1
//   "DL_STEPS"   delay line length, steps            default 70000
struct TMeasurementSettings {
  int LowLevel = 50;
  int HighLevel = 650;
  int AvgNum = 1;
  int DelayLineSteps = 70000;

  bool operator==(const TMeasurementSettings &) const = default;
};

// A value that is missing or does not convert reads as its default.
TMeasurementSettings ReadMeasurementSettings(const TSettingsStorage &settings);
// Writes the four keys in the order above, as integers.
void StoreMeasurementSettings(TSettingsStorage &settings, const TMeasurementSettings &values);

// The impulse counts the operator can choose, in the order shown. The
// thirteenth is 4069, not 4096: the device averages 2^round(log2(count))
// impulses, so it averages 4096, while the stored count stays 4069.
const QList<int> &AveragingCounts();
// Index of count in AveragingCounts(); a count that is not offered gives 0,
// the first item ("1").
int AveragingIndex(int count);

// The interface language kept in section Settings, key "Language"
// (default "English").
QString StoredLanguage(const TSettingsStorage &settings);
void StoreLanguage(TSettingsStorage &settings, const QString &language);
