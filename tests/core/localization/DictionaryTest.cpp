// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <utility>
#include <vector>

#include "app/AppError.h"
#include "localization/Dictionary.h"
#include "localization/TextTable.h"

namespace {
QByteArray ReadBytes(const QString &fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteBytes(const QString &fileName, const QByteArray &bytes) {
  QFile file(fileName);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << fileName.toStdString();
  file.write(bytes);
}

std::vector<std::pair<QString, QString>> Entries(const TDictionary &d) {
  std::vector<std::pair<QString, QString>> result;
  for (qsizetype i = 0; i < d.Count(); ++i) result.emplace_back(d.Key(i), d.Value(i).Value);
  return result;
}

class TVectorTable : public TTextTable {
 public:
  std::vector<std::pair<QString, QString>> Rows;
  int Brackets = 0;  // open BeginBulkUpdate calls
  bool AppendedOutsideBulk = false;

  int RowCount() const override { return static_cast<int>(Rows.size()); }
  QString Key(int row) const override { return Rows[row].first; }
  QString Value(int row) const override { return Rows[row].second; }
  void AppendRow(const QString &key, const QString &value) override {
    if (Brackets == 0) AppendedOutsideBulk = true;
    Rows.emplace_back(key, value);
  }
  void BeginBulkUpdate() override { ++Brackets; }
  void EndBulkUpdate() override { --Brackets; }
};

class DictionaryFiles : public ::testing::Test {
 protected:
  QTemporaryDir Dir;
  QString File(const QString &name) const { return Dir.filePath(name); }
};
}  // namespace

TEST(DictionaryLookup, BlankSignsAndIntegerLiteralsPassUnchangedAndAreNotRecorded) {
  const char *const unchanged[] = {
      "",      "   ",       "\t\r\n",  "-",    "+",   ".",           ",",          " - ",
      "42",    " 42 ",      "\t-12\r", "+0",   "007", "-2147483648", "2147483647", "$7FFFFFFF",
      " $ff ", "$FFFFFFFF", "0x1F",    "0X1f", "x10", "X10",         "-$10",
  };
  TDictionary d;
  for (const char *text : unchanged) {
    EXPECT_EQ(d.Lookup(text, true, true), text) << '"' << text << '"';
    EXPECT_EQ(d.Lookup(text, false, true), text) << '"' << text << '"';
  }
  EXPECT_EQ(d.Count(), 0);
  EXPECT_FALSE(d.Modified());

  // Out of range, incomplete or followed by a unit: looked up like any text.
  const char *const recorded[] = {
      "2147483648", "-2147483649", "$100000000", "12 mm", "0x", "$",  "1.5",
      "--5",        "1e3",         "+-1",        "$G1",   "--", "..",
  };
  for (const char *text : recorded) EXPECT_EQ(d.Lookup(text, true, true), text);
  EXPECT_EQ(d.Count(), static_cast<qsizetype>(std::size(recorded)));
  for (const char *text : recorded) EXPECT_GE(d.IndexOf(text), 0) << text;
  EXPECT_TRUE(d.Modified());
}

TEST_F(DictionaryFiles, ForwardLookupMatchesLetterCaseButNotBlanks) {
  WriteBytes(File("de.lng"),
             "Open file<=>Datei \xc3\xb6"
             "ffnen\r\nClose<=>   \r\n");
  TDictionary d("  German ");
  EXPECT_EQ(d.Name(), "German");
  d.LoadFromFile(File("de.lng"));
  ASSERT_EQ(d.Count(), 2);

  EXPECT_EQ(d.Lookup("open FILE", true, true), QString::fromUtf8("Datei \xc3\xb6"
                                                                 "ffnen"));
  // A blank translation gives the English text, not the blank.
  EXPECT_EQ(d.Lookup("Close", true, true), "Close");
  EXPECT_EQ(d.Count(), 2);

  // An extra leading blank makes another text; recorded only when asked.
  EXPECT_EQ(d.Lookup(" Open file", true, false), " Open file");
  EXPECT_EQ(d.Count(), 2);
  EXPECT_EQ(d.Lookup(" Open file", true, true), " Open file");
  EXPECT_EQ(d.Count(), 3);
  EXPECT_EQ(d.IndexOf(" open file"), 0);  // stored with its blank, sorted first
  EXPECT_EQ(d.Value(0).Value, "");
}

TEST_F(DictionaryFiles, ReverseLookupGivesTheFirstKeyInCaseInsensitiveOrder) {
  // File order and case-sensitive order would both pick "Beta".
  WriteBytes(File("x.lng"), "Beta<=>X\r\nalpha<=>X\r\ngamma<=>x\r\n");
  TDictionary d("x");
  d.LoadFromFile(File("x.lng"));
  EXPECT_EQ(d.Lookup("X", false, false), "alpha");
  EXPECT_EQ(d.Lookup("x", false, false), "gamma");  // values compare exactly
  EXPECT_EQ(d.Lookup("X ", false, true), "X ");     // no match: the text itself
  EXPECT_EQ(d.Count(), 3);                          // reverse never records
}

TEST(DictionaryEncoding, EncodeAndDecodeTable) {
  const struct {
    const char *text, *encoded;
  } cases[] = {
      {"plain", "plain"},
      {"a\\b", "a\\ b"},
      {"C:\\new", "C:\\ new"},  // a backslash followed by n stays a backslash and an n
      {"one\r\ntwo", "one\\r\\ntwo"},
      {"end\\", "end\\ "},
      {"\\\r", "\\ \\r"},
      {"\\\\n", "\\ \\ n"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(TDictionary::EncodeText(c.text), c.encoded) << c.text;
    EXPECT_EQ(TDictionary::DecodeText(c.encoded), c.text) << c.encoded;
  }
  // Hand-edited files: capital R and N decode as well.
  EXPECT_EQ(TDictionary::DecodeText("a\\Rb\\Nc"), "a\rb\nc");
  EXPECT_EQ(TDictionary::ExtractKey("k<=>v<=>w"), "k");
  EXPECT_EQ(TDictionary::ExtractKey("no separator"), "");
}

TEST_F(DictionaryFiles, EncodedTextsSurviveAFileRoundTrip) {
  const std::vector<std::pair<QString, QString>> pairs = {
      {"Path C:\\new\\table", "Pfad C:\\neu\\tabelle"},
      {"Two\r\nlines", "Zwei\r\nZeilen\n"},
      {"Ends in \\", "\\"},
      {"Bare CR\rand LF\n", ""},
      {"Value with separator", "a<=>b"},
      {"  padded  ", "  gepolstert  "},
  };
  TVectorTable table;
  for (const auto &p : pairs) table.Rows.push_back(p);
  TDictionary withValues("de");
  withValues.LoadFromTable(table);
  withValues.SaveToFile(File("de.lng"));
  EXPECT_FALSE(withValues.Modified());

  // One line per entry: nothing of a text may break a line.
  const QByteArray bytes = ReadBytes(File("de.lng"));
  EXPECT_EQ(bytes.count("\r\n"), static_cast<qsizetype>(pairs.size()));
  EXPECT_TRUE(bytes.endsWith("\r\n"));

  TDictionary back("de");
  back.LoadFromFile(File("de.lng"));
  EXPECT_EQ(Entries(back), Entries(withValues));
  for (const auto &[key, value] : pairs) {
    const qsizetype i = back.IndexOf(key);
    ASSERT_GE(i, 0) << key.toStdString();
    EXPECT_EQ(back.Key(i), key);
    EXPECT_EQ(back.Value(i).Value, value);
  }
}

TEST_F(DictionaryFiles, LinesAreSplitAtTheFirstSeparatorAndBadLinesSkipped) {
  WriteBytes(File("a.lng"),
             "k<=>v<=>w\r\n"
             "no separator here\r\n"
             "   <=>blank key\r\n"
             "<=>empty key\r\n"
             " spaced key <=> spaced value \n"
             "untranslated<=>\r"
             "last line without end<=>x");
  TDictionary d("a");
  d.LoadFromFile(File("a.lng"));
  const std::vector<std::pair<QString, QString>> expected = {
      {" spaced key ", " spaced value "},
      {"k", "v<=>w"},
      {"last line without end", "x"},
      {"untranslated", ""},
  };
  EXPECT_EQ(Entries(d), expected);
}

TEST_F(DictionaryFiles, DuplicateKeysKeepTheFirstTranslationOrFillABlankOne) {
  WriteBytes(File("d.lng"),
             "Open<=>\r\nOPEN<=>Oeffnen\r\n"           // blank first: the later fills it
             "Save<=>Speichern\r\nsave<=>Sichern\r\n"  // translated first: it stays
             "Quit<=>  \r\nquit<=>\r\n");
  TDictionary d("d");
  d.LoadFromFile(File("d.lng"));
  const std::vector<std::pair<QString, QString>> expected = {
      {"Open", "Oeffnen"}, {"Quit", ""}, {"Save", "Speichern"}};
  EXPECT_EQ(Entries(d), expected);
}

TEST_F(DictionaryFiles, MergingFilesInAnyOrderMatchesEntryByEntryInsertion) {
  // Reference: the merge rule applied line by line to an unsorted list.
  auto *random = QRandomGenerator::global();
  const QString letters = "aAbBc";
  std::vector<std::pair<QString, QString>> reference;
  TDictionary d("r");
  for (int file = 0; file < 4; ++file) {
    QByteArray bytes;
    for (int line = 0; line < 300; ++line) {
      QString key;
      const int length = 1 + random->bounded(3);
      for (int i = 0; i < length; ++i) key += letters[random->bounded(letters.size())];
      const QString value = random->bounded(3) == 0 ? QString() : QString::number(line);
      bytes += (key + "<=>" + value + "\r\n").toUtf8();
      auto present = std::find_if(reference.begin(), reference.end(), [&](const auto &e) {
        return e.first.compare(key, Qt::CaseInsensitive) == 0;
      });
      if (present == reference.end())
        reference.emplace_back(key, value);
      else if (present->second.trimmed().isEmpty())
        present->second = value;
    }
    WriteBytes(File("r.lng"), bytes);
    d.LoadFromFile(File("r.lng"));
  }
  std::sort(reference.begin(), reference.end(), [](const auto &a, const auto &b) {
    return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
  });
  EXPECT_EQ(Entries(d), reference);
  for (const auto &[key, value] : reference)
    EXPECT_EQ(d.Lookup(key.toUpper(), true, false), value.isEmpty() ? key.toUpper() : value);
}

TEST_F(DictionaryFiles, SaveWritesSortedUtf8LinesWithCrLfAndClearsModified) {
  TDictionary d("s");
  for (const char *text : {"beta", "Alpha", "\xc3\x84rger", "gamma"})
    d.Lookup(QString::fromUtf8(text), true, true);
  ASSERT_TRUE(d.Modified());
  d.SaveToFile(File("s.lng"));
  EXPECT_FALSE(d.Modified());
  EXPECT_EQ(ReadBytes(File("s.lng")),
            QByteArray("Alpha<=>\r\nbeta<=>\r\ngamma<=>\r\n\xc3\x84rger<=>\r\n"));
}

TEST_F(DictionaryFiles, AKeyHoldingTheSeparatorIsNotWrittenAsABogusTranslation) {
  TDictionary d("c");
  d.Lookup("a <=> b", true, true);
  d.Lookup("plain", true, true);
  d.SaveToFile(File("c.lng"));
  TDictionary back("c");
  back.LoadFromFile(File("c.lng"));
  const std::vector<std::pair<QString, QString>> expected = {{"plain", ""}};
  EXPECT_EQ(Entries(back), expected);
}

TEST_F(DictionaryFiles, AFailedSaveRaisesKeepsTheOldFileAndStaysModified) {
  WriteBytes(File("blocker"), "a file, not a folder");
  TDictionary d("f");
  d.Lookup("text", true, true);
  EXPECT_THROW(d.SaveToFile(File("blocker/f.lng")), EAppError);
  EXPECT_TRUE(d.Modified());

  // An existing file in a folder that cannot take a new file stays as it was.
  QDir().mkpath(File("ro"));
  WriteBytes(File("ro/f.lng"), "old<=>alt\r\n");
  QFile::setPermissions(File("ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const bool writable = QFile(File("ro/probe")).open(QIODevice::WriteOnly);  // root ignores modes
  if (!writable) {
    try {
      d.SaveToFile(File("ro/f.lng"));
      ADD_FAILURE() << "save into a read-only folder reported success";
    } catch (const EAppError &e) {
      EXPECT_TRUE(e.Message().contains("f.lng")) << e.Message().toStdString();
    }
    EXPECT_EQ(ReadBytes(File("ro/f.lng")), QByteArray("old<=>alt\r\n"));
  }
  QFile::setPermissions(File("ro"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(DictionaryFiles, ModifiedFollowsInsertsReplacementsAndClear) {
  TDictionary d("m");
  EXPECT_FALSE(d.Modified());
  d.Clear();
  EXPECT_FALSE(d.Modified());  // nothing dropped

  WriteBytes(File("m.lng"), "k<=>v\r\n");
  d.LoadFromFile(File("m.lng"));
  EXPECT_TRUE(d.Modified());
  d.SaveToFile(File("out.lng"));
  d.LoadFromFile(File("m.lng"));  // same key, translated: nothing changes
  EXPECT_FALSE(d.Modified());
  d.LoadFromFile(File("missing.lng"));
  EXPECT_FALSE(d.Modified());
  EXPECT_EQ(d.Lookup("k", true, true), "v");
  EXPECT_FALSE(d.Modified());

  d.Clear();
  EXPECT_TRUE(d.Modified());
  EXPECT_EQ(d.Count(), 0);
  EXPECT_EQ(d.Lookup("k", true, false), "k");
}

TEST(DictionaryTable, LoadMergesNonBlankTranslationsAndSaveAppendsInKeyOrder) {
  TDictionary d("t");
  d.Lookup("Open", true, true);
  d.Lookup("Close", true, true);
  TVectorTable first;
  first.Rows = {{"Save", "Speichern"}, {"CLOSE", "Schliessen"}, {"open", ""}, {"  ", "blank"}};
  d.LoadFromTable(first);
  EXPECT_EQ(first.Brackets, 0);
  TVectorTable second;
  second.Rows = {{"Save", "Sichern"}, {"Open", "Oeffnen"}};
  d.LoadFromTable(second);

  TVectorTable out;
  d.SaveToTable(out);
  EXPECT_EQ(out.Brackets, 0);
  EXPECT_FALSE(out.AppendedOutsideBulk);
  const std::vector<std::pair<QString, QString>> expected = {
      {"Close", "Schliessen"}, {"Open", "Oeffnen"}, {"Save", "Speichern"}};
  EXPECT_EQ(out.Rows, expected);

  // Loading from a table leaves Modified to its caller.
  TDictionary fresh("t");
  fresh.LoadFromTable(out);
  EXPECT_FALSE(fresh.Modified());
  EXPECT_EQ(Entries(fresh), expected);
}

TEST_F(DictionaryFiles, GarbageAndHugeLinesLoadWhatTheyCan) {
  QByteArray bytes;
  for (int i = 0; i < 4096; ++i)
    bytes += static_cast<char>(QRandomGenerator::global()->bounded(256));
  bytes += "\r\nGood<=>Gut\r\n";
  bytes += QByteArray(1 << 20, 'x') + "<=>" + QByteArray(1 << 20, 'y') + "\r\n";
  bytes += QByteArray(3, '\0') + "<=>nul\r\n";
  WriteBytes(File("g.lng"), bytes);
  TDictionary d("g");
  d.LoadFromFile(File("g.lng"));
  EXPECT_EQ(d.Lookup("good", true, false), "Gut");
  const qsizetype huge = d.IndexOf(QString(1 << 20, u'x'));
  ASSERT_GE(huge, 0);
  EXPECT_EQ(d.Value(huge).Value.size(), 1 << 20);
  d.LoadFromFile(Dir.path());  // a folder is no file
  d.SaveToFile(File("g2.lng"));
}
