// SPDX-License-Identifier: GPL-3.0-or-later
// veltravor-cli scan under the faults a laboratory has: the process killed
// mid-run, the serial link gone mid-run and back again. The programs run as a
// script would run them, each test on a machine (XDG folders) of its own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstring>

#include "app/AppError.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/RunJournal.h"

namespace {
QString Program(const QString &name) {
  return QCoreApplication::applicationDirPath() + "/../bin/" + name;
}

QProcessEnvironment MachineAt(const QString &root) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"CONFIG", "DATA", "STATE"})
    env.insert(QString("XDG_%1_HOME").arg(name), root + "/" + QString(name).toLower());
  return env;
}

void WriteFile(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// A calibrated machine whose carriage stands at 29880 (-2000 fsec) with the
// wheel at its open position, as known to the program and to the simulated
// instrument alike, so that a run starts measuring at once.
void PrepareMachine(const QString &root, const QString &settingsFile) {
  WriteFile(root + "/config/veltravor/" + settingsFile,
            "[General]\r\nfilterTable=1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;"
            "9.1E-6;2000;\r\nZero=30000\r\nCarriage=29880\r\n");
  WriteFile(root + "/config/veltravor/veltravor-simulator.state",
            "[State]\r\nCarriage=29880\r\nWheel=0\r\n");
}

struct TRun {
  int Status = -1;
  QString Out, Err;
};

TRun Finish(QProcess &p, int timeoutMs) {
  TRun run;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    run.Err = "timed out";
    return run;
  }
  run.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.Out = QString::fromUtf8(p.readAllStandardOutput());
  run.Err = QString::fromUtf8(p.readAllStandardError());
  return run;
}

TRun RunCli(const QStringList &args, const QProcessEnvironment &env, int timeoutMs = 120000) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(Program("veltravor-cli"), args);
  return Finish(p, timeoutMs);
}

// The single journal file in folder, once it exists (empty after timeoutMs).
QString WaitForJournal(const QString &folder, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    const QStringList files = QDir(folder).entryList({"*.vtj"}, QDir::Files);
    if (files.size() == 1) return folder + "/" + files[0];
    QThread::msleep(20);
  }
  return {};
}

// The points a journal holds now (a run may be appending to it).
QList<TJournalPoint> JournalPoints(const QString &fileName) {
  try {
    return ReadJournal(fileName).Points;
  } catch (const EAppError &) {
    return {};
  }
}

qsizetype WaitForPoints(const QString &journal, qsizetype count, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  qsizetype n = 0;
  while ((n = JournalPoints(journal).size()) < count && t.elapsed() < timeoutMs)
    QThread::msleep(50);
  return n;
}

// A project file read under its own zero position.
void LoadOwnZero(TProjectData &data, const QString &fileName) {
  const TFileBytes bytes(fileName);
  TValueReader reader(bytes.Data(), bytes.Size());
  LoadProjectBytes(data, bytes.Data(), bytes.Size(), reader.ReadInteger());
}

bool SamePixel(const TPixel &a, const TPixel &b) {
  return a.Signal == b.Signal && a.AmpF == b.AmpF && a.AmpI == b.AmpI &&
         std::memcmp(&a.Transmission, &b.Transmission, sizeof(float)) == 0;
}

QList<int> MeasuredIndices(const TProjectData &data) {
  QList<int> m;
  for (int i = 0; i <= MaxPixel; ++i)
    if (data.Pixels[i].Measured()) m.append(i);
  return m;
}

class ScanRecovery : public testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo(Program("veltravor-cli")).isExecutable() ||
        !QFileInfo(Program("veltravor-sim")).isExecutable())
      GTEST_SKIP() << "programs not built";
    ASSERT_TRUE(FDir.isValid());
  }
  QString Path(const QString &name) const { return FDir.path() + "/" + name; }
  QTemporaryDir FDir;
};
}  // namespace

TEST_F(ScanRecovery, AKilledScanLeavesItsFileAndAJournalThatRecoversEveryStoredPoint) {
  // -6000..6000 fsec is 721 points, some 40 s at real speed: the kill comes
  // long before the end.
  const QStringList interval{"--from", "-6000", "--to", "6000"};

  // The simulated instrument is deterministic for a seed: the same run at
  // time scale 0 tells which value every position must have.
  PrepareMachine(Path("reference"), "veltravor-simulator.ini");
  const TRun reference = RunCli(
      QStringList{"scan", "--simulator", "--speed", "0", "-o", Path("reference.vtp")} + interval,
      MachineAt(Path("reference")));
  ASSERT_EQ(reference.Status, 0) << reference.Err.toStdString();
  TProjectData expected;
  LoadOwnZero(expected, Path("reference.vtp"));
  const QList<int> planned = MeasuredIndices(expected);
  ASSERT_EQ(planned.size(), 721);

  PrepareMachine(Path("machine"), "veltravor-simulator.ini");
  QProcess scan;
  scan.setProcessEnvironment(MachineAt(Path("machine")));
  scan.start(
      Program("veltravor-cli"),
      QStringList{"scan", "--simulator", "--speed", "1", "-o", Path("killed.vtp")} + interval);
  ASSERT_TRUE(scan.waitForStarted(5000));
  const QString folder = Path("machine/state/veltravor/journals-simulator");
  const QString journalFile = WaitForJournal(folder, 20000);
  ASSERT_FALSE(journalFile.isEmpty());
  // A run under way is not offered for recovery.
  EXPECT_TRUE(FindJournals(folder).isEmpty());
  ASSERT_GE(WaitForPoints(journalFile, 5, 30000), 5);
  // Every point stored up to here is more than 10 s old at the kill.
  const QList<TJournalPoint> early = JournalPoints(journalFile);
  QThread::msleep(10500);
  ::kill(static_cast<pid_t>(scan.processId()), SIGKILL);
  ASSERT_TRUE(scan.waitForFinished(10000));
  ASSERT_EQ(scan.exitStatus(), QProcess::CrashExit);

  // The project file was rewritten during the run and is valid.
  TProjectData file;
  ASSERT_NO_THROW(LoadOwnZero(file, Path("killed.vtp")));
  for (const TJournalPoint &p : early) {
    ASSERT_TRUE(file.Pixels[p.Index].Measured()) << "point at " << p.Index << " is not in the file";
    EXPECT_TRUE(SamePixel(file.Pixels[p.Index], p.Pixel)) << p.Index;
  }

  // The journal is offered now, and holds every point the run stored: the
  // first positions of the plan in the run's order, each with its value.
  const QList<TJournalInfo> found = FindJournals(folder);
  ASSERT_EQ(found.size(), 1);
  EXPECT_EQ(found[0].ProjectName, "killed");
  const TJournalContents journal = ReadJournal(journalFile);
  const qsizetype stored = journal.Points.size();
  ASSERT_GT(stored, early.size());
  ASSERT_LT(stored, planned.size());
  EXPECT_FALSE(journal.Damaged);
  const bool upwards = journal.Points[0].Index == planned.first();
  for (qsizetype k = 0; k < stored; ++k) {
    const TJournalPoint &p = journal.Points[k];
    ASSERT_EQ(p.Index, upwards ? planned[k] : planned[planned.size() - 1 - k]) << k;
    EXPECT_TRUE(SamePixel(p.Pixel, expected.Pixels[p.Index])) << "value at " << p.Index;
  }
  for (int i : MeasuredIndices(file)) {
    const auto in = std::find_if(journal.Points.begin(), journal.Points.end(),
                                 [i](const TJournalPoint &p) { return p.Index == i; });
    EXPECT_NE(in, journal.Points.end()) << "the file holds " << i << ", the journal does not";
  }

  // Recovered: a file whose pixels are exactly the points stored.
  const TRun recover =
      RunCli({"recover", journalFile, "-o", Path("recovered.vtp")}, MachineAt(Path("machine")));
  ASSERT_EQ(recover.Status, 0) << recover.Err.toStdString();
  EXPECT_TRUE(recover.Out.contains(QString("Points of run:   %1").arg(stored)))
      << recover.Out.toStdString();
  TProjectData recovered;
  LoadOwnZero(recovered, Path("recovered.vtp"));
  EXPECT_EQ(recovered.PixelCount, stored);
  for (const TJournalPoint &p : journal.Points)
    EXPECT_TRUE(SamePixel(recovered.Pixels[p.Index], p.Pixel)) << p.Index;
  // Nothing is deleted without being asked to.
  EXPECT_TRUE(QFileInfo::exists(journalFile));

  // A damaged tail: the complete points before it, and a note saying so.
  QByteArray bytes;
  {
    QFile f(journalFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    bytes = f.readAll();
  }
  WriteFile(Path("cut.vtj"), bytes.left(bytes.size() - 30));
  const TRun cut =
      RunCli({"recover", Path("cut.vtj"), "-o", Path("cut.vtp")}, MachineAt(Path("machine")));
  EXPECT_EQ(cut.Status, 0) << cut.Err.toStdString();
  EXPECT_TRUE(cut.Out.contains(QString("Points of run:   %1").arg(stored - 2)));
  EXPECT_TRUE(cut.Err.contains("damaged")) << cut.Err.toStdString();

  const TRun notJournal =
      RunCli({"recover", Path("killed.vtp"), "-o", Path("x.vtp")}, MachineAt(Path("machine")));
  EXPECT_EQ(notJournal.Status, 1);
  EXPECT_TRUE(notJournal.Err.contains("not a run journal")) << notJournal.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(Path("x.vtp")));
}

TEST_F(ScanRecovery, TheLinkGoneMidRunEndsItOnceKeepingEveryPointAndTheNextRunMeasuresTheRest) {
  PrepareMachine(Path("machine"), "veltravor.ini");
  const QProcessEnvironment machine = MachineAt(Path("machine"));
  const QString link = Path("veltravor-pty");
  const QStringList scanArgs{
      "scan", "--port", link, "--from", "-3000", "--to", "3000", "-o", Path("unplugged.vtp")};
  const int planned = 361;

  QProcess sim;
  sim.setProcessEnvironment(machine);
  sim.start(Program("veltravor-sim"), {"--pty", link, "--speed", "0.2"});
  ASSERT_TRUE(sim.waitForStarted(5000));
  ASSERT_TRUE(sim.waitForReadyRead(5000));

  QProcess scan;
  scan.setProcessEnvironment(machine);
  scan.start(Program("veltravor-cli"), scanArgs);
  ASSERT_TRUE(scan.waitForStarted(5000));
  const QString journalFile = WaitForJournal(Path("machine/state/veltravor/journals"), 20000);
  ASSERT_FALSE(journalFile.isEmpty());
  ASSERT_GE(WaitForPoints(journalFile, 30, 60000), 30);
  // The cable pulled: the instrument's end of the line is gone.
  sim.kill();
  sim.waitForFinished(5000);

  const TRun first = Finish(scan, 30000);  // no hang
  ASSERT_EQ(first.Status, 1) << first.Err.toStdString();
  // One message, the link's own.
  EXPECT_EQ(first.Err.count("veltravor-cli:"), 1) << first.Err.toStdString();
  const QRegularExpressionMatch m = QRegularExpression("Points measured: (\\d+)").match(first.Out);
  ASSERT_TRUE(m.hasMatch()) << first.Out.toStdString();
  const int measured = m.captured(1).toInt();
  EXPECT_GE(measured, 30);
  EXPECT_LT(measured, planned);
  TProjectData kept;
  LoadOwnZero(kept, Path("unplugged.vtp"));
  EXPECT_EQ(kept.PixelCount, measured);  // every point kept
  // The points are safe in the file, so the journal went.
  EXPECT_FALSE(QFileInfo::exists(journalFile));

  // The same path appears again: the next run opens it and measures only what
  // is missing.
  QProcess again;
  again.setProcessEnvironment(machine);
  again.start(Program("veltravor-sim"), {"--pty", link, "--speed", "0"});
  ASSERT_TRUE(again.waitForStarted(5000));
  ASSERT_TRUE(again.waitForReadyRead(5000));
  const TRun second = RunCli(scanArgs + QStringList{"--continue"}, machine);
  again.terminate();
  again.waitForFinished(5000);
  ASSERT_EQ(second.Status, 0) << second.Err.toStdString();
  EXPECT_TRUE(second.Out.contains(QString("Points measured: %1").arg(planned - measured)))
      << second.Out.toStdString();
  TProjectData whole;
  LoadOwnZero(whole, Path("unplugged.vtp"));
  EXPECT_EQ(whole.PixelCount, planned);
  const QList<int> indices = MeasuredIndices(whole);
  ASSERT_EQ(indices.size(), planned);
  EXPECT_EQ(indices.first(), 29820);
  EXPECT_EQ(indices.last(), 30180);
  for (int i : MeasuredIndices(kept))
    EXPECT_TRUE(SamePixel(whole.Pixels[i], kept.Pixels[i])) << "first run's point " << i;
}
