// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/LanguageFiles.h"

#include <QDir>
#include <QStringList>

#include "app/AppError.h"
#include "app/Messages.h"
#include "localization/Dictionary.h"
#include "localization/Translator.h"

namespace {
// A name that could leave the dictionary folder or hide its file: a path
// separator, a leading "." (also ".."), a control character.
bool IsPlainFileName(const QString &name) {
  if (name.startsWith(u'.') || name.contains(u'/')) return false;
  for (QChar c : name)
    if (c.category() == QChar::Other_Control) return false;
  return true;
}

void CheckPlainFileName(const QString &name) {
  if (!IsPlainFileName(name))
    RaiseError(
        QStringLiteral("A language name can not contain \"/\" or control characters, "
                       "nor begin with \".\"."));
}
}  // namespace

void CheckNewLanguageName(const QString &name, const TTranslator &translator) {
  if (name.isEmpty()) RaiseError(QStringLiteral("Input language."));
  CheckPlainFileName(name);
  if (name.compare(translator.BaseLanguage, Qt::CaseInsensitive) == 0)
    RaiseError(QStringLiteral("% is the language of the program itself: it needs no translation."),
               QStringList{translator.BaseLanguage});
  QStringList languages;
  translator.GetLanguages(languages);
  for (const QString &language : languages)
    if (language.compare(name, Qt::CaseInsensitive) == 0)
      RaiseError(QStringLiteral("Language \"%\" already exists."), QStringList{language});
}

void LoadLanguagePairs(TDictionary &pairs, const TTranslator &translator, const QString &language) {
  const QString dir = translator.LanguageFolder(language);
  if (!dir.isEmpty()) {
    pairs.LoadFromFile(dir + "/" + language + ".lng");
    pairs.LoadFromFile(dir + "/" + language + ".~lng");
  }
  pairs.LoadFromFile(translator.CatalogueFile());
}

void SaveLanguagePairs(TDictionary &pairs, const TTranslator &translator, const QString &language) {
  // Names come from the file names of the language folders or passed the
  // check above; this guard keeps a name from ever writing elsewhere.
  if (language.isEmpty()) RaiseError(QStringLiteral("Input language."));
  CheckPlainFileName(language);
  const QString dir = translator.UserLanguageDir();
  QDir().mkpath(dir);
  pairs.SaveToFile(dir + "/" + language + ".lng");
  pairs.SaveToFile(dir + "/" + language + ".~lng");
}
