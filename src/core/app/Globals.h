// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class TTranslator;
class TSettingsStorage;
class TDevice;

// The program's global objects. The main window (or veltravor-cli's main)
// creates them in the order Translator, AppSettings, (OpenWindows), Device and
// destroys them in the order AppSettings, (OpenWindows), Device, Translator.
// Null while they do not exist.
extern TTranslator *Translator;
extern TSettingsStorage *AppSettings;
extern TDevice *Device;
