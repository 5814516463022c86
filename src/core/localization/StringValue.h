// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The translation held for one key of a dictionary. Empty or blank means
// "not translated yet": lookups then give the English text.
struct TStringValue {
  QString Value;
};
