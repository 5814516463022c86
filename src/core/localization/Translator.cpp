// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/Translator.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <exception>

#include "app/AppError.h"
#include "app/Notifier.h"
#include "app/Paths.h"

TTranslator::TTranslator(const QString &baseLanguage)
    : TTranslator(baseLanguage, TPaths::CatalogueFile(), TPaths::LanguageDirs()) {}

TTranslator::TTranslator(const QString &baseLanguage, const QString &catalogueFile,
                         const QStringList &languageDirs)
    : BaseLanguage(baseLanguage.trimmed()),
      FCatalogueFile(catalogueFile),
      FLanguageDirs(languageDirs) {
  FCatalogue.LoadFromFile(FCatalogueFile);
}

TTranslator::~TTranslator() {
  // The translator goes last at shutdown: nobody is left to catch an error.
  try {
    SaveCatalogue();
  } catch (const std::exception &e) {
    NotifyWarning(ExceptionMessage(e));
  }
}

QString TTranslator::Translate(const QString &text, bool forward, bool addMissing) {
  QMutexLocker lock(&FLock);
  if (forward && addMissing) FCatalogue.Lookup(text, true, true);
  if (FDictionary) return FDictionary->Lookup(text, forward, addMissing);
  return text;
}

void TTranslator::SetLanguage(const QString &name) {
  const QString trimmed = name.trimmed();
  std::unique_ptr<TDictionary> dictionary;
  if (trimmed.compare(BaseLanguage, Qt::CaseInsensitive) != 0) {
    dictionary = std::make_unique<TDictionary>(trimmed);
    const QString dir = LanguageFolder(trimmed);
    if (!dir.isEmpty()) {
      dictionary->LoadFromFile(dir + "/" + trimmed + ".lng");
      dictionary->LoadFromFile(dir + "/" + trimmed + ".~lng");
    }
  }
  // Files are read before taking the lock, so a worker's Translate waits only
  // for the exchange.
  QMutexLocker lock(&FLock);
  FDictionary = std::move(dictionary);
}

QString TTranslator::LanguageFolder(const QString &name) const {
  // The user's own copy wins over an installed one as a whole: both files of
  // a language come from the same folder.
  const QString trimmed = name.trimmed();
  if (trimmed.isEmpty()) return {};
  for (const QString &dir : FLanguageDirs) {
    const QString base = dir + "/" + trimmed;
    if (QFileInfo::exists(base + ".lng") || QFileInfo::exists(base + ".~lng")) return dir;
  }
  return {};
}

QString TTranslator::Language() const {
  QMutexLocker lock(&FLock);
  return FDictionary ? FDictionary->Name() : BaseLanguage;
}

void TTranslator::GetLanguages(QStringList &list) const {
  QSet<QString> seen;
  for (const QString &dir : FLanguageDirs) {
    const QStringList files = QDir(dir).entryList(
        {QStringLiteral("*.lng")}, QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive,
        QDir::Unsorted);
    for (const QString &file : files) {
      const QString name = file.chopped(4);
      if (name.isEmpty() || seen.contains(name)) continue;
      seen.insert(name);
      list << name;
    }
  }
}

void TTranslator::SaveCatalogue() {
  QMutexLocker lock(&FLock);
  if (FCatalogue.Modified()) FCatalogue.SaveToFile(FCatalogueFile);
}
