// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

class TProjectData;
class TGraph;

// Evaluation of a project's curve for the chart, the status bar and the mouse
// read-out. Functions that take the project expect the caller to hold its
// DataLock for reading while a worker may run, unless they say otherwise.

// log10(x), or -10 for x = 0 (a zero signal is drawn ten decades down).
double LogValue(double x);

// name, then max(0, width + 8 - length(name) - length(value)) spaces, then
// value: legend titles with the values aligned in one column (monospaced).
QString PadTitle(const QString &name, const QString &value, int width);

// A normalised value as the read-out shows it: 2 significant digits, fixed
// notation from 0.00001 on ("0.5", "0.012", "1"), below that scientific
// ("1.2E-6"); trailing zeros dropped; the locale's decimal separator.
QString FormatReadoutValue(double value);

// Full width at half maximum in fsec around PeakIndex: on each side the edge
// is interpolated linearly between the last measured pixel above half the
// peak and the first at or below it (unmeasured positions skipped). 0 when
// either side never falls to half maximum or there is no peak.
float ComputePeakWidth(const TProjectData &data, int zero);

// Indices a of measured pixels followed by GapLength unmeasured positions: the
// chart breaks its line after each of them. Ascending.
QList<int> BreakPositions(const TProjectData &data);

// Normalised value of the own curve at time shift x (fsec), as text; empty
// without data, outside 0..70000, or where the measured neighbours of an
// unmeasured position lie more than GapLength apart. Takes DataLock for
// reading itself (the read-out runs while a worker stores points); the
// caller must not hold it.
QString ValueTextAt(const TProjectData &data, double x, int zero);

// Time axis range covering the own data range (when not empty) and every
// added graph with values; -100..100 when there is nothing.
struct TAxisRange {
  double Min;
  double Max;
};
TAxisRange TimeAxisRange(double rangeMin, double rangeMax, const QList<const TGraph *> &graphs);
