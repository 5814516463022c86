// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "../app/ShellTestSupport.h"
#include "TestEnvironment.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/OpenWindows.h"
#include "app/Paths.h"
#include "device/Device.h"
#include "device/Log.h"
#include "localization/LanguageList.h"
#include "measurement/Project.h"
#include "settings/FilterTableModel.h"
#include "settings/Settings.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"
#include "windowpanel/WindowPanel.h"

namespace {
const TKeyPath General{"General"};
const TKeyPath SettingsSection{"Settings"};
const QString Russian = QStringLiteral("Русский");

TStartOptions SimulatedInstrument() {
  TStartOptions options;
  options.CreateLink = [](const QString &) {
    TSimulatorConfig config;
    config.Speed = 0;
    config.KeepState = false;
    return std::make_unique<TSimulatorLink>(config);
  };
  return options;
}

// The shipped Russian dictionary in the user's language folder.
void InstallRussian() {
  QDir().mkpath(TPaths::LanguageDir());
  const QString target = TPaths::LanguageDir() + "/" + Russian + ".lng";
  QFile::remove(target);
  QVERIFY(QFile::copy(QStringLiteral(VELTRAVOR_SOURCE_DIR "/data/localization/") + Russian + ".lng",
                      target));
}

QStringList BoxTexts(const TBoxRecorder &boxes) {
  QStringList texts;
  for (const TMessageBoxRequest &r : boxes.Requests) texts << r.Text;
  return texts;
}
}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;
  std::unique_ptr<TfmSettings> FDialog;

  void StartMain(const QStringList &general = {"Carriage=30000", "filterTable=1;0;"}) {
    QFile::remove(TPaths::SimulatorSettingsFile());
    QFile::remove(TPaths::SettingsFile());
    if (!general.isEmpty())
      QVERIFY(WriteTextLines(TPaths::SettingsFile(), QStringList{"[General]"} + general));
    FMain = std::make_unique<TfmMain>(SimulatedInstrument());
    FMain->tmStartActions->stop();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
    // Anything written from here on shows in the file.
    QFile::remove(TPaths::SettingsFile());
  }
  TfmSettings &OpenDialog() {
    FDialog = std::make_unique<TfmSettings>(FMain.get());
    FDialog->show();
    return *FDialog;
  }
  int StoredInt(const QString &name) const { return AppSettings->ReadInt(General, name, -12345); }
  QString StoredLanguage() const {
    return AppSettings->ReadText(SettingsSection, "Language", "English");
  }
  bool FileSaved() const { return QFile::exists(TPaths::SettingsFile()); }

 private slots:
  void initTestCase() {
    QApplication::setApplicationDisplayName("Veltravor");
    InstallRussian();
  }
  void cleanup() {
    FDialog.reset();
    if (FMain && OpenWindows)
      for (QWidget *fm : OpenWindows->Items())
        if (auto *project = qobject_cast<TfmProject *>(fm)) project->Running = false;
    FMain.reset();
  }

  void loadsTheDeviceAndTheStore() {
    StartMain({"Carriage=30000", "filterTable=1;0;0.1;120;", "lowLevel=40", "highLevel=900",
               "avgNum=64", "DL_STEPS=50000", "Zero=31000", "signalShift=7", "period_delayLine=9",
               "period_filter=12", "writeLogFile=True"});
    TfmSettings &fm = OpenDialog();
    QCOMPARE(fm.windowTitle(), QString("Settings"));
    QCOMPARE(fm.edLow->value(), 40);
    QCOMPARE(fm.edHigh->value(), 900);
    QCOMPARE(fm.edAvg->currentText(), QString("64"));
    QCOMPARE(fm.edDLSteps->value(), 50000);
    QCOMPARE(fm.edZero->value(), 31000);
    QCOMPARE(fm.edSignalShift->value(), 7);
    QCOMPARE(fm.edDLPeriod->value(), 9);
    QCOMPARE(fm.edFilterPeriod->value(), 12);
    QVERIFY(fm.chbLog->isChecked());
    QCOMPARE(fm.edLanguage->text(), QString("English"));
    QCOMPARE(fm.tbFilter->rowCount(), 2);
    QCOMPARE(fm.grFilter->model()->index(1, 1).data().toString(), QString("10"));
    QVERIFY(!fm.Modified);
  }

  // Every way of closing without a change: nothing asked, nothing saved.
  void closingWithoutChange_data() {
    QTest::addColumn<QString>("how");
    for (const char *how : {"Cancel", "Escape", "close box", "OK", "Apply then Cancel"})
      QTest::newRow(how) << QString(how);
  }
  void closingWithoutChange() {
    QFETCH(QString, how);
    StartMain();
    TBoxRecorder boxes(QMessageBox::Yes);
    TfmSettings &fm = OpenDialog();
    if (how == "Cancel") fm.btCancel->click();
    if (how == "Escape") QTest::keyClick(&fm, Qt::Key_Escape);
    if (how == "close box") fm.close();
    if (how == "OK") fm.btOk->click();
    if (how == "Apply then Cancel") {
      fm.btApply->click();
      fm.btCancel->click();
    }
    QVERIFY(!fm.isVisible());
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QVERIFY(!FileSaved());
  }

  // A change and Cancel: "Save changes?" Yes applies and saves, No drops,
  // Cancel keeps the dialog open with the edit.
  void cancelAfterChangeAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("lowLevel");
    QTest::addColumn<bool>("saved");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << false << 123 << true;
    QTest::newRow("No") << int(QMessageBox::No) << false << -12345 << false;
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << true << -12345 << false;
  }
  void cancelAfterChangeAsks() {
    QFETCH(int, answer);
    QFETCH(bool, open);
    QFETCH(int, lowLevel);
    QFETCH(bool, saved);
    StartMain();
    TBoxRecorder boxes{QMessageBox::StandardButton(answer)};
    TfmSettings &fm = OpenDialog();
    fm.edLow->setValue(123);
    fm.btCancel->click();
    QCOMPARE(BoxTexts(boxes), QStringList{"Save changes?"});
    QCOMPARE(boxes.Requests[0].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(fm.isVisible(), open);
    QCOMPARE(StoredInt("lowLevel"), lowLevel);
    QCOMPARE(FileSaved(), saved);
    if (open) QCOMPARE(fm.edLow->value(), 123);
  }

  void applyWritesDeviceStoreAndFile() {
    StartMain();
    TBoxRecorder boxes;
    TfmSettings &fm = OpenDialog();
    fm.edHigh->setValue(700);
    fm.edDLSteps->setValue(60000);
    fm.edZero->setValue(29000);
    fm.edSignalShift->setValue(3);
    fm.edDLPeriod->setValue(20);
    fm.edFilterPeriod->setValue(30);
    fm.chbLog->setChecked(true);
    fm.btApply->click();
    QVERIFY(fm.isVisible());
    QVERIFY(!fm.Modified);
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QCOMPARE(StoredInt("highLevel"), 700);
    QCOMPARE(StoredInt("DL_STEPS"), 60000);
    QCOMPARE(Device->ZeroPosition, 29000);
    QCOMPARE(Device->SignalShift, 3);
    QCOMPARE(int(Device->PeriodDelayLine), 20);
    QCOMPARE(int(Device->PeriodFilter), 30);
    QVERIFY(Device->WriteLog.load());
    const QStringList lines = FileLines(TPaths::SettingsFile());
    for (const char *line : {"Zero=29000", "period_delayLine=20", "period_filter=30",
                             "signalShift=3", "writeLogFile=True", "highLevel=700"})
      QVERIFY2(lines.contains(line), line);
  }

  // The thirteenth item is 4069 and is stored as such; a stored count that
  // is not an item shows "1", and any apply then stores 1.
  void averagingCount_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("choose");  // empty: change another value
    QTest::addColumn<int>("applied");
    QTest::newRow("3 is no item") << "3"
                                  << "1"
                                  << "" << 1;
    QTest::newRow("4096 is no item") << "4096"
                                     << "1"
                                     << "" << 1;
    QTest::newRow("text is no count") << "many"
                                      << "1"
                                      << "" << 1;
    QTest::newRow("4069 chosen") << "1"
                                 << "1"
                                 << "4069" << 4069;
    QTest::newRow("4069 stored") << "4069"
                                 << "4069"
                                 << "" << 4069;
    QTest::newRow("32768 chosen") << "2"
                                  << "2"
                                  << "32768" << 32768;
  }
  void averagingCount() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, choose);
    QFETCH(int, applied);
    StartMain({"Carriage=30000", "filterTable=1;0;", "avgNum=" + stored});
    TfmSettings &fm = OpenDialog();
    QCOMPARE(fm.edAvg->currentText(), shown);
    QCOMPARE(fm.edAvg->count(), 16);
    QCOMPARE(fm.edAvg->itemText(12), QString("4069"));
    if (choose.isEmpty())
      fm.edLow->setValue(fm.edLow->value() + 1);
    else
      fm.edAvg->setCurrentText(choose);
    fm.btOk->click();
    QVERIFY(!fm.isVisible());
    QCOMPARE(StoredInt("avgNum"), applied);
  }

  // While a project runs nothing is applied, by Apply or by OK.
  void refusedWhileAProjectRuns_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("Apply") << "Apply";
    QTest::newRow("OK") << "OK";
  }
  void refusedWhileAProjectRuns() {
    QFETCH(QString, button);
    StartMain();
    InstallRussian();
    FMain->mnNew->trigger();
    auto *project = OpenWindows->FindFirst<TfmProject>();
    if (!project) {  // a project window that does not register itself yet
      project = new TfmProject(FMain.get());
      OpenWindows->Add(project);
    }
    project->Running = true;
    const TFilterRecords table = Device->FilterTable;
    TBoxRecorder boxes;
    TfmSettings &fm = OpenDialog();
    fm.edLow->setValue(77);
    fm.edZero->setValue(12345);
    fm.edLanguage->setText(Russian);
    (button == "OK" ? fm.btOk : fm.btApply)->click();
    QCOMPARE(BoxTexts(boxes), QStringList{"Can not change settings during project execution."});
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Critical);
    QVERIFY(fm.isVisible());
    QVERIFY(fm.Modified);
    QCOMPARE(StoredInt("lowLevel"), -12345);
    QCOMPARE(StoredLanguage(), QString("English"));
    QCOMPARE(Device->ZeroPosition, 30000);
    QCOMPARE(Device->FilterTable, table);
    QCOMPARE(FMain->mnSettings->text(), QString("Settings"));
    QVERIFY(!FileSaved());
    project->Running = false;
  }

  // The table is checked after the language switched: the message comes in
  // the new language, the language is stored (not yet saved), nothing else
  // is applied, and the grid shows the offending row.
  void brokenTableAfterLanguageChange() {
    StartMain({"Carriage=30000", "filterTable=1;0;0.1;200;0.01;150;", "lowLevel=50"});
    const TFilterRecords table = Device->FilterTable;
    TBoxRecorder boxes;
    TfmSettings &fm = OpenDialog();
    fm.edLanguage->setText(Russian);
    fm.edLow->setValue(60);
    fm.btApply->click();
    QCOMPARE(BoxTexts(boxes), QStringList{"Положения должны монотонно возрастать."});
    QCOMPARE(StoredLanguage(), Russian);
    QCOMPARE(fm.windowTitle(), QString("Настройки"));
    QCOMPARE(FMain->mnSettings->text(), QString("Настройки"));
    QCOMPARE(StoredInt("lowLevel"), 50);
    QCOMPARE(Device->FilterTable, table);
    QVERIFY(!FileSaved());
    QCOMPARE(fm.grFilter->currentIndex().row(), 2);
    QVERIFY(fm.isVisible());
  }

  // Russian and back to English in one session: the main window, the dialog
  // with its grid captions, child windows open at the switch and windows
  // opened after it all show the language in force.
  void languageSwitchReachesEveryWindow() {
    StartMain();
    TBoxRecorder boxes;
    FMain->mnLog->trigger();
    auto *log = OpenWindows->FindFirst<TfmLog>();
    QVERIFY(log);
    TfmSettings &fm = OpenDialog();
    fm.edLanguage->setText(Russian);
    fm.btApply->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QCOMPARE(FMain->mnSettings->text(), QString("Настройки"));
    QCOMPARE(FMain->mnFile->title(), QString("Файл"));
    QCOMPARE(fm.windowTitle(), QString("Настройки"));
    QCOMPARE(fm.grOptions->title(), QString("Параметры"));
    QCOMPARE(fm.btCancel->text(), QString("Отмена"));
    QCOMPARE(fm.grFilter->model()->headerData(1, Qt::Horizontal).toString(),
             QString("Пропускание, %"));
    QCOMPARE(log->windowTitle(), QString("Журнал событий"));
    QCOMPARE(FMain->WindowPanel->MenuEntry(0)->text(), QString("Журнал событий"));
    QCOMPARE(StoredLanguage(), Russian);
    QVERIFY(FileLines(TPaths::SettingsFile()).contains("Language=" + Russian));

    // A window opened after the switch translates itself.
    {
      TfmSettings second(FMain.get());
      QCOMPARE(second.btApply->text(), QString("Применить"));
      QCOMPARE(second.edLanguage->text(), Russian);
    }
    fm.edLanguage->setText("English");
    fm.btOk->click();
    QVERIFY(!fm.isVisible());
    QCOMPARE(FMain->mnSettings->text(), QString("Settings"));
    QCOMPARE(FMain->mnFile->title(), QString("File"));
    QCOMPARE(log->windowTitle(), QString("Event log"));
    QCOMPARE(FMain->WindowPanel->MenuEntry(0)->text(), QString("Event log"));
    QCOMPARE(fm.grFilter->model()->headerData(1, Qt::Horizontal).toString(),
             QString("Transmission, %"));
    TfmSettings third(FMain.get());
    QCOMPARE(third.btApply->text(), QString("Apply"));
    QCOMPARE(StoredLanguage(), QString("English"));
  }

  // The language button shows the list; its choice, trimmed, becomes the
  // language to apply. A list closed with Cancel changes nothing.
  void languageButtonTakesTheListsChoice_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("language");
    QTest::newRow("Russian") << Russian << int(QDialog::Accepted) << Russian;
    QTest::newRow("base language") << " English" << int(QDialog::Accepted) << "English";
    QTest::newRow("cancelled") << Russian << int(QDialog::Rejected) << "English";
  }
  void languageButtonTakesTheListsChoice() {
    QFETCH(QString, entry);
    QFETCH(int, result);
    QFETCH(QString, language);
    StartMain();
    TDialogRecorder dialogs;
    dialogs.Act = [&](QDialog &dialog) {
      auto &list = static_cast<TfmLanguageList &>(dialog);
      const QList<QListWidgetItem *> items = list.ListBox->findItems(entry, Qt::MatchExactly);
      if (!items.isEmpty()) list.ListBox->setCurrentItem(items[0]);
      return result;
    };
    TfmSettings &fm = OpenDialog();
    fm.btLanguage->click();
    QCOMPARE(dialogs.Names, QStringList{"fmLanguageList"});
    QCOMPARE(fm.edLanguage->text(), language);
    QCOMPARE(fm.Modified, language != "English");
    QCOMPARE(StoredLanguage(), QString("English"));
  }

  // Rows entered in the grid reach the device on Apply, also the one whose
  // cell editor is still open; a blank new row is dropped; a bad row is
  // refused with its rule's message and nothing is applied.
  void filterTableEditing() {
    StartMain();
    TBoxRecorder boxes;
    TfmSettings &fm = OpenDialog();
    QAbstractItemModel *grid = fm.grFilter->model();
    fm.btInsert->click();
    QCOMPARE(grid->rowCount(), 2);
    QVERIFY(grid->setData(grid->index(1, 1), "10"));
    QVERIFY(grid->setData(grid->index(1, 2), "200"));
    // The position cell's editor is open with a new value when Apply comes.
    fm.grFilter->setCurrentIndex(grid->index(1, 2));
    fm.grFilter->edit(grid->index(1, 2));
    auto *editor = qobject_cast<QLineEdit *>(fm.grFilter->indexWidget(grid->index(1, 2)));
    QVERIFY(editor);
    editor->setText("240");
    fm.btApply->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QCOMPARE(Device->FilterTable, (TFilterRecords{{1.0, 0}, {0.1, 240}}));
    QVERIFY(FileLines(TPaths::SettingsFile()).contains("filterTable=1;0;0.1;240;"));

    // A new row left blank: nothing to apply, nothing to ask.
    fm.btInsert->click();
    QCOMPARE(grid->rowCount(), 3);
    fm.btCancel->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QVERIFY(!fm.isVisible());
  }

  void badRowIsRefused() {
    StartMain();
    TBoxRecorder boxes(QMessageBox::Cancel);
    TfmSettings &fm = OpenDialog();
    QAbstractItemModel *grid = fm.grFilter->model();
    fm.edLow->setValue(99);
    fm.btInsert->click();
    QVERIFY(grid->setData(grid->index(1, 2), "300"));  // no transmission
    fm.btOk->click();
    QCOMPARE(BoxTexts(boxes), QStringList{"Transmission must be positive."});
    QVERIFY(fm.isVisible());
    QCOMPARE(StoredInt("lowLevel"), -12345);
    QCOMPARE(Device->FilterTable, DefaultFilterTable());
    // Deleting the row (the button asks nothing) lets the rest apply.
    boxes.Requests.clear();
    fm.btDelete->click();
    QCOMPARE(grid->rowCount(), 1);
    fm.btOk->click();
    QCOMPARE(BoxTexts(boxes), QStringList{});
    QVERIFY(!fm.isVisible());
    QCOMPARE(StoredInt("lowLevel"), 99);
  }

  // Ctrl+Delete in the grid asks first; No keeps the row.
  void deletingFromTheGridAsks() {
    StartMain({"Carriage=30000", "filterTable=1;0;0.1;120;"});
    TBoxRecorder boxes(QMessageBox::No);
    TfmSettings &fm = OpenDialog();
    fm.grFilter->setCurrentIndex(fm.grFilter->model()->index(1, 1));
    QTest::keyClick(fm.grFilter, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(BoxTexts(boxes), QStringList{"Delete record?"});
    QCOMPARE(fm.tbFilter->rowCount(), 2);
    boxes.Answer = QMessageBox::Yes;
    QTest::keyClick(fm.grFilter, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(fm.tbFilter->rowCount(), 1);
    QVERIFY(fm.Modified);
  }

  // A first start without a filter table opens this dialog, loaded.
  void firstStartOpensTheDialog() {
    QFile::remove(TPaths::SimulatorSettingsFile());
    QVERIFY(WriteTextLines(TPaths::SettingsFile(), {"[General]", "Carriage=30000"}));
    TBoxRecorder boxes;
    TDialogRecorder dialogs;
    QString low;
    dialogs.Act = [&](QDialog &dialog) {
      if (auto *fm = qobject_cast<TfmSettings *>(&dialog)) low = fm->edLow->text();
      return int(QDialog::Rejected);
    };
    FMain = std::make_unique<TfmMain>(SimulatedInstrument());
    FMain->show();
    QTRY_COMPARE(dialogs.Names, QStringList{"fmSettings"});
    QCOMPARE(low, QString("50"));
  }
};

VELTRAVOR_TEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
