// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TestEnvironment.h"
#include "app/AppError.h"
#include "app/Notifier.h"
#include "settings/SettingsStorage.h"

namespace {
QStringList Lines(const TSettingsStorage &s) {
  QStringList lines;
  s.WriteToLines(lines);
  return lines;
}

QString RaisedMessage(const std::function<void()> &f) {
  try {
    f();
  } catch (const EAppError &e) {
    return e.Message();
  }
  return "<nothing raised>";
}

class WarningRecorder : public TNotifier {
 public:
  void Warning(const QString &text) override { Texts << text; }
  QStringList Texts;
};

QByteArray ReadBytes(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}
}  // namespace

TEST(SettingsStorage, NamesMatchIgnoringCaseAndExtraSpacesButKeepTheirFirstSpelling) {
  TSettingsStorage s;
  s.ReadFromLines({"[general]", "zero=5", "[Forms   TfmMain]", "Left=1"});
  EXPECT_EQ(s.ReadInt({"General"}, "Zero", 30000), 5);
  EXPECT_EQ(s.ReadInt({"Forms", "TfmMain"}, "left", 0), 1);
  EXPECT_EQ(s.ReadInt({" FORMS ", "tfmmain"}, "  LEFT", 0), 1);

  s.AddParam({"General"}, "Zero", 100);
  s.AddParam({"General"}, "period_filter", 4);
  EXPECT_EQ(Lines(s), (QStringList{"[general]", "zero=100", "period_filter=4", "[Forms]",
                                   "[Forms  TfmMain]", "Left=1"}));
}

TEST(SettingsStorage, AFileOfARunRoundTripsLineForLineAlsoAfterTypedRewrites) {
  const QStringList file{
      "[General]",        "Carriage=30000",   "Zero=30000",       "period_delayLine=4",
      "period_filter=4",  "filterTable=1;0;", "mruProjects=",     "writeLogFile=False",
      "signalShift=7",    "[Settings]",       "Language=English", "[Forms]",
      "[Forms  TfmMain]", "Left=128",         "Top=96",           "Width=1024",
      "Height=768",       "State=2",          "ScreenWidth=1280", "ScreenHeight=1024"};
  QStringList expected = file;
  expected.removeAll("mruProjects=");  // an empty value is skipped on reading
  TSettingsStorage s;
  s.ReadFromLines(file);
  EXPECT_EQ(Lines(s), expected);

  // The program writes the same values typed: every line stays in its place.
  s.AddParam({"General"}, "Carriage", 30000);
  s.AddParam({"General"}, "writeLogFile", false);
  s.AddParam({"Forms", "TfmMain"}, "State", 2);
  s.AddParam({"Forms", "TfmMain"}, "ScreenWidth", qint64(1280));
  EXPECT_EQ(Lines(s), expected);
  EXPECT_FALSE(s.ReadBool({"General"}, "writeLogFile", true));
  EXPECT_EQ(s.ReadText({"General"}, "mruProjects", "none"), "none");
}

TEST(SettingsStorage, NormalizeNameCollapsesSpaceRunsAndTrimsOneSpaceEachEnd) {
  const struct {
    const char *in, *out;
  } cases[] = {{"a  b", "a b"}, {"  a   ", "a"},  {" ", ""},
               {"   ", ""},     {"a\tb", "a\tb"}, {"\ta", "\ta"}};
  for (const auto &c : cases) EXPECT_EQ(TSettingsStorage::NormalizeName(c.in), c.out) << c.in;
}

TEST(SettingsStorage, MalformedLinesAreSkippedWithoutChangingTheTree) {
  TSettingsStorage s;
  s.ReadFromLines({"before=1", "[]", "[General]junk", "Zero=", "=5", " =6", "a=b=c", "[]",
                   "after=2", "noequals"});
  EXPECT_EQ(Lines(s), (QStringList{"[General]", "a=b=c", "after=2"}));
}

TEST(SettingsStorage, KeyPathErrorsAreRaisedWithTheirExactTexts) {
  TSettingsStorage s;
  EXPECT_EQ(RaisedMessage([&] { s.AddParam({}, "a", 1); }),
            "Key is not defined (TSettingsStorage.AddParam).");
  EXPECT_EQ(RaisedMessage([&] { s.ReadParam({}, "a", 1); }),
            "Key is not defined (TSettingsStorage.ReadParam).");
  EXPECT_EQ(RaisedMessage([&] {
              s.AddParam({"Forms", "  "}, "a", 1);
            }),
            "Key \"[Forms,   ]\" has empty string (TSettingsStorage.AddParam).");
  EXPECT_EQ(RaisedMessage([&] {
              s.ReadParam({"Forms", ""}, "a", 1);
            }),
            "Key \"[Forms, ]\" has empty string (TSettingsStorage.ReadParam).");
  EXPECT_TRUE(s.Keys.isEmpty());

  // A header with an empty component ends the reading; earlier lines stay.
  EXPECT_EQ(RaisedMessage([&] {
              s.ReadFromLines({"[A]", "x=1", "[ ]", "y=2"});
            }),
            "Key \"[ ]\" has empty string (TSettingsStorage.AddParam).");
  EXPECT_EQ(Lines(s), (QStringList{"[A]", "x=1"}));
}

TEST(SettingsStorage, ReadingNeverStoresAndAnEmptyNameStoresNothing) {
  TSettingsStorage s;
  EXPECT_EQ(s.ReadParam({"General"}, "Zero", 30000).toInt(), 30000);
  s.AddParam({"New", "Child"}, "", 5);
  EXPECT_TRUE(Lines(s).isEmpty());
}

TEST(SettingsStorage, ValuesAreWrittenInTheirTypedForms) {
  TSettingsStorage s;
  s.AddParam({"General"}, "i", -42);
  s.AddParam({"General"}, "b", true);
  s.AddParam({"General"}, "f", 0.5);
  s.AddParam({"General"}, "small", 1e-5);
  s.AddParam({"General"}, "big", 123456789.0);
  s.AddParam({"General"}, "t", QString("1;0;"));
  const QLocale previous;
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(Lines(s), (QStringList{"[General]", "i=-42", "b=True", "f=0.5", "small=1E-5",
                                   "big=123456789", "t=1;0;"}));
  QLocale::setDefault(previous);
}

TEST(SettingsStorage, TypedReadersConvertStoredTextAndFallBackWhenItDoesNot) {
  TSettingsStorage s;
  s.ReadFromLines({"[G]", "int=12", "bad=12a", "yes=TRUE", "no=false", "numtrue=2", "zero=0",
                   "float=2.5", "huge=99999999999"});
  EXPECT_EQ(s.ReadInt({"G"}, "int", 1), 12);
  EXPECT_EQ(s.ReadInt({"G"}, "bad", 7), 7);
  EXPECT_EQ(s.ReadInt({"G"}, "huge", 7), 7);
  EXPECT_EQ(s.ReadInt64({"G"}, "huge", 7), 99999999999LL);
  EXPECT_TRUE(s.ReadBool({"G"}, "yes", false));
  EXPECT_FALSE(s.ReadBool({"G"}, "no", true));
  EXPECT_TRUE(s.ReadBool({"G"}, "numtrue", false));
  EXPECT_FALSE(s.ReadBool({"G"}, "zero", true));
  EXPECT_TRUE(s.ReadBool({"G"}, "bad", true));
  EXPECT_DOUBLE_EQ(s.ReadFloat({"G"}, "float", 0), 2.5);
  EXPECT_DOUBLE_EQ(s.ReadFloat({"G"}, "bad", 1.25), 1.25);
  EXPECT_EQ(s.ReadText({"G"}, "int", ""), "12");
  EXPECT_EQ(s.ReadText({"G"}, "missing", "dflt"), "dflt");
}

TEST(SettingsStorage, FloatsReadInTheWritingLocaleOrThePointFormButNeverWithGroupSeparators) {
  TSettingsStorage s;
  s.ReadFromLines({"[G]", "point=1.000", "comma=2,5", "grouped=1,000", "exp=1E-5"});
  const QLocale previous;
  const struct {
    QLocale locale;
    const char *name;
    double expected;
  } cases[] = {
      // Written with a decimal point, read under a comma locale: not 1000.
      {QLocale(QLocale::German), "point", 1.0},
      {QLocale(QLocale::German), "comma", 2.5},
      {QLocale(QLocale::German), "exp", 1e-5},
      {QLocale::c(), "point", 1.0},
      {QLocale::c(), "exp", 1e-5},
      // A comma is no decimal separator here and never a group separator.
      {QLocale::c(), "comma", -7},
      {QLocale::c(), "grouped", -7},
      {QLocale(QLocale::English, QLocale::UnitedStates), "grouped", -7},
  };
  for (const auto &c : cases) {
    QLocale::setDefault(c.locale);
    EXPECT_DOUBLE_EQ(s.ReadFloat({"G"}, c.name, -7), c.expected)
        << c.locale.name().toStdString() << " " << c.name;
  }
  QLocale::setDefault(previous);
}

TEST(SettingsStorage, FloatsAreWrittenInAsciiWithTheLocalesSeparatorAndReadBackExactly) {
  const QLocale previous;
  const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German), QLocale(QLocale::Swedish),
                             QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Persian)};
  const double values[] = {-1.5, 1e-7, 1234567.25, -100, 0.1};
  for (const QLocale &locale : locales) {
    QLocale::setDefault(locale);
    TSettingsStorage s;
    for (double v : values) s.AddParam({"G"}, QString::number(v), v);
    QStringList lines;
    s.WriteToLines(lines);
    TSettingsStorage back;
    back.ReadFromLines(lines);
    for (double v : values) {
      const QString text = back.ReadText({"G"}, QString::number(v), "");
      const QString rest = QString(text).remove(locale.decimalPoint());
      for (QChar c : rest)
        EXPECT_TRUE((c >= u'0' && c <= u'9') || c == u'-' || c == u'E')
            << locale.name().toStdString() << " " << text.toStdString();
      EXPECT_EQ(back.ReadFloat({"G"}, QString::number(v), 0), v)
          << locale.name().toStdString() << " " << text.toStdString();
    }
  }
  QLocale::setDefault(QLocale(QLocale::Swedish));
  TSettingsStorage s;
  s.AddParam({"G"}, "a", -1.5);
  s.AddParam({"G"}, "b", 1e-7);
  EXPECT_EQ(Lines(s), (QStringList{"[G]", "a=-1,5", "b=1E-7"}));
  QLocale::setDefault(previous);
}

TEST(SettingsStorage, SaveAndLoadRoundTripInUtf8WithCrLfAndLoadMerges) {
  const QString path = TestRoot() + "/roundtrip.ini";
  TSettingsStorage s;
  s.FileName = path;
  s.AddParam({"Settings"}, "Language", QString::fromUtf8("Русский"));
  s.AddParam({"General"}, "Zero", 30000);
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(
      ReadBytes(path),
      QString::fromUtf8("[Settings]\r\nLanguage=Русский\r\n[General]\r\nZero=30000\r\n").toUtf8());

  TSettingsStorage t;
  t.AddParam({"General"}, "Zero", 1);
  t.AddParam({"General"}, "Kept", 2);
  t.Load(path);
  EXPECT_EQ(t.ReadInt({"General"}, "Zero", 0), 30000);
  EXPECT_EQ(t.ReadInt({"General"}, "Kept", 0), 2);
  EXPECT_EQ(t.ReadText({"Settings"}, "Language", ""), QString::fromUtf8("Русский"));
}

TEST(SettingsStorage, AFileThatIsNotUtf8IsReadAsWindows1251) {
  const QString path = TestRoot() + "/old.ini";
  // "Русский" in Windows-1251, lines ended by lone CR and lone LF.
  WriteBytes(path, QByteArray("[Settings]\rLanguage=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\n"));
  TSettingsStorage s;
  s.Load(path);
  EXPECT_EQ(s.ReadText({"Settings"}, "Language", ""), QString::fromUtf8("Русский"));
}

TEST(SettingsStorage, LoadingAMissingFileRaises) {
  TSettingsStorage s;
  EXPECT_THROW(s.Load(TestRoot() + "/does-not-exist.ini"), EAppError);
}

TEST(SettingsStorage, AFailedSaveWarnsAndReportsFailure) {
  const QString blocker = TestRoot() + "/not-a-folder";
  WriteBytes(blocker, "x");
  WarningRecorder recorder;
  TNotifier *previous = SetNotifier(&recorder);
  TSettingsStorage s;
  s.AddParam({"General"}, "Zero", 2);
  EXPECT_FALSE(s.Save(blocker + "/veltravor.ini"));
  SetNotifier(previous);
  ASSERT_EQ(recorder.Texts.size(), 1);
  EXPECT_TRUE(recorder.Texts[0].contains("veltravor.ini")) << recorder.Texts[0].toStdString();
}

// Needs a user whose file modes are enforced (CI may run as root).
TEST(SettingsStorage, AFailedSaveKeepsTheOldFileAndWarns) {
  const QString dir = TestRoot() + "/readonly";
  QDir().mkpath(dir);
  const QString path = dir + "/veltravor.ini";
  WriteBytes(path, "[General]\r\nZero=1\r\n");
  QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  if (QFileInfo(dir).isWritable()) GTEST_SKIP() << "running with permissions that ignore modes";

  WarningRecorder recorder;
  TNotifier *previous = SetNotifier(&recorder);
  TSettingsStorage s;
  s.AddParam({"General"}, "Zero", 2);
  EXPECT_FALSE(s.Save(path));
  SetNotifier(previous);
  QFile::setPermissions(dir,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  EXPECT_EQ(recorder.Texts.size(), 1);
  EXPECT_EQ(ReadBytes(path), QByteArray("[General]\r\nZero=1\r\n"));
}

TEST(SettingsStorage, GarbageAndHugeLinesLoadWhatTheyCan) {
  QByteArray garbage;
  for (int i = 0; i < 1 << 16; ++i) garbage += char((i * 131 + 7) & 0xFF);
  const QByteArray huge(1 << 20, 'x');
  const QString path = TestRoot() + "/garbage.ini";
  WriteBytes(path, garbage + "\r\n[General]\r\nZero=123\r\nlong=" + huge + "\r\n" + huge + "\r\n[" +
                       huge + "]\r\nafter=1\r\n");
  TSettingsStorage s;
  try {
    s.Load(path);
  } catch (const EAppError &) {
    // A garbage header with an empty component may end the reading; what was
    // read before it stays.
  }
  EXPECT_EQ(s.ReadInt({"General"}, "Zero", 0), 123);
  EXPECT_EQ(s.ReadText({"General"}, "long", "").size(), huge.size());
  EXPECT_EQ(s.ReadInt({QString(huge)}, "after", 0), 1);
}

TEST(SettingsStorage, ALineBreakInAValueCannotInjectOtherSettings) {
  TSettingsStorage s;
  s.AddParam({"General"}, "mruProjects", QString("/data/a\n[General]\r\nZero=1\r.vtp*"));
  s.AddParam({"General"}, "Zero", 30000);
  QStringList lines;
  s.WriteToLines(lines);
  TSettingsStorage t;
  t.ReadFromLines(lines);
  EXPECT_EQ(t.ReadInt({"General"}, "Zero", 0), 30000);
  EXPECT_EQ(t.ReadText({"General"}, "mruProjects", ""), "/data/a [General]  Zero=1 .vtp*");
}

TEST(SettingsStorage, AFileReadOnlyInPartIsKeptBesideItBeforeASaveRewritesIt) {
  const QString dir = TestRoot() + "/kept";
  QDir().mkpath(dir);
  const QString path = dir + "/veltravor.ini";
  // Hand-edited: a header whose second component is empty ends the reading.
  const QByteArray original =
      "[General]\r\nZero=5\r\n[Forms    X]\r\nLeft=1\r\n[Settings]\r\nLanguage=Deutsch\r\n";
  WriteBytes(path, original);
  WarningRecorder recorder;
  TNotifier *previous = SetNotifier(&recorder);

  TSettingsStorage s;
  s.FileName = path;
  EXPECT_EQ(RaisedMessage([&] { s.LoadOwnFile(); }),
            "Key \"[Forms, , X]\" has empty string (TSettingsStorage.AddParam).");
  EXPECT_EQ(s.ReadInt({"General"}, "Zero", 0), 5);  // what came before stays
  const QString copy = path + ".unreadable";
  EXPECT_EQ(s.KeptCopy(), copy);
  ASSERT_EQ(recorder.Texts.size(), 1);
  EXPECT_TRUE(recorder.Texts[0].contains(copy)) << recorder.Texts[0].toStdString();
  // The save writes what was read; the operator's lines survive in the copy.
  s.AddParam({"General"}, "Carriage", 7);
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadBytes(path), "[General]\r\nZero=5\r\nCarriage=7\r\n");
  EXPECT_EQ(ReadBytes(copy), original);

  // The next bad file never replaces a copy kept before.
  WriteBytes(path, "[ ]\r\nx=1\r\n");
  TSettingsStorage t;
  t.FileName = path;
  EXPECT_THROW(t.LoadOwnFile(), EAppError);
  EXPECT_EQ(t.KeptCopy(), path + ".unreadable-2");
  EXPECT_EQ(ReadBytes(path + ".unreadable-2"), "[ ]\r\nx=1\r\n");
  EXPECT_EQ(ReadBytes(copy), original);

  // A file read whole and a missing file keep no copy and say nothing more.
  recorder.Texts.clear();
  WriteBytes(path, "[General]\r\nZero=5\r\n");
  TSettingsStorage u;
  u.FileName = path;
  u.LoadOwnFile();
  EXPECT_TRUE(u.KeptCopy().isEmpty());
  u.FileName = dir + "/missing.ini";
  EXPECT_THROW(u.LoadOwnFile(), EAppError);
  EXPECT_TRUE(recorder.Texts.isEmpty());
  EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 3);
  SetNotifier(previous);
}
