// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/SampleSeries.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

#include "app/Messages.h"
#include "app/Rounding.h"

namespace {
// Femtoseconds of delay per carriage step: this decimal value, not 50/3.
constexpr long double FsPerStepExtended = 16.6666666L;

qint64 NearestEven(long double value) {
  return qint64(std::nearbyintl(value));
}
}  // namespace

void TSampleSeries::Reset(int quantity) {
  FSamples = QList<int>(std::max(quantity, 0), 0);
  FBins.fill(0);
  FCount = 0;
  FMinimum = 1024;
  FMaximum = 0;
  FMaxBin = 0;
  FSum = 0;
}

void TSampleSeries::Add(int value) {
  if (Full()) return;
  FSamples[FCount++] = value;
  FSum += value;
  FMinimum = std::min(FMinimum, value);
  FMaximum = std::max(FMaximum, value);
  if (value >= 0 && value < BinCount) FMaxBin = std::max(FMaxBin, ++FBins[value]);
}

double TSampleSeries::Mean() const {
  return FCount ? double(FSum) / FCount : 0.0;
}

double TSampleSeries::Deviation() const {
  if (FCount == 0) return 0.0;
  // Two passes over every value: the mean first, then the squares about it,
  // which keeps the spread exact where one running sum of squares would not.
  const long double mean = (long double)FSum / FCount;
  long double squares = 0;
  for (int i = 0; i < FCount; ++i) {
    const long double d = FSamples[i] - mean;
    squares += d * d;
  }
  return double(std::sqrt(squares / FCount));
}

QString TSampleSeries::AveragedText() const {
  return QString::number(qint64(RoundHalfEven(Mean()))) + QStringLiteral(" \u00B1 ") +
         QString::number(qint64(RoundHalfEven(Deviation())));
}

QByteArray HistogramText(const QList<int> &samples, int count) {
  count = std::clamp(count, 0, int(samples.size()));
  QByteArray text = "signal\tquantity\r\n";
  if (count == 0) return text;
  const auto [low, high] = std::minmax_element(samples.begin(), samples.begin() + count);
  const int first = *low;
  QList<int> quantity(qsizetype(*high) - first + 1, 0);
  for (int i = 0; i < count; ++i) ++quantity[samples[i] - first];
  for (qsizetype v = 0; v < quantity.size(); ++v)
    text += QByteArray::number(first + v) + '\t' + QByteArray::number(quantity[v]) + "\r\n";
  return text;
}

void ExportHistogram(const QList<int> &samples, int count, const QString &fileName) {
  const QByteArray text = HistogramText(samples, count);
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    RaiseError(QStringLiteral("Cannot create file \"%\". %"),
               QStringList{QDir::toNativeSeparators(fileName), file.errorString()});
  if (file.write(text) != text.size() || !file.commit())
    RaiseError(QStringLiteral("Cannot write file \"%\". %"),
               QStringList{QDir::toNativeSeparators(fileName), file.errorString()});
}

qint64 DelayOfPosition(qint64 position, qint64 zero) {
  return NearestEven((long double)(position - zero) * FsPerStepExtended);
}

qint64 PositionOfDelay(qint64 delayFs, qint64 zero) {
  return NearestEven((long double)delayFs / FsPerStepExtended + (long double)zero);
}
