// SPDX-License-Identifier: GPL-3.0-or-later
// veltravor-cli end to end: the programs are run as a script would run them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include "TestEnvironment.h"
#include "app/Paths.h"

namespace {
// Test binaries live in <build>/tests, the programs in <build>/bin.
QString Program(const QString &name) {
  return QCoreApplication::applicationDirPath() + "/../bin/" + name;
}

struct TRun {
  int Status = -1;
  QString Out;
  QString Err;
};

// The programs' file locations (settings, simulator state, event log) under
// root, so that every test starts from a machine of its own.
QProcessEnvironment MachineAt(const QString &root) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"CONFIG", "DATA", "STATE"})
    env.insert(QString("XDG_%1_HOME").arg(name), root + "/" + QString(name).toLower());
  return env;
}

TRun RunCli(const QStringList &args, int timeoutMs = 120000,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(Program("veltravor-cli"), args);
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

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// Zero position 20000, interval -100..100 step 1, empty table and note, one
// pixel at 20000: signal 512, transmission 0.5, ampF 1, ampI 4.
const QByteArray Example = QByteArray::fromHex(
    "03204e029c0201026402000c000000000201"
    "03204e0300020f0000003f02010204");

// veltravor-sim serving the instrument on a pseudo-terminal at Link.
struct TSimServer {
  QTemporaryDir Dir;
  QString Link = Dir.path() + "/veltravor-pty";
  QProcess Process;

  bool Start(const QStringList &extra) {
    Process.start(Program("veltravor-sim"), QStringList{"--pty", Link, "--no-state"} + extra);
    if (!Process.waitForStarted(5000)) return false;
    while (!Process.readAllStandardOutput().contains("serving"))
      if (!Process.waitForReadyRead(5000)) return false;
    return true;
  }
  ~TSimServer() {
    if (Process.state() != QProcess::NotRunning) {
      Process.terminate();
      if (!Process.waitForFinished(5000)) Process.kill();
      Process.waitForFinished(5000);
    }
  }
};

QJsonObject InfoJson(const QString &file) {
  const TRun run = RunCli({"info", "--json", file});
  EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
  return QJsonDocument::fromJson(run.Out.toUtf8()).object();
}

class Cli : public testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo(Program("veltravor-cli")).isExecutable()) GTEST_SKIP() << "not built";
    ASSERT_TRUE(FDir.isValid());
  }
  QString Path(const QString &name) const { return FDir.path() + "/" + name; }
  QTemporaryDir FDir;
};
}  // namespace

TEST_F(Cli, InfoAndExportOfTheSmallestProject) {
  ASSERT_EQ(Example.size(), 33);
  WriteAll(Path("example.vtp"), Example);

  const TRun info = RunCli({"info", "--json", Path("example.vtp")});
  ASSERT_EQ(info.Status, 0) << info.Err.toStdString();
  EXPECT_EQ(info.Out.trimmed(),
            "{\"zeroPosition\":20000,\"initialShift\":-100,\"step\":1,\"finalShift\":100,"
            "\"intervalTable\":\"\",\"note\":\"\",\"pixels\":1,\"maxValue\":256,\"peakIndex\":"
            "20000,\"peakPositionFs\":0,\"peakWidthFs\":0}");

  const TRun readable = RunCli({"info", Path("example.vtp")});
  EXPECT_EQ(readable.Status, 0);
  EXPECT_TRUE(readable.Out.contains("Pixels measured: 1")) << readable.Out.toStdString();

  const TRun exported = RunCli({"export", Path("example.vtp"), Path("example.dat")});
  ASSERT_EQ(exported.Status, 0) << exported.Err.toStdString();
  EXPECT_EQ(ReadAll(Path("example.dat")),
            QByteArray("delay, fsec\tcontrast\tsignal\tampF\tampI\ttransmission\r\n"
                       " 0.00000000000000E+0000\t 1.00000000000000E+0000\t512\t1\t4\t"
                       " 5.00000000000000E+0001\r\n"));
}

TEST_F(Cli, BadInputGivesAClearMessageAndTheRightStatus) {
  WriteAll(Path("cut.vtp"), Example.left(20));  // ends inside the pixel entries
  const struct {
    QStringList Args;
    int Status;
    const char *Message;
  } cases[] = {
      {{"info", Path("missing.vtp")}, 1, "missing.vtp"},
      {{"info", Path("cut.vtp")}, 1, "Stream read error."},
      {{"report", Path("cut.vtp")}, 1, "Stream read error."},
      {{"report", "--json", Path("missing.vtp")}, 1, "missing.vtp"},
      {{"report", "--autocorr", Path("cut.vtp")}, 2, "unknown option"},
      {{"report"}, 2, "Usage: veltravor-cli report"},
      {{"export", Path("cut.vtp"), Path("cut.dat")}, 1, "Stream read error."},
      {{"info", "--jsn", Path("cut.vtp")}, 2, "unknown option \"--jsn\""},
      {{"info"}, 2, "Usage: veltravor-cli info"},
      {{"frobnicate"}, 2, "unknown command"},
      {{}, 2, "Usage: veltravor-cli"},
      {{"scan", "--simulator", "--from", "abc", "--to", "100", "-o", Path("x.vtp")}, 2,
       "--from wants an integer"},
      {{"scan", "--simulator", "--from", "-100", "--to", "100"}, 2, "-o"},
      {{"scan", "--simulator", "--port", "/dev/null", "--from", "0", "--to", "1", "-o",
        Path("x.vtp")},
       2, "--port"},
  };
  for (const auto &c : cases) {
    const TRun run = RunCli(c.Args);
    EXPECT_EQ(run.Status, c.Status) << c.Args.join(' ').toStdString() << "\n" << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(c.Message))
        << c.Args.join(' ').toStdString() << "\nstderr: " << run.Err.toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists(Path("cut.dat")));
  EXPECT_FALSE(QFileInfo::exists(Path("x.vtp")));

  for (const char *command : {"info", "export", "report", "scan"}) {
    const TRun help = RunCli({command, "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.startsWith(QString("Usage: veltravor-cli ") + command))
        << help.Out.toStdString();
  }
}

TEST_F(Cli, ScanOnTheSimulatorFindsThePeakAndItsWidth) {
  const QProcessEnvironment machine = MachineAt(Path("machine"));
  const QStringList scan{"scan", "--simulator", "--speed", "0", "--from", "-2000", "--to", "2000",
                         "-o", Path("scan.vtp")};

  // A new instrument: the carriage stands somewhere the program does not know.
  const TRun refused = RunCli(scan, 60000, machine);
  EXPECT_EQ(refused.Status, 1);
  EXPECT_TRUE(refused.Err.contains("carriage position is unknown")) << refused.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(Path("scan.vtp")));

  const TRun run = RunCli(scan + QStringList{"--home"}, 60000, machine);
  ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Out.contains("Points measured: 241")) << run.Out.toStdString();

  const QJsonObject info = InfoJson(Path("scan.vtp"));
  EXPECT_EQ(info["zeroPosition"].toInt(), 30000);
  EXPECT_EQ(info["pixels"].toInt(), 241);
  EXPECT_NEAR(info["peakPositionFs"].toDouble(), 0.0, 20.0);
  EXPECT_NEAR(info["peakWidthFs"].toDouble(), 250.0, 25.0);

  // The carriage position is now stored, so a second run needs no --home; it
  // measures only what the new interval adds.
  const TRun again = RunCli({"scan", "--simulator", "--speed", "0", "--from", "2000", "--to",
                             "2100", "--avg", "4", "-o", Path("more.vtp")},
                            60000, machine);
  ASSERT_EQ(again.Status, 0) << again.Err.toStdString();
  EXPECT_TRUE(again.Out.contains("Points measured: 7")) << again.Out.toStdString();
  // Thresholds and averaging given on the command line stay out of the settings.
  QFile ini(Path("machine/config/veltravor/veltravor-simulator.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray settings = ini.readAll();
  EXPECT_TRUE(settings.contains("Carriage=")) << settings.constData();
  EXPECT_FALSE(settings.contains("avgNum")) << settings.constData();
}

// The program's settings on a machine whose instrument is the simulated one.
void WriteCalibratedSettings(const QString &machine, const QString &fileName,
                             const QByteArray &extra = {}) {
  WriteAll(machine + "/config/veltravor/" + fileName,
           "[General]\r\nfilterTable=1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;"
           "9.1E-6;2000;\r\nZero=30000\r\n" + extra);
}

TEST_F(Cli, ScanThroughTheSerialLinkOnThePseudoTerminal) {
  TSimServer sim;
  ASSERT_TRUE(sim.Start({"--speed", "0"}));
  WriteCalibratedSettings(Path("pty-machine"), "veltravor.ini");
  const TRun run = RunCli({"scan", "--port", sim.Link, "--table", "-300;10;0;2;300;;", "--home",
                           "-o", Path("pty.vtp")},
                          60000, MachineAt(Path("pty-machine")));
  ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
  const QJsonObject info = InfoJson(Path("pty.vtp"));
  EXPECT_EQ(info["intervalTable"].toString(), "-300;10;0;2;300;;");
  // Every 10 steps up to 0 fsec, then every 2 steps up to 300 fsec.
  EXPECT_EQ(info["pixels"].toInt(), 2 + 9);
  EXPECT_NEAR(info["peakPositionFs"].toDouble(), 0.0, 20.0);
}

TEST_F(Cli, ADeviceErrorMidScanKeepsThePointsMeasuredBeforeIt) {
  TSimServer sim;
  // The link drops after the 40th command: initialization and the roll-back
  // take a handful, every point at least two.
  ASSERT_TRUE(sim.Start({"--speed", "0", "--drop-link", "40"}));
  WriteCalibratedSettings(Path("drop-machine"), "veltravor.ini");
  const TRun run = RunCli({"scan", "--port", sim.Link, "--from", "-1000", "--to", "1000",
                           "--home", "-o", Path("cut-short.vtp")},
                          60000, MachineAt(Path("drop-machine")));
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Err.contains("error")) << run.Err.toStdString();
  const QJsonObject info = InfoJson(Path("cut-short.vtp"));
  EXPECT_GT(info["pixels"].toInt(), 0);
  EXPECT_LT(info["pixels"].toInt(), 121);
}

TEST_F(Cli, InterruptStopsBetweenPointsAndSavesWhatWasMeasured) {
  // The carriage is known to stand where a new simulated instrument has it,
  // so the run starts at once; at this time scale it lasts many seconds.
  WriteCalibratedSettings(Path("int-machine"), "veltravor-simulator.ini", "Carriage=35000\r\n");
  QProcess p;
  p.setProcessEnvironment(MachineAt(Path("int-machine")));
  p.start(Program("veltravor-cli"), {"scan", "--simulator", "--speed", "0.05", "--from",
                                     "-20000", "--to", "20000", "-o", Path("stopped.vtp")});
  ASSERT_TRUE(p.waitForStarted(5000));
  QThread::msleep(1500);
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 130) << p.readAllStandardError().constData();
  const QJsonObject info = InfoJson(Path("stopped.vtp"));
  EXPECT_GT(info["pixels"].toInt(), 0);
  EXPECT_LT(info["pixels"].toInt(), 2401);
}

TEST_F(Cli, ReportOfASimulatedScan) {
  const QProcessEnvironment machine = MachineAt(Path("machine"));
  // The simulated instrument set up as an operator would: its calibration
  // table, and the signal shift that removes its dark reading of 4 counts.
  WriteAll(Path("machine/config/veltravor/veltravor-simulator.ini"),
           "[General]\r\nfilterTable=1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;"
           "9.1E-6;2000;\r\nsignalShift=4\r\n");
  const TRun scan = RunCli({"scan", "--simulator", "--speed", "0", "--seed", "3", "--home",
                            "--from", "-10000", "--to", "10000", "--avg", "64", "-o",
                            Path("pulse.vtp")},
                           120000, machine);
  ASSERT_EQ(scan.Status, 0) << scan.Err.toStdString();

  const TRun json = RunCli({"report", "--json", Path("pulse.vtp")});
  ASSERT_EQ(json.Status, 0) << json.Err.toStdString();
  const QJsonObject r = QJsonDocument::fromJson(json.Out.toUtf8()).object();
  ASSERT_FALSE(r.isEmpty()) << json.Out.toStdString();
  EXPECT_NEAR(r["peakPositionFs"].toDouble(), 0, 20);
  EXPECT_NEAR(r["fwhmFs"].toDouble(), 250, 15);
  const QJsonObject gaussian = r["fit"]["gaussian"].toObject();
  EXPECT_NEAR(gaussian["fwhmFs"].toDouble(), 250, 5);
  EXPECT_NEAR(gaussian["durationFs"].toDouble(), 204, 5);
  EXPECT_TRUE(gaussian["residual"].isDouble());
  EXPECT_TRUE(r["fit"]["sech2"]["durationFs"].isDouble());
  EXPECT_TRUE(r["pedestal"].isNull()) << "nothing far enough from the peak";
  EXPECT_GT(r["dynamicRangeDecades"].toDouble(), 8);
  EXPECT_FALSE(r["calibrationWarning"].toBool()) << json.Out.toStdString();

  const QJsonArray pulses = r["pulses"].toArray();
  ASSERT_EQ(pulses.size(), 3) << json.Out.toStdString();
  const QJsonObject ghost = pulses[0].toObject(), pre = pulses[1].toObject(),
                    post = pulses[2].toObject();
  EXPECT_EQ(post["kind"].toString(), "post");
  EXPECT_NEAR(post["delayFs"].toDouble(), 6700, 30);
  EXPECT_TRUE(post["ghostOf"].isNull());
  EXPECT_EQ(pre["kind"].toString(), "pre");
  EXPECT_NEAR(pre["delayFs"].toDouble(), -3300, 30);
  EXPECT_TRUE(pre["ghostOf"].isNull());
  EXPECT_NEAR(ghost["delayFs"].toDouble(), -6700, 30);
  EXPECT_EQ(ghost["ghostOf"].toDouble(), post["delayFs"].toDouble());
  EXPECT_FALSE(r["stitches"].toArray().isEmpty());

  const TRun autocorrelation = RunCli({"report", "--json", "--autocorrelation", Path("pulse.vtp")});
  const QJsonObject a = QJsonDocument::fromJson(autocorrelation.Out.toUtf8()).object();
  EXPECT_NEAR(a["fit"]["gaussian"]["durationFs"].toDouble(),
              gaussian["fwhmFs"].toDouble() * 0.707, 0.01);

  const TRun text = RunCli({"report", Path("pulse.vtp")});
  ASSERT_EQ(text.Status, 0);
  EXPECT_TRUE(text.Out.contains("possible artefact of the post-pulse")) << text.Out.toStdString();
  EXPECT_TRUE(text.Out.contains("no pedestal")) << "says why";
}
