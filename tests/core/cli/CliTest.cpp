// veltravor-cli end to end: the programs are run as a script would run them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

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

TRun RunCli(const QStringList &args, int timeoutMs = 120000) {
  QProcess p;
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

  for (const QString &command : {"info", "export", "scan"}) {
    const TRun help = RunCli({command, "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.startsWith("Usage: veltravor-cli " + command)) << help.Out.toStdString();
  }
}
