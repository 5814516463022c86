// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "ScriptedLink.h"
#include "device/Device.h"
#include "device/DeviceParams.h"
#include "settings/SettingsStorage.h"

namespace {

TEST(DeviceParams, MissingKeysGiveTheStartUpDefaultsNotTheConstructorsValues) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.CarriagePosition = 5;
  device.FilterTable = {{0.5, 7}};
  TSettingsStorage settings;
  LoadDeviceParams(device, settings);
  EXPECT_EQ(device.CarriagePosition, 0);
  EXPECT_EQ(device.ZeroPosition, 30000);
  EXPECT_EQ(device.PeriodDelayLine, 4);
  EXPECT_EQ(device.PeriodFilter, 4);
  EXPECT_EQ(device.FilterTable, DefaultFilterTable());
  EXPECT_FALSE(device.WriteLog);
  EXPECT_EQ(device.SignalShift, 0);
}

TEST(DeviceParams, StoredFileValuesAreReadAndBadOnesFallBack) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  TSettingsStorage settings;
  settings.ReadFromLines({"[general]", "carriage=-100", "Zero=31000", "period_delayLine=300",
                          "period_filter=x", "filterTable=1;0;0.1;400;", "writeLogFile=True",
                          "signalShift=7"});
  LoadDeviceParams(device, settings);
  EXPECT_EQ(device.CarriagePosition, -100);
  EXPECT_EQ(device.ZeroPosition, 31000);
  EXPECT_EQ(device.PeriodDelayLine, 4);  // beyond a byte
  EXPECT_EQ(device.PeriodFilter, 4);     // not a number
  EXPECT_EQ(device.FilterTable, (TFilterRecords{{1.0, 0}, {0.1, 400}}));
  EXPECT_TRUE(device.WriteLog);
  EXPECT_EQ(device.SignalShift, 7);
}

TEST(DeviceParams, StoreWritesTheKeysInTheirPlaceAndReadsBack) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.CarriagePosition = 30000;
  device.ZeroPosition = 29950;
  device.PeriodDelayLine = 3;
  device.PeriodFilter = 255;
  device.FilterTable = {{1.0, 0}, {9.1e-6, 2000}};
  device.WriteLog = true;
  device.SignalShift = -2;
  TSettingsStorage settings;
  StoreDeviceParams(device, settings, QString("a.vtp"));
  QStringList lines;
  settings.WriteToLines(lines);
  EXPECT_EQ(lines, (QStringList{"[General]", "Carriage=30000", "Zero=29950", "period_delayLine=3",
                                "period_filter=255", "filterTable=1;0;9.1E-6;2000;",
                                "mruProjects=a.vtp", "writeLogFile=True", "signalShift=-2"}));
  TSettingsStorage reread;
  reread.ReadFromLines(lines);
  TDevice other(&link, &link.Clock);
  LoadDeviceParams(other, reread);
  EXPECT_EQ(other.CarriagePosition, 30000);
  EXPECT_EQ(other.ZeroPosition, 29950);
  EXPECT_EQ(other.PeriodDelayLine, 3);
  EXPECT_EQ(other.PeriodFilter, 255);
  EXPECT_EQ(other.FilterTable, device.FilterTable);
  EXPECT_TRUE(other.WriteLog);
  EXPECT_EQ(other.SignalShift, -2);
}

}  // namespace
