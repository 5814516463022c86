// SPDX-License-Identifier: GPL-3.0-or-later
// The language list and the translation editor, driven as the operator
// drives them from the settings dialog.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "../app/ShellTestSupport.h"
#include "TestEnvironment.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/Paths.h"
#include "localization/LanguageList.h"
#include "localization/TranslationEditor.h"
#include "localization/Translator.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"

namespace {
QString LanguageFile(const QString &name, const QString &extension = ".lng") {
  return TPaths::LanguageDir() + "/" + name + extension;
}

void WriteLanguage(const QString &name, const QStringList &lines) {
  QVERIFY(WriteTextLines(LanguageFile(name), lines));
}

QStringList Entries(const QListWidget *list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

// Every file below the test's data and config folders.
QStringList AllFiles() {
  QStringList files;
  QDirIterator it(TestRoot(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  files.sort();
  return files;
}

QStringList BoxTexts(const TBoxRecorder &boxes) {
  QStringList texts;
  for (const TMessageBoxRequest &r : boxes.Requests) texts << r.Text;
  return texts;
}

// Row of an English text in the editor's grid, or -1.
int RowOf(const TfmTranslationEditor &fm, const QString &english) {
  QAbstractItemModel *grid = fm.Grid->model();
  for (int row = 0; row < grid->rowCount(); ++row)
    if (grid->index(row, 0).data().toString() == english) return row;
  return -1;
}

void SetTranslation(TfmTranslationEditor &fm, const QString &english, const QString &loc) {
  const int row = RowOf(fm, english);
  QVERIFY2(row >= 0, qPrintable(english));
  QVERIFY(fm.Grid->model()->setData(fm.Grid->model()->index(row, 1), loc));
}
}  // namespace

class LanguageDialogsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;

  void StartMain(const QString &language = "English") {
    QFile::remove(TPaths::SimulatorSettingsFile());
    QVERIFY(WriteTextLines(
        TPaths::SettingsFile(),
        {"[General]", "Carriage=30000", "filterTable=1;0;", "[Settings]", "Language=" + language}));
    TStartOptions options;
    options.CreateLink = [](const QString &) {
      TSimulatorConfig config;
      config.Speed = 0;
      config.KeepState = false;
      return std::make_unique<TSimulatorLink>(config);
    };
    FMain = std::make_unique<TfmMain>(options);
    FMain->tmStartActions->stop();
  }

 private slots:
  void initTestCase() { QApplication::setApplicationDisplayName("Veltravor"); }
  void init() {
    QDir(TPaths::LanguageDir()).removeRecursively();
    QFile::remove(TPaths::CatalogueFile());
  }
  void cleanup() { FMain.reset(); }

  // " English" first, then the dictionaries sorted; the stored language is
  // selected ignoring case, " English" when it has no file (or is English).
  void listSelectsTheStoredLanguage_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("selected");
    QTest::newRow("English") << "English"
                             << " English";
    QTest::newRow("other case") << "deutsch"
                                << "Deutsch";
    QTest::newRow("file removed") << "Klingon"
                                  << " English";
    QTest::newRow("Russian") << "Русский"
                             << "Русский";
  }
  void listSelectsTheStoredLanguage() {
    QFETCH(QString, stored);
    QFETCH(QString, selected);
    WriteLanguage("Русский", {"OK<=>ОК"});
    WriteLanguage("Deutsch", {"OK<=>OK"});
    WriteLanguage("aleut", {});
    StartMain(stored);
    TfmLanguageList list(FMain.get());
    QCOMPARE(list.windowTitle(), QString("Select language"));
    QCOMPARE(Entries(list.ListBox), (QStringList{" English", "aleut", "Deutsch", "Русский"}));
    QCOMPARE(list.ListBox->currentItem()->text(), selected);
    QCOMPARE(list.SelectedLanguage(), selected.trimmed());
  }

  // OK needs a selection; with one it closes and the caller gets the name.
  void okNeedsASelection() {
    StartMain();
    TBoxRecorder boxes;
    TfmLanguageList list(FMain.get());
    QSignalSpy finished(&list, &QDialog::finished);
    list.ListBox->clearSelection();
    list.ListBox->setCurrentItem(nullptr);
    list.btOk->click();
    QCOMPARE(BoxTexts(boxes), QStringList{"Select language."});
    QCOMPARE(finished.count(), 0);
    list.ListBox->setCurrentRow(0);
    list.btOk->click();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list.result(), int(QDialog::Accepted));
    QCOMPARE(list.SelectedLanguage(), QString("English"));
  }

  // Edit on " English" opens nothing; on a language, the editor for it; New
  // always the editor for a language still to be named.
  void editAndNew() {
    WriteLanguage("Deutsch", {"OK<=>OK"});
    StartMain();
    TDialogRecorder dialogs;
    QStringList seen;  // language, caption, whether the name field shows
    dialogs.Act = [&](QDialog &dialog) {
      auto &editor = static_cast<TfmTranslationEditor &>(dialog);
      seen << editor.Language << editor.windowTitle() << (editor.pnTop->isHidden() ? "-" : "name");
      return int(QDialog::Rejected);
    };
    TfmLanguageList list(FMain.get());
    list.edEdit->click();
    QCOMPARE(dialogs.Names, QStringList{});
    list.ListBox->setCurrentRow(1);
    list.edEdit->click();
    list.edInsert->click();
    QCOMPARE(dialogs.Names, (QStringList{"fmTranslationEditor", "fmTranslationEditor"}));
    QCOMPARE(seen, (QStringList{"Deutsch", "Deutsch", "-", "", "New language", "name"}));
  }

  // A new language: its name without blanks, both files with only the
  // translated entries; reopened, the untranslated texts come back from the
  // catalogue; the list shows the new language.
  void newLanguageIsSavedTranslatedOnly() {
    StartMain();
    TBoxRecorder boxes;
    TfmLanguageList list(FMain.get());
    TfmTranslationEditor fm(QString(), &list);
    QVERIFY(RowOf(fm, "Settings") >= 0);
    const int rows = fm.Grid->model()->rowCount();
    QCOMPARE(fm.pnCount->text(), QString("Translated: 0 from %1").arg(rows));
    SetTranslation(fm, "Settings", "tlhIngan Settings");
    SetTranslation(fm, "Cancel", "Qil");
    QCOMPARE(fm.pnCount->text(), QString("Translated: 2 from %1").arg(rows));
    fm.edLanguage->setText("  Klingon  ");
    fm.btApply->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QCOMPARE(fm.Language, QString("Klingon"));
    QCOMPARE(fm.windowTitle(), QString("Klingon"));
    QVERIFY(fm.pnTop->isHidden());
    QVERIFY(!fm.Changed());
    const QStringList expected{"Cancel<=>Qil", "Settings<=>tlhIngan Settings"};
    QCOMPARE(FileLines(LanguageFile("Klingon")), expected);
    QCOMPARE(FileLines(LanguageFile("Klingon", ".~lng")), expected);
    QCOMPARE(Entries(list.ListBox), (QStringList{" English", "Klingon"}));
    // Nothing changed since Apply: closing asks nothing.
    fm.btCancel->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});

    TfmTranslationEditor again("Klingon", &list);
    QCOMPARE(again.Grid->model()->rowCount(), rows);
    QCOMPARE(again.TranslatedCount(), 2);
    QCOMPARE(again.Grid->model()->index(RowOf(again, "Apply"), 1).data().toString(), QString());
    QCOMPARE(again.Grid->model()->index(RowOf(again, "Cancel"), 1).data().toString(),
             QString("Qil"));
  }

  // Names that are no plain file name, the base language and an existing
  // language are refused: nothing is written anywhere, the name field stays.
  void refusedNamesWriteNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    const QString pathRule =
        R"(A language name can not contain "/" or control characters, nor begin with ".".)";
    QTest::newRow("empty") << "   "
                           << "Input language.";
    QTest::newRow("../x") << "../x" << pathRule;
    QTest::newRow("a/b") << "a/b" << pathRule;
    QTest::newRow("../../config/veltravor/veltravor")
        << "../../config/veltravor/veltravor" << pathRule;
    QTest::newRow("hidden") << ".x" << pathRule;
    QTest::newRow("control") << "x\ny" << pathRule;
    QTest::newRow("base") << " english "
                          << "English is the language of the program itself: it needs no "
                             "translation.";
    QTest::newRow("exists") << "DEUTSCH"
                            << "Language \"Deutsch\" already exists.";
  }
  void refusedNamesWriteNothing() {
    QFETCH(QString, name);
    QFETCH(QString, error);
    WriteLanguage("Deutsch", {"OK<=>OK"});
    StartMain();
    TBoxRecorder boxes;
    TfmTranslationEditor fm{QString()};
    SetTranslation(fm, "Settings", "x");
    fm.edLanguage->setText(name);
    const QStringList before = AllFiles();
    fm.btOk->click();
    QCOMPARE(BoxTexts(boxes), QStringList{error});
    QCOMPARE(AllFiles(), before);
    QVERIFY(fm.Language.isEmpty());
    QVERIFY(!fm.pnTop->isHidden());
    QVERIFY(fm.Changed());
    QCOMPARE(fm.result(), 0);
  }

  // Saving the language in use retranslates the open windows at once;
  // saving another language changes nothing on screen.
  void savingRetranslatesOnlyTheLanguageInUse_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("caption");
    QTest::newRow("in use") << "deutsch"
                            << "Einstellungen";
    QTest::newRow("another") << "English"
                             << "Settings";
  }
  void savingRetranslatesOnlyTheLanguageInUse() {
    QFETCH(QString, stored);
    QFETCH(QString, caption);
    WriteLanguage("Deutsch", {"Cancel<=>Abbrechen"});
    StartMain(stored);
    TBoxRecorder boxes;
    TfmLanguageList list(FMain.get());
    TfmTranslationEditor fm("Deutsch", &list);
    SetTranslation(fm, "Settings", "Einstellungen");
    fm.btApply->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QCOMPARE(FMain->mnSettings->text(), caption);
    QCOMPARE(list.btCancel->text(), stored == "English" ? QString("Cancel") : QString("Abbrechen"));
    QVERIFY(fm.pnCount->text().startsWith("Translated: 2 from "));
  }

  // Closing with unsaved edits asks; Yes saves, No drops, Cancel stays.
  void closingWithEditsAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("No") << int(QMessageBox::No) << true << false;
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << false << false;
  }
  void closingWithEditsAsks() {
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, saved);
    WriteLanguage("Deutsch", {"Cancel<=>Abbrechen"});
    StartMain();
    TBoxRecorder boxes{QMessageBox::StandardButton(answer)};
    TfmTranslationEditor fm("Deutsch");
    QSignalSpy finished(&fm, &QDialog::finished);
    // Setting a translation to what it is already is no edit.
    SetTranslation(fm, "Cancel", "Abbrechen");
    QVERIFY(!fm.Changed());
    SetTranslation(fm, "Settings", "Einstellungen");
    QTest::keyClick(&fm, Qt::Key_Escape);
    QCOMPARE(BoxTexts(boxes), QStringList{"Save changes?"});
    QCOMPARE(finished.count(), closed ? 1 : 0);
    QCOMPARE(FileLines(LanguageFile("Deutsch")).contains("Settings<=>Einstellungen"), saved);
    // The placement is kept in every case.
    QVERIFY(AppSettings->ReadInt({"Forms", "TfmTranslationEditorTfmTranslationEditor"}, "Width",
                                 -1) > 0);
  }
};

VELTRAVOR_TEST_MAIN(LanguageDialogsTest)
#include "LanguageDialogsTest.moc"
