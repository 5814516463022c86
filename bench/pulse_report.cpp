// SPDX-License-Identifier: GPL-3.0-or-later
// The whole pulse report over a project with every one of its 70001 pixels
// measured: a scan of the simulated instrument's curve over the full delay
// line, with the gains and filters a run picks and its noise. Prints the best
// and the median of a few repetitions in milliseconds, and what was found.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "measurement/ProjectData.h"
#include "measurement/PulseReport.h"
#include "simulator/SimulatorOptics.h"

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  namespace O = SimulatorOptics;
  constexpr int Zero = 30000;
  TProjectData project;
  project.ZeroPosition = Zero;
  std::mt19937_64 random(1);
  std::normal_distribution<double> gauss;
  // A curve without data nowhere: the pedestal ends at +-40 ps, beyond it the
  // converter reads its noise at the highest gain.
  for (int i = 0; i <= MaxPixel; ++i) {
    const double c = O::Correlation(O::Delay(i, Zero));
    TPixel &p = project.Pixels[i];
    p.AmpF = 16;
    p.AmpI = 64;
    p.Transmission = 1;
    for (const O::TFilter &f : O::Filters) {
      p.Transmission = float(f.Transmission);
      if (c * O::PeakCounts * f.Transmission <= 650) break;
    }
    for (int gain = 1; gain <= 1024; gain *= 2) {
      p.AmpF = gain >= 16 ? 16 : 1;
      p.AmpI = quint8(gain / p.AmpF);
      if (c * O::PeakCounts * p.Transmission * gain * 2 > 650) break;
    }
    const double mean = c * O::PeakCounts * p.Transmission * p.AmpF * p.AmpI;
    const double noisy =
        mean + O::AverageSigma(c, p.Transmission, p.AmpF, p.AmpI, 64) * gauss(random);
    p.Signal = quint16(std::clamp(std::lround(noisy), 0L, 1023L));
  }
  project.RecomputeStatistics();

  std::vector<double> ms;
  TPulseReport report;
  for (int k = 0; k < 15; ++k) {
    QElapsedTimer t;
    t.start();
    report = ComputePulseReport(project, Zero);
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("pulse report, %d measured pixels      best %7.2f ms   median %7.2f ms\n",
              report.Pixels, ms.front(), ms[ms.size() / 2]);
  std::printf(
      "  Gaussian FWHM %.1f fsec, %lld pulses, %lld switches, pedestal %.3g, %.1f decades\n",
      report.Gaussian.FwhmFs, qint64(report.Pulses.size()), qint64(report.Stitches.size()),
      report.Pedestal.value_or(-1), report.DynamicRangeDecades.value_or(-1));
  return 0;
}
