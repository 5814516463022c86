// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files (the program's and the simulated instrument's): any bytes
// load into a tree that writes and reads back to the same text, and the
// device parameters the program takes from it come out in their ranges.
#include <QStringList>

#include <memory>

#include "FuzzEntry.h"
#include "app/AppError.h"
#include "device/Device.h"
#include "device/DeviceParams.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"

VELTRAVOR_FUZZ_TARGET(Settings) {
  const QString file = FuzzScratchFile("settings.ini", data, size);
  TSettingsStorage settings;
  try {
    settings.Load(file);
  } catch (const EAppError &) {
    return 0;  // a section name with an empty key: the file is refused
  }
  QStringList once;
  settings.WriteToLines(once);
  TSettingsStorage again;
  again.ReadFromLines(once);
  QStringList twice;
  again.WriteToLines(twice);
  FUZZ_CHECK(once == twice);

  static std::unique_ptr<TSimulatorLink> link = [] {
    TSimulatorConfig config;
    config.Speed = 0;
    config.KeepState = false;
    return CreateSimulatorLink(config);
  }();
  static TDevice device(link.get());  // every field is set below
  LoadDeviceParams(device, settings);
  FUZZ_CHECK(!device.FilterTable.isEmpty());
  for (const TFilterRecord &r : device.FilterTable) FUZZ_CHECK(r.Transmission == r.Transmission);
  ConfiguredPortPath(settings);
  return 0;
}
