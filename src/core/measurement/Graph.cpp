// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Graph.h"

#include <cmath>

#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"

TGraph::TGraph() : Values(PixelTotal, -1.0f) {}

void TGraph::LoadFromFile(const QString &fileName) {
  const TFileBytes bytes(fileName);
  LoadFromBytes(bytes.Data(), bytes.Size());
}

void TGraph::LoadFromBytes(const char *bytes, qint64 size) {
  std::vector<float> values(PixelTotal, -1.0f);
  int zero = 0;
  float peak = 0;
  DecodeProject(
      bytes, size, [&](const TProjectHeader &h) { zero = h.ZeroPosition; },
      [&](const TStoredPixel &p) {
        if (p.Index < 0 || p.Index > MaxPixel) return;
        const float v =
            float(double(p.Signal) / p.AmpF / p.AmpI / double(p.Transmission));
        // A damaged entry (zero gain or transmission) has no usable value.
        if (!std::isfinite(v)) return;
        values[p.Index] = v;
        if (v > peak) peak = v;
      });

  // Empty range: EmptyRangeMin in single precision.
  float minX = float(EmptyRangeMin);
  float maxX = -float(EmptyRangeMin);
  if (peak > 0) {
    for (int j = 0; j <= MaxPixel; ++j) {
      if (values[j] < 0) continue;
      values[j] /= peak;
      const float x = float(DelayOf(j, zero));
      if (x < minX) minX = x;
      if (x > maxX) maxX = x;
    }
  }
  ZeroPosition = zero;
  Values = std::move(values);
  MinX = minX;
  MaxX = maxX;
}

QList<int> TGraph::BreakPositions() const {
  QList<int> breaks;
  int last = -1;
  for (int i = 0; i <= MaxPixel; ++i) {
    if (Values[i] > 0) {
      last = i;
    } else if (last >= 0 && i == last + GapLength) {
      breaks.append(last);
      last = -1;
    }
  }
  return breaks;
}
