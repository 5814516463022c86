// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>

// The optics of the simulated instrument: the cross-correlation signal, the
// filter wheel and the converter's mean count. Pure functions; the noise is
// added by the controller model.
namespace SimulatorOptics {
// Delay per carriage step, fs (the instrument's decimal value, not 50/3).
inline constexpr double FsPerStep = 16.6666666;
// Wheel steps per revolution.
inline constexpr int WheelRevolution = 3200;
// A filter covers its position ± this many steps; the beam is blocked between.
inline constexpr int FilterHalfWidth = 20;

struct TFilter {
  int Position;  // wheel steps
  double Transmission;
};
inline constexpr std::array<TFilter, 6> Filters{{{0, 1.0},
                                                 {400, 0.0923},
                                                 {800, 0.00871},
                                                 {1200, 0.000937},
                                                 {1600, 8.93E-5},
                                                 {2000, 9.1E-6}}};
// The same table as the program's calibration text.
inline constexpr const char *FilterTableText =
    "1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;";

// Converter model: counts per pulse = DarkCounts + PeakCounts × C × T × gains.
inline constexpr double DarkCounts = 4.0;
inline constexpr double PeakCounts = 7.7e7;
inline constexpr double LaserFluctuation = 0.03;  // relative, pulse to pulse
inline constexpr double ShotNoiseFactor = 0.5;    // variance per signal count
inline constexpr double ElectronicNoise = 1.2;    // counts, standard deviation
inline constexpr int ConverterMax = 1023;

// Delay of carriage position p, fs.
double Delay(int carriagePosition, int zeroPosition);
// Normalised cross-correlation at delay tau (fs), 1 at zero delay: main
// Gaussian peak (250 fs FWHM), exponential wings, pre-pulse, post-pulse, the
// post-pulse's mirror artefact (its height squared, on the other side of the
// peak) and the pedestal within ±40 ps.
double Correlation(double tauFs);
// Transmission of the wheel at any position (taken modulo one revolution);
// 0 between filters.
double WheelTransmission(int wheelPosition);
// Mean converter counts of one pulse before noise, rounding and clamping.
double MeanCounts(double correlation, double transmission, int photoGain, int inputGain);
// Standard deviation of the average of `pulses` pulses around MeanCounts.
double AverageSigma(double correlation, double transmission, int photoGain, int inputGain,
                    int pulses);
}  // namespace SimulatorOptics
