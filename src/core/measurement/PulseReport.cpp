// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/PulseReport.h"

#include <QJsonArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "measurement/ProjectData.h"

namespace {
using L = TPulseReportLimits;

constexpr double Ln2 = 0.69314718055994530942;
// FWHM of sech^2(x / T) in units of T: 2 acosh(sqrt 2).
const double Sech2FwhmPerT = 2.0 * std::acosh(std::sqrt(2.0));
// MAD to standard deviation for Gaussian scatter.
constexpr double MadToSigma = 1.4826;

// One usable measured pixel: finite, non-negative value.
struct TPoint {
  int Index;
  double X;            // delay, fsec
  double Value;        // getValue
  double Sensitivity;  // AmpF x AmpI x Transmission: counts per unit value
  int Signal;
  float Transmission;
  int Gain;
};

double Median(std::vector<double> v) {
  if (v.empty()) return std::numeric_limits<double>::quiet_NaN();
  const size_t n = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + n, v.end());
  const double hi = v[n];
  if (v.size() % 2) return hi;
  return (*std::max_element(v.begin(), v.begin() + n) + hi) / 2;
}

// Robust scatter of a sequence from the differences of its neighbours.
double NeighbourScatter(const std::vector<double> &v) {
  std::vector<double> d;
  for (size_t k = 1; k < v.size(); ++k) d.push_back(std::abs(v[k] - v[k - 1]));
  if (d.empty()) return std::numeric_limits<double>::quiet_NaN();
  return MadToSigma * Median(d) / std::sqrt(2.0);
}

// Solves a x = b for small n by Gaussian elimination with partial pivoting;
// false when singular.
template <size_t N>
bool Solve(std::array<std::array<double, N>, N> a, std::array<double, N> b,
           std::array<double, N> &x) {
  for (size_t c = 0; c < N; ++c) {
    size_t p = c;
    for (size_t r = c + 1; r < N; ++r)
      if (std::abs(a[r][c]) > std::abs(a[p][c])) p = r;
    if (!(std::abs(a[p][c]) > 1e-300)) return false;
    std::swap(a[p], a[c]);
    std::swap(b[p], b[c]);
    for (size_t r = c + 1; r < N; ++r) {
      const double f = a[r][c] / a[c][c];
      for (size_t k = c; k < N; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (size_t c = N; c-- > 0;) {
    double s = b[c];
    for (size_t k = c + 1; k < N; ++k) s -= a[c][k] * x[k];
    x[c] = s / a[c][c];
    if (!std::isfinite(x[c])) return false;
  }
  return true;
}

// Linear least squares with basis functions f(i, x) -> row of N values.
// When wanted, the standard error of the last parameter from the residuals
// (NaN without a degree of freedom).
template <size_t N, typename Basis>
bool LeastSquares(const std::vector<double> &xs, const std::vector<double> &ys, Basis basis,
                  std::array<double, N> &params, double *lastError = nullptr, double minSigma = 0) {
  std::array<std::array<double, N>, N> a{};
  std::array<double, N> b{};
  for (size_t i = 0; i < xs.size(); ++i) {
    const std::array<double, N> row = basis(i, xs[i]);
    for (size_t r = 0; r < N; ++r) {
      for (size_t c = 0; c < N; ++c) a[r][c] += row[r] * row[c];
      b[r] += row[r] * ys[i];
    }
  }
  if (!Solve<N>(a, b, params)) return false;
  if (lastError) {
    *lastError = std::numeric_limits<double>::quiet_NaN();
    if (xs.size() <= N) return true;
    double rss = 0;
    for (size_t i = 0; i < xs.size(); ++i) {
      const std::array<double, N> row = basis(i, xs[i]);
      double f = 0;
      for (size_t c = 0; c < N; ++c) f += row[c] * params[c];
      rss += (ys[i] - f) * (ys[i] - f);
    }
    const double variance = std::max(rss / double(xs.size() - N), minSigma * minSigma);
    std::array<double, N> unit{}, column{};
    unit[N - 1] = 1;
    if (Solve<N>(a, unit, column)) *lastError = std::sqrt(variance * column[N - 1]);
  }
  return true;
}

// --- Fits of the main peak -----------------------------------------------------------------

struct TFitData {
  std::vector<double> X;  // fsec relative to Origin
  std::vector<double> Y;  // ln contrast
  double Origin = 0;
  double Scale = 100;  // fsec per fit unit, for conditioning
};

double Rms(const std::vector<double> &r) {
  double s = 0;
  for (double v : r) s += v * v;
  return std::sqrt(s / double(r.size()));
}

TPeakFit FitGaussian(const TFitData &d, double factor) {
  TPeakFit fit;
  std::vector<double> u(d.X.size());
  for (size_t i = 0; i < u.size(); ++i) u[i] = d.X[i] / d.Scale;
  std::array<double, 3> p{};
  if (!LeastSquares<3>(
          u, d.Y,
          [](size_t, double x) {
            return std::array<double, 3>{1, x, x * x};
          },
          p))
    return fit;
  const double a = p[0], b = p[1], c = p[2];
  if (!(c < 0)) return fit;
  const double centre = -b / (2 * c);
  if (centre < u.front() || centre > u.back()) return fit;
  std::vector<double> res(u.size());
  for (size_t i = 0; i < u.size(); ++i) res[i] = d.Y[i] - (a + b * u[i] + c * u[i] * u[i]);
  fit.Valid = true;
  fit.CenterFs = d.Origin + centre * d.Scale;
  fit.Height = std::exp(a - b * b / (4 * c));
  fit.FwhmFs = std::sqrt(-4 * Ln2 / c) * d.Scale;
  fit.DurationFs = fit.FwhmFs * factor;
  fit.Residual = Rms(res);
  fit.Points = int(u.size());
  return fit;
}

// ln(A sech^2((x - x0) / T)) with p = {ln A, x0, T}, in fit units.
double LnSech2(const std::array<double, 3> &p, double x) {
  const double z = std::abs((x - p[1]) / p[2]);
  // ln cosh z without overflow: z + ln((1 + e^-2z) / 2).
  return p[0] - 2 * (z + std::log1p(std::exp(-2 * z)) - Ln2);
}

TPeakFit FitSech2(const TFitData &d, const TPeakFit &gaussian, double factor) {
  TPeakFit fit;
  if (!gaussian.Valid) return fit;
  std::vector<double> u(d.X.size());
  for (size_t i = 0; i < u.size(); ++i) u[i] = d.X[i] / d.Scale;
  std::array<double, 3> p{std::log(gaussian.Height), (gaussian.CenterFs - d.Origin) / d.Scale,
                          gaussian.FwhmFs / Sech2FwhmPerT / d.Scale};
  auto cost = [&](const std::array<double, 3> &q) {
    double s = 0;
    for (size_t i = 0; i < u.size(); ++i) {
      const double r = d.Y[i] - LnSech2(q, u[i]);
      s += r * r;
    }
    return s;
  };
  double current = cost(p);
  double lambda = 1e-3;
  for (int iteration = 0; iteration < 100; ++iteration) {
    std::array<std::array<double, 3>, 3> a{};
    std::array<double, 3> g{};
    for (size_t i = 0; i < u.size(); ++i) {
      const double z = (u[i] - p[1]) / p[2];
      const double t = std::tanh(z);
      const std::array<double, 3> j{1, 2 * t / p[2], 2 * t * z / p[2]};
      const double r = d.Y[i] - LnSech2(p, u[i]);
      for (size_t k = 0; k < 3; ++k) {
        for (size_t m = 0; m < 3; ++m) a[k][m] += j[k] * j[m];
        g[k] += j[k] * r;
      }
    }
    bool improved = false;
    while (lambda < 1e10) {
      std::array<std::array<double, 3>, 3> damped = a;
      for (size_t k = 0; k < 3; ++k) damped[k][k] *= 1 + lambda;
      std::array<double, 3> step{};
      if (!Solve<3>(damped, g, step)) {
        lambda *= 10;
        continue;
      }
      std::array<double, 3> q{p[0] + step[0], p[1] + step[1], p[2] + step[2]};
      if (q[2] <= 0) {
        lambda *= 10;
        continue;
      }
      const double c = cost(q);
      if (c < current) {
        const bool converged = current - c < 1e-12 * (1 + current);
        p = q;
        current = c;
        lambda = std::max(lambda / 10, 1e-12);
        improved = !converged;
        break;
      }
      lambda *= 10;
    }
    if (!improved) break;
  }
  if (!(p[2] > 0) || p[1] < u.front() || p[1] > u.back() || !std::isfinite(current)) return fit;
  fit.Valid = true;
  fit.CenterFs = d.Origin + p[1] * d.Scale;
  fit.Height = std::exp(p[0]);
  fit.FwhmFs = Sech2FwhmPerT * p[2] * d.Scale;
  fit.DurationFs = fit.FwhmFs * factor;
  fit.Residual = std::sqrt(current / double(u.size()));
  fit.Points = int(u.size());
  return fit;
}

// --- Stitching ---------------------------------------------------------------------------

bool SameSetting(const TPoint &a, const TPoint &b) {
  return a.Transmission == b.Transmission && a.Gain == b.Gain;
}

// Jump in ln value at the switch between points k and k + 1: one smooth curve
// through the same number of pixels on each side (so that its curvature
// cancels to first order), plus a step between the sides; with its standard
// error from the residuals, at least what half a count of rounding gives.
struct TJump {
  double Value = 0;
  double Error = 0;
};

std::optional<TJump> StitchJump(const std::vector<TPoint> &pts, size_t k) {
  int before = 0, after = 0;
  for (size_t j = k + 1; j-- > 0 && before < L::StitchSidePixels;) {
    if (!SameSetting(pts[j], pts[k]) || !(pts[j].Value > 0)) break;
    if (j < k && pts[j + 1].Index - pts[j].Index > GapLength) break;
    ++before;
  }
  for (size_t j = k + 1; j < pts.size() && after < L::StitchSidePixels; ++j) {
    if (!SameSetting(pts[j], pts[k + 1]) || !(pts[j].Value > 0)) break;
    if (j > k + 1 && pts[j].Index - pts[j - 1].Index > GapLength) break;
    ++after;
  }
  const int n = std::min(before, after);
  if (n < 2) return std::nullopt;
  std::vector<double> xs, ys, side;
  double smallest = std::numeric_limits<double>::infinity();
  const double mid = (pts[k].X + pts[k + 1].X) / 2;
  const double scale = std::max(1.0, std::abs(pts[k + 1].X - pts[k].X));
  for (int m = 0; m < 2 * n; ++m) {
    const size_t j = k + 1 - size_t(n) + size_t(m);
    xs.push_back((pts[j].X - mid) / scale);
    ys.push_back(std::log(pts[j].Value));
    side.push_back(m < n ? 0 : 1);
    smallest = std::min(smallest, double(pts[j].Signal));
  }
  const double rounding = 0.5 / std::max(1.0, smallest);
  TJump jump;
  if (n >= 3) {
    std::array<double, 4> p{};
    if (LeastSquares<4>(
            xs, ys,
            [&](size_t i, double x) {
              return std::array<double, 4>{1, x, x * x, side[i]};
            },
            p, &jump.Error, rounding) &&
        std::isfinite(jump.Error)) {
      jump.Value = p[3];
      return jump;
    }
    return std::nullopt;
  }
  std::array<double, 3> p{};
  if (LeastSquares<3>(
          xs, ys,
          [&](size_t i, double x) {
            return std::array<double, 3>{1, x, side[i]};
          },
          p, &jump.Error, rounding) &&
      std::isfinite(jump.Error)) {
    jump.Value = p[2];
    return jump;
  }
  return std::nullopt;
}

void CheckStitches(const std::vector<TPoint> &pts, TPulseReport &report) {
  // Per filter pair (more transmissive, less transmissive): ln ratios of the
  // value behind the weaker filter over the value behind the stronger one.
  std::map<std::pair<float, float>, std::vector<double>> pairs;
  std::vector<float> filters;
  for (const TPoint &p : pts)
    if (std::find(filters.begin(), filters.end(), p.Transmission) == filters.end())
      filters.push_back(p.Transmission);
  std::sort(filters.begin(), filters.end(), std::greater<float>());

  for (size_t k = 0; k + 1 < pts.size(); ++k) {
    const TPoint &a = pts[k], &b = pts[k + 1];
    if (SameSetting(a, b) || b.Index - a.Index > GapLength) continue;
    TStitch s;
    s.DelayFs = (a.X + b.X) / 2;
    s.IndexBefore = a.Index;
    s.IndexAfter = b.Index;
    s.TransmissionBefore = a.Transmission;
    s.TransmissionAfter = b.Transmission;
    s.GainBefore = a.Gain;
    s.GainAfter = b.Gain;
    if (const auto jump = StitchJump(pts, k)) {
      s.Ratio = std::exp(jump->Value);
      s.Uncertainty = jump->Error;
      s.Conclusive = jump->Error <= L::StitchMaxError;
      s.Warning = s.Conclusive && std::abs(*s.Ratio - 1) > L::StitchTolerance;
      if (s.Conclusive && a.Transmission != b.Transmission) {
        const bool aStronger = a.Transmission > b.Transmission;
        const float strong = aStronger ? a.Transmission : b.Transmission;
        const float weak = aStronger ? b.Transmission : a.Transmission;
        pairs[{strong, weak}].push_back(aStronger ? jump->Value : -jump->Value);
      }
    }
    report.Stitches.append(s);
  }
  if (report.Stitches.isEmpty()) return;

  // Corrections ln(true / given) chained from the most transmissive filter,
  // which is taken as right: a filter's correction is the median of what its
  // switches to filters already known give, pass after pass until nothing
  // new is learnt.
  std::map<float, double> correction{{filters.front(), 0.0}};
  for (bool learnt = true; learnt;) {
    learnt = false;
    for (float f : filters) {
      if (correction.count(f)) continue;
      std::vector<double> chained;
      for (const auto &[key, jumps] : pairs) {
        const auto strong = correction.find(key.first);
        const auto weak = correction.find(key.second);
        for (double j : jumps) {
          if (key.second == f && strong != correction.end()) chained.push_back(strong->second + j);
          if (key.first == f && weak != correction.end()) chained.push_back(weak->second - j);
        }
      }
      if (chained.empty()) continue;
      correction[f] = Median(chained);
      learnt = true;
    }
  }
  for (size_t f = 0; f < filters.size(); ++f) {
    TFilterCheck check;
    check.Transmission = filters[f];
    check.Reference = f == 0;
    std::vector<double> raw;
    for (const auto &[key, jumps] : pairs)
      if (key.second == filters[f]) raw.insert(raw.end(), jumps.begin(), jumps.end());
    check.Switches = int(raw.size());
    if (!raw.empty()) check.MedianRatio = std::exp(Median(raw));
    const auto c = correction.find(filters[f]);
    if (c != correction.end()) {
      check.SuggestedTransmission = double(filters[f]) * std::exp(c->second);
      check.Warning = std::abs(std::exp(c->second) - 1) > L::StitchTolerance;
    }
    report.Filters.append(check);
  }
}

// --- Pre- and post-pulses ---------------------------------------------------------------------

struct TWindowFit {
  bool Valid = false;
  double X = 0, LogY = 0;  // medians
  std::vector<double> Logs;
};

TWindowFit Window(const std::vector<TPoint> &pts, const std::vector<double> &logs, double from,
                  double to, double peakX, double exclusion) {
  TWindowFit w;
  std::vector<double> xs;
  // The pixels are in delay order: only the window's own pixels are visited.
  const auto first = std::lower_bound(pts.begin(), pts.end(), from,
                                      [](const TPoint &p, double x) { return p.X < x; });
  for (size_t j = size_t(first - pts.begin()); j < pts.size() && pts[j].X <= to; ++j) {
    if (std::abs(pts[j].X - peakX) <= exclusion || !std::isfinite(logs[j])) continue;
    xs.push_back(pts[j].X);
    w.Logs.push_back(logs[j]);
  }
  if (int(xs.size()) < L::MinWindowPixels) return w;
  w.Valid = true;
  w.X = Median(xs);
  w.LogY = Median(w.Logs);
  return w;
}

void FindPulses(const std::vector<TPoint> &pts, double maxValue, double peakX, double width,
                TPulseReport &report) {
  const size_t n = pts.size();
  std::vector<double> logs(n);
  for (size_t j = 0; j < n; ++j)
    logs[j] = pts[j].Value > 0 ? std::log10(pts[j].Value / maxValue)
                               : -std::numeric_limits<double>::infinity();
  const double exclusion = L::PeakExclusionWidths * width;
  const double floor = report.NoiseFloor.value_or(0);
  size_t lo = 0, hi = 0;  // the window [x - width, x + width] as indices
  for (size_t k = 0; k < n; ++k) {
    const double x = pts[k].X;
    while (pts[lo].X < x - width) ++lo;
    while (hi + 1 < n && pts[hi + 1].X <= x + width) ++hi;
    if (std::abs(x - peakX) <= exclusion || !std::isfinite(logs[k])) continue;
    if (lo == k || hi == k) continue;  // pixels on both sides
    bool top = true;
    for (size_t j = lo; j <= hi && top; ++j)
      if (j != k && (j < k ? logs[j] >= logs[k] : logs[j] > logs[k])) top = false;
    if (!top) continue;
    const TWindowFit left = Window(pts, logs, x - L::PulseBaselineOuter * width,
                                   x - L::PulseBaselineInner * width, peakX, exclusion);
    const TWindowFit right = Window(pts, logs, x + L::PulseBaselineInner * width,
                                    x + L::PulseBaselineOuter * width, peakX, exclusion);
    if (!left.Valid || !right.Valid) continue;
    auto baseLog = [&](double at) {
      return left.LogY + (right.LogY - left.LogY) * (at - left.X) / (right.X - left.X);
    };
    const double base = baseLog(x);
    double sigma = std::max(NeighbourScatter(left.Logs), NeighbourScatter(right.Logs));
    if (!std::isfinite(sigma)) sigma = 0;
    const double rise = logs[k] - base;
    const double contrast = pts[k].Value / maxValue;
    const double height = contrast - std::pow(10.0, base);
    if (rise < std::log10(L::PulseProminence) || rise < L::PulseNoiseSigmas * sigma ||
        height <= 3 * floor)
      continue;
    TSatellite s;
    s.Pre = x < peakX;
    s.DelayFs = x - peakX;
    s.Contrast = height;
    s.BackgroundContrast = std::pow(10.0, base);
    // Half of the own height above the background, on each side within 2 W.
    auto halfEdge = [&](int dir, double &edge) {
      for (qint64 j = qint64(k) + dir; j >= 0 && j < qint64(n); j += dir) {
        if (std::abs(pts[j].X - x) > 2 * width) return false;
        const double own = pts[j].Value / maxValue - std::pow(10.0, baseLog(pts[j].X));
        if (own <= height / 2) {
          const TPoint &inner = pts[j - dir];
          const double innerOwn = inner.Value / maxValue - std::pow(10.0, baseLog(inner.X));
          const double t = (innerOwn - height / 2) / (innerOwn - own);
          edge = inner.X + (pts[j].X - inner.X) * t;
          return true;
        }
      }
      return false;
    };
    double leftEdge, rightEdge;
    if (halfEdge(-1, leftEdge) && halfEdge(+1, rightEdge)) s.WidthFs = rightEdge - leftEdge;
    report.Pulses.append(s);
  }
  // A pre-pulse mirrored by a post-pulse: same distance, contrast its square.
  for (TSatellite &pre : report.Pulses) {
    if (!pre.Pre) continue;
    for (const TSatellite &post : report.Pulses) {
      if (post.Pre || std::abs(post.DelayFs + pre.DelayFs) > width) continue;
      const double q = pre.Contrast / (post.Contrast * post.Contrast);
      if (q >= 1 / L::GhostFactor && q <= L::GhostFactor) pre.GhostOf = post.DelayFs;
    }
  }
}

QJsonValue Number(const std::optional<double> &v) {
  return v && std::isfinite(*v) ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonObject FitJson(const TPeakFit &f) {
  QJsonObject o;
  o["fwhmFs"] = f.Valid ? QJsonValue(f.FwhmFs) : QJsonValue(QJsonValue::Null);
  o["durationFs"] = f.Valid ? QJsonValue(f.DurationFs) : QJsonValue(QJsonValue::Null);
  o["residual"] = f.Valid ? QJsonValue(f.Residual) : QJsonValue(QJsonValue::Null);
  o["centerFs"] = f.Valid ? QJsonValue(f.CenterFs) : QJsonValue(QJsonValue::Null);
  o["points"] = f.Points;
  return o;
}

QString Fixed(const std::optional<double> &v, int decimals, const QString &unit = QString()) {
  return ReportFixed(v, decimals, unit);
}

QString Sci(const std::optional<double> &v) {
  return ReportSci(v);
}
}  // namespace

QString ReportFixed(const std::optional<double> &v, int decimals, const QString &unit) {
  if (!v || !std::isfinite(*v)) return QStringLiteral("-");
  return QString::number(*v, 'f', decimals) + unit;
}

QString ReportSci(const std::optional<double> &v) {
  if (!v || !std::isfinite(*v)) return QStringLiteral("-");
  return QString::number(*v, 'e', 2);
}

double DeconvolutionFactor(TCorrelationKind kind, bool sech2) {
  if (kind == TCorrelationKind::SecondOrderAuto) return sech2 ? 0.648 : 0.707;
  return sech2 ? 0.777 : 0.816;
}

bool TPulseReport::CalibrationWarning() const {
  for (const TStitch &s : Stitches)
    if (s.Warning) return true;
  for (const TFilterCheck &f : Filters)
    if (f.Warning) return true;
  return false;
}

TPulseReport ComputePulseReport(const TProjectData &data, int zero, TCorrelationKind kind) {
  TPulseReport report;
  report.Kind = kind;

  std::vector<TPoint> pts;
  int unusable = 0;
  double maxValue = 0;
  int peak = -1;
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &p = data.Pixels[i];
    if (!p.Measured()) continue;
    ++report.Pixels;
    const double v = data.getValue(i);
    const double sensitivity = double(p.AmpF) * p.AmpI * double(p.Transmission);
    if (!std::isfinite(v) || v < 0 || !(p.Transmission > 0) || !std::isfinite(sensitivity)) {
      ++unusable;
      continue;
    }
    pts.push_back(
        {i, DelayOf(i, zero), v, sensitivity, p.Signal, p.Transmission, int(p.AmpF) * int(p.AmpI)});
    if (v > maxValue) {
      maxValue = v;
      peak = int(pts.size()) - 1;
    }
  }
  if (unusable)
    report.Notes << QStringLiteral(
                        "%1 pixels hold no usable value (a transmission that is not "
                        "positive) and are left out.")
                        .arg(unusable);
  if (report.Pixels == 0) {
    report.Notes << QStringLiteral("No pixel is measured: there is nothing to report.");
    return report;
  }
  if (peak < 0) {
    report.Notes << QStringLiteral("No pixel holds a signal above zero: there is no peak.");
    return report;
  }
  const TPoint &top = pts[size_t(peak)];
  report.PeakPositionFs = top.X;

  // The chart's half-maximum width over the usable pixels.
  {
    const double half = maxValue / 2;
    auto edge = [&](int dir, double &fs) {
      double bx = top.X, bv = top.Value;
      for (qint64 j = peak; j >= 0 && j < qint64(pts.size()); j += dir) {
        const TPoint &p = pts[size_t(j)];
        if (p.Value > half) {
          bx = p.X;
          bv = p.Value;
          continue;
        }
        fs = ((half - p.Value) * bx + (bv - half) * p.X) / (bv - p.Value);
        return true;
      }
      return false;
    };
    double left, right;
    if (edge(-1, left) && edge(+1, right))
      report.FwhmFs = right - left;
    else
      report.Notes << QStringLiteral(
          "The main peak does not fall to half maximum on both sides within the data: no "
          "half-maximum width.");
  }

  // Fits on the pixels above FitFraction of the peak.
  {
    const double threshold = L::FitFraction * maxValue;
    qint64 first = peak, last = peak;
    bool leftEnds = false, rightEnds = false;
    for (qint64 j = peak - 1; j >= 0; --j) {
      if (pts[size_t(j)].Value < threshold) {
        leftEnds = true;
        break;
      }
      first = j;
    }
    for (qint64 j = peak + 1; j < qint64(pts.size()); ++j) {
      if (pts[size_t(j)].Value < threshold) {
        rightEnds = true;
        break;
      }
      last = j;
    }
    TFitData fd;
    fd.Origin = top.X;
    for (qint64 j = first; j <= last; ++j) {
      fd.X.push_back(pts[size_t(j)].X - top.X);
      fd.Y.push_back(std::log(pts[size_t(j)].Value / maxValue));
    }
    if (!leftEnds || !rightEnds) {
      report.Notes << QStringLiteral(
                          "The main peak does not fall below %1 % of its height on both sides "
                          "within the data (a peak at the edge of the scan): no fit.")
                          .arg(L::FitFraction * 100);
    } else if (int(fd.X.size()) < L::FitMinPoints) {
      report.Notes << QStringLiteral(
                          "Only %1 pixels lie above %2 % of the peak; a fit needs %3: no fit.")
                          .arg(fd.X.size())
                          .arg(L::FitFraction * 100)
                          .arg(L::FitMinPoints);
    } else {
      report.Gaussian = FitGaussian(fd, DeconvolutionFactor(kind, false));
      report.Sech2 = FitSech2(fd, report.Gaussian, DeconvolutionFactor(kind, true));
      if (!report.Gaussian.Valid)
        report.Notes << QStringLiteral(
            "The pixels around the peak do not have a peak shape: no fit.");
      else if (!report.Sech2.Valid)
        report.Notes << QStringLiteral("The sech\u00B2 fit did not converge.");
    }
  }

  // Contrast needs a peak: a highest pixel that is not enclosed by the data
  // may be the foot of a peak outside the scan.
  if (!report.FwhmFs) {
    report.Notes << QStringLiteral(
        "Without a main peak inside the data there is no contrast: no noise floor, dynamic "
        "range, pedestal or pre- and post-pulses.");
    CheckStitches(pts, report);
    return report;
  }

  // Noise floor at the most sensitive setting used.
  {
    double best = 0;
    for (const TPoint &p : pts) best = std::max(best, p.Sensitivity);
    std::vector<double> diffs;
    const TPoint *previous = nullptr;
    for (const TPoint &p : pts) {
      if (p.Sensitivity != best) {
        previous = nullptr;
        continue;
      }
      if (previous && p.Index - previous->Index <= GapLength)
        diffs.push_back(std::abs(double(p.Signal) - previous->Signal));
      previous = &p;
    }
    double sigma = 1;
    if (diffs.size() >= 4)
      sigma = std::max(1.0, MadToSigma * Median(diffs) / std::sqrt(2.0));
    else
      report.Notes << QStringLiteral(
          "Too few neighbouring pixels at the most sensitive setting to measure the "
          "converter's scatter: the noise floor assumes one count.");
    report.NoiseFloor = sigma / best / maxValue;
    report.DynamicRangeDecades = -std::log10(*report.NoiseFloor);
  }

  // Pre- and post-pulses.
  std::optional<double> width;
  if (report.Gaussian.Valid)
    width = report.Gaussian.FwhmFs;
  else if (report.FwhmFs && *report.FwhmFs > 0)
    width = report.FwhmFs;
  const double peakX = report.Gaussian.Valid ? report.Gaussian.CenterFs : top.X;
  if (width) {
    std::vector<double> spacings;
    for (size_t j = 1; j < pts.size(); ++j) spacings.push_back(pts[j].X - pts[j - 1].X);
    const double typical = spacings.empty() ? FsPerStep : Median(spacings);
    FindPulses(pts, maxValue, peakX, std::max(*width, 3 * typical), report);
  } else {
    report.Notes << QStringLiteral(
        "The width of the main peak is unknown: pre- and post-pulses are not searched.");
  }

  // Pedestal far from the main peak, away from the detected pulses.
  {
    std::vector<double> ys;
    const double w = width.value_or(0);
    for (const TPoint &p : pts) {
      if (std::abs(p.X - peakX) < L::PedestalMinDistanceFs) continue;
      bool nearPulse = false;
      for (const TSatellite &s : report.Pulses)
        if (std::abs(p.X - (peakX + s.DelayFs)) <= L::PulseBaselineOuter * w) nearPulse = true;
      if (!nearPulse) ys.push_back(p.Value / maxValue);
    }
    report.PedestalPixels = int(ys.size());
    if (int(ys.size()) >= L::MinWindowPixels) {
      const double m = Median(ys);
      std::vector<double> dev;
      for (double y : ys) dev.push_back(std::abs(y - m));
      report.Pedestal = m;
      report.PedestalSpread = MadToSigma * Median(dev);
    } else {
      report.Notes << QStringLiteral(
                          "Fewer than %1 pixels lie %2 ps or more from the main peak: no "
                          "pedestal.")
                          .arg(L::MinWindowPixels)
                          .arg(L::PedestalMinDistanceFs / 1000);
    }
  }

  CheckStitches(pts, report);
  return report;
}

QJsonObject PulseReportJson(const TPulseReport &r) {
  QJsonObject o;
  o["correlation"] = r.Kind == TCorrelationKind::SecondOrderAuto
                         ? QStringLiteral("second-order autocorrelation")
                         : QStringLiteral("third-order cross-correlation");
  o["pixels"] = r.Pixels;
  o["peakPositionFs"] = Number(r.PeakPositionFs);
  o["fwhmFs"] = Number(r.FwhmFs);
  o["fit"] = QJsonObject{{"gaussian", FitJson(r.Gaussian)}, {"sech2", FitJson(r.Sech2)}};
  o["pedestal"] = Number(r.Pedestal);
  o["pedestalSpread"] = Number(r.PedestalSpread);
  o["pedestalPixels"] = r.PedestalPixels;
  o["noiseFloor"] = Number(r.NoiseFloor);
  o["dynamicRangeDecades"] = Number(r.DynamicRangeDecades);
  QJsonArray pulses;
  for (const TSatellite &s : r.Pulses)
    pulses.append(QJsonObject{{"kind", s.Pre ? "pre" : "post"},
                              {"delayFs", s.DelayFs},
                              {"contrast", s.Contrast},
                              {"backgroundContrast", s.BackgroundContrast},
                              {"widthFs", Number(s.WidthFs)},
                              {"ghostOf", Number(s.GhostOf)}});
  o["pulses"] = pulses;
  QJsonArray stitches;
  for (const TStitch &s : r.Stitches)
    stitches.append(QJsonObject{{"delayFs", s.DelayFs},
                                {"ratio", Number(s.Ratio)},
                                {"uncertainty", Number(s.Uncertainty)},
                                {"conclusive", s.Conclusive},
                                {"transmissionBefore", double(s.TransmissionBefore)},
                                {"transmissionAfter", double(s.TransmissionAfter)},
                                {"gainBefore", s.GainBefore},
                                {"gainAfter", s.GainAfter},
                                {"warning", s.Warning}});
  o["stitches"] = stitches;
  QJsonArray filters;
  for (const TFilterCheck &f : r.Filters)
    filters.append(QJsonObject{{"transmission", double(f.Transmission)},
                               {"switches", f.Switches},
                               {"medianRatio", Number(f.MedianRatio)},
                               {"suggestedTransmission", Number(f.SuggestedTransmission)},
                               {"reference", f.Reference},
                               {"warning", f.Warning}});
  o["filters"] = filters;
  o["calibrationWarning"] = r.CalibrationWarning();
  o["notes"] = QJsonArray::fromStringList(r.Notes);
  return o;
}

QString PulseReportText(const TPulseReport &r) {
  QStringList t;
  auto line = [&](const QString &name, const QString &value) {
    t << name.leftJustified(34) + value;
  };
  line("Correlation", r.Kind == TCorrelationKind::SecondOrderAuto
                          ? "second-order autocorrelation"
                          : "third-order cross-correlation");
  line("Pixels measured", QString::number(r.Pixels));
  line("Peak position", Fixed(r.PeakPositionFs, 1, " fsec"));
  line("Half-maximum width", Fixed(r.FwhmFs, 1, " fsec"));
  for (const auto &[name, f] : {std::pair<QString, const TPeakFit *>{"Gaussian", &r.Gaussian},
                                std::pair<QString, const TPeakFit *>{"sech\u00B2", &r.Sech2}}) {
    if (!f->Valid) {
      line(name + " fit", "-");
      continue;
    }
    line(name + " fit", QString("FWHM %1 fsec, duration %2 fsec, residual %3")
                            .arg(f->FwhmFs, 0, 'f', 1)
                            .arg(f->DurationFs, 0, 'f', 1)
                            .arg(f->Residual, 0, 'f', 4));
  }
  line("Pedestal", r.Pedestal ? Sci(r.Pedestal) + " \u00B1 " + Sci(r.PedestalSpread) +
                                    QString(" (%1 pixels)").arg(r.PedestalPixels)
                              : QStringLiteral("-"));
  line("Noise floor", Sci(r.NoiseFloor));
  line("Dynamic range", Fixed(r.DynamicRangeDecades, 1, " decades"));
  t << "";
  t << "Pre- and post-pulses:";
  if (r.Pulses.isEmpty()) t << "  (none)";
  for (const TSatellite &s : r.Pulses)
    t << QString("  %1  %2 fsec  contrast %3  width %4%5")
             .arg(s.Pre ? "pre " : "post")
             .arg(s.DelayFs, 9, 'f', 1)
             .arg(s.Contrast, 0, 'e', 2)
             .arg(Fixed(s.WidthFs, 0, " fsec"))
             .arg(s.GhostOf ? QString("  possible artefact of the post-pulse at %1 fsec")
                                  .arg(*s.GhostOf, 0, 'f', 1)
                            : QString());
  t << "";
  t << "Filter and gain switches:";
  if (r.Stitches.isEmpty()) t << "  (none)";
  for (const TStitch &s : r.Stitches)
    t << QString("  %1 fsec  T %2 -> %3  gain %4 -> %5  ratio %6%7")
             .arg(s.DelayFs, 9, 'f', 1)
             .arg(double(s.TransmissionBefore), 0, 'g', 4)
             .arg(double(s.TransmissionAfter), 0, 'g', 4)
             .arg(s.GainBefore)
             .arg(s.GainAfter)
             .arg(Fixed(s.Ratio, 3))
             .arg(s.Warning                  ? "  CALIBRATION WARNING"
                  : s.Ratio && !s.Conclusive ? "  (uncertain)"
                                             : "");
  if (!r.Filters.isEmpty()) {
    t << "";
    t << "Filters:";
    for (const TFilterCheck &f : r.Filters)
      t << QString("  T %1  switches %2  median ratio %3  suggested transmission %4%5")
               .arg(double(f.Transmission), 0, 'g', 4)
               .arg(f.Switches)
               .arg(Fixed(f.MedianRatio, 3))
               .arg(f.SuggestedTransmission ? QString::number(*f.SuggestedTransmission, 'g', 4)
                                            : QStringLiteral("-"))
               .arg(f.Reference ? "  (reference)"
                    : f.Warning ? "  CALIBRATION WARNING"
                                : "");
  }
  if (!r.Notes.isEmpty()) {
    t << "";
    t << "Not determined:";
    for (const QString &n : r.Notes) t << "  " + n;
  }
  return t.join('\n') + '\n';
}
