// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>

#include "app/AppError.h"
#include "app/Globals.h"
#include "app/Messages.h"
#include "app/Notifier.h"
#include "localization/Translator.h"

namespace {
class TRecorder : public TNotifier {
 public:
  QStringList Warnings;
  void Warning(const QString &text) override { Warnings << text; }
};

class TranslatorFiles : public ::testing::Test {
 protected:
  QTemporaryDir Dir;
  QString Catalogue() const { return Dir.filePath("veltravor.lng"); }
  QString UserDir() const { return Dir.filePath("user/LANGUAGE"); }
  QString InstalledDir() const { return Dir.filePath("installed/LANGUAGE"); }

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
  std::unique_ptr<TTranslator> Make() {
    return std::make_unique<TTranslator>(" English ", Catalogue(),
                                         QStringList{UserDir(), InstalledDir()});
  }
};
}  // namespace

TEST_F(TranslatorFiles, BaseLanguageShowsTheTextAndTheCatalogueKeepsItAtShutdown) {
  Write(Catalogue(), "zeta<=>\r\nAlpha<=>\r\n");  // an earlier, unsorted catalogue
  {
    auto t = Make();
    EXPECT_EQ(t->BaseLanguage, "English");
    EXPECT_EQ(t->Translate("New text", true, true), "New text");
    EXPECT_EQ(t->Translate("Only looked at", true, false), "Only looked at");
    EXPECT_EQ(t->Translate("Reverse", false, true), "Reverse");
    EXPECT_EQ(t->Translate(" 17 ", true, true), " 17 ");
    EXPECT_EQ(t->Dictionary(), nullptr);
  }
  EXPECT_EQ(Read(Catalogue()), QByteArray("Alpha<=>\r\nNew text<=>\r\nzeta<=>\r\n"));
}

TEST_F(TranslatorFiles, SelectingTheBaseLanguageInAnyCaseReadsNoFile) {
  Write(UserDir() + "/english.lng", "Open<=>Wrong\r\n");
  Write(UserDir() + "/German.lng", "Open<=>Oeffnen\r\n");
  auto t = Make();
  t->SetLanguage("German");
  ASSERT_NE(t->Dictionary(), nullptr);
  EXPECT_EQ(t->Translate("Open", true, true), "Oeffnen");
  t->SetLanguage("  english  ");
  EXPECT_EQ(t->Dictionary(), nullptr);
  EXPECT_EQ(t->Language(), "English");
  EXPECT_EQ(t->Translate("Open", true, true), "Open");
}

TEST_F(TranslatorFiles, SecondCopyFillsWhatTheFirstFileLacksOrLeavesBlank) {
  Write(UserDir() + "/German.lng", "Open<=>Oeffnen\r\nClose<=>\r\n");
  Write(UserDir() + "/German.~lng", "OPEN<=>Aufmachen\r\nclose<=>Schliessen\r\nSave<=>Sichern\r\n");
  auto t = Make();
  t->SetLanguage(" German ");
  EXPECT_EQ(t->Language(), "German");
  EXPECT_EQ(t->Translate("Open", true, true), "Oeffnen");
  EXPECT_EQ(t->Translate("Close", true, true), "Schliessen");
  EXPECT_EQ(t->Translate("Save", true, true), "Sichern");
  // Reverse lookup takes a shown translation back to English.
  EXPECT_EQ(t->Translate("Schliessen", false, false), "Close");
  EXPECT_EQ(t->Translate("Aufmachen", false, false), "Aufmachen");

  // A language without files shows English.
  t->SetLanguage("Klingon");
  ASSERT_NE(t->Dictionary(), nullptr);
  EXPECT_EQ(t->Dictionary()->Count(), 0);
  EXPECT_EQ(t->Translate("Open", true, true), "Open");
}

TEST_F(TranslatorFiles, UserFolderWinsAndInstalledLanguagesAreListedOnce) {
  Write(InstalledDir() + "/German.lng", "Open<=>Installiert\r\n");
  Write(InstalledDir() + "/Russian.lng", "Open<=>Otkryt\r\n");
  Write(InstalledDir() + "/Notes.txt", "not a language\r\n");
  Write(UserDir() + "/German.~lng", "Open<=>Eigene\r\n");  // the user's copy, second file only
  Write(UserDir() + "/French.lng", "");
  auto t = Make();

  t->SetLanguage("German");
  EXPECT_EQ(t->Translate("Open", true, false), "Eigene");
  t->SetLanguage("Russian");
  EXPECT_EQ(t->Translate("Open", true, false), "Otkryt");

  QStringList languages{" English"};  // appended to, not cleared
  t->GetLanguages(languages);
  ASSERT_EQ(languages.size(), 4);
  EXPECT_EQ(languages.front(), " English");
  EXPECT_EQ(QSet<QString>(languages.begin() + 1, languages.end()),
            (QSet<QString>{"French", "Russian", "German"}));
}

TEST_F(TranslatorFiles, ReadsADictionaryOfTheEarlierProgramInWindows1251) {
  // "Open<=>Открыть", "Close<=>Закрыть" in the Windows Cyrillic code page.
  Write(UserDir() + "/Russian.lng",
        "Open<=>\xce\xf2\xea\xf0\xfb\xf2\xfc\r\nClose<=>\xc7\xe0\xea\xf0\xfb\xf2\xfc\r\n");
  auto t = Make();
  t->SetLanguage("Russian");
  EXPECT_EQ(t->Translate("Open", true, true), QString::fromUtf8("Открыть"));
  EXPECT_EQ(t->Translate("close", true, true), QString::fromUtf8("Закрыть"));
}

TEST_F(TranslatorFiles, CatalogueRecordsOnlyForwardTextsThatAskForIt) {
  Write(UserDir() + "/German.lng", "Open<=>Oeffnen\r\n");
  auto t = Make();
  t->SetLanguage("German");
  t->Translate("Open", true, true);
  t->Translate("Caption", true, false);   // language switch pass
  t->Translate("Oeffnen", false, false);  // reverse pass
  t->Translate("Kept", false, true);
  ASSERT_EQ(t->Catalogue().Count(), 1);
  EXPECT_EQ(t->Catalogue().Key(0), "Open");

  t->SaveCatalogue();
  EXPECT_FALSE(t->Catalogue().Modified());
  EXPECT_EQ(Read(Catalogue()), QByteArray("Open<=>\r\n"));
}

TEST_F(TranslatorFiles, ACatalogueThatCannotBeWrittenRaisesOnSaveAndOnlyWarnsAtShutdown) {
  Write(Dir.filePath("blocker"), "a file, not a folder");
  TRecorder recorder;
  TNotifier *previous = SetNotifier(&recorder);
  {
    TTranslator t("English", Dir.filePath("blocker/veltravor.lng"), {UserDir()});
    t.Translate("Something new", true, true);
    EXPECT_THROW(t.SaveCatalogue(), EAppError);
    EXPECT_TRUE(t.Catalogue().Modified());
  }  // destructor must not throw
  SetNotifier(previous);
  ASSERT_EQ(recorder.Warnings.size(), 1);
  EXPECT_TRUE(recorder.Warnings.front().contains("veltravor.lng"))
      << recorder.Warnings.front().toStdString();
}

TEST_F(TranslatorFiles, MessagesAreTranslatedBeforeTheirValuesFillTheSigns) {
  Write(UserDir() + "/German.lng",
        "Translated: % from %<=>% von % \xc3\xbc"
        "bersetzt\r\n");
  auto t = Make();
  t->SetLanguage("German");
  Translator = t.get();
  const QString shown = TranslateFmt("Translated: % from %", {3, 10});
  Translator = nullptr;
  EXPECT_EQ(shown, QString::fromUtf8("3 von 10 übersetzt"));
}

TEST_F(TranslatorFiles, WorkerAndMainThreadTranslateAtTheSameTime) {
  Write(UserDir() + "/German.lng", "Open<=>Oeffnen\r\n");
  auto t = Make();
  t->SetLanguage("German");
  constexpr int Texts = 4000;
  std::atomic<int> wrong{0};
  auto run = [&](const QString &prefix, bool reload) {
    for (int i = 0; i < Texts; ++i) {
      // Re-selecting the language exchanges the dictionary under the worker.
      if (reload && i % 500 == 0) t->SetLanguage("German");
      if (t->Translate(prefix + QString::number(i), true, true) != prefix + QString::number(i))
        ++wrong;
      if (t->Translate("Open", true, true) != "Oeffnen") ++wrong;
    }
  };
  std::unique_ptr<QThread> worker(QThread::create(run, QStringLiteral("worker text "), false));
  worker->start();
  run(QStringLiteral("main text "), true);
  ASSERT_TRUE(worker->wait(60000));
  EXPECT_EQ(wrong.load(), 0);

  // Every text once, in order: no insert was lost or duplicated.
  const TDictionary &catalogue = t->Catalogue();
  EXPECT_EQ(catalogue.Count(), 2 * Texts + 1);
  for (qsizetype i = 1; i < catalogue.Count(); ++i)
    ASSERT_LT(TDictionary::CompareKeys(catalogue.Key(i - 1), catalogue.Key(i)), 0);
}
