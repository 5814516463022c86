// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <initializer_list>

#include "ErrorOf.h"
#include "adjustment/SampleSeries.h"

namespace {
TSampleSeries SeriesOf(std::initializer_list<int> values, int quantity = -1) {
  TSampleSeries series;
  series.Reset(quantity < 0 ? int(values.size()) : quantity);
  for (int v : values) series.Add(v);
  return series;
}
}  // namespace

TEST(SampleSeries, AveragedTextRoundsMeanAndPopulationDeviationHalvesToEven) {
  const struct {
    std::initializer_list<int> values;
    const char *text;
  } cases[] = {
      {{7}, "7 \u00B1 0"},                          // one value: no spread
      {{10, 11}, "10 \u00B1 0"},                    // 10.5 -> 10, 0.5 -> 0
      {{11, 12}, "12 \u00B1 0"},                    // 11.5 -> 12
      {{0, 1023}, "512 \u00B1 512"},                // 511.5 -> 512 both; divided by N, not N - 1
      {{1, 2, 3, 4}, "2 \u00B1 1"},                 // 2.5 -> 2; sqrt(1.25)
      {{0, 0, 0, 3}, "1 \u00B1 1"},                 // 0.75 -> 1; sqrt(1.6875) = 1.299
      {{1000, 1000, 1000, 1006}, "1002 \u00B1 3"},  // 1001.5; sqrt(6.75) = 2.598
  };
  for (const auto &c : cases) {
    const TSampleSeries series = SeriesOf(c.values);
    EXPECT_EQ(series.AveragedText(), QString::fromUtf8(c.text)) << c.text;
  }
  const TSampleSeries two = SeriesOf({10, 11});
  EXPECT_DOUBLE_EQ(two.Mean(), 10.5);
  EXPECT_DOUBLE_EQ(two.Deviation(), 0.5);
}

TEST(SampleSeries, StatisticsCoverOnlyTheValuesMeasuredSoFar) {
  // A series of 5 stopped after 2 values: the zeros of the unmeasured slots
  // must not pull the mean or the minimum down.
  const TSampleSeries series = SeriesOf({600, 604}, 5);
  EXPECT_EQ(series.Count(), 2);
  EXPECT_EQ(series.Samples().size(), 5);
  EXPECT_FALSE(series.Full());
  EXPECT_DOUBLE_EQ(series.Mean(), 602);
  EXPECT_DOUBLE_EQ(series.Deviation(), 2);
  EXPECT_EQ(series.Minimum(), 600);
  EXPECT_EQ(series.Maximum(), 604);
}

TEST(SampleSeries, BinsCountEachValueAndValuesBeyondTheLastBinOnlyEnterTheStatistics) {
  TSampleSeries series = SeriesOf({5, 5, 7, 1024, 1500, 0});
  EXPECT_EQ(series.Bins().size(), 1025);
  EXPECT_EQ(series.Bins()[5], 2);
  EXPECT_EQ(series.Bins()[7], 1);
  EXPECT_EQ(series.Bins()[1024], 1);
  EXPECT_EQ(series.Bins()[0], 1);
  int total = 0;
  for (int n : series.Bins()) total += n;
  EXPECT_EQ(total, 5);  // 1500 has no bin
  EXPECT_EQ(series.MaxBin(), 2);
  EXPECT_EQ(series.Minimum(), 0);
  EXPECT_EQ(series.Maximum(), 1500);
  EXPECT_TRUE(series.Full());

  series.Add(9);  // a full series takes no more
  EXPECT_EQ(series.Count(), 6);
  EXPECT_EQ(series.Bins()[9], 0);

  // A new series starts from nothing: empty bins, range 1024 .. 0.
  series.Reset(3);
  EXPECT_EQ(series.Count(), 0);
  EXPECT_EQ(series.Samples(), QList<int>(3, 0));
  EXPECT_EQ(series.Bins()[5], 0);
  EXPECT_EQ(series.MaxBin(), 0);
  EXPECT_EQ(series.Minimum(), 1024);
  EXPECT_EQ(series.Maximum(), 0);
  EXPECT_EQ(series.AveragedText(), QString::fromUtf8("0 \u00B1 0"));
  series.Add(1030);  // the first value sets both ends of the range
  EXPECT_EQ(series.Minimum(), 1024);
  EXPECT_EQ(series.Maximum(), 1030);
}

TEST(HistogramExport, OneLinePerValueFromTheSmallestToTheLargestMeasured) {
  EXPECT_EQ(HistogramText({5, 5, 7}, 3),
            QByteArray("signal\tquantity\r\n5\t2\r\n6\t0\r\n7\t1\r\n"));
  // Only the measured values count: the slots after a stop hold zeros.
  EXPECT_EQ(HistogramText({5, 5, 7, 0, 0}, 3), HistogramText({5, 5, 7}, 3));
  EXPECT_EQ(HistogramText({9}, 1), QByteArray("signal\tquantity\r\n9\t1\r\n"));
  EXPECT_EQ(HistogramText({1, 2}, 0), QByteArray("signal\tquantity\r\n"));
  // Values beyond the last bin are exported as they are.
  EXPECT_EQ(HistogramText({1026, 1024}, 2),
            QByteArray("signal\tquantity\r\n1024\t1\r\n1025\t0\r\n1026\t1\r\n"));
}

TEST(HistogramExport, WritesTheFileAndRaisesWhenItCannot) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString name = dir.filePath("histogram.dat");
  {
    QFile old(name);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("a much longer file that was there before the export\r\n");
  }
  EXPECT_EQ(ErrorOf([&] { ExportHistogram({5, 5, 7}, 3, name); }), QString());
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), HistogramText({5, 5, 7}, 3));

  const QString missing = dir.filePath("no such folder/histogram.dat");
  const QString message = ErrorOf([&] { ExportHistogram({5}, 1, missing); });
  EXPECT_TRUE(
      message.startsWith("Cannot create file \"" + QDir::toNativeSeparators(missing) + "\"."))
      << message.toStdString();
  EXPECT_FALSE(QFile::exists(missing));
}

TEST(CarriageDelay, PositionsAndDelaysConvertWithTheDecimalStepAndHalvesToEven) {
  const struct {
    qint64 position, zero, delay;
  } toDelay[] = {
      {30600, 30000, 10000}, {30001, 30000, 17}, {29999, 30000, -17}, {70000, 30000, 666667},
      {0, 30000, -500000},   {30000, 30000, 0},  {3, 0, 50},  // 49.9999998
  };
  for (const auto &c : toDelay)
    EXPECT_EQ(DelayOfPosition(c.position, c.zero), c.delay) << c.position;

  const struct {
    qint64 delay, zero, position;
  } toPosition[] = {
      {10000, 30000, 30600},
      {-500000, 30000, 0},
      {25, 30000, 30002},  // 1.5000000 and a bit
      {1500000, 30000, 120000},
      {8, 30000, 30000},  // 0.48
      {-8, 0, 0},
      {-9, 0, -1},
  };
  for (const auto &c : toPosition)
    EXPECT_EQ(PositionOfDelay(c.delay, c.zero), c.position) << c.delay;
}
