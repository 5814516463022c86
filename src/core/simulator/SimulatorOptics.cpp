// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/SimulatorOptics.h"

#include <cmath>
#include <cstdlib>

namespace SimulatorOptics {
namespace {
constexpr double PeakFwhmFs = 250.0;
constexpr double WingHeight = 1e-3;
constexpr double WingDecayFs = 800.0;
constexpr double PrePulseHeight = 2e-5;
constexpr double PrePulseDelayFs = -3300.0;
constexpr double PostPulseHeight = 3e-3;
constexpr double PostPulseDelayFs = 6700.0;
// A third-order correlation shows a post-pulse of contrast e also as e^2 on the
// opposite side of the main peak (the post-pulse's own second harmonic meets
// the main pulse there).
constexpr double MirrorArtefactHeight = PostPulseHeight * PostPulseHeight;
constexpr double MirrorArtefactDelayFs = -PostPulseDelayFs;
constexpr double PedestalHeight = 5e-9;
constexpr double PedestalHalfWidthFs = 40000.0;

double Gaussian(double tau) {
  // exp(-4 ln2 (tau / FWHM)^2): 1 at 0, 1/2 at ±FWHM/2.
  const double x = tau / PeakFwhmFs;
  return std::exp(-4.0 * std::log(2.0) * x * x);
}

double RawCorrelation(double tau) {
  double c = Gaussian(tau) + WingHeight * std::exp(-std::abs(tau) / WingDecayFs) +
             PrePulseHeight * Gaussian(tau - PrePulseDelayFs) +
             PostPulseHeight * Gaussian(tau - PostPulseDelayFs) +
             MirrorArtefactHeight * Gaussian(tau - MirrorArtefactDelayFs);
  if (std::abs(tau) < PedestalHalfWidthFs) c += PedestalHeight;
  return c;
}
}  // namespace

double Delay(int carriagePosition, int zeroPosition) {
  return (static_cast<double>(carriagePosition) - zeroPosition) * FsPerStep;
}

double Correlation(double tauFs) {
  static const double peak = RawCorrelation(0.0);
  return RawCorrelation(tauFs) / peak;
}

double WheelTransmission(int wheelPosition) {
  int p = wheelPosition % WheelRevolution;
  if (p < 0) p += WheelRevolution;
  for (const TFilter &f : Filters) {
    // Distance round the wheel: the first filter also covers 3180..3199.
    int d = std::abs(p - f.Position);
    if (d > WheelRevolution / 2) d = WheelRevolution - d;
    if (d <= FilterHalfWidth) return f.Transmission;
  }
  return 0.0;
}

double MeanCounts(double correlation, double transmission, int photoGain, int inputGain) {
  return DarkCounts + PeakCounts * correlation * transmission * photoGain * inputGain;
}

double AverageSigma(double correlation, double transmission, int photoGain, int inputGain,
                    int pulses) {
  const double signal = MeanCounts(correlation, transmission, photoGain, inputGain) - DarkCounts;
  const double fluctuation = LaserFluctuation * signal;
  const double variance = fluctuation * fluctuation + ShotNoiseFactor * signal +
                          ElectronicNoise * ElectronicNoise;
  return std::sqrt(variance / pulses);
}
}  // namespace SimulatorOptics
