// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/SimulatorFiles.h"

#include <QFileInfo>
#include <QStringList>

#include "app/Paths.h"
#include "app/TextFile.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorConfig.h"
#include "simulator/SimulatorOptics.h"

namespace {
const QString StateSection = QStringLiteral("[State]");
const QString CarriageKey = QStringLiteral("Carriage");
const QString WheelKey = QStringLiteral("Wheel");
}  // namespace

TSimulatorState LoadSimulatorState() {
  TSimulatorState state{SimulatorFirstCarriage, SimulatorFirstWheel};
  QStringList lines;
  if (!ReadTextLines(TPaths::SimulatorStateFile(), lines)) return state;
  for (const QString &line : lines) {
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) continue;
    const QString name = line.left(eq).trimmed();
    bool ok = false;
    const int value = line.mid(eq + 1).trimmed().toInt(&ok);
    if (!ok) continue;
    if (name.compare(CarriageKey, Qt::CaseInsensitive) == 0)
      state.Carriage = value;
    else if (name.compare(WheelKey, Qt::CaseInsensitive) == 0)
      state.Wheel = value;
  }
  return state;
}

bool SaveSimulatorState(const TSimulatorState &state, QString *error) {
  return WriteTextLines(TPaths::SimulatorStateFile(),
                        {StateSection, CarriageKey + "=" + QString::number(state.Carriage),
                         WheelKey + "=" + QString::number(state.Wheel)},
                        error);
}

bool EnsureSimulatorSettings(QString *error) {
  const QString file = TPaths::SimulatorSettingsFile();
  if (QFileInfo::exists(file)) return true;
  TSettingsStorage settings;
  settings.AddParam({QStringLiteral("General")}, QStringLiteral("filterTable"),
                    QString::fromLatin1(SimulatorOptics::FilterTableText));
  QStringList lines;
  settings.WriteToLines(lines);
  return WriteTextLines(file, lines, error);
}

TSimulatorConfig ResolvePowerOnPositions(TSimulatorConfig config) {
  if (config.KeepState && (!config.Carriage || !config.Wheel)) {
    const TSimulatorState kept = LoadSimulatorState();
    if (!config.Carriage) config.Carriage = kept.Carriage;
    if (!config.Wheel) config.Wheel = kept.Wheel;
  }
  return config;
}
