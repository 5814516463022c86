// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TProjectData;

// The pulse report: what a scan over many decades tells about the laser pulse.
// Pure functions over a project's pixels and the zero position; no device, no
// window. The caller holds the project's DataLock for reading while a worker
// may run.
//
// Contrast is a pixel's value (getValue) divided by the largest value of the
// project (MaxValue), as the chart draws it: the main peak is 1.
//
// Main peak
//   PeakPositionFs and FwhmFs are the chart's own figures, unchanged: the delay
//   of the highest pixel and the half-maximum width interpolated between the
//   pixels around half of that highest value. The highest pixel sits on top of
//   its noise, so that width comes out short on noisy data (little averaging).
//   The fits take the measured pixels around the peak whose contrast is at
//   least FitFraction, walking out from the highest pixel until the first pixel
//   below it on each side (unmeasured positions are skipped). A side that never
//   falls below FitFraction within the data (a peak at the edge of the scan)
//   leaves both fits undetermined. The fits are least squares on the natural
//   logarithm of the values: the instrument's noise is mostly proportional to
//   the signal (laser fluctuation), so equal weight on the logarithm is equal
//   weight on the relative error. For a Gaussian the logarithm is a parabola,
//   solved exactly; the sech^2 shape is fitted by Levenberg-Marquardt started
//   from the Gaussian's centre, height and width. Residual is the rms of the
//   logarithmic residuals, about the rms relative deviation of the pixels from
//   the curve (0.01 = 1 %). A fit needs FitMinPoints pixels and a peak shape
//   (a parabola open downwards, a centre inside the fitted pixels).
//   Duration = fitted FWHM x the deconvolution factor of the correlation: the
//   instrument's third-order cross-correlation of the pulse with its own second
//   harmonic (Gaussian 0.816, sech^2 0.777), or a second-order autocorrelation
//   when the operator says so (Gaussian 0.707, sech^2 0.648). The factors hold
//   for those ideal shapes only; a chirped or structured pulse has none.
//
// Without a main peak that falls to half maximum on both sides within the data
// (no pixel measured, a flat curve, a peak at the edge of the scan) the highest
// pixel may be the foot of a peak outside the scan: the figures relative to the
// peak (pedestal, noise floor, dynamic range, pulses) are left undetermined.
// Stitching does not depend on the peak and is always checked. Pixels whose
// value is not a finite non-negative number (a damaged file) are left out.
// Every undetermined figure comes with a note that says why.
//
// Pedestal
//   The median contrast of the measured pixels at least PedestalMinDistanceFs
//   from the main peak on either side (pixels within PulseBaselineOuter widths
//   of a detected pre- or post-pulse left out), with the spread 1.4826 x the
//   median absolute deviation (a standard deviation for Gaussian scatter).
//   Undetermined with fewer than MinWindowPixels such pixels.
//
// Noise floor and dynamic range
//   The noise floor is the contrast that the converter's noise stands for at
//   the most sensitive setting the scan used (highest gain x transmission):
//   sigma / (gain x transmission) / MaxValue, where sigma is the scatter of the
//   converter readings of neighbouring pixels measured at that setting
//   (1.4826 x median |difference| / sqrt 2, which leaves slow trends out), and
//   at least one count, the converter's resolution. At a signal the readings
//   scatter more than in the dark, so this errs on the high (safe) side. The
//   dynamic range is log10(1 / noise floor) in decades (the peak is 1).
//
// Pre- and post-pulses
//   Searched on log10 of the contrast, outside PeakExclusionWidths main-peak
//   widths (W = the Gaussian fit's FWHM, else the half-maximum width, at least
//   three typical pixel spacings) around the main peak. A candidate is a pixel
//   that is the highest within +-W with pixels on both sides. Its local
//   background is the line, in log10 contrast against delay, through the
//   medians of two windows from PulseBaselineInner to PulseBaselineOuter widths
//   before and after it (each with MinWindowPixels pixels, both needed): a
//   wing that falls exponentially is such a line. The candidate stands clear
//   when it rises above that background by a factor of at least
//   PulseProminence and by at least PulseNoiseSigmas times the scatter of the
//   background windows (log10, from neighbour differences), and its height
//   above the background exceeds three noise floors. Reported: the delay from
//   the main peak (its Gaussian fit's centre, else the highest pixel), the
//   contrast of its own height above the background, and its full width at half
//   of that height (undetermined when it does not fall to half within +-2 W).
//   A pre-pulse at -D whose contrast lies within a factor GhostFactor of the
//   square of the contrast of a post-pulse at +D (delays within W) is flagged as
//   a possible artefact of that post-pulse: in a third-order correlation a
//   post-pulse of contrast e also appears as e^2 on the opposite side.
//
// Filter and gain stitching
//   Wherever the filter or the total gain differs between neighbouring measured
//   pixels (at most GapLength positions apart), one smooth curve (a parabola in
//   the logarithm, a line with two pixels a side) plus a jump is fitted to the
//   same number of pixels on each side, up to StitchSidePixels, that keep the
//   setting of their side.
//   Ratio = exp(jump): the value after the switch over what the pixels before
//   it predict (1 when filter and gains are calibrated). A switch needs two
//   pixels on each side. Its uncertainty is the standard error of the jump
//   from the fit's residuals (at least what half a count of rounding gives);
//   a switch on sharp structure (the foot of a pulse, the top of the peak) or
//   with few pixels comes out uncertain. A conclusive switch (uncertainty up to
//   StitchMaxError) whose ratio is off 1 by more than StitchTolerance is a
//   calibration warning. Per filter, the conclusive ratios of its switches to a
//   more transmissive filter (value behind this filter over value behind the
//   other) give its median ratio. The transmission the data suggest is chained
//   from the most transmissive filter the scan used, which is taken as right:
//   a filter's correction is the median of what its conclusive switches to
//   filters already corrected give, pass after pass. Gains are taken as exact.
//   Limits: a real step of the curve that falls on a switch reads as a
//   mismatch; the converter's dark reading, when the signal shift does not
//   remove it, lifts small readings and shows as a mismatch of several per cent
//   (about 8 % for 4 counts at a reading of 50) at switches to a small reading.
struct TPulseReportLimits {
  static constexpr double FitFraction = 0.2;
  static constexpr int FitMinPoints = 5;
  static constexpr double PedestalMinDistanceFs = 15000;
  static constexpr int MinWindowPixels = 3;
  static constexpr double PeakExclusionWidths = 2;
  static constexpr double PulseBaselineInner = 2;
  static constexpr double PulseBaselineOuter = 4;
  static constexpr double PulseProminence = 1.5;
  static constexpr double PulseNoiseSigmas = 5;
  static constexpr double GhostFactor = 3;
  static constexpr int StitchSidePixels = 6;
  static constexpr double StitchTolerance = 0.05;
  static constexpr double StitchMaxError = 0.015;
};

enum class TCorrelationKind {
  ThirdOrderCross,  // this instrument: the pulse against its own second harmonic
  SecondOrderAuto,  // an intensity autocorrelation measured elsewhere
};

// Deconvolution factor pulse FWHM / correlation FWHM.
double DeconvolutionFactor(TCorrelationKind kind, bool sech2);

struct TPeakFit {
  bool Valid = false;
  double CenterFs = 0;    // delay under the zero position
  double Height = 0;      // contrast of the fitted top (about 1)
  double FwhmFs = 0;      // of the correlation curve
  double DurationFs = 0;  // of the pulse: FwhmFs x the deconvolution factor
  double Residual = 0;    // rms of the natural-log residuals
  int Points = 0;
};

struct TSatellite {
  bool Pre = false;     // before the main peak
  double DelayFs = 0;   // from the main peak
  double Contrast = 0;  // own height above the local background
  double BackgroundContrast = 0;
  std::optional<double> WidthFs;
  std::optional<double> GhostOf;  // DelayFs of the post-pulse it may mirror
};

struct TStitch {
  double DelayFs = 0;  // midway between the two pixels, under the zero position
  int IndexBefore = 0, IndexAfter = 0;
  float TransmissionBefore = 0, TransmissionAfter = 0;
  int GainBefore = 0, GainAfter = 0;  // AmpF x AmpI
  std::optional<double> Ratio;        // after / before; none with too few pixels
  std::optional<double> Uncertainty;  // standard error of ln Ratio
  bool Conclusive = false;            // Uncertainty within StitchMaxError
  bool Warning = false;
};

struct TFilterCheck {
  float Transmission = 0;  // as the calibration table gave it
  int Switches = 0;        // switches to a more transmissive filter with a ratio
  std::optional<double> MedianRatio;
  std::optional<double> SuggestedTransmission;
  bool Reference = false;  // the most transmissive filter used: taken as right
  bool Warning = false;
};

struct TPulseReport {
  TCorrelationKind Kind = TCorrelationKind::ThirdOrderCross;
  int Pixels = 0;  // measured pixels
  std::optional<double> PeakPositionFs;
  std::optional<double> FwhmFs;
  TPeakFit Gaussian, Sech2;
  std::optional<double> Pedestal, PedestalSpread;
  int PedestalPixels = 0;
  std::optional<double> NoiseFloor, DynamicRangeDecades;
  QList<TSatellite> Pulses;     // by delay
  QList<TStitch> Stitches;      // by delay
  QList<TFilterCheck> Filters;  // by falling transmission
  // What could not be determined and why, in English; a window passes each
  // through Translate.
  QStringList Notes;

  bool CalibrationWarning() const;
};

TPulseReport ComputePulseReport(const TProjectData &data, int zero,
                                TCorrelationKind kind = TCorrelationKind::ThirdOrderCross);

// JSON form (keys in lowerCamelCase, undetermined numbers as null) and a
// readable table of the same figures.
QJsonObject PulseReportJson(const TPulseReport &report);
QString PulseReportText(const TPulseReport &report);
// A figure of the report as its text shows it: "-" when it is not determined.
QString ReportFixed(const std::optional<double> &value, int decimals,
                    const QString &unit = QString());
QString ReportSci(const std::optional<double> &value);
