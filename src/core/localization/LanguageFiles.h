// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class TDictionary;
class TTranslator;

// The dictionary files of one language as the translation editor reads and
// writes them: "<name>.lng" and its second copy "<name>.~lng". They are read
// from the folder the translator reads the language from (the user's copy,
// else the installed one) and always written to the user's language folder.

// Raises EAppError with a translated message unless name (already trimmed) can
// name a new language: not empty, a plain file name (no "/", no control
// character, not beginning with "."), not the base language and not a
// language that already has a dictionary (letter case ignored).
void CheckNewLanguageName(const QString &name, const TTranslator &translator);

// Merges into pairs the language's files (none for an empty or unknown
// language), then the catalogue file: every collected text the language does
// not translate yet comes with an empty translation. Unreadable files add
// nothing.
void LoadLanguagePairs(TDictionary &pairs, const TTranslator &translator, const QString &language);

// Writes pairs to "<language>.lng" and then "<language>.~lng" in the user's
// language folder, creating the folder. Raises EAppError with the system's
// message when a file cannot be written; the files written before stay.
void SaveLanguagePairs(TDictionary &pairs, const TTranslator &translator, const QString &language);
