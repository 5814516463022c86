// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <memory>

#include "../app/ShellTestSupport.h"
#include "ProjectTestSupport.h"
#include "TestEnvironment.h"
#include "app/FileDialogs.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/OpenWindows.h"
#include "app/Paths.h"
#include "app/TextFile.h"
#include "device/Device.h"
#include "measurement/Project.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/RunJournal.h"
#include "simulator/SimulatorLink.h"

namespace {

// Measured positions and their signals, for comparing whole curves.
QMap<int, quint16> Curve(TProjectData &data) {
  QReadLocker lock(&data.DataLock);
  QMap<int, quint16> curve;
  for (int i = 0; i <= MaxPixel; ++i)
    if (data.Pixels[i].Measured()) curve.insert(i, data.Pixels[i].Signal);
  return curve;
}

QMap<int, quint16> Curve(const TJournalContents &journal) {
  QMap<int, quint16> curve;
  for (const TJournalPoint &p : journal.Points) curve.insert(p.Index, p.Pixel.Signal);
  return curve;
}

QStringList JournalFiles() {
  return QDir(TRunJournal::Folder(true)).entryList(QDir::Files);
}

TPixel Pixel(quint16 signal) {
  TPixel p;
  p.Signal = signal;
  p.Transmission = 1;
  p.AmpF = 1;
  p.AmpI = 1;
  return p;
}
}  // namespace

// The child process of the kill test: the window program on the simulated
// instrument at the program's own speed, one project running a long scan
// until the parent kills it. Inherits the parent's folders.
int RunChildWindow() {
  QFile::remove(TPaths::SimulatorSettingsFile());
  WriteTextLines(TPaths::SimulatorSettingsFile(), {"[General]", "Carriage=20000", "Zero=20000",
                                                   "filterTable=" + Calibration, "avgNum=1"});
  TStartOptions options;
  options.Simulator = true;
  options.CreateLink = [](const QString &) {
    TSimulatorConfig config;
    config.Speed = SimulatorProgramSpeed;
    config.KeepState = false;
    config.Carriage = 20000;
    config.Zero = 20000;
    config.Wheel = 0;
    return std::make_unique<TSimulatorLink>(config);
  };
  TBoxRecorder boxes(QMessageBox::No);
  TfmMain main(options);
  main.tmStartActions->stop();
  main.show();
  main.mnNew->trigger();
  auto *fm = qobject_cast<TfmProject *>(main.ActiveChild());
  if (!fm) return 2;
  fm->edLeft->setValue(-5000);
  fm->edRight->setValue(5000);
  fm->edStep->setValue(1);
  main.mnStart->trigger();
  if (!fm->Running) return 3;
  return QApplication::exec();
}

class ProjectJournalTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;
  QTemporaryDir FDir;

  // The main window on the simulated instrument at time scale 0. With
  // startActions the program starts as the operator sees it (the instrument
  // is opened, then the journals are found); else they are left out.
  void Start(bool startActions) {
    QFile::remove(TPaths::SimulatorSettingsFile());
    QVERIFY(WriteTextLines(
        TPaths::SimulatorSettingsFile(),
        {"[General]", "Carriage=20000", "Zero=20000", "filterTable=" + Calibration, "avgNum=1"}));
    TStartOptions options;
    options.Simulator = true;
    options.CreateLink = [](const QString &) {
      TSimulatorConfig config;
      config.Speed = 0;
      config.KeepState = false;
      config.Carriage = 20000;
      config.Zero = 20000;
      config.Wheel = 0;
      return std::make_unique<TSimulatorLink>(config);
    };
    FMain = std::make_unique<TfmMain>(options);
    if (!startActions) FMain->tmStartActions->stop();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
    if (startActions) QTRY_VERIFY(!FMain->tmStartActions->isActive());
    // The start actions run from the timer's handler: let it finish.
    QTest::qWait(100);
  }

  QList<TfmProject *> Projects() const {
    QList<TfmProject *> list;
    for (QWidget *fm : OpenWindows->Items())
      if (auto *p = qobject_cast<TfmProject *>(fm)) list << p;
    return list;
  }

  TfmProject *RunNewProject(int left, int right) {
    FMain->mnNew->trigger();
    auto *fm = qobject_cast<TfmProject *>(FMain->ActiveChild());
    if (!fm) return nullptr;
    fm->edLeft->setValue(left);
    fm->edRight->setValue(right);
    fm->edStep->setValue(1);
    FMain->mnStart->trigger();
    if (!QTest::qWaitFor([fm] { return !fm->Running; }, 60000)) return nullptr;
    return fm;
  }

  // A journal as a killed run leaves it: the header with the earlier data,
  // then the points stored before the kill. Returns its file name.
  QString WriteJournal(const QString &projectFile, const QList<TJournalPoint> &points) {
    TProjectData data;
    data.ProjectName = QStringLiteral("scan");
    data.ProjectFileName = projectFile;
    data.ZeroPosition = 20000;
    data.Note = QStringLiteral("overnight");
    data.Pixels[19990] = Pixel(111);
    data.Pixels[19991] = Pixel(112);
    data.RecomputeStatistics();
    data.StartTime = QDateTime::currentDateTime();
    std::unique_ptr<TRunJournal> journal = TRunJournal::Begin(data, TRunJournal::Folder(true));
    for (const TJournalPoint &p : points) journal->Append(p.Index, p.Pixel);
    journal->Flush();
    return journal->FileName();
  }

 private slots:
  void init() { QDir(TRunJournal::Folder(true)).removeRecursively(); }

  void cleanup() {
    if (!FMain) return;
    TBoxRecorder boxes(QMessageBox::No);
    for (TfmProject *fm : Projects()) fm->StopMeasurement();
    FMain.reset();
  }

  // A run journals every stored point; the journal outlives the run until the
  // points are saved, then goes. A second run's journal replaces the first.
  void runJournalLivesUntilSaved() {
    Start(false);
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = RunNewProject(-100, 100);
    QVERIFY(fm);
    const QString journalFile = fm->JournalFile();
    QVERIFY(QFile::exists(journalFile));
    const TJournalContents journal = ReadJournal(journalFile);
    QVERIFY(!journal.Damaged);
    QCOMPARE(journal.Points.size(), 13);
    QCOMPARE(Curve(journal), Curve(fm->Data()));
    QCOMPARE(journal.ProjectName, QString("Project 1"));

    // The same window runs again over a wider interval: one journal, the new
    // one, holding the earlier points in its header.
    fm->edLeft->setValue(-200);
    fm->edRight->setValue(200);
    FMain->mnStart->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!fm->Running, 60000);
    QVERIFY(!QFile::exists(journalFile));
    QCOMPARE(JournalFiles().size(), 1);
    TProjectData rebuilt;
    RecoverJournal(ReadJournal(fm->JournalFile()), rebuilt, Device->ZeroPosition);
    QCOMPARE(Curve(rebuilt), Curve(fm->Data()));

    // A failed save (no name chosen) keeps it; a save removes it.
    TFileDialogRecorder files;
    FMain->mnSave->trigger();
    QCOMPARE(JournalFiles().size(), 1);
    files.Answers << FDir.filePath("run.vtp");
    FMain->mnSave->trigger();
    QVERIFY(!fm->Modified());
    QCOMPARE(JournalFiles(), QStringList{});
    QCOMPARE(fm->JournalFile(), QString());
  }

  // Closing: Cancel keeps the window and its journal, No discards both.
  void discardRemovesTheJournal() {
    Start(false);
    TBoxRecorder boxes(QMessageBox::Cancel);
    TfmProject *fm = RunNewProject(-50, 50);
    QVERIFY(fm);
    QVERIFY(fm->Modified());
    QVERIFY(!CloseChildWindow(fm));
    QCOMPARE(JournalFiles().size(), 1);
    boxes.Answer = QMessageBox::No;
    QVERIFY(CloseChildWindow(fm));
    QCOMPARE(JournalFiles(), QStringList{});
  }

  // Start-up recovery: the question names the project, the points and the
  // start; Recover opens the project with earlier and journalled points,
  // modified, under its file name; saving it removes the journal.
  void recoverAtStart() {
    const QString projectFile = FDir.filePath("scan.vtp");
    const QList<TJournalPoint> points = {
        {19995, Pixel(500)}, {19996, Pixel(600)}, {19990, Pixel(700)}};
    const QString journalFile = WriteJournal(projectFile, points);

    TBoxRecorder boxes(QMessageBox::Yes);
    Start(true);
    QCOMPARE(boxes.Requests.size(), 1);
    QVERIFY2(
        boxes.Requests[0].Text.contains("\"scan\"") && boxes.Requests[0].Text.contains("3 points"),
        qPrintable(boxes.Requests[0].Text));
    QCOMPARE(Projects().size(), 1);
    TfmProject *fm = Projects()[0];
    QCOMPARE(fm->ProjectName, QString("scan"));
    QCOMPARE(fm->ProjectFileName, projectFile);
    QVERIFY(fm->Modified());
    QCOMPARE(fm->edNote->toPlainText(), QString("overnight"));
    // The later point for 19990 replaces the earlier one.
    const QMap<int, quint16> expected{{19990, 700}, {19991, 112}, {19995, 500}, {19996, 600}};
    QCOMPARE(Curve(fm->Data()), expected);
    QCOMPARE(fm->Data().PixelCount, 4);
    QCOMPARE(fm->JournalFile(), journalFile);

    FMain->mnSave->trigger();
    QVERIFY(!fm->Modified());
    QVERIFY(!QFile::exists(journalFile));
    TProjectData saved;
    const TFileBytes bytes(projectFile);
    LoadProjectBytes(saved, bytes.Data(), bytes.Size(), 20000);
    QCOMPARE(Curve(saved), expected);
  }

  // No keeps the journal and opens nothing; the next start asks again.
  // Recovered and then discarded, the journal goes.
  void declinedJournalIsKept() {
    const QString journalFile = WriteJournal(QString(), {{20001, Pixel(42)}});
    {
      TBoxRecorder boxes(QMessageBox::No);
      Start(true);
      QCOMPARE(boxes.Requests.size(), 1);
      QCOMPARE(Projects().size(), 0);
      FMain.reset();
      QVERIFY(QFile::exists(journalFile));
    }
    TBoxRecorder boxes(QMessageBox::Yes);
    Start(true);
    QCOMPARE(boxes.Requests.size(), 1);
    QCOMPARE(Projects().size(), 1);
    TfmProject *fm = Projects()[0];
    QCOMPARE(fm->ProjectFileName, QString());
    QVERIFY(fm->Modified());
    boxes.Answer = QMessageBox::No;
    QVERIFY(CloseChildWindow(fm));
    QVERIFY(!QFile::exists(journalFile));
  }

  // A journal cut inside its last record, or with garbage after it, gives
  // back every complete point and says that the rest is lost.
  void damagedJournalRecoversTheCompletePoints_data() {
    QTest::addColumn<bool>("truncate");
    QTest::newRow("cut") << true;
    QTest::newRow("garbage") << false;
  }
  void damagedJournalRecoversTheCompletePoints() {
    QFETCH(bool, truncate);
    const QString journalFile =
        WriteJournal(QString(), {{20001, Pixel(42)}, {20002, Pixel(43)}, {20003, Pixel(44)}});
    QFile file(journalFile);
    QVERIFY(file.open(QIODevice::ReadWrite));
    if (truncate)
      QVERIFY(file.resize(file.size() - 3));
    else {
      file.seek(file.size());
      file.write(QByteArray(40, '\x5a'));
    }
    file.close();

    TBoxRecorder boxes(QMessageBox::Yes);
    Start(true);
    QCOMPARE(Projects().size(), 1);
    QMap<int, quint16> expected{{19990, 111}, {19991, 112}, {20001, 42}, {20002, 43}};
    if (!truncate) expected.insert(20003, 44);
    QCOMPARE(Curve(Projects()[0]->Data()), expected);
    QCOMPARE(boxes.Requests.size(), 2);
    QCOMPARE(boxes.Requests[1].Text,
             QString("The run journal of project \"scan\" is damaged: the points after the "
                     "damage are lost."));
  }

  // The window program killed during a run: the next start recovers every
  // point its journal holds, and the journal holds the points of the run.
  void killedWindowIsRecovered() {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--child-window")});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    QVERIFY(child.waitForStarted());
    // Killed once a good part of a second's points reached the journal.
    QString journalFile;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const QStringList files = JournalFiles();
          if (files.isEmpty()) return false;
          journalFile = QDir(TRunJournal::Folder(true)).filePath(files[0]);
          return ReadJournal(journalFile).Points.size() >= 20;
        }(),
        30000);
    QCOMPARE(child.state(), QProcess::Running);
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const TJournalContents journal = ReadJournal(journalFile);
    QVERIFY(journal.Points.size() >= 20);
    // Every journalled point is a position of the plan, once each, signal
    // and gains as the instrument gives them.
    QMap<int, quint16> expected = Curve(journal);
    QCOMPARE(expected.size(), journal.Points.size());
    for (const TJournalPoint &p : journal.Points) {
      QVERIFY(p.Index >= 15000 && p.Index <= 25000);
      QVERIFY(p.Pixel.Measured());
    }

    TBoxRecorder boxes(QMessageBox::Yes);
    Start(true);
    QCOMPARE(boxes.Requests.size(), 1);
    QVERIFY(boxes.Requests[0].Text.contains("\"Project 1\""));
    QCOMPARE(Projects().size(), 1);
    QCOMPARE(Curve(Projects()[0]->Data()), expected);
    QVERIFY(Projects()[0]->Modified());
  }

  // A file in the journal folder that is no journal at all is shown by name
  // and deleted only on Yes.
  void unreadableJournalIsDeletedOnlyOnYes() {
    QDir().mkpath(TRunJournal::Folder(true));
    const QString junk = QDir(TRunJournal::Folder(true)).filePath("broken.vtj");
    QVERIFY(WriteTextLines(junk, {"not a journal"}));
    {
      TBoxRecorder boxes(QMessageBox::No);
      Start(true);
      FMain.reset();
      QCOMPARE(boxes.Requests.size(), 1);
      QVERIFY(boxes.Requests[0].Text.contains("broken.vtj"));
      QVERIFY(QFile::exists(junk));
    }
    TBoxRecorder boxes(QMessageBox::Yes);
    Start(true);
    QCOMPARE(Projects().size(), 0);
    QVERIFY(!QFile::exists(junk));
  }
};

int main(int argc, char **argv) {
  // The kill test's child keeps the parent's folders.
  const bool child = argc > 1 && qstrcmp(argv[1], "--child-window") == 0;
  if (!child) SetUpTestEnvironment();
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  if (child) return RunChildWindow();
  ProjectJournalTest tc;
  return QTest::qExec(&tc, argc, argv);
}
#include "ProjectJournalTest.moc"
