// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "MeasurementTestSupport.h"
#include "app/AppError.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"

namespace {
// Zero position 20000, interval -100..100 by 1, empty table and note, one
// pixel at 20000: signal 512, transmission 0.5, gains 1 and 4.
const QByteArray Example = QByteArray::fromHex(
    "03204e"
    "029c"
    "0201"
    "0264"
    "0200"
    "0c00000000"
    "0201"
    "03204e"
    "030002"
    "0f0000003f"
    "0201"
    "0204");

void FillExample(TProjectData &d) {
  d.ZeroPosition = 20000;
  d.Left = -100;
  d.Right = 100;
  d.Step = 1;
  SetPixel(d, 20000, 512, 0.5f, 1, 4);
}

// The example, with every integer in the 4-byte form.
QByteArray ExampleWideIntegers() {
  TStreamBuilder b;
  b.Int32(20000).Int32(-100).Int32(1).Int32(100).Int32(0).LString("").Int32(1);
  b.Int32(20000).Int32(512).Single(0.5f).Int32(1).Int32(4);
  return b.Bytes;
}

QString LoadError(const QByteArray &bytes, TProjectData &d, int zero = 20000) {
  QTemporaryDir dir;
  try {
    LoadProject(d, WriteTempFile(dir, "p.vtp", bytes), zero);
  } catch (const EAppError &e) {
    return e.Message();
  }
  return QString();
}

void ExpectExampleLoaded(const TProjectData &d) {
  EXPECT_EQ(d.ZeroPosition, 20000);
  EXPECT_EQ(d.Left, -100);
  EXPECT_EQ(d.Step, 1);
  EXPECT_EQ(d.Right, 100);
  EXPECT_EQ(d.PixelCount, 1);
  EXPECT_EQ(d.PeakIndex, 20000);
  EXPECT_FLOAT_EQ(d.MaxValue, 256);
  const TPixel &p = d.Pixels[20000];
  EXPECT_EQ(p.Signal, 512);
  EXPECT_EQ(p.Transmission, 0.5f);
  EXPECT_EQ(p.AmpF, 1);
  EXPECT_EQ(p.AmpI, 4);
}
}  // namespace

TEST(ProjectFile, WritesTheExampleByteForByteAndReadsItBack) {
  TProjectData d;
  FillExample(d);
  d.Modified = true;
  QTemporaryDir dir;
  const QString path = dir.filePath("Scan 7.vtp");
  SaveProject(d, path);
  EXPECT_EQ(ReadFileBytes(path).toHex(' '), Example.toHex(' '));
  EXPECT_EQ(d.ProjectName, "Scan 7");
  EXPECT_EQ(d.ProjectFileName, path);
  EXPECT_FALSE(d.Modified);

  for (const QByteArray &bytes : {Example, ExampleWideIntegers()}) {
    TProjectData loaded;
    loaded.Modified = true;
    EXPECT_EQ(LoadError(bytes, loaded), "");
    ExpectExampleLoaded(loaded);
    EXPECT_EQ(loaded.ProjectName, "p");
    EXPECT_FALSE(loaded.Modified);
  }
}

TEST(ProjectFile, IntegersTakeTheirShortestForm) {
  const struct {
    qint32 value;
    const char *hex;
  } cases[] = {{0, "0200"},          {127, "027f"},         {-128, "0280"},
               {128, "038000"},      {-129, "037fff"},      {32767, "03ff7f"},
               {-32768, "030080"},   {32768, "0400800000"}, {-32769, "04ff7fffff"},
               {70000, "0470110100"}};
  for (const auto &c : cases) {
    QByteArray out;
    TValueWriter(out).WriteInteger(c.value);
    EXPECT_EQ(out.toHex(), QByteArray(c.hex)) << c.value;
    TValueReader r(out.constData(), out.size());
    EXPECT_EQ(r.ReadInteger(), c.value);
  }
}

TEST(ProjectFile, ReadsEveryTextAndNumberForm) {
  const QString note = QString::fromUtf8("Linie 1\r\nстрока 2");
  const QByteArray cp1251 = QByteArray::fromHex("f1f2f0eeeae0");  // "строка"
  const struct {
    QByteArray (*text)(const QString &);
    QString expected;
  } texts[] = {
      {[](const QString &s) { return TStreamBuilder().LString(s.toUtf8()).Bytes; }, note},
      {[](const QString &s) { return TStreamBuilder().Utf8(s).Bytes; }, note},
      {[](const QString &s) { return TStreamBuilder().WString(s).Bytes; }, note},
      {[](const QString &s) { return TStreamBuilder().String(s.toUtf8()).Bytes; }, note},
  };
  for (const auto &t : texts) {
    TStreamBuilder b;
    b.Int8(0).Int8(-100).Int8(1).Int8(100).Int8(0).Raw(t.text(note).constData(),
                                                       t.text(note).size());
    b.Int8(3);
    b.Int8(10).Int8(100).Int8(1).Int8(1).Int8(1);            // single as int8
    b.Int8(11).Int16(600).Int64(1).Int8(1).Int8(1);          // single as int64
    b.Int8(12).Int32(1000).Single(0.25f).Int8(16).Int8(64);  // single proper
    TProjectData d;
    EXPECT_EQ(LoadError(b.Bytes, d, 0), "");
    EXPECT_EQ(d.Note, QString::fromUtf8("Linie 1\nстрока 2"));
    EXPECT_EQ(d.PixelCount, 3);
    EXPECT_EQ(d.Pixels[11].Signal, 600);
    EXPECT_EQ(d.Pixels[11].Transmission, 1.0f);
    EXPECT_EQ(d.Pixels[12].Transmission, 0.25f);
    EXPECT_EQ(d.Pixels[12].AmpI, 64);
  }
  // 8-bit text of the earlier Windows program.
  TStreamBuilder b;
  b.Int8(0).Int8(0).Int8(1).Int8(1).Int8(0).String(cp1251).Int8(0);
  TProjectData d;
  EXPECT_EQ(LoadError(b.Bytes, d), "");
  EXPECT_EQ(d.Note, QString::fromUtf8("строка"));
}

TEST(ProjectFile, NoteLinesAreSeparatedByCrLfInTheFileBytes) {
  // The note starts at byte 11 of a project with small interval values and
  // no table: tag 0x0C, a 4-byte length, the text.
  const struct {
    const char *note;
    QByteArray bytes;
  } cases[] = {
      {"a\nb", QByteArray("a\r\nb")},
      {"a\r\nb", QByteArray("a\r\nb")},
      {"a\rb", QByteArray("a\r\nb")},
      {"\n\nc\n", QByteArray("\r\n\r\nc\r\n")},
  };
  for (const auto &c : cases) {
    TProjectData d;
    FillExample(d);
    d.Note = c.note;
    const QByteArray file = EncodeProject(d);
    const qint32 length = qint32(c.bytes.size());
    EXPECT_EQ(
        file.mid(11, 5 + length).toHex(' '),
        (QByteArray("\x0c", 1) + QByteArray(reinterpret_cast<const char *>(&length), 4) + c.bytes)
            .toHex(' '))
        << c.note;
  }
}

TEST(ProjectFile, SaveAndLoadKeepIntervalTableNoteAndPixels) {
  TProjectData d;
  d.ZeroPosition = 30000;
  d.Left = -2500;
  d.Right = 40000;
  d.Step = 300;
  d.Note = "first line\n\nthird line, ü";
  d.Interval.Post({{}, 4, {}});  // empty shift: saved as 0
  d.Interval.Post({-900, 2, {}});
  d.Interval.Post({500, {}, {}});  // empty step: saved as 0, read back empty
  for (int i = 0; i <= MaxPixel; i += 7) SetPixel(d, i, quint16(i % 1024), 0.0923f, 16, 8);
  SetPixel(d, 30001, 1023, 1.0f, 16, 64);
  SetPixel(d, 70000, 1, 9.1e-6f, 1, 1);  // the highest value: lowest gain and transmission
  d.RecomputeStatistics();
  QTemporaryDir dir;
  const QString path = dir.filePath("round.vtp");
  SaveProject(d, path);

  TProjectData l;
  LoadProject(l, path, 30000);
  EXPECT_EQ(l.Left, d.Left);
  EXPECT_EQ(l.Right, d.Right);
  EXPECT_EQ(l.Step, d.Step);
  EXPECT_EQ(l.Note, d.Note);
  EXPECT_EQ(l.Interval.GetIntervalText(), "-900;2;0;4;500;;");
  EXPECT_EQ(l.PixelCount, d.PixelCount);
  EXPECT_EQ(l.MaxValue, d.MaxValue);
  EXPECT_EQ(l.PeakIndex, 70000);
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &a = d.Pixels[i], &b = l.Pixels[i];
    ASSERT_TRUE(a.Signal == b.Signal && a.Transmission == b.Transmission && a.AmpF == b.AmpF &&
                a.AmpI == b.AmpI)
        << i;
  }
}

TEST(ProjectFile, LoadingMovesPixelsToTheCurrentZeroAndReportsThoseThatFallOff) {
  TStreamBuilder b;
  b.Int16(20000).Int8(0).Int8(1).Int8(1).Int8(0).LString("");
  b.Int8(5);
  for (int index : {5, 99, 69900, 69950, 69999})
    b.Int32(index).Int16(300).Single(1).Int8(1).Int8(1);
  {
    TWarningRecorder warnings;
    TProjectData d;
    EXPECT_EQ(LoadError(b.Bytes, d, 20100), "");  // zero grew by 100
    EXPECT_EQ(d.ZeroPosition, 20100);
    EXPECT_EQ(d.PixelCount, 3);
    EXPECT_TRUE(d.Pixels[105].Measured() && d.Pixels[199].Measured() && d.Pixels[70000].Measured());
    EXPECT_EQ(d.PeakIndex, 105);
    EXPECT_EQ(
        warnings.Texts,
        QStringList("Some pixels (2) were deleted due to shift of delay line zero position."));
  }
  {
    TWarningRecorder warnings;
    TProjectData d;
    EXPECT_EQ(LoadError(b.Bytes, d, 19900), "");
    EXPECT_EQ(d.PixelCount, 3);
    EXPECT_TRUE(d.Pixels[69800].Measured() && d.Pixels[69899].Measured());
    EXPECT_EQ(warnings.Texts.size(), 1);
  }
  {
    TWarningRecorder warnings;
    TProjectData d;
    EXPECT_EQ(LoadError(b.Bytes, d, 20000), "");
    EXPECT_TRUE(warnings.Texts.isEmpty());
  }
}

TEST(ProjectFile, StoredValuesAreTakenAsStoredIncludingLaterDuplicates) {
  TStreamBuilder b;
  b.Int8(0).Int8(0).Int8(1).Int8(1).Int8(0).LString("").Int8(3);
  b.Int8(10).Int32(0x10000 + 7).Single(1).Int16(0x100 + 16).Int8(2);  // low bits kept
  b.Int8(11).Int8(50).Single(1).Int8(1).Int8(1);
  b.Int8(11).Int8(60).Single(1).Int8(1).Int8(1);  // overwrites the entry before
  TProjectData d;
  EXPECT_EQ(LoadError(b.Bytes, d, 0), "");
  EXPECT_EQ(d.Pixels[10].Signal, 7);
  EXPECT_EQ(d.Pixels[10].AmpF, 16);
  EXPECT_EQ(d.Pixels[11].Signal, 60);
  EXPECT_EQ(d.PixelCount, 2);
  EXPECT_EQ(d.PeakIndex, 11);
}

TEST(ProjectFile, DamagedFilesGiveTheStreamMessages) {
  const QByteArray tooMany = TStreamBuilder()
                                 .Int8(0)
                                 .Int8(0)
                                 .Int8(1)
                                 .Int8(1)
                                 .Int8(0)
                                 .LString("")
                                 .Int32(0x7fffffff)
                                 .Int8(1)
                                 .Bytes;
  const struct {
    const char *what;
    QByteArray bytes;
    const char *message;
  } cases[] = {
      {"empty file", {}, "Stream read error"},
      {"cut after the note", Example.left(16), "Stream read error"},
      {"cut inside a value", Example.left(Example.size() - 1), "Stream read error"},
      {"unknown tag", QByteArray::fromHex("05"), "Invalid property value"},
      {"int64 where an integer belongs", TStreamBuilder().Int64(0).Bytes, "Invalid property value"},
      {"number where the note belongs", Example.left(11) + QByteArray::fromHex("0200"),
       "Invalid property value"},
      {"text longer than the file", Example.left(11) + QByteArray::fromHex("0cffffff7f41"),
       "Stream read error"},
      {"negative text length", Example.left(11) + QByteArray::fromHex("0cffffffff41"),
       "Stream read error"},
      {"UTF-16 longer than the file", Example.left(11) + QByteArray::fromHex("12ffffff7f4100"),
       "Stream read error"},
      {"huge row count", Example.left(9) + QByteArray::fromHex("04ffffff7f0201"),
       "Stream read error"},
      {"huge pixel count", tooMany, "Stream read error"},
  };
  for (const auto &c : cases) {
    TProjectData d;
    EXPECT_EQ(LoadError(c.bytes, d), c.message) << c.what;
  }
  // What was read before the damage stays, with consistent statistics.
  TProjectData d;
  EXPECT_EQ(LoadError(Example.left(Example.size() - 1), d), "Stream read error");
  EXPECT_EQ(d.Left, -100);
  EXPECT_EQ(d.PixelCount, 0);
  EXPECT_EQ(d.ZeroPosition, 20000);
}

TEST(ProjectFile, AFileCutShortKeepsEveryCompleteRowAndPixelBeforeTheCut) {
  // Zero 0, interval 0..100 by 1, two table rows, note "n", three pixels;
  // the device's zero is 10, so every pixel moves by 10.
  TStreamBuilder head;
  head.Int8(0).Int8(0).Int8(1).Int8(100).Int8(2);
  const qsizetype firstRow = head.Bytes.size();
  head.Int8(-100).Int8(1).Int8(100).Int8(0);
  const qsizetype rowsEnd = head.Bytes.size();
  head.LString("n").Int32(3);
  TStreamBuilder pixels;
  pixels.Int8(10).Int16(300).Single(0.5f).Int8(1).Int8(2);
  pixels.Int8(11).Int16(400).Single(1).Int8(1).Int8(1);
  const qsizetype twoPixels = pixels.Bytes.size();
  pixels.Int8(12).Int16(500).Single(1).Int8(1).Int8(1);
  const QByteArray whole = head.Bytes + pixels.Bytes;

  const struct {
    const char *where;
    qsizetype length;
    int rows, pixels;
  } cases[] = {
      {"inside the third pixel's last value", head.Bytes.size() + pixels.Bytes.size() - 1, 2, 2},
      {"between the second and third pixel", head.Bytes.size() + twoPixels, 2, 2},
      {"right after the pixel count", head.Bytes.size(), 2, 0},
      {"inside the note", rowsEnd + 2, 2, 0},
      {"inside the second row", rowsEnd - 1, 1, 0},
      {"before the first row", firstRow, 0, 0},
  };
  for (const auto &c : cases) {
    TProjectData d;
    EXPECT_EQ(LoadError(whole.left(c.length), d, 10), "Stream read error") << c.where;
    EXPECT_EQ(d.Left, 0) << c.where;
    EXPECT_EQ(d.Step, 1) << c.where;
    EXPECT_EQ(d.Right, 100) << c.where;
    EXPECT_EQ(d.Interval.Count(), c.rows) << c.where;
    EXPECT_EQ(d.Note, c.length >= head.Bytes.size() ? "n" : "") << c.where;
    EXPECT_EQ(d.PixelCount, c.pixels) << c.where;
    EXPECT_EQ(d.ZeroPosition, 10) << c.where;
    if (c.pixels == 2) {
      EXPECT_EQ(d.Pixels[20].Signal, 300) << c.where;
      EXPECT_EQ(d.Pixels[20].AmpI, 2) << c.where;
      EXPECT_EQ(d.Pixels[21].Signal, 400) << c.where;
      EXPECT_EQ(d.PeakIndex, 21) << c.where;
      EXPECT_FALSE(d.Pixels[22].Measured()) << c.where;
    }
  }
  TProjectData d;
  EXPECT_EQ(LoadError(whole, d, 10), "");
  EXPECT_EQ(d.PixelCount, 3);
  EXPECT_EQ(d.Note, "n");
}

TEST(ProjectFile, EveryPrefixAndEveryByteFlipOfAFileFailsCleanly) {
  TProjectData src;
  FillExample(src);
  src.Note = "n";
  src.Interval.Post({-100, 1, {}});
  src.Interval.Post({100, {}, {}});
  SetPixel(src, 19000, 70, 0.00871f, 16, 2);
  const QByteArray good = EncodeProject(src);
  for (qsizetype n = 0; n < good.size(); ++n) {
    TProjectData d;
    EXPECT_EQ(LoadError(good.left(n), d), "Stream read error") << n;
  }
  for (qsizetype at = 0; at < good.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      QByteArray bad = good;
      bad[at] = char(bad[at] ^ (1 << bit));
      TProjectData d;
      const QString e = LoadError(bad, d);
      EXPECT_TRUE(e.isEmpty() || e == "Stream read error" || e == "Invalid property value")
          << at << ":" << bit << " " << e.toStdString();
    }
  }
}

TEST(ProjectFile, AFailedSaveLeavesTheOldFileAndTheProjectAsTheyWere) {
  QTemporaryDir dir;
  // The target exists, but no temporary file can be made beside it: its name
  // plus the temporary suffix is too long for the file system.
  const QString path = WriteTempFile(dir, QString(250, u'x'), "old contents");
  ASSERT_FALSE(path.isEmpty());
  TProjectData d;
  FillExample(d);
  d.ProjectName = "Project 3";
  d.Modified = true;
  EXPECT_THROW(SaveProject(d, path), EAppError);
  EXPECT_EQ(ReadFileBytes(path), "old contents");
  EXPECT_EQ(d.ProjectName, "Project 3");
  EXPECT_TRUE(d.ProjectFileName.isEmpty());
  EXPECT_TRUE(d.Modified);
  // The lock was released: a writer gets it.
  EXPECT_TRUE(d.DataLock.tryLockForWrite());
  d.DataLock.unlock();

  TProjectData l;
  EXPECT_THROW(LoadProject(l, dir.filePath("missing.vtp"), 0), EAppError);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

TEST(ProjectFile, FixtureFilesLoadAndSurviveTheFuzzEntryWithEveryPrefix) {
  const QString folder = QStringLiteral(VELTRAVOR_TEST_DATA "/measurement/");
  for (const char *name : {"example.vtp", "wide-integers.vtp"}) {
    TProjectData d;
    LoadProject(d, folder + name, 20000);
    ExpectExampleLoaded(d);
  }
  TProjectData d;
  LoadProject(d, folder + "utf16-note.vtp", 30000);
  EXPECT_EQ(d.Note, QString::fromUtf8("Run 2\nфильтр 3"));
  EXPECT_EQ(d.Interval.GetIntervalText(), "-2500;10;0;2;2500;;");
  EXPECT_EQ(d.PixelCount, 4);
  EXPECT_EQ(d.PeakIndex, 30000);

  for (const char *name : {"example.vtp", "wide-integers.vtp", "utf16-note.vtp"}) {
    const QByteArray bytes = ReadFileBytes(folder + name);
    for (qsizetype n = 0; n <= bytes.size(); ++n)
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(n));
  }
}
