// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pictures of a chart: the clipboard item and the printed page. Kept out
// of the chart's own header so that callers need not parse QCustomPlot's.
class QCustomPlot;
class QPrinter;
class QMimeData;

// The chart at its on-screen size as one clipboard item in two forms: vector
// (image/svg+xml) and bitmap (PNG), so that drawing and office programs take
// the vector form and others the bitmap. Main thread only.
QMimeData *ChartMimeData(QCustomPlot *plot);
void CopyChartToClipboard(QCustomPlot *plot);

// The whole chart on one page of printer, stretched to the page; the chart
// is laid out at its on-screen size first, so texts keep their proportions.
void PrintChartPage(QCustomPlot *plot, QPrinter &printer);
