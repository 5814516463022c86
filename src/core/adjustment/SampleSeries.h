// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The values of one measurement series of the adjustment window and what is
// shown of them: the histogram of the converter's values, the range seen so
// far, the mean and the population standard deviation. Main thread only.
class TSampleSeries {
 public:
  // Bins of the histogram: one per converter value 0..1024. A value above
  // 1024 (possible with a negative signal shift) counts in the statistics
  // but has no bin.
  static constexpr int BinCount = 1025;

  // Starts a series of `quantity` values: as many zeros, none measured yet,
  // empty bins, minimum 1024 and maximum 0 (so that the first value sets both).
  void Reset(int quantity);
  // Stores the next value; a series that is full ignores further values.
  void Add(int value);

  // The quantity asked for; the first Count() values are measured.
  const QList<int> &Samples() const { return FSamples; }
  int Count() const { return FCount; }
  bool Full() const { return FCount >= FSamples.size(); }

  int Minimum() const { return FMinimum; }
  int Maximum() const { return FMaximum; }
  // Mean and population standard deviation of the measured values; 0 for none.
  double Mean() const;
  double Deviation() const;
  // The averaged signal as shown: mean and deviation each rounded to the
  // nearest integer, halves to the even neighbour, as "10 ± 0".
  QString AveragedText() const;

  const QList<int> &Bins() const { return FBins; }
  // The highest bin, for the value axis.
  int MaxBin() const { return FMaxBin; }

 private:
  QList<int> FSamples;
  QList<int> FBins = QList<int>(BinCount, 0);
  int FCount = 0;
  int FMinimum = 1024;
  int FMaximum = 0;
  int FMaxBin = 0;
  qint64 FSum = 0;
};

// The histogram export: the header "signal" TAB "quantity", then one line per
// value from the smallest to the largest of samples[0 .. count - 1] with the
// number of samples equal to it (0 for values that did not occur); CR LF after
// every line. No values: the header alone.
QByteArray HistogramText(const QList<int> &samples, int count);
// Writes HistogramText through QSaveFile; a failure leaves the old file intact
// and raises EAppError with a translated message.
void ExportHistogram(const QList<int> &samples, int count, const QString &fileName);

// Carriage position and delay from zero, in whole fsec: the delay of position
// p is (p - zero) * 16.6666666 and the position of a delay d is
// d / 16.6666666 + zero, both in extended precision and rounded to the nearest
// integer, halves to the even neighbour.
qint64 DelayOfPosition(qint64 position, qint64 zero);
qint64 PositionOfDelay(qint64 delayFs, qint64 zero);
