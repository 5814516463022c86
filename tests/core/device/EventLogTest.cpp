// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "QtPrinters.h"
#include "ScriptedLink.h"
#include "TestEnvironment.h"
#include "app/AppError.h"
#include "device/Device.h"

namespace {

QString TempFile(const QString &name) {
  const QString dir = TestRoot() + "/eventlog";
  QDir().mkpath(dir);
  return dir + "/" + name;
}

TEST(EventLog, LineFormat) {
  const QString s = TDevice::LocaleTimeSeparator();
  ASSERT_FALSE(s.isEmpty());
  const QDateTime time(QDate(2026, 12, 9), QTime(6, 1, 7, 23));
  EXPECT_EQ(TDevice::FormatLogLine(time, "gain factors assignment", "16 x 64 = 1024"),
            "09" + s + "12" + s + "2026 06" + s + "01" + s + "07" + s +
                "023\tgain factors assignment\t16 x 64 = 1024");
}

TEST(EventLog, EventTitlesInLowerCaseErrorsAsTheyAre) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.WriteLog = true;
  device.LogEvent("DEVICE INITIALIZATION", QString());
  device.LogError(EAppError("Incorrect device answer."));
  device.LogEvent("RESULT", "Mixed Case");
  ASSERT_EQ(device.EventLog.size(), 3);
  const QRegularExpression stamp("^\\d\\d\\D+\\d\\d\\D+\\d{4} \\d\\d\\D+\\d\\d\\D+\\d\\d\\D+\\d{3}\t");
  for (const QString &line : device.EventLog) EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
  EXPECT_TRUE(device.EventLog[0].endsWith("\tdevice initialization\t"));
  EXPECT_TRUE(device.EventLog[1].endsWith("\tERROR\tIncorrect device answer."));
  EXPECT_TRUE(device.EventLog[2].endsWith("\tresult\tMixed Case"));
}

TEST(EventLog, NothingIsLoggedWhileLoggingIsOff) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.EventLog = {"kept line"};
  device.LogEvent("MEASUREMENT", QString());
  device.LogError(QString("error"));
  device.Close();
  EXPECT_EQ(device.EventLog, QStringList{"kept line"});
}

TEST(EventLog, TheLogKeepsTheLastTenThousandLinesAndCountsTheDropped) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.WriteLog = true;
  for (int i = 1; i <= 10000; ++i) device.LogEvent("E", QString::number(i));
  EXPECT_EQ(device.EventLog.size(), 10000);
  EXPECT_EQ(device.DroppedLines, 0);
  device.LogEvent("E", "10001");
  EXPECT_EQ(device.EventLog.size(), 10000);
  EXPECT_EQ(device.DroppedLines, 1);
  EXPECT_TRUE(device.EventLog.first().endsWith("\te\t2"));
  EXPECT_TRUE(device.EventLog.last().endsWith("\te\t10001"));
}

TEST(EventLog, AHandMadeLongLogLoadsWholeAndTrimsOnTheNextAppend) {
  QStringList lines;
  for (int i = 1; i <= 12000; ++i) lines << QString("line %1").arg(i);
  const QString file = TempFile("long.log");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines.join("\r\n").toUtf8() + "\r\n");
  }
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  ASSERT_TRUE(device.LoadEventLog(file));
  EXPECT_EQ(device.EventLog, lines);
  device.WriteLog = true;
  device.LogEvent("MEASUREMENT", QString());
  EXPECT_EQ(device.EventLog.size(), 10000);
  EXPECT_EQ(device.DroppedLines, 2001);
  EXPECT_EQ(device.EventLog.first(), "line 2002");
}

TEST(EventLog, SavedLinesLoadBackUnchangedAndAMissingFileKeepsTheLog) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.WriteLog = true;
  device.LogEvent("CARRIAGE SHIFT", "1200-50");
  device.LogEvent("MEASUREMENT", QString());  // ends in a TAB
  const QString file = TempFile("roundtrip.log");
  ASSERT_TRUE(device.SaveEventLog(file));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().endsWith("\tmeasurement\t\r\n"));

  TDevice other(&link, &link.Clock);
  ASSERT_TRUE(other.LoadEventLog(file));
  EXPECT_EQ(other.EventLog, device.EventLog);
  EXPECT_FALSE(other.LoadEventLog(TempFile("missing.log")));
  EXPECT_EQ(other.EventLog, device.EventLog);
}

TEST(EventLog, BinaryOrHugeFilesLoadWithoutHarm) {
  const QString binary = TempFile("binary.log");
  {
    QFile f(binary);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i) bytes += char((i * 131 + 7) % 256);
    f.write(bytes);
  }
  const QString huge = TempFile("huge.log");
  {
    QFile f(huge);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray line = "09:12:2026 16:21:47:123\tmeasurement\t\r\n";
    QByteArray bytes;
    bytes.reserve(line.size() * 1000000);
    for (int i = 0; i < 1000000; ++i) bytes += line;
    f.write(bytes);
  }
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  EXPECT_TRUE(device.LoadEventLog(binary));
  EXPECT_FALSE(device.EventLog.isEmpty());
  ASSERT_TRUE(device.LoadEventLog(huge));
  EXPECT_EQ(device.EventLog.size(), 1000000);
  device.WriteLog = true;
  device.LogEvent("RESULT", "1");
  EXPECT_EQ(device.EventLog.size(), 10000);
  EXPECT_EQ(device.DroppedLines, 990001);
}

}  // namespace

namespace {

// The log window's view of the log: a copy, then the lines added since, while
// the scan worker keeps appending and the log drops its oldest lines.
TEST(EventLogWindow, EveryLineIsShownExactlyOnceAcrossDropsAndClear) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.WriteLog = true;
  for (int i = 0; i < 9990; ++i) device.LogEvent("E", QString::number(i));
  QStringList shown = device.CopyEventLog();
  qint64 position = shown.size();
  int next = 9990;
  // Updates between small batches, and one gap longer than the whole log.
  for (int batch : {5, 20, 3000, 12000, 1, 7000}) {
    for (int i = 0; i < batch; ++i) device.LogEvent("E", QString::number(next++));
    shown += device.EventLogLinesAfter(position);
  }
  // Every line once, in order; the 12000-line gap lost what the log dropped
  // before the window could see it, and nothing else.
  QStringList numbers;
  for (const QString &line : shown) numbers << line.section(u'\t', 2);
  for (qsizetype i = 1; i < numbers.size(); ++i)
    ASSERT_LT(numbers[i - 1].toInt(), numbers[i].toInt()) << i;
  EXPECT_EQ(numbers.last(), QString::number(next - 1));
  EXPECT_EQ(numbers.size(), 9990 + 5 + 20 + 3000 + 10000 + 1 + 7000);

  device.ClearEventLog();
  EXPECT_TRUE(device.EventLog.isEmpty());
  EXPECT_EQ(device.DroppedLines, 0);
  device.LogEvent("MEASUREMENT", QString());
  position = 0;
  EXPECT_EQ(device.EventLogLinesAfter(position).size(), 1);
  EXPECT_EQ(position, 1);
}

}  // namespace
