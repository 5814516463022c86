// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/ProjectData.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/AppError.h"
#include "app/Globals.h"
#include "app/Messages.h"
#include "settings/SettingsStorage.h"

double DelayOf(int index, int zero) { return (double(index) - double(zero)) * FsPerStep; }

qint64 PositionOf(double delayFs, int zero) {
  // Clamped so that a pointer far outside any sensible axis cannot overflow
  // the integer conversion; such positions are outside 0..70000 anyway.
  double steps = RoundHalfEven(delayFs / FsPerStep);
  if (!(steps > -1e15)) steps = -1e15;
  if (steps > 1e15) steps = 1e15;
  return qint64(steps) + zero;
}

void CheckLeftLimit(int fs, int zero) {
  const double limit = -double(zero) * FsPerStep;
  if (limit > fs) RaiseError("Left interval limit is % fsec.", {qint64(std::trunc(limit))});
}

void CheckRightLimit(int fs, int zero) {
  if ((double(MaxPixel) - zero) * FsPerStep >= fs) return;
  // The test uses the pixel table's end; only the reported limit uses the
  // configured length of the delay line.
  const int length = AppSettings ? AppSettings->ReadInt({"General"}, "DL_STEPS", 70000) : 70000;
  RaiseError("Right interval limit is % fsec.",
             {qint64(std::trunc((double(length) - zero) * FsPerStep))});
}

TProjectData::TProjectData() : Pixels(PixelTotal) {}

float TProjectData::getValue(int index) const {
  if (index < 0 || index > MaxPixel)
    throw EAppError(QStringLiteral("Index is out of bound (getValue(%1)).").arg(index));
  const TPixel &p = Pixels[index];
  return float(double(p.Signal) / p.AmpF / p.AmpI / double(p.Transmission));
}

void TProjectData::AddInterval(int leftFs, int rightFs, int step, int zero) {
  // A step below 1 would never advance; the spin edit and the table rules
  // keep it positive, a caller from elsewhere gets nothing planned.
  if (step <= 0) return;
  qint64 p = PositionOf(leftFs, zero);
  if (p < 0) p = 0;
  if (!Plan.isEmpty() && p <= Plan.last()) p = qint64(Plan.last()) + 1;
  if (p % step != 0) p = (p / step + 1) * step;
  const double last = double(rightFs) / FsPerStep + zero;
  for (; p < MaxPixel && double(p) <= last; p += step)
    if (!Pixels[p].Measured()) Plan.append(int(p));
}

void TProjectData::BuildPlan(int zero) {
  if (AdvancedMode)
    BuildAdvancedPlan(zero);
  else
    BuildStandardPlan(zero);
}

void TProjectData::BuildStandardPlan(int zero) {
  if (Right <= Left) RaiseError("Incorrect interval.");
  CheckLeftLimit(Left, zero);
  CheckRightLimit(Right, zero);
  Plan.clear();
  AddInterval(Left, Right, Step, zero);
}

void TProjectData::BuildAdvancedPlan(int zero) {
  Interval.Validate(zero);
  Plan.clear();
  const QList<TIntervalRow> &rows = Interval.Rows();
  if (rows.isEmpty()) return;
  int shift = rows[0].Shift.value_or(0);
  int step = rows[0].Step.value_or(0);
  for (int i = 1; i < rows.size(); ++i) {
    AddInterval(shift, rows[i].Shift.value_or(0), step, zero);
    shift = rows[i].Shift.value_or(0);
    step = rows[i].Step.value_or(0);
  }
}

void TProjectData::ShiftPixels(int count) {
  if (count == 0) return;
  QWriteLocker lock(&DataLock);
  const qint64 n = std::min<qint64>(std::llabs(count), PixelTotal);
  const auto begin = Pixels.begin();
  const auto end = Pixels.end();
  // Measured pixels pushed out of the table take the statistics with them.
  const auto lostFrom = count > 0 ? end - n : begin;
  const bool lost = std::any_of(lostFrom, lostFrom + n, [](const TPixel &p) { return p.Measured(); });
  if (count > 0) {
    std::copy_backward(begin, end - n, end);
    std::fill(begin, begin + n, TPixel{});
  } else {
    std::copy(begin + n, end, begin);
    std::fill(end - n, end, TPixel{});
  }
  if (lost)
    RecomputeStatistics();
  else if (PeakIndex >= 0)
    PeakIndex += count;
}

void TProjectData::RecomputeStatistics() {
  PixelCount = 0;
  MaxValue = 0;
  PeakIndex = -1;
  for (int i = 0; i <= MaxPixel; ++i) {
    if (!Pixels[i].Measured()) continue;
    ++PixelCount;
    const float v = getValue(i);
    if (v > MaxValue) {
      MaxValue = v;
      PeakIndex = i;
    }
  }
}

int TProjectData::FirstMeasured() const {
  for (int i = 0; i <= MaxPixel; ++i)
    if (Pixels[i].Measured()) return i;
  return -1;
}

int TProjectData::LastMeasured() const {
  for (int i = MaxPixel; i >= 0; --i)
    if (Pixels[i].Measured()) return i;
  return -1;
}

void TProjectData::SetRangeForPlan(int zero) {
  if (Plan.isEmpty()) return;
  int lo = Plan.first();
  for (int i = 0; i <= Plan.first() && i <= MaxPixel; ++i)
    if (Pixels[i].Measured()) {
      lo = i;
      break;
    }
  int hi = Plan.last();
  for (int i = MaxPixel; i >= Plan.last() && i >= 0; --i)
    if (Pixels[i].Measured()) {
      hi = i;
      break;
    }
  RangeMin = DelayOf(lo, zero);
  RangeMax = DelayOf(hi, zero);
}

bool TProjectData::SetRangeFromData(int zero) {
  const int first = FirstMeasured();
  if (first < 0) return false;
  RangeMin = DelayOf(first, zero);
  RangeMax = DelayOf(LastMeasured(), zero);
  return true;
}

bool TProjectData::ZeroProposalApplies(int zero) const {
  if (!(MaxValue > 0) || PeakIndex < 20000 || PeakIndex > 40000) return false;
  int lower = -1, upper = -1;
  for (int i = PeakIndex - 1; i >= 0; --i)
    if (Pixels[i].Measured()) {
      lower = i;
      break;
    }
  for (int i = PeakIndex + 1; i <= MaxPixel; ++i)
    if (Pixels[i].Measured()) {
      upper = i;
      break;
    }
  return lower >= 0 && upper >= 0 && (lower >= zero || upper <= zero);
}
