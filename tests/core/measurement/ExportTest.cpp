// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/AppError.h"
#include "measurement/Export.h"
#include "measurement/ProjectData.h"
#include "MeasurementTestSupport.h"

TEST(Export, WideScientificNumbers) {
  const struct {
    long double value;
    const char *text;
  } cases[] = {
      {16.6666666L, " 1.66666666000000E+0001"},
      {-100, "-1.00000000000000E+0002"},
      {0.5L, " 5.00000000000000E-0001"},
      {0, " 0.00000000000000E+0000"},
      {-0.0L, " 0.00000000000000E+0000"},
      {(long double)0.01f * 100, " 9.99999977648258E-0001"},
      {9.999999999999999e-5L, " 1.00000000000000E-0004"},  // rounding carries into the exponent
      {-1166666.662L, "-1.16666666200000E+0006"},
      {1e-300L, " 1.00000000000000E-0300"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FormatWideScientific(c.value), QByteArray(c.text)) << c.text;
    EXPECT_EQ(FormatWideScientific(c.value).size(), 23);
  }
}

TEST(Export, WideScientificAgreesWithTheExactConversionOverTheExportedRanges) {
  // The fast path must round exactly like the library's exact conversion.
  auto reference = [](long double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + 64, std::fabs(v), std::chars_format::scientific, 14);
    const std::string s(buf, r.ptr);  // d.ddddddddddddddde±XX
    const int e = std::stoi(s.substr(s.find('e') + 1));
    char out[32];
    std::snprintf(out, sizeof out, "%c%sE%c%04d", v < 0 ? '-' : ' ', s.substr(0, 16).c_str(),
                  e < 0 ? '-' : '+', std::abs(e));
    return QByteArray(out);
  };
  std::vector<long double> values;
  for (int i = 0; i <= MaxPixel; i += 3) values.push_back(((long double)i - 30000) * 16.6666666L);
  quint32 seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const float transmissions[] = {1, 0.0923f, 0.00871f, 0.000937f, 8.93e-5f, 9.1e-6f};
  for (int k = 0; k < 20000; ++k) {
    const float m = float(next() % 100000 + 1) / float(next() % 1000 + 1);
    const long double t = transmissions[next() % 6];
    values.push_back((long double)(next() % 1024) / (1 << (next() % 5)) / (1 << (next() % 7)) /
                     t / m);
    values.push_back(t * 100);
  }
  for (long double v : values)
    ASSERT_EQ(FormatWideScientific(v), reference(v)) << QByteArray::number(double(v), 'g', 17).constData();
}

TEST(Export, WritesHeaderAndOneLinePerMeasuredPixelWithAPointInEveryLocale) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TProjectData d;
  SetPixel(d, 20000, 512, 0.5f, 1, 4);     // the peak: contrast 1
  SetPixel(d, 19999, 10, 0.01f, 16, 2);    // single-precision transmission
  SetPixel(d, 20100, 1023, 0.0923f, 16, 64);
  d.RecomputeStatistics();
  QTemporaryDir dir;
  const QString path = dir.filePath("curve.dat");
  ExportData(d, path, 20000);
  EXPECT_EQ(ReadFileBytes(path),
            "delay, fsec\tcontrast\tsignal\tampF\tampI\ttransmission\r\n"
            "-1.66666666000000E+0001\t 1.22070315228484E-0001\t10\t16\t2\t 9.99999977648258E-0001\r\n"
            " 0.00000000000000E+0000\t 1.00000000000000E+0000\t512\t1\t4\t 5.00000000000000E+0001\r\n"
            " 1.66666666000000E+0003\t 4.22799067765252E-0002\t1023\t16\t64\t 9.22999978065491E+0000\r\n");
  QLocale::setDefault(QLocale::c());

  TProjectData empty;
  ExportData(empty, path, 0);
  EXPECT_EQ(ReadFileBytes(path), "delay, fsec\tcontrast\tsignal\tampF\tampI\ttransmission\r\n");
}

TEST(Export, AFailedExportLeavesTheOldFile) {
  QTemporaryDir dir;
  const QString path = WriteTempFile(dir, QString(250, u'e'), "old");
  TProjectData d;
  EXPECT_THROW(ExportData(d, path, 0), EAppError);
  EXPECT_EQ(ReadFileBytes(path), "old");
}
