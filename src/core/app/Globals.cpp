// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Globals.h"

TTranslator *Translator = nullptr;
TSettingsStorage *AppSettings = nullptr;
TDevice *Device = nullptr;
