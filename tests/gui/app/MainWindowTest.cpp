// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "ScriptedLink.h"
#include "ShellTestSupport.h"
#include "TestEnvironment.h"
#include "app/About.h"
#include "app/AppError.h"
#include "app/CommandLine.h"
#include "app/DesktopOpen.h"
#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "app/WaitCursor.h"
#include "device/Device.h"
#include "localization/Dictionary.h"
#include "localization/FormTranslation.h"
#include "localization/Translator.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "settings/SettingsStorage.h"
#include "windowpanel/WindowPanel.h"

namespace {
void WriteSettings(const QString &fileName, const QStringList &lines) {
  QVERIFY(WriteTextLines(fileName, lines));
}

// The value lines under [section] of a settings file, as "name=value".
QStringList Section(const QStringList &lines, const QString &section) {
  QStringList result;
  bool inside = false;
  for (const QString &line : lines) {
    if (line.startsWith('[')) {
      inside = line == "[" + section + "]";
      continue;
    }
    if (inside && !line.isEmpty()) result << line;
  }
  return result;
}

QStringList ActionNames(const QList<QAction *> &actions) {
  QStringList names;
  for (QAction *a : actions) names << (a->isSeparator() ? "-" : a->objectName());
  return names;
}
}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  // The administrator's settings file as the test environment places it.
  static QString SystemSettingsPath() {
    return qEnvironmentVariable("XDG_CONFIG_DIRS") + "/veltravor/veltravor.ini";
  }

  std::unique_ptr<TfmMain> FMain;

  void Start(const TStartOptions &options = {}) {
    FMain = std::make_unique<TfmMain>(options);
    // The start actions have their own tests; here they would search a device.
    FMain->tmStartActions->stop();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  TTestChild *NewChild(const QString &caption) {
    auto *child = new TTestChild(caption);
    FMain->AddChildWindow(child)->show();
    return child;
  }

 private slots:
  void initTestCase() { QApplication::setApplicationDisplayName("Veltravor"); }

  void init() {
    for (const QString &file :
         {TPaths::SettingsFile(), TPaths::SimulatorSettingsFile(), TPaths::EventLogFile(),
          TPaths::SimulatorEventLogFile(), SystemSettingsPath(),
          TPaths::SettingsFile() + ".unreadable", TPaths::CatalogueFile()})
      QFile::remove(file);
  }
  void cleanup() { FMain.reset(); }

  void firstStartRunsOnDefaultsAndCloseSavesThem() {
    Start();
    const QRect screen = FMain->screen()->geometry();
    QCOMPARE(FMain->geometry(), QRect(screen.width() / 8, screen.height() / 8,
                                      3 * screen.width() / 4, 3 * screen.height() / 4));
    QCOMPARE(FMain->windowTitle(), QString("Veltravor"));
    QVERIFY(Translator && AppSettings && OpenWindows && Device);
    QCOMPARE(Device->CarriagePosition, 0);
    QCOMPARE(Device->ZeroPosition, 30000);
    QCOMPARE(Device->PeriodDelayLine, 4);
    QCOMPARE(Device->PeriodFilter, 4);
    QVERIFY(!Device->WriteLog);
    QCOMPARE(Device->SignalShift, 0);
    QVERIFY(Device->EventLog.isEmpty());
    QVERIFY(!Device->Opened);
    QCOMPARE(AppSettings->FileName, TPaths::SettingsFile());
    QCOMPARE(OpenWindows->Count(), 0);
    QCOMPARE(FMain->ProjectCounter, 0);
    QVERIFY(FMain->RecentFiles.isEmpty());
    for (QAction *item : FMain->mnMRU) QVERIFY(!item->isVisible());
    QVERIFY(!FMain->mnStop->isEnabled());
    QVERIFY(FMain->mnStart->isEnabled());
    QVERIFY(FMain->tmStartActions->isSingleShot());
    QCOMPARE(FMain->tmStartActions->interval(), 50);

    QVERIFY(FMain->close());
    QVERIFY(!AppSettings && !OpenWindows && !Device && !Translator);
    const QStringList lines = FileLines(TPaths::SettingsFile());
    QCOMPARE(
        Section(lines, "General"),
        (QStringList{"Carriage=0", "Zero=30000", "period_delayLine=4", "period_filter=4",
                     "filterTable=1;0;", "mruProjects=", "writeLogFile=False", "signalShift=0"}));
    // The main window's placement, its keys in their order, under [Forms].
    const qsizetype forms = lines.indexOf("[Forms]");
    QVERIFY(forms >= 0);
    QCOMPARE(lines.value(forms + 1), QString("[Forms  TfmMain]"));
    QStringList keys;
    for (const QString &line : Section(lines, "Forms  TfmMain")) keys << line.section('=', 0, 0);
    QCOMPARE(keys, (QStringList{"Left", "Top", "Width", "Height", "State", "ScreenWidth",
                                "ScreenHeight"}));
    QVERIFY(QFile::exists(TPaths::EventLogFile()));
    // The translator wrote its catalogue, with the texts of the main window.
    QFile catalogue(TPaths::CatalogueFile());
    QVERIFY(catalogue.open(QIODevice::ReadOnly));
    const QByteArray texts = catalogue.readAll();
    for (const char *text : {"Event log", "Top-down", "About program"})
      QVERIFY2(texts.contains(text), text);
  }

  void storedValuesAreReadAndMissingOrBrokenOnesFallBack() {
    WriteSettings(TPaths::SettingsFile(),
                  {"[General]", "Carriage=abc", "Zero=31000", "period_filter=9",
                   "filterTable=0.5;200;", "mruProjects=a*b**c", "writeLogFile=true",
                   "signalShift=-7", "[Settings]", "Language=English", "[Forms  TfmMain]",
                   "Left=10", "Top=20", "Width=500", "Height=400", "State=0"});
    WriteTextLines(TPaths::EventLogFile(), {"line 1", "line 2"});
    Start();
    QCOMPARE(FMain->geometry(), QRect(10, 20, 500, 400));
    QCOMPARE(Device->PeriodDelayLine, 4);  // missing: 4, not the device's own 15
    QCOMPARE(Device->PeriodFilter, 9);
    QCOMPARE(Device->CarriagePosition, 0);  // "abc" does not convert
    QCOMPARE(Device->ZeroPosition, 31000);
    QCOMPARE(Device->SignalShift, -7);
    QVERIFY(Device->WriteLog);
    QCOMPARE(Device->EventLog, (QStringList{"line 1", "line 2"}));
    QCOMPARE(FMain->RecentFiles, (QStringList{"a", "b", ""}));
    QVERIFY(FMain->mnMRU[0]->isVisible() && FMain->mnMRU[2]->isVisible());
    QCOMPARE(FMain->mnMRU[2]->text(), QString());
    QVERIFY(!FMain->mnMRU[3]->isVisible());

    QVERIFY(FMain->close());
    const QStringList lines = FileLines(TPaths::SettingsFile());
    // Keys keep their place in the file; a key that was missing is added.
    QCOMPARE(Section(lines, "General"),
             (QStringList{"Carriage=0", "Zero=31000", "period_filter=9", "filterTable=0.5;200;",
                          "mruProjects=a*b**", "writeLogFile=True", "signalShift=-7",
                          "period_delayLine=4"}));
    QCOMPARE(Section(lines, "Settings"), QStringList{"Language=English"});
    QCOMPARE(FileLines(TPaths::EventLogFile()), (QStringList{"line 1", "line 2"}));
  }

  void aSettingsFileReadInPartIsKeptAndTheProgramStarts() {
    const QStringList written{"[General]",     "Zero=31000", "[ ]",
                              "signalShift=9", "[Settings]", "Language=English"};
    WriteSettings(TPaths::SettingsFile(), written);
    TBoxRecorder boxes;
    Start();
    QCOMPARE(Device->ZeroPosition, 31000);
    QCOMPARE(Device->SignalShift, 0);  // after the bad header: not read
    const QString copy = TPaths::SettingsFile() + ".unreadable";
    QCOMPARE(boxes.Requests.size(), 1);
    QVERIFY2(boxes.Requests[0].Text.contains(copy), qPrintable(boxes.Requests[0].Text));
    QVERIFY(FMain->close());
    QCOMPARE(FileLines(copy), written);
    QVERIFY(FileLines(TPaths::SettingsFile()).contains("Zero=31000"));
  }

  void simulatorRunsOnItsOwnSettingsFileAndTheEntryPicksTheLink() {
    WriteSettings(TPaths::SimulatorSettingsFile(), {"[General]", "port=/dev/ttyS7"});
    TStartOptions options;
    options.Simulator = true;
    QStringList ports;
    options.CreateLink = [&](const QString &port) {
      ports << port;
      return std::make_unique<TScriptedLink>();
    };
    // The instrument's own history and an administrator's defaults for it.
    QVERIFY(QDir().mkpath(QFileInfo(SystemSettingsPath()).path()));
    WriteSettings(SystemSettingsPath(), {"[General]", "Zero=12345", "writeLogFile=True"});
    QVERIFY(WriteTextLines(TPaths::EventLogFile(), {"instrument line"}));
    QVERIFY(WriteTextLines(TPaths::SimulatorEventLogFile(), {"simulated line 1"}));
    Start(options);
    QCOMPARE(ports, QStringList{"/dev/ttyS7"});
    QCOMPARE(FMain->windowTitle(), QString("Veltravor [simulator]"));
    QCOMPARE(Device->ZeroPosition, 30000);
    QVERIFY(!Device->WriteLog);
    QCOMPARE(Device->EventLog, QStringList{"simulated line 1"});
    Device->EventLog << "simulated line 2";
    QVERIFY(FMain->close());
    QVERIFY(FileLines(TPaths::SimulatorSettingsFile()).contains("Zero=30000"));
    QVERIFY(!QFile::exists(TPaths::SettingsFile()));
    QCOMPARE(FileLines(TPaths::SimulatorEventLogFile()),
             (QStringList{"simulated line 1", "simulated line 2"}));
    QCOMPARE(FileLines(TPaths::EventLogFile()), QStringList{"instrument line"});
    QFile::remove(SystemSettingsPath());

    // A port named on the command line wins over the stored one.
    options.Port = "/dev/ttyUSB3";
    Start(options);
    QCOMPARE(ports.last(), QString("/dev/ttyUSB3"));
  }

  void openDeviceLeavesTheStatusAloneWhenItFails() {
    TScriptedLink *link = nullptr;
    TStartOptions options;
    options.CreateLink = [&](const QString &) {
      auto made = std::make_unique<TScriptedLink>();
      link = made.get();
      return made;
    };
    Start(options);
    link->FailNext("OpenEx", 2);
    FMain->SetStatusText(0, "Initialization...");
    QVERIFY_THROWS_EXCEPTION(EAppError, FMain->OpenDevice());
    QCOMPARE(FMain->StatusText(0), QString("Initialization..."));
    QVERIFY(!Device->Opened);
  }

  void closingStopsAtTheFirstChildThatRefuses() {
    Start();
    TTestChild *first = NewChild("first");
    TTestChild *second = NewChild("second");
    TTestChild *third = NewChild("third");
    QPointer<TTestChild> thirdAlive = third;
    second->Refuse = true;
    QCOMPARE(FMain->WindowPanel->Count(), 3);

    QVERIFY(!FMain->close());
    QVERIFY(FMain->isVisible());
    QCOMPARE(OpenWindows->Items(), (QList<QWidget *>{first, second}));
    QCOMPARE(first->CloseRequests, 0);  // never asked: the second stopped the walk
    QCOMPARE(FMain->WindowPanel->Count(), 2);
    QVERIFY(!QFile::exists(TPaths::SettingsFile()));
    QVERIFY(!QFile::exists(TPaths::EventLogFile()));
    QTRY_VERIFY(!thirdAlive);  // its sub-window deleted it

    second->Refuse = false;
    QVERIFY(FMain->close());
    QVERIFY(QFile::exists(TPaths::SettingsFile()));
  }

  void closeAllStopsAtTheFirstRefusalAndKeepsTheProgram() {
    Start();
    TTestChild *first = NewChild("first");
    TTestChild *second = NewChild("second");
    NewChild("third");
    second->Refuse = true;
    FMain->mnCloseAll->trigger();
    QCOMPARE(OpenWindows->Items(), (QList<QWidget *>{first, second}));
    QCOMPARE(first->CloseRequests, 0);
    second->Refuse = false;
    FMain->mnCloseAll->trigger();
    QCOMPARE(OpenWindows->Count(), 0);
    QCOMPARE(FMain->WindowPanel->Count(), 0);
    QVERIFY(FMain->isVisible());
    QVERIFY(!QFile::exists(TPaths::SettingsFile()));
  }

  void childWindowsFollowTheProtocolThroughThePanel() {
    Start();
    TTestChild *a = NewChild("Project 1");
    TTestChild *b = NewChild("Project 2");
    FMain->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(a->parentWidget()));
    QCOMPARE(FMain->WindowPanel->ActiveForm(), a);
    FMain->WindowPanel->MenuEntry(1)->trigger();
    QCOMPARE(FMain->MdiArea->activeSubWindow()->widget(), b);
    QCOMPARE(FMain->WindowPanel->ActiveForm(), b);
    // The Window menu: the fixed entries, a separator, one entry per window.
    QCOMPARE(ActionNames(FMain->mnWindow->actions()).mid(0, 7),
             (QStringList{"mnStretch", "mnVertical", "mnHorizontal", "mnCascade", "mnMinimize",
                          "mnCloseAll", "-"}));
    QCOMPARE(FMain->mnWindow->actions().size(), 9);
    // A window that goes without closing leaves neither list dangling.
    delete a->parentWidget();
    QCOMPARE(OpenWindows->Items(), QList<QWidget *>{b});
    QCOMPARE(FMain->WindowPanel->Count(), 1);
  }

  void translationRecordsCommandsButNeverWindowCaptionsOrFileNames() {
    Start();
    FMain->AddToRecent("/data/Scan Z.vtp");
    NewChild("Scan A.vtp");
    TranslateForm(FMain.get(), true, true);
    TDictionary &catalogue = Translator->Catalogue();
    for (const char *text : {"Open...", "Remove graphs", "Event log", "Top-down", "Window",
                             "Operation", "About program"})
      QVERIFY2(catalogue.IndexOf(text) >= 0, text);
    for (const char *text : {"Scan A.vtp", "/data/Scan Z.vtp"})
      QVERIFY2(catalogue.IndexOf(text) < 0, text);
  }

  void storedLanguageTranslatesCaptionsAndHintsAlike() {
    QDir().mkpath(TPaths::LanguageDir());
    const QString dictionary = TPaths::LanguageDir() + "/Deutsch.lng";
    QVERIFY(
        WriteTextLines(dictionary, {"New<=>Neu", "Open...<=>\u00d6ffnen...",
                                    "Event log<=>Protokoll", "Start<=>Starten", "File<=>Datei"}));
    WriteSettings(TPaths::SettingsFile(), {"[Settings]", "Language=Deutsch"});
    Start();
    QFile::remove(dictionary);
    const struct {
      QAction *action;
      const char *caption;
    } cases[] = {
        {FMain->mnNew, "Neu"},       {FMain->mnOpen, "\u00d6ffnen..."}, {FMain->mnLog, "Protokoll"},
        {FMain->mnStart, "Starten"}, {FMain->mnSave, "Save"},  // no translation: stays English
    };
    for (const auto &c : cases) {
      QCOMPARE(c.action->text(), QString::fromUtf8(c.caption));
      QCOMPARE(c.action->toolTip(), QString::fromUtf8(c.caption));
    }
    QCOMPARE(FMain->mnFile->title(), QString("Datei"));
    // The tool bar shows the translated hint.
    QCOMPARE(FMain->mnFileBar->widgetForAction(FMain->mnNew)->toolTip(), QString("Neu"));
  }

  void commandsCarryTheirNamesCaptionsShortcutsAndHints() {
    Start();
    const struct {
      const char *name, *caption;
      QKeySequence shortcut;
    } commands[] = {
        {"mnNew", "New", QKeySequence("Ctrl+N")},
        {"mnOpen", "Open...", QKeySequence("Ctrl+O")},
        {"mnSave", "Save", QKeySequence("Ctrl+S")},
        {"mnSaveAs", "Save as...", {}},
        {"mnAddGraph", "Add graph", {}},
        {"mnDelGraph", "Remove graphs", {}},
        {"mnCopy", "Copy", {}},
        {"mnExport", "Export...", QKeySequence("Ctrl+E")},
        {"tbPrint", "Print...", QKeySequence("Ctrl+P")},
        {"mnPulseReport", "Pulse report...", {}},
        {"mnExit", "Exit", {}},
        {"mnStart", "Start", QKeySequence("F8")},
        {"mnStop", "Stop", QKeySequence("F9")},
        {"mnCentering", "Centering", {}},
        {"mnAdjustment", "Adjustment", {}},
        {"mnSettings", "Settings", {}},
        {"mnLog", "Event log", {}},
        {"mnStretch", "Stretch all", {}},
        {"mnVertical", "From left to right", {}},
        {"mnHorizontal", "Top-down", {}},
        {"mnCascade", "Cascade", {}},
        {"mnMinimize", "Minimize all", {}},
        {"mnCloseAll", "Close all", {}},
        {"mnUserManual", "User manual", QKeySequence("F1")},
        {"mnAbout", "About program", {}},
    };
    for (const auto &c : commands) {
      auto *action = FMain->findChild<QAction *>(c.name);
      QVERIFY2(action, c.name);
      QCOMPARE(action->text(), QString(c.caption));
      QCOMPARE(action->toolTip(), QString(c.caption));
      QCOMPARE(action->shortcut(), c.shortcut);
    }
    QCOMPARE(ActionNames(FMain->mnFile->actions()),
             (QStringList{"mnNew", "mnOpen", "mnSave", "mnSaveAs", "-", "mnAddGraph", "mnDelGraph",
                          "-", "mnCopy", "mnExport", "tbPrint", "mnPulseReport", "-", "mnMRU1",
                          "mnMRU2", "mnMRU3", "mnMRU4", "mnMRU5", "-", "mnExit"}));
    QCOMPARE(ActionNames(FMain->mnDevice->actions()),
             (QStringList{"mnStart", "mnStop", "mnCentering", "-", "mnAdjustment", "mnSettings",
                          "-", "mnLog"}));
    QCOMPARE(ActionNames(FMain->mnHelp->actions()), (QStringList{"mnUserManual", "mnAbout"}));
    QCOMPARE(ActionNames(FMain->mnFileBar->actions()),
             (QStringList{"mnNew", "mnOpen", "mnSave", "-", "mnAddGraph", "mnDelGraph", "-",
                          "mnCopy", "mnExport", "tbPrint"}));
    QCOMPARE(ActionNames(FMain->mnOperationBar->actions()),
             (QStringList{"mnSettings", "mnAdjustment", "mnUserManual", "-", "mnCentering",
                          "mnStart", "mnStop"}));
    for (QToolBar *bar : {FMain->mnFileBar, FMain->mnOperationBar}) {
      QCOMPARE(FMain->toolBarArea(bar), Qt::TopToolBarArea);
      for (QAction *a : bar->actions())
        QVERIFY2(a->isSeparator() || !a->icon().isNull(), qPrintable(a->objectName()));
    }
    // Both bars share one row.
    QCOMPARE(FMain->mnFileBar->y(), FMain->mnOperationBar->y());
    const auto style = [&](QAction *a) {
      return qobject_cast<QToolButton *>(FMain->mnOperationBar->widgetForAction(a))
          ->toolButtonStyle();
    };
    QCOMPARE(style(FMain->mnStart), Qt::ToolButtonTextBesideIcon);
    QCOMPARE(style(FMain->mnStop), Qt::ToolButtonTextBesideIcon);
    QCOMPARE(style(FMain->mnSettings), Qt::ToolButtonIconOnly);

    const int widths[] = {200, 220, 105, 50};
    for (int i = 0; i < 4; ++i)
      QCOMPARE(FMain->findChild<QLabel *>(QString("pnStatus%1").arg(i))->width(), widths[i]);
    // The window panel sits between the MDI area and the status bar.
    const QRect panel(FMain->WindowPanel->mapTo(FMain.get(), QPoint()), FMain->WindowPanel->size());
    QVERIFY(panel.top() >=
            FMain->MdiArea->mapTo(FMain.get(), QPoint()).y() + FMain->MdiArea->height());
    QCOMPARE(panel.height(), 29);
  }

  void recentItemsFollowTheListAndAGoneFileIsReported() {
    QTemporaryDir dir;
    const QString kept = dir.path() + "/kept.vtp";
    {
      // A readable (empty) project: opening it raises nothing.
      TProjectData empty;
      SaveProject(empty, kept);
    }
    const QString gone = dir.path() + "/gone & lost.vtp";
    Start();
    FMain->AddToRecent(kept);
    FMain->AddToRecent(gone);
    QCOMPARE(FMain->RecentFiles, (QStringList{gone, kept}));
    QVERIFY(FMain->mnMRU[1]->isVisible() && !FMain->mnMRU[2]->isVisible());
    QVERIFY(FMain->mnMRU[0]->text().contains("gone && lost.vtp"));
    // The hint shows the path as the menu shows it, without the mnemonic escape.
    QVERIFY(FMain->mnMRU[0]->toolTip().endsWith("/gone & lost.vtp"));

    TBoxRecorder boxes;
    FMain->mnMRU[0]->trigger();
    QCOMPARE(boxes.Requests.size(), 1);
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Critical);
    QCOMPARE(boxes.Requests[0].Caption, QString("Veltravor"));
    QCOMPARE(boxes.Requests[0].Text, "File \"" + gone + "\" not found.");
    QCOMPARE(FMain->RecentFiles, QStringList{kept});
    QVERIFY(FMain->mnMRU[0]->isVisible() && !FMain->mnMRU[1]->isVisible());
    QVERIFY(FMain->mnMRU[0]->text().endsWith("kept.vtp"));

    // An existing file raises nothing; an item past the list does nothing.
    FMain->mnMRU[0]->trigger();
    FMain->mnMRU[4]->trigger();
    QCOMPARE(boxes.Requests.size(), 1);
    QCOMPARE(FMain->RecentFiles, QStringList{kept});
  }

  void longRecentPathsAreShortenedInTheMiddle() {
    Start();
    const QString path =
        "/home/operator/measurements/2026/december/autocorrelation/"
        "long-series/run-0042-final.vtp";
    FMain->AddToRecent(path);
    const QString caption = FMain->mnMRU[0]->text();
    QVERIFY(QFontMetrics(FMain->font()).horizontalAdvance(caption) <= 250);
    QVERIFY2(caption.startsWith("/...") && caption.endsWith("/run-0042-final.vtp"),
             qPrintable(caption));
    FMain->AddToRecent("/short.vtp");
    QCOMPARE(FMain->mnMRU[0]->text(), QString("/short.vtp"));
  }

  void arrangementCommandsPlaceEveryChild() {
    Start();
    TTestChild *a = NewChild("a");
    TTestChild *b = NewChild("b");
    auto *subA = qobject_cast<QMdiSubWindow *>(a->parentWidget());
    auto *subB = qobject_cast<QMdiSubWindow *>(b->parentWidget());
    const QSize area = FMain->ClientAreaSize();
    subA->showMaximized();
    FMain->mnStretch->trigger();
    QVERIFY(!subA->isMaximized());
    QCOMPARE(subA->geometry(), QRect(0, 0, area.width() - 4, area.height() - 4));
    QCOMPARE(subB->geometry(), QRect(0, 0, area.width() - 4, area.height() - 4));

    FMain->mnVertical->trigger();
    QCOMPARE(subA->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    QCOMPARE(subB->geometry().left(), area.width() / 2);
    FMain->mnHorizontal->trigger();
    QCOMPARE(subA->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    QCOMPARE(subB->geometry().top(), area.height() / 2);

    // Cascade: each window further right and down than the one before it,
    // all of them inside the client area.
    FMain->mnCascade->trigger();
    QVERIFY(subB->geometry().left() > subA->geometry().left());
    QVERIFY(subB->geometry().top() > subA->geometry().top());
    for (QMdiSubWindow *sub : {subA, subB})
      QVERIFY(QRect(QPoint(0, 0), area).contains(sub->geometry()));

    FMain->mnMinimize->trigger();
    QVERIFY(subA->isMinimized() && subB->isMinimized());
    FMain->mnCascade->trigger();  // minimized windows stay as they are
    QVERIFY(subA->isMinimized() && subB->isMinimized());
  }

  void userManualOpensTheDocumentOfTheLanguage() {
    const QString docs = TestRoot() + "/usr-share";
    const QString folder = docs + "/doc/veltravor";
    QVERIFY(QDir().mkpath(folder));
    const QString english = folder + "/User manual.html";
    const QString russian = folder + QString::fromUtf8("/Руководство пользователя.html");
    for (const QString &file : {english, russian}) QVERIFY(WriteTextLines(file, {"manual"}));
    const QByteArray previousDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", docs.toUtf8());
    QList<QUrl> opened;
    const TOpenUrlHook previous = SetOpenUrlHook([&](const QUrl &url) { opened << url; });
    const struct {
      const char *language;
      QString document;
    } cases[] = {{"English", english}, {"Русский", russian}, {"Deutsch", english}};
    for (const auto &c : cases) {
      Start();
      AppSettings->AddParam({"Settings"}, "Language", QString::fromUtf8(c.language));
      opened.clear();
      QTest::keyClick(FMain.get(), Qt::Key_F1);
      QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(c.document)});
      FMain.reset();
    }
    SetOpenUrlHook(previous);
    qputenv("XDG_DATA_DIRS", previousDirs);
  }

  void aboutBoxShowsVersionAndOpensTheWebSite() {
    Start();
    QList<QUrl> opened;
    const TOpenUrlHook previous = SetOpenUrlHook([&](const QUrl &url) { opened << url; });
    bool checked = false;
    QTimer::singleShot(0, this, [&] {
      auto *about = qobject_cast<TfmAbout *>(QApplication::activeModalWidget());
      QVERIFY(about);
      checked = true;
      QCOMPARE(about->windowTitle(), QString("About program"));
      QCOMPARE(about->lbVersionNumber->text(), QString("1.7"));
      QVERIFY(!about->lbFirm->text().isEmpty());
      QVERIFY(about->lbProduct->font().bold());
      QCOMPARE(about->minimumSize(), about->maximumSize());
      QVERIFY(about->lbLicense->text().contains("GNU General Public License, version 3 or later"));
      QVERIFY(about->lbLicense->isVisible());
      QTest::mouseClick(about->lbWebSite, Qt::LeftButton);
      QTest::keyClick(about, Qt::Key_Escape);
    });
    // A deadline so that a box left open fails the test instead of hanging it.
    QTimer::singleShot(5000, this, [] {
      if (QWidget *w = QApplication::activeModalWidget()) w->close();
    });
    FMain->mnAbout->trigger();
    SetOpenUrlHook(previous);
    QVERIFY(checked);
    QCOMPARE(opened, QList<QUrl>{QUrl(TfmAbout::WebSite())});
  }

  void messageHelpersShowTheTitleAndReturnTheAnswer() {
    TBoxRecorder boxes(QMessageBox::Yes);
    QVERIFY(AskYesNo("Move?"));
    boxes.Answer = QMessageBox::No;
    QVERIFY(!AskYesNo("Move?"));
    QCOMPARE(AskYesNoCancel("Save changes?"), QMessageBox::No);
    boxes.Answer = QMessageBox::Escape;  // the close box
    QCOMPARE(AskYesNoCancel("Save changes?"), QMessageBox::Cancel);
    ShowWarning("Careful");
    RunGuarded([] { throw EAppError("Timeout error"); });
    RunGuarded([] { throw EAppError("Stopped."); });

    QCOMPARE(boxes.Requests.size(), 7);
    for (const auto &r : boxes.Requests) QCOMPARE(r.Caption, QString("Veltravor"));
    QCOMPARE(boxes.Requests[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Question);
    QCOMPARE(boxes.Requests[2].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(boxes.Requests[4].Icon, QMessageBox::Warning);
    QCOMPARE(boxes.Requests[4].Buttons, QMessageBox::Ok);
    QCOMPARE(boxes.Requests[5].Icon, QMessageBox::Critical);
    QCOMPARE(boxes.Requests[5].Text, QString("Timeout error."));
    QCOMPARE(boxes.Requests[6].Text, QString("Stopped."));
  }

  void waitCursorComesBackAlsoWhenTheOperationFails() {
    TBoxRecorder boxes;
    QCursor *during = nullptr;
    RunGuarded([&] {
      TWaitCursor wait;
      during = QApplication::overrideCursor();
      QVERIFY(during && during->shape() == Qt::WaitCursor);
      RaiseError("Timeout error.");
    });
    QVERIFY(during);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(boxes.Requests.size(), 1);
  }

  void commandLineTakesItsFourOptionsAndProjectFiles() {
    const QString here = QDir::currentPath();
    const struct {
      QStringList arguments;
      int code;
      bool simulator;
      QString port;
      QString outputPart, errorPart;
      QStringList files;
    } cases[] = {
        {{}, -1, false, {}, {}, {}, {}},
        {{"--simulator"}, -1, true, {}, {}, {}, {}},
        {{"--port", "/dev/ttyUSB1"}, -1, false, "/dev/ttyUSB1", {}, {}, {}},
        {{"--port=/dev/ttyUSB2", "--simulator"}, -1, true, "/dev/ttyUSB2", {}, {}, {}},
        {{"--help"}, 0, false, {}, "--port <PATH>", {}, {}},
        {{"--version"}, 0, false, {}, "veltravor 1.7\n", {}, {}},
        {{"--port"}, 2, false, {}, {}, "--port", {}},
        {{"--port="}, 2, false, {}, {}, "--port needs a path", {}},
        {{"--bogus"}, 2, false, {}, {}, "bogus", {}},
        // Relative names are made absolute against the starting folder.
        {{"project.vtp"}, -1, false, {}, {}, {}, {here + "/project.vtp"}},
        {{"--simulator", "/data/a b.vtp", "../x/b.vtp"},
         -1,
         true,
         {},
         {},
         {},
         {"/data/a b.vtp", QDir::cleanPath(here + "/../x/b.vtp")}},
    };
    for (const auto &c : cases) {
      TStartOptions options;
      QString output, error;
      const QString label = c.arguments.join(' ');
      QCOMPARE(
          ParseCommandLine(QStringList{"/usr/bin/veltravor"} + c.arguments, options, output, error),
          c.code);
      QVERIFY2(options.Simulator == c.simulator, qPrintable(label));
      QCOMPARE(options.Port, c.port);
      QCOMPARE(options.Files, c.files);
      QVERIFY2(output.contains(c.outputPart) && (c.outputPart.isEmpty() == output.isEmpty()),
               qPrintable(label + ": " + output));
      QVERIFY2(error.contains(c.errorPart) && (c.errorPart.isEmpty() == error.isEmpty()),
               qPrintable(label + ": " + error));
    }
  }

  void aSettingsFileThatCannotBeWrittenIsReportedAndShutdownGoesOn() {
    QDir().mkpath(TPaths::SettingsFile());  // a folder where the file should be
    Start();
    TBoxRecorder boxes;
    QVERIFY(FMain->close());
    QDir(TPaths::SettingsFile()).removeRecursively();
    QCOMPARE(boxes.Requests.size(), 1);
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Warning);
    QVERIFY(QFile::exists(TPaths::EventLogFile()));
  }
};

VELTRAVOR_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
