// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "ErrorOf.h"
#include "localization/Dictionary.h"
#include "localization/LanguageFiles.h"
#include "localization/TranslationTable.h"
#include "localization/Translator.h"

namespace {
void Write(const QString &fileName, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(fileName).absolutePath());
  QFile file(fileName);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QByteArray Read(const QString &fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file below dir, relative to it.
QStringList FilesBelow(const QString &dir) {
  QStringList files;
  QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(dir).relativeFilePath(it.next());
  files.sort();
  return files;
}

class LanguageFolders : public ::testing::Test {
 protected:
  QTemporaryDir Dir;
  QString Catalogue() const { return Dir.filePath("data/veltravor.lng"); }
  QString UserDir() const { return Dir.filePath("data/LANGUAGE"); }
  QString InstalledDir() const { return Dir.filePath("share/LANGUAGE"); }
  std::unique_ptr<TTranslator> Make() {
    return std::make_unique<TTranslator>("English", Catalogue(),
                                         QStringList{UserDir(), InstalledDir()});
  }
};
}  // namespace

// The editor's pairs: the language's files from the folder the translator
// reads it from (the user's copy as a whole, else the installed one), then
// every catalogue text with an empty translation.
TEST_F(LanguageFolders, PairsComeFromTheLanguagesFolderAndTheCatalogue) {
  Write(Catalogue(), "Apply<=>\r\nCancel<=>\r\nOK<=>\r\n");
  Write(InstalledDir() + "/Deutsch.lng", "Apply<=>Anwenden\r\nOK<=>OK\r\n");
  Write(InstalledDir() + "/Deutsch.~lng", "Cancel<=>Abbrechen\r\n");
  auto t = Make();
  TDictionary installed("Deutsch");
  LoadLanguagePairs(installed, *t, "Deutsch");
  ASSERT_EQ(installed.Count(), 3);
  EXPECT_EQ(installed.Lookup("Apply", true, false), "Anwenden");
  EXPECT_EQ(installed.Lookup("Cancel", true, false), "Abbrechen");

  Write(UserDir() + "/Deutsch.lng", "Apply<=>Übernehmen\r\n");
  TDictionary user("Deutsch");
  LoadLanguagePairs(user, *t, "Deutsch");
  ASSERT_EQ(user.Count(), 3);
  EXPECT_EQ(user.Lookup("Apply", true, false), "Übernehmen");
  EXPECT_EQ(user.Value(user.IndexOf("Cancel")).Value, "");

  TDictionary fresh;
  LoadLanguagePairs(fresh, *t, QString());
  EXPECT_EQ(fresh.Count(), 3);
}

// Saving writes the same lines to both files of the user's folder, whatever
// folder the language was read from; the installed copy stays as it was.
TEST_F(LanguageFolders, SavingWritesBothFilesToTheUsersFolderOnly) {
  Write(InstalledDir() + "/Deutsch.lng", "OK<=>OK\r\n");
  auto t = Make();
  TDictionary pairs("Deutsch");
  pairs.Lookup("Apply", true, true);
  LoadLanguagePairs(pairs, *t, "Deutsch");
  TTranslationTable table;
  table.Fill(pairs);
  ASSERT_TRUE(table.SetTranslation(0, "Anwenden"));
  table.CollectTranslated(pairs);
  SaveLanguagePairs(pairs, *t, "Deutsch");
  const QByteArray expected("Apply<=>Anwenden\r\nOK<=>OK\r\n");
  EXPECT_EQ(Read(UserDir() + "/Deutsch.lng"), expected);
  EXPECT_EQ(Read(UserDir() + "/Deutsch.~lng"), expected);
  EXPECT_EQ(Read(InstalledDir() + "/Deutsch.lng"), QByteArray("OK<=>OK\r\n"));
  EXPECT_EQ(t->LanguageFolder("Deutsch"), UserDir());
}

// A new language's name must be a plain file name inside the folder, not the
// base language and not one that exists; refused names write nothing.
TEST_F(LanguageFolders, NewLanguageNamesThatAreRefused) {
  Write(InstalledDir() + "/Deutsch.lng", "OK<=>OK\r\n");
  auto t = Make();
  const QString pathRule =
      R"(A language name can not contain "/" or control characters, nor begin with ".".)";
  const struct {
    QString Name, Error;
  } cases[] = {
      {"", "Input language."},
      {"../x", pathRule},
      {"a/b", pathRule},
      {"/etc/passwd", pathRule},
      {".hidden", pathRule},
      {"..", pathRule},
      {"Tab\there", pathRule},
      {QString("Null") + QChar(0) + "byte", pathRule},
      {"Bell\a", pathRule},
      {"english", "English is the language of the program itself: it needs no translation."},
      {"DEUTSCH", "Language \"Deutsch\" already exists."},
      {"Klingon", ""},
      {"Kling.on", ""},
      {"Русский", ""},
  };
  const QStringList before = FilesBelow(Dir.path());
  for (const auto &c : cases) {
    EXPECT_EQ(ErrorOf([&] { CheckNewLanguageName(c.Name, *t); }), c.Error) << c.Name.toStdString();
    if (c.Error.isEmpty() || c.Name.isEmpty()) continue;
    // The writer refuses a name that could leave the folder, whatever the caller checked.
    TDictionary pairs;
    pairs.Lookup("OK", true, true);
    if (c.Error == pathRule) {
      EXPECT_EQ(ErrorOf([&] { SaveLanguagePairs(pairs, *t, c.Name); }), pathRule);
    }
  }
  EXPECT_EQ(FilesBelow(Dir.path()), before);
}

// The translated count follows every edit; only real changes count as one.
TEST(TranslationTable, CountAndChangedFollowTheEdits) {
  TDictionary pairs;
  for (const char *text : {"A", "B", "C"}) pairs.Lookup(text, true, true);
  TDictionary translated;
  TTranslationTable table;
  table.Fill(pairs);
  EXPECT_EQ(table.TranslatedCount(), 0);
  EXPECT_FALSE(table.Changed());

  const struct {
    int Row;
    QString Loc;
    int Count;
    bool Changed;
  } steps[] = {
      {0, "", 0, false},   // no change: nothing posted
      {0, "a", 1, true},   // empty to text: +1
      {0, "aa", 1, true},  // text to other text: same
      {1, " ", 1, true},   // blank is no translation
      {1, "b", 2, true},   // blank to text: +1
      {0, "  ", 1, true},  // text to blank: -1
      {0, "", 1, true},    // blank to empty: same
      {2, "c", 2, true},
  };
  for (const auto &s : steps) {
    table.ClearChanged();
    table.SetTranslation(s.Row, s.Loc);
    EXPECT_EQ(table.TranslatedCount(), s.Count) << s.Row << " " << s.Loc.toStdString();
    EXPECT_EQ(table.Changed(), s.Changed) << s.Row << " " << s.Loc.toStdString();
  }
  EXPECT_EQ(table.CountText(), "Translated: 2 from 3");

  // Only translated rows are saved; filling again counts them as loaded.
  table.CollectTranslated(translated);
  ASSERT_EQ(translated.Count(), 2);
  EXPECT_EQ(translated.Key(0), "B");
  EXPECT_EQ(translated.Key(1), "C");
  table.Fill(translated);
  EXPECT_EQ(table.TranslatedCount(), 2);
  EXPECT_FALSE(table.Changed());
}
