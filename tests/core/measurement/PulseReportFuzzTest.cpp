// SPDX-License-Identifier: GPL-3.0-or-later
// The pulse report's fuzz entry over the fixture files, every prefix of them,
// byte mutations of them, and hand-made files whose pixels no instrument
// writes.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "MeasurementTestSupport.h"

bool PulseReportFuzzOne(const uint8_t *data, size_t size);

namespace {
bool ReportSurvives(const QByteArray &bytes) {
  return PulseReportFuzzOne(reinterpret_cast<const uint8_t *>(bytes.constData()),
                            size_t(bytes.size()));
}

// A project file header (zero 30000, empty interval, table and note) and the
// given pixels: index, signal, transmission, ampF, ampI.
struct TRawPixel {
  qint32 Index, Signal;
  float Transmission;
  qint32 AmpF, AmpI;
};
QByteArray ProjectWith(const QList<TRawPixel> &pixels) {
  TStreamBuilder b;
  b.Int32(30000).Int8(0).Int8(1).Int8(0).Int8(0).LString("").Int32(qint32(pixels.size()));
  for (const TRawPixel &p : pixels)
    b.Int32(p.Index).Int32(p.Signal).Single(p.Transmission).Int32(p.AmpF).Int32(p.AmpI);
  return b.Bytes;
}
}  // namespace

TEST(PulseReportFuzz, FixturesTheirPrefixesAndMutationsKeepEveryPromise) {
  const QString folder = QStringLiteral(VELTRAVOR_TEST_DATA "/measurement/");
  std::mt19937 random(2026);
  for (const char *name : {"example.vtp", "wide-integers.vtp", "utf16-note.vtp"}) {
    const QByteArray bytes = ReadFileBytes(folder + name);
    ASSERT_FALSE(bytes.isEmpty()) << name;
    for (qsizetype n = 0; n <= bytes.size(); ++n)
      ASSERT_TRUE(ReportSurvives(bytes.left(n))) << name << " cut at " << n;
    for (int k = 0; k < 300; ++k) {
      QByteArray mutated = bytes;
      for (int flips = 1 + int(random() % 4); flips > 0; --flips)
        mutated[qsizetype(random() % quint32(mutated.size()))] = char(random());
      ASSERT_TRUE(ReportSurvives(mutated))
          << name << " mutation " << k << ": " << mutated.toHex().constData();
    }
  }
}

TEST(PulseReportFuzz, PixelsNoInstrumentWritesGiveNoNumberThatIsNotOne) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  QList<TRawPixel> ramp;  // a peak the report can fit, to which the bad pixels are added
  for (int i = -60; i <= 60; ++i)
    ramp.append({30000 + i, int(1000 * std::exp(-i * i / 200.0)) + 1, 1, 1, 1});
  const QList<QList<TRawPixel>> cases = {
      {{30000, 500, 0, 1, 1}},
      {{30000, 500, -1, 1, 1}, {30001, 400, inf, 1, 1}, {30002, 300, nan, 1, 1}},
      {{30000, 65535, std::numeric_limits<float>::denorm_min(), 1, 1}},
      {{30000, 0, 1, 1, 1}, {30001, 0, 1, 1, 1}},
      {{0, 5, 1, 255, 255}, {70000, 5, 1, 255, 255}},
      ramp + QList<TRawPixel>{{30100, 500, 0, 1, 1}, {30101, 500, nan, 16, 64}},
      ramp + QList<TRawPixel>{{30030, 500, 1e-30f, 1, 1}},
  };
  for (const QList<TRawPixel> &c : cases) EXPECT_TRUE(ReportSurvives(ProjectWith(c))) << c.size();
}
