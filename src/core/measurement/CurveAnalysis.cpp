// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/CurveAnalysis.h"

#include <QLocale>
#include <QReadLocker>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "measurement/Graph.h"
#include "measurement/ProjectData.h"

double LogValue(double x) { return x == 0 ? -10.0 : std::log10(x); }

QString PadTitle(const QString &name, const QString &value, int width) {
  const qsizetype spaces = std::max<qsizetype>(0, width + 8 - name.size() - value.size());
  return name + QString(spaces, u' ') + value;
}

QString FormatReadoutValue(double value) {
  if (!std::isfinite(value)) return QString();
  if (value == 0) return QStringLiteral("0");
  // 17 significant digits show the binary value closely enough to round
  // halves away from zero at the second digit, as decimal rounding does.
  char buf[64];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 16);
  const std::string_view text(buf, res.ptr - buf);  // d.dddddddddddddddde±XX
  const size_t e = text.find('e');
  int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  int d1 = text[0] - '0';
  int d2 = text[2] - '0';
  if (text[3] >= '5') {
    if (++d2 == 10) {
      d2 = 0;
      if (++d1 == 10) {
        d1 = 1;
        ++exponent;
      }
    }
  }
  const QString sign = value < 0 ? QStringLiteral("-") : QString();
  const QString point = QLocale().decimalPoint();
  const QString digits = d2 ? QString::number(d1) + QString::number(d2) : QString::number(d1);
  if (exponent >= -5 && exponent <= 1) {
    if (exponent == 1) return sign + (d2 ? digits : QString::number(d1) + u'0');
    if (exponent == 0) return sign + QString::number(d1) + (d2 ? point + QString::number(d2) : QString());
    return sign + u'0' + point + QString(-exponent - 1, u'0') + digits;
  }
  const QString mantissa = QString::number(d1) + (d2 ? point + QString::number(d2) : QString());
  return sign + mantissa + u'E' + QString::number(exponent);
}

float ComputePeakWidth(const TProjectData &data, int zero) {
  const int peak = data.PeakIndex;
  if (peak < 0 || peak > MaxPixel || !data.Pixels[peak].Measured()) return 0;
  const double half = data.MaxValue / 2.0;
  // Walks from the peak in direction dir; the edge in fsec, or false.
  auto edge = [&](int dir, float &fs) {
    int b = peak;
    double vb = data.getValue(peak);
    for (int i = peak; i >= 0 && i <= MaxPixel; i += dir) {
      if (!data.Pixels[i].Measured()) continue;
      const double v = data.getValue(i);
      if (v > half) {
        b = i;
        vb = v;
        continue;
      }
      const float at = float(((half - v) * b + (vb - half) * i) / (vb - v));
      fs = float((double(at) - zero) * FsPerStep);
      return true;
    }
    return false;
  };
  float left, right;
  if (!edge(-1, left) || !edge(+1, right)) return 0;
  return right - left;
}

QList<int> BreakPositions(const TProjectData &data) {
  QList<int> breaks;
  int last = -1;
  for (int i = 0; i <= MaxPixel; ++i) {
    if (data.Pixels[i].Measured()) {
      last = i;
    } else if (last >= 0 && i == last + GapLength) {
      breaks.append(last);
      last = -1;
    }
  }
  return breaks;
}

namespace {
// The read-out value at position i of a curve: the value itself, or the
// linear interpolation between the nearest positions with values within
// GapLength on each side when those lie at most GapLength apart.
template <typename Has, typename Value>
bool ReadoutAt(qint64 i, Has has, Value value, double &v) {
  if (i < 0 || i > MaxPixel) return false;
  if (has(int(i))) {
    v = value(int(i));
    return true;
  }
  qint64 c = -1, d = -1;
  for (qint64 k = i - 1; k >= std::max<qint64>(i - GapLength, 0); --k)
    if (has(int(k))) {
      c = k;
      break;
    }
  for (qint64 k = i + 1; k <= std::min<qint64>(i + GapLength, MaxPixel); ++k)
    if (has(int(k))) {
      d = k;
      break;
    }
  if (c < 0 || d < 0 || d - c > GapLength) return false;
  const double vc = value(int(c));
  const double vd = value(int(d));
  v = vc + (vd - vc) * double(i - c) / double(d - c);
  return true;
}

qint64 ReadoutIndex(double x, int zero) {
  double i = RoundHalfEven(x / FsPerStep + zero);
  if (!(i > -1e15)) i = -1e15;
  if (i > 1e15) i = 1e15;
  return qint64(i);
}
}  // namespace

QString ValueTextAt(const TProjectData &data, double x, int zero) {
  QReadLocker lock(&data.DataLock);
  if (data.MaxValue == 0) return QString();
  double v;
  if (!ReadoutAt(
          ReadoutIndex(x, zero), [&](int k) { return data.Pixels[k].Measured(); },
          [&](int k) { return double(data.getValue(k)); }, v))
    return QString();
  return FormatReadoutValue(v / data.MaxValue);
}

QString TGraph::ValueTextAt(double x) const {
  double v;
  if (!ReadoutAt(
          ReadoutIndex(x, ZeroPosition), [&](int k) { return Values[k] >= 0; },
          [&](int k) { return double(Values[k]); }, v))
    return QString();
  return FormatReadoutValue(v);
}

TAxisRange TimeAxisRange(double rangeMin, double rangeMax, const QList<const TGraph *> &graphs) {
  double lo = EmptyRangeMin, hi = EmptyRangeMax;
  if (rangeMin < rangeMax) {
    lo = rangeMin;
    hi = rangeMax;
  }
  for (const TGraph *g : graphs) {
    if (!g || g->MinX > g->MaxX) continue;
    lo = std::min<double>(lo, g->MinX);
    hi = std::max<double>(hi, g->MaxX);
  }
  if (hi < lo) return {-100, 100};
  return {lo, hi};
}
