#include "app/Globals.h"

TTranslator *Translator = nullptr;
TSettingsStorage *AppSettings = nullptr;
TDevice *Device = nullptr;
