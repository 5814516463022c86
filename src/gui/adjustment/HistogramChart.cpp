// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/HistogramChart.h"

#include <qcustomplot.h>

#include <algorithm>

namespace {
constexpr double StartLower = -1;
constexpr double StartUpper = 1024;

void SetValueRange(QCustomPlot *chart, int maxBin) {
  // Room above the highest bin, so that its top stays visible.
  chart->yAxis->setRange(0, std::max(1.0, maxBin * 1.05));
}
}  // namespace

QCustomPlot *CreateHistogramChart(QWidget *parent) {
  auto *chart = new QCustomPlot(parent);
  chart->setObjectName(QStringLiteral("Chart"));
  chart->legend->setVisible(false);
  chart->plotLayout()->insertRow(0);
  auto *title = new QCPTextElement(chart, QString(), QFont(chart->font().family(), 10));
  title->setObjectName(QStringLiteral("ChartTitle"));
  chart->plotLayout()->addElement(0, 0, title);

  QCPGraph *series = chart->addGraph();
  series->setObjectName(QStringLiteral("Series1"));
  // Each point starts its step: the bin of value v begins at v - 0.5.
  series->setLineStyle(QCPGraph::lsStepLeft);
  series->setScatterStyle(QCPScatterStyle::ssNone);
  series->setPen(QPen(Qt::red));
  series->setBrush(QBrush(Qt::red));
  series->setAdaptiveSampling(false);  // every bin is drawn

  // Values and counts are whole numbers: no ticks in between.
  for (QCPAxis *axis : {chart->xAxis, chart->yAxis}) {
    QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
    ticker->setTickStep(1);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    axis->setTicker(ticker);
  }
  chart->xAxis->setRange(StartLower, StartUpper);
  SetValueRange(chart, 0);
  chart->setMinimumSize(320, 200);
  return chart;
}

QCPGraph *HistogramSeries(QCustomPlot *chart) {
  return chart->graph(0);
}

QWidget *ChartWidget(QCustomPlot *chart) {
  return chart;
}

void SetChartTitle(QCustomPlot *chart, const QString &title) {
  if (auto *element = qobject_cast<QCPTextElement *>(chart->plotLayout()->element(0, 0)))
    element->setText(title);
}

void ClearHistogram(QCustomPlot *chart) {
  HistogramSeries(chart)->data()->clear();
  chart->xAxis->setRange(StartLower, StartUpper);
  SetValueRange(chart, 0);
}

void ShowHistogram(QCustomPlot *chart, const QList<int> &bins) {
  QVector<QCPGraphData> points;
  points.reserve(bins.size() + 1);
  for (qsizetype v = 0; v < bins.size(); ++v) points.append(QCPGraphData(v - 0.5, bins[v]));
  // The last bin needs its right edge: one more point at its height.
  if (!bins.isEmpty()) points.append(QCPGraphData(bins.size() - 0.5, bins.last()));
  HistogramSeries(chart)->data()->set(points, true);
  SetValueRange(chart, bins.isEmpty() ? 0 : *std::max_element(bins.begin(), bins.end()));
}

void SetHistogramBin(QCustomPlot *chart, int bin, int count, int maxBin) {
  QSharedPointer<QCPGraphDataContainer> data = HistogramSeries(chart)->data();
  if (bin < 0 || bin >= data->size() - 1) return;
  (data->begin() + bin)->value = count;
  if (bin == data->size() - 2) (data->begin() + bin + 1)->value = count;  // the closing point
  SetValueRange(chart, maxBin);
}

void SetBottomRange(QCustomPlot *chart, double lower, double upper) {
  chart->xAxis->setRange(lower, upper);
}

void ReplotLater(QCustomPlot *chart) {
  chart->replot(QCustomPlot::rpQueuedReplot);
}
