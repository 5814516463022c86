// SPDX-License-Identifier: GPL-3.0-or-later
// Dictionary files (.lng catalogue and dictionaries, .~lng unsaved edits):
// any bytes merge into a dictionary that saves and loads back to the same
// file, and lookups in both directions work on whatever was loaded.
#include <QFile>

#include "FuzzEntry.h"
#include "app/AppError.h"
#include "localization/Dictionary.h"

VELTRAVOR_FUZZ_TARGET(Dictionary) {
  const QString file = FuzzScratchFile("fuzz.~lng", data, size);
  TDictionary dictionary("Fuzz");
  dictionary.LoadFromFile(file);
  for (qsizetype i = 0; i < dictionary.Count() && i < 8; ++i) {
    const QString key = dictionary.Key(i);
    FUZZ_CHECK(dictionary.IndexOf(key) >= 0);
    const QString translation = dictionary.Lookup(key, true, false);
    dictionary.Lookup(translation, false, false);
  }
  const QString saved = FuzzScratchFolder() + "/saved.lng";
  dictionary.SaveToFile(saved);
  TDictionary again("Fuzz");
  again.LoadFromFile(saved);
  const QString savedAgain = FuzzScratchFolder() + "/saved-again.lng";
  again.SaveToFile(savedAgain);
  QFile a(saved), b(savedAgain);
  FUZZ_CHECK(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  FUZZ_CHECK(a.readAll() == b.readAll());
  return 0;
}
