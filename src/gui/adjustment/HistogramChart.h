// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The histogram chart of the adjustment window, kept apart so that the window
// need not parse QCustomPlot's header. Main thread only.
#include <QList>
#include <QString>

class QCPGraph;
class QCustomPlot;
class QWidget;

// A chart named "Chart" without legend, its bottom axis set by hand (-1 ..
// 1024 to start with), and one area series "Series1" drawn as red stairs.
QCustomPlot *CreateHistogramChart(QWidget *parent);
QCPGraph *HistogramSeries(QCustomPlot *chart);
// The chart as a widget, for layouts that cannot see QCustomPlot's class.
QWidget *ChartWidget(QCustomPlot *chart);
void SetChartTitle(QCustomPlot *chart, const QString &title);

// No bins at all and the bottom axis at -1 .. 1024.
void ClearHistogram(QCustomPlot *chart);
// The bins as stairs: bin v covers v - 0.5 .. v + 0.5 at the height bins[v].
void ShowHistogram(QCustomPlot *chart, const QList<int> &bins);
// One bin changed; maxBin is the highest bin now, for the value axis.
void SetHistogramBin(QCustomPlot *chart, int bin, int count, int maxBin);
void SetBottomRange(QCustomPlot *chart, double lower, double upper);
// Draws the changes at the next pass of the event loop, once however many
// there were.
void ReplotLater(QCustomPlot *chart);
