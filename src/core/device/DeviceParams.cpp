// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceParams.h"

#include "device/Device.h"
#include "settings/FilterTable.h"
#include "settings/SettingsStorage.h"

namespace {
const TKeyPath General{QStringLiteral("General")};

uint8_t ReadPeriod(const TSettingsStorage &settings, const QString &name) {
  constexpr int Default = 4;
  const int value = settings.ReadInt(General, name, Default);
  // The period travels as one byte: a value beyond it would be cut to a
  // different period, so it reads as the default instead.
  return uint8_t(value >= 0 && value <= 255 ? value : Default);
}
}  // namespace

void LoadDeviceParams(TDevice &device, const TSettingsStorage &settings) {
  device.CarriagePosition = settings.ReadInt(General, "Carriage", 0);
  device.ZeroPosition = settings.ReadInt(General, "Zero", 30000);
  device.PeriodDelayLine = ReadPeriod(settings, "period_delayLine");
  device.PeriodFilter = ReadPeriod(settings, "period_filter");
  device.FilterTable = ParseFilterTable(settings.ReadText(General, "filterTable", QString()));
  device.WriteLog = settings.ReadBool(General, "writeLogFile", false);
  device.SignalShift = settings.ReadInt(General, "signalShift", 0);
}

void StoreDeviceParams(const TDevice &device, TSettingsStorage &settings,
                       const std::optional<QString> &mruProjects) {
  settings.AddParam(General, "Carriage", qint64(device.CarriagePosition));
  settings.AddParam(General, "Zero", qint64(device.ZeroPosition));
  settings.AddParam(General, "period_delayLine", qint64(device.PeriodDelayLine));
  settings.AddParam(General, "period_filter", qint64(device.PeriodFilter));
  settings.AddParam(General, "filterTable", FilterTableToText(device.FilterTable));
  if (mruProjects) settings.AddParam(General, "mruProjects", *mruProjects);
  settings.AddParam(General, "writeLogFile", bool(device.WriteLog));
  settings.AddParam(General, "signalShift", qint64(device.SignalShift));
}

QString ConfiguredPortPath(const TSettingsStorage &settings) {
  return settings.ReadText(General, "port", QString()).trimmed();
}
