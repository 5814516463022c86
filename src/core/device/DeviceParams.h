// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <optional>

class TDevice;
class TSettingsStorage;

// The device parameters kept in section General of the settings file, shared
// by the main window and veltravor-cli:
//   "Carriage"          CarriagePosition, steps        default 0
//   "Zero"              ZeroPosition, steps            default 30000
//   "period_delayLine"  PeriodDelayLine, ms (0..255)   default 4
//   "period_filter"     PeriodFilter, ms (0..255)      default 4
//   "filterTable"       FilterTable in its text form   default empty -> (1.0, 0)
//   "writeLogFile"      WriteLog                       default false
//   "signalShift"       SignalShift                    default 0
// A stored value that does not convert to its type, or a period outside a
// byte, reads as the key's default.
void LoadDeviceParams(TDevice &device, const TSettingsStorage &settings);

// Writes the same keys in the order above. When mruProjects is given (the main
// window's recent files), it is written between "filterTable" and
// "writeLogFile", where the settings file has always kept it.
void StoreDeviceParams(const TDevice &device, TSettingsStorage &settings,
                       const std::optional<QString> &mruProjects = std::nullopt);

// The serial port named in the settings (key "port" of section General), or an
// empty text: the USB device is then found by its description. Only read,
// never written: an administrator or the operator sets it by hand.
QString ConfiguredPortPath(const TSettingsStorage &settings);
