// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/MeasurementSettings.h"

#include "settings/SettingsStorage.h"

namespace {
const TKeyPath General{QStringLiteral("General")};
const TKeyPath SettingsSection{QStringLiteral("Settings")};
}  // namespace

TMeasurementSettings ReadMeasurementSettings(const TSettingsStorage &settings) {
  const TMeasurementSettings defaults;
  TMeasurementSettings values;
  values.LowLevel = settings.ReadInt(General, QStringLiteral("lowLevel"), defaults.LowLevel);
  values.HighLevel = settings.ReadInt(General, QStringLiteral("highLevel"), defaults.HighLevel);
  values.AvgNum = settings.ReadInt(General, QStringLiteral("avgNum"), defaults.AvgNum);
  values.DelayLineSteps =
      settings.ReadInt(General, QStringLiteral("DL_STEPS"), defaults.DelayLineSteps);
  return values;
}

void StoreMeasurementSettings(TSettingsStorage &settings, const TMeasurementSettings &values) {
  settings.AddParam(General, QStringLiteral("lowLevel"), values.LowLevel);
  settings.AddParam(General, QStringLiteral("highLevel"), values.HighLevel);
  settings.AddParam(General, QStringLiteral("avgNum"), values.AvgNum);
  settings.AddParam(General, QStringLiteral("DL_STEPS"), values.DelayLineSteps);
}

const QList<int> &AveragingCounts() {
  static const QList<int> counts{1,   2,   4,    8,    16,   32,   64,    128,
                                 256, 512, 1024, 2048, 4069, 8192, 16384, 32768};
  return counts;
}

int AveragingIndex(int count) {
  const qsizetype index = AveragingCounts().indexOf(count);
  return index < 0 ? 0 : int(index);
}

QString StoredLanguage(const TSettingsStorage &settings) {
  return settings.ReadText(SettingsSection, QStringLiteral("Language"), QStringLiteral("English"));
}

void StoreLanguage(TSettingsStorage &settings, const QString &language) {
  settings.AddParam(SettingsSection, QStringLiteral("Language"), language);
}
