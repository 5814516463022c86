// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "ScriptedLink.h"
#include "TestEnvironment.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/OpenWindows.h"
#include "app/Paths.h"
#include "app/TextFile.h"
#include "device/Device.h"
#include "device/Log.h"
#include "settings/SettingsStorage.h"
#include "windowpanel/WindowPanel.h"

namespace {
// The memo's lines; an empty memo has none.
QStringList MemoLines(const TfmLog *fm) {
  const QString text = fm->Memo->toPlainText();
  return text.isEmpty() ? QStringList{} : text.split(u'\n');
}

// Appends "line first" .. "line last-1" to the device's log, as commands do.
QStringList AddLines(int first, int last) {
  QStringList added;
  for (int i = first; i < last; ++i) {
    Device->LogEvent("EVENT", QString::number(i));
    added << Device->EventLog.last();
  }
  return added;
}
}  // namespace

class LogWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;

  void Start(const QStringList &logFile = {}) {
    QFile::remove(TPaths::EventLogFile());
    if (!logFile.isEmpty()) QVERIFY(WriteTextLines(TPaths::EventLogFile(), logFile));
    TStartOptions options;
    options.CreateLink = [](const QString &) { return std::make_unique<TScriptedLink>(); };
    FMain = std::make_unique<TfmMain>(options);
    // No device work here: the log window needs none.
    FMain->tmStartActions->stop();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
    Device->WriteLog = true;
  }
  TfmLog *OpenLog() {
    FMain->mnLog->trigger();
    return OpenWindows->FindFirst<TfmLog>();
  }

 private slots:
  void init() { QFile::remove(TPaths::SettingsFile()); }
  void cleanup() { FMain.reset(); }

  void opensOnceWithTheWholeLogThenAddsNewLinesEveryHalfSecond() {
    Start({"old 1", "old 2"});
    TfmLog *fm = OpenLog();
    QVERIFY(fm);
    QCOMPARE(fm->windowTitle(), QString("Event log"));
    QCOMPARE(MemoLines(fm), (QStringList{"old 1", "old 2"}));
    QVERIFY(fm->Memo->isReadOnly());
    QCOMPARE(fm->Timer->interval(), 500);
    QVERIFY(fm->Timer->isActive());
    // The protocol: listed, on the panel, inside the MDI area.
    QCOMPARE(OpenWindows->Items(), (QList<QWidget *>{fm}));
    QCOMPARE(FMain->WindowPanel->IndexOf(fm), 0);
    auto *sub = qobject_cast<QMdiSubWindow *>(fm->parentWidget());
    QVERIFY(sub && FMain->MdiArea->subWindowList().contains(sub));
    QVERIFY(sub->isVisible());

    // New lines come through the timer only: with it stopped nothing shows,
    // however long the wait (timing-proof on a loaded machine); started, they
    // show within a few of its periods.
    fm->Timer->stop();
    const QStringList added = AddLines(0, 3);
    QTest::qWait(600);
    QCOMPARE(MemoLines(fm).size(), 2);
    fm->Timer->start();
    QTRY_COMPARE_WITH_TIMEOUT(MemoLines(fm), QStringList({"old 1", "old 2"}) + added, 10000);
    fm->TimerTimer();  // nothing new: nothing repeated
    QCOMPARE(MemoLines(fm), QStringList({"old 1", "old 2"}) + added);

    // A second Event log shows the same window, also from minimized.
    sub->showMinimized();
    QCOMPARE(OpenLog(), fm);
    QCOMPARE(OpenWindows->Count(), 1);
    QCOMPARE(FMain->MdiArea->subWindowList().size(), 1);
    QVERIFY(!sub->isMinimized());
    QCOMPARE(FMain->MdiArea->activeSubWindow(), sub);
  }

  void showsEveryLineOnceAcrossDroppedLines() {
    // A full log, so that every line added drops one from its head.
    QStringList file;
    for (int i = 0; i < TDevice::MaxLogLines; ++i) file << QString("file %1").arg(i);
    Start(file);
    TfmLog *fm = OpenLog();
    QCOMPARE(MemoLines(fm), file);
    QStringList expected = file;

    // A few lines: each drops one; the update still finds exactly the new ones.
    expected += AddLines(0, 5);
    QCOMPARE(Device->DroppedLines, 5);
    fm->TimerTimer();
    QCOMPARE(MemoLines(fm), expected);

    // More than the log holds between two updates: the lines it dropped
    // before they could be shown are lost to the view, the rest is shown once
    // and later updates go on without gap or repetition.
    const QStringList flood = AddLines(5, 5 + TDevice::MaxLogLines + 7);
    fm->TimerTimer();
    expected += flood.mid(7);
    QCOMPARE(MemoLines(fm), expected);
    expected += AddLines(20000, 20003);
    fm->TimerTimer();
    QCOMPARE(MemoLines(fm), expected);
    QCOMPARE(Device->EventLog.size(), TDevice::MaxLogLines);
  }

  void clearEmptiesTheLogAndTheViewThenShowsOnlyNewLines() {
    QStringList file;
    for (int i = 0; i < TDevice::MaxLogLines; ++i) file << QString("file %1").arg(i);
    Start(file);
    TfmLog *fm = OpenLog();
    AddLines(0, 4);  // drops 4, so Clear must reset the count too
    QTest::mouseClick(fm->btClear, Qt::LeftButton);
    QVERIFY(Device->EventLog.isEmpty());
    QCOMPARE(Device->DroppedLines, 0);
    QVERIFY(MemoLines(fm).isEmpty());
    fm->TimerTimer();
    QVERIFY(MemoLines(fm).isEmpty());

    const QStringList added = AddLines(0, 2);
    fm->TimerTimer();
    QCOMPARE(MemoLines(fm), added);

    // The log file written at shutdown holds only the new lines.
    QVERIFY(FMain->close());
    QStringList saved;
    QVERIFY(ReadTextLines(TPaths::EventLogFile(), saved));
    QCOMPARE(saved, added);
  }

  void linesWithLineBreaksDoNotShiftLaterUpdates() {
    Start();
    TfmLog *fm = OpenLog();
    Device->LogError(QString("first part\nsecond part"));
    fm->TimerTimer();
    const QStringList added = AddLines(0, 2);
    fm->TimerTimer();
    const QString text = fm->Memo->toPlainText();
    QVERIFY(text.endsWith(added.join(u'\n')));
    QCOMPARE(text.count("\tevent\t"), 2);
  }

  void withLoggingOffShowsTheLoadedLinesAndNothingNew() {
    Start({"from file"});
    Device->WriteLog = false;
    TfmLog *fm = OpenLog();
    AddLines(0, 3);
    fm->TimerTimer();
    QCOMPARE(MemoLines(fm), QStringList{"from file"});
  }

  void closingUnregistersAndKeepsThePlacementForTheNextOne() {
    Start();
    TfmLog *fm = OpenLog();
    QPointer<TfmLog> alive = fm;
    auto *sub = qobject_cast<QMdiSubWindow *>(fm->parentWidget());
    sub->setGeometry(10, 20, 300, 200);
    QVERIFY(sub->close());
    QTRY_VERIFY(!alive);
    QCOMPARE(OpenWindows->Count(), 0);
    QCOMPARE(FMain->WindowPanel->Count(), 0);
    const TKeyPath path{"Forms", "TfmLogTfmLog"};
    QCOMPARE(AppSettings->ReadInt(path, "Left", -1), 10);
    QCOMPARE(AppSettings->ReadInt(path, "Width", -1), 300);

    // Reopening shows the whole current log again, where it was.
    AddLines(0, 2);
    fm = OpenLog();
    QVERIFY(fm && fm != alive);
    QCOMPARE(MemoLines(fm), Device->EventLog);
    QCOMPARE(qobject_cast<QMdiSubWindow *>(fm->parentWidget())->geometry(),
             QRect(10, 20, 300, 200));
  }
};

VELTRAVOR_TEST_MAIN(LogWindowTest)
#include "LogWindowTest.moc"
