// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

#include "localization/Dictionary.h"

// The translator: the catalogue of every English text shown (written back to
// the catalogue file), and the dictionary of the selected language, read from
// "<name>.lng" and "<name>.~lng" in a language folder.
//
// Threads: Translate, SetLanguage and SaveCatalogue may be called from any
// thread (the scan worker translates its messages); each call holds the
// translator's mutex. Catalogue() and Dictionary() hand out the objects
// themselves: use them on the main thread while no worker runs.
class TTranslator {
 public:
  // Catalogue file and language folders of the installation (TPaths).
  explicit TTranslator(const QString &baseLanguage);
  // Explicit locations. languageDirs: the user's folder first (the one the
  // translation editor writes), then installed ones.
  TTranslator(const QString &baseLanguage, const QString &catalogueFile,
              const QStringList &languageDirs);
  // Writes the catalogue when it changed. A failure is reported through
  // NotifyWarning; shutdown goes on.
  ~TTranslator();
  TTranslator(const TTranslator &) = delete;
  TTranslator &operator=(const TTranslator &) = delete;

  // The translation of text in the selected language (the text itself while
  // the base language is selected). With forward and addMissing both set, a
  // text new to the catalogue is recorded there. forward = false maps a
  // translation back to its English text.
  QString Translate(const QString &text, bool forward, bool addMissing);

  // Selects a language by name (surrounding blanks ignored). The base
  // language, in any letter case, drops the dictionary. Otherwise the
  // dictionary is read from the first language folder holding a file of that
  // name; missing or unreadable files leave it empty, so texts show in English.
  void SetLanguage(const QString &name);
  // The selected language's name, or BaseLanguage.
  QString Language() const;

  // The folder whose files SetLanguage reads for name (the first language
  // folder holding "<name>.lng" or "<name>.~lng"), or an empty text.
  QString LanguageFolder(const QString &name) const;
  // The user's language folder, where dictionaries are written.
  QString UserLanguageDir() const { return FLanguageDirs.value(0); }

  // Appends the name of every "*.lng" file of the language folders, each name
  // once, folders in order, files in the file system's order. Not sorted.
  void GetLanguages(QStringList &list) const;

  // Writes the catalogue file when the catalogue changed. Raises EAppError
  // with the system's message when the file cannot be written.
  void SaveCatalogue();

  const QString &CatalogueFile() const { return FCatalogueFile; }
  const QStringList &LanguageDirs() const { return FLanguageDirs; }
  TDictionary &Catalogue() { return FCatalogue; }
  // Null while the base language is selected.
  TDictionary *Dictionary() { return FDictionary.get(); }

  // The source language, trimmed ("English").
  const QString BaseLanguage;

 private:
  const QString FCatalogueFile;
  const QStringList FLanguageDirs;
  mutable QMutex FLock;  // guards both dictionaries
  TDictionary FCatalogue;
  std::unique_ptr<TDictionary> FDictionary;
};
