// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/ProjectChart.h"

#include <qcustomplot.h>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "measurement/CurveAnalysis.h"
#include "measurement/Graph.h"
#include "measurement/ProjectData.h"
#include "measurement/PulseReport.h"

namespace {
struct TSeriesStyle {
  QColor Line;
  QColor Marker;
  bool Outline;
};
// Series1 is the project's own curve; the others show added graphs.
const TSeriesStyle SeriesStyles[TProjectChart::SeriesCount] = {
    {QColor(255, 0, 0), QColor(255, 0, 0), true},
    {QColor(0, 0, 255), QColor(0, 0, 255), false},
    {QColor(255, 0, 255), QColor(255, 0, 255), false},
    {QColor(0, 128, 64), QColor(0, 128, 64), false},
    {QColor(255, 128, 0), QColor(255, 128, 64), false},
    {QColor(128, 128, 0), QColor(128, 128, 0), false},
    {QColor(64, 0, 64), QColor(0, 0, 0), false},
};
constexpr int MarkerSize = 3;      // pixels
constexpr int PulseMarkSize = 11;  // pixels
// The fitted curve is drawn this many fitted widths either side of its centre:
// 2^-25 of the top at the ends, below anything the instrument measures.
constexpr double FitHalfSpanWidths = 2.5;
constexpr int FitCurvePoints = 241;
const QColor AnalysisColour(0, 128, 0);
constexpr double LinearMax = 1.01;
const QColor Navy(0, 0, 128);

// A circle of MarkerSize pixels, drawn once: tens of thousands of markers
// are blitted as a pixmap many times faster than drawn as ellipses.
QCPScatterStyle MarkerStyle(int index) {
  const TSeriesStyle &s = SeriesStyles[index];
  const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(QSize(MarkerSize + 1, MarkerSize + 1) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(s.Outline ? QPen(s.Marker) : QPen(Qt::NoPen));
  painter.setBrush(s.Marker);
  painter.drawEllipse(QRectF(0.5, 0.5, MarkerSize, MarkerSize));
  painter.end();
  return QCPScatterStyle(pixmap);
}

QLabel *ReadoutLabel(const char *name, QWidget *parent) {
  auto *label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Navy);
  palette.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(palette);
  label->setAlignment(Qt::AlignCenter);
  label->setMargin(1);
  // The pointer moves over the labels while it reads values.
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->hide();
  return label;
}

QFrame *CursorPanel(const char *name, QWidget *parent) {
  auto *panel = new QFrame(parent);
  panel->setObjectName(QLatin1String(name));
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, Navy);
  panel->setPalette(palette);
  panel->setMouseTracking(true);
  panel->hide();
  return panel;
}
}  // namespace

TProjectChart::TProjectChart(TProjectData &data, QWidget *parent) : QWidget(parent), FData(data) {
  FPlot = new QCustomPlot(this);
  FPlot->setObjectName(QStringLiteral("Chart"));
  FPlot->setBackground(Qt::white);
  FPlot->setMouseTracking(true);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FPlot);

  for (int i = 0; i < SeriesCount; ++i) {
    QCPGraph *graph = FPlot->addGraph();
    graph->setPen(QPen(SeriesStyles[i].Line));
    graph->setScatterStyle(MarkerStyle(i));
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setName(QStringLiteral("Series%1").arg(i + 1));
    // Spare series stay out of the legend until a graph is drawn in them.
    graph->setVisible(i == 0);
    if (i > 0) graph->removeFromLegend();
    FSeries[i] = graph;
  }

  QFont axisFont(QStringLiteral("Courier New"));
  axisFont.setBold(true);
  FPlot->xAxis->setLabelFont(axisFont);
  FPlot->xAxis->setLabelColor(Navy);
  FPlot->xAxis->setRange(-100, 100);
  FPlot->yAxis->setRange(0, LinearMax);

  QFont titleFont(QStringLiteral("Times New Roman"));
  titleFont.setBold(true);
  titleFont.setPointSize(12);
  FTitle = new QCPTextElement(FPlot, QString(), titleFont);
  FTitle->setTextColor(Navy);

  QFont legendFont(QStringLiteral("Courier New"));
  legendFont.setStyleHint(QFont::Monospace);
  FPlot->legend->setFont(legendFont);
  FPlot->legend->setVisible(false);

  // The analysis overlay, above the curves and never in the legend.
  FFitCurve = FPlot->addGraph();
  FFitCurve->setName(QStringLiteral("Fit"));
  FFitCurve->setPen(QPen(AnalysisColour, 2, Qt::DashLine));
  FFitCurve->setLineStyle(QCPGraph::lsLine);
  FFitCurve->removeFromLegend();
  FFitCurve->setVisible(false);
  FPulseMarks = FPlot->addGraph();
  FPulseMarks->setName(QStringLiteral("Pulses"));
  FPulseMarks->setLineStyle(QCPGraph::lsNone);
  FPulseMarks->setScatterStyle(QCPScatterStyle(
      QCPScatterStyle::ssTriangleInverted, QPen(AnalysisColour, 2), Qt::NoBrush, PulseMarkSize));
  FPulseMarks->removeFromLegend();
  FPulseMarks->setVisible(false);

  FPlot->setSelectionRectMode(QCP::srmCustom);
  connect(FPlot->selectionRect(), &QCPSelectionRect::accepted, this,
          &TProjectChart::SelectionAccepted);
  connect(FPlot, &QCustomPlot::mouseMove, this, &TProjectChart::PlotMouseMove);
  connect(FPlot, &QCustomPlot::mousePress, this, &TProjectChart::PlotMousePress);
  connect(FPlot, &QCustomPlot::mouseRelease, this, &TProjectChart::PlotMouseRelease);
  connect(FPlot, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent *) { Unzoom(); });

  pnReperTop = CursorPanel("pnReperTop", FPlot);
  pnReperBottom = CursorPanel("pnReperBottom", FPlot);
  pnReperTop->installEventFilter(this);
  pnReperBottom->installEventFilter(this);
  lbXValue = ReadoutLabel("lbXValue", FPlot);
  lbYValue = ReadoutLabel("lbYValue", FPlot);
  FPlot->installEventFilter(this);
}

TProjectChart::~TProjectChart() {
  // The title is out of the layout while captions are off; the plot owns it
  // only while it is placed.
  if (!FTitleShown) delete FTitle;
}

void TProjectChart::AddOwnPoints(bool full, int zero) {
  QSharedPointer<QCPGraphDataContainer> container = FSeries[0]->data();
  const double maxValue = FData.MaxValue;
  auto valueOf = [&](int i) {
    const double v = double(FData.getValue(i)) / maxValue;
    return FLog ? LogValue(v) : v;
  };

  // New points in ascending order.
  QVector<QCPGraphData> fresh;
  for (int i = 0; i <= MaxPixel; ++i) {
    TPixel &p = FData.Pixels[i];
    if (!p.Measured() || (p.Plotted && !full)) continue;
    fresh.append(QCPGraphData(DelayOf(i, zero), valueOf(i)));
    p.Plotted = true;
  }

  // The points kept, without the previous breaks.
  QVector<QCPGraphData> kept;
  if (!full) {
    kept.reserve(container->size());
    for (auto it = container->constBegin(); it != container->constEnd(); ++it)
      if (!std::isnan(it->value)) kept.append(*it);
  }
  QVector<QCPGraphData> merged;
  merged.reserve(kept.size() + fresh.size());
  std::merge(kept.cbegin(), kept.cend(), fresh.cbegin(), fresh.cend(), std::back_inserter(merged),
             qcpLessThanSortKey<QCPGraphData>);

  // Breaks halfway after each measured pixel that 20 empty positions follow:
  // a NaN point there ends the line, and its key never equals a pixel's.
  FGapKeys.clear();
  for (int a : BreakPositions(FData)) FGapKeys.append(DelayOf(a, zero) + FsPerStep / 2);
  if (!FGapKeys.isEmpty()) {
    QVector<QCPGraphData> withGaps;
    withGaps.reserve(merged.size() + FGapKeys.size());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int g = 0;
    for (const QCPGraphData &point : merged) {
      while (g < FGapKeys.size() && FGapKeys[g] < point.key)
        withGaps.append(QCPGraphData(FGapKeys[g++], nan));
      withGaps.append(point);
    }
    while (g < FGapKeys.size()) withGaps.append(QCPGraphData(FGapKeys[g++], nan));
    merged.swap(withGaps);
  }
  container->set(merged, true);
}

void TProjectChart::ClearOwn() {
  FSeries[0]->data()->clear();
  FGapKeys.clear();
}

int TProjectChart::OwnPointCount() const {
  return FSeries[0]->data()->size();
}

void TProjectChart::SetTimeRange(double lo, double hi) {
  FHomeMin = lo;
  FHomeMax = hi;
  FZoomed = false;
  FPlot->xAxis->setRange(lo, hi);
  FitValueAxis();
}

double TProjectChart::TimeMin() const {
  return FPlot->xAxis->range().lower;
}
double TProjectChart::TimeMax() const {
  return FPlot->xAxis->range().upper;
}
double TProjectChart::ValueMin() const {
  return FPlot->yAxis->range().lower;
}
double TProjectChart::ValueMax() const {
  return FPlot->yAxis->range().upper;
}

void TProjectChart::ZoomTo(const QRect &rect) {
  const QRect r = rect.normalized();
  if (r.width() < 2 || r.height() < 2) return;
  FPlot->xAxis->setRange(FPlot->xAxis->pixelToCoord(r.left()),
                         FPlot->xAxis->pixelToCoord(r.right()));
  FPlot->yAxis->setRange(FPlot->yAxis->pixelToCoord(r.bottom()),
                         FPlot->yAxis->pixelToCoord(r.top()));
  FZoomed = true;
  FPlot->replot();
}

void TProjectChart::Unzoom() {
  FZoomed = false;
  FPlot->xAxis->setRange(FHomeMin, FHomeMax);
  if (!FLog) FPlot->yAxis->setRange(0, LinearMax);
  FitValueAxis();
  FPlot->replot();
}

void TProjectChart::DrawGraph(int index, const TGraph *graph, const QString &name) {
  if (index <= 0 || index >= SeriesCount || !graph) return;
  FGraphs[index] = graph;
  FGraphNames[index] = name;
  FPlot->legend->setVisible(true);
  QCPGraph *series = FSeries[index];
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const QList<int> breaks = graph->BreakPositions();
  QVector<QCPGraphData> points;
  points.reserve(PixelTotal + breaks.size());
  int b = 0;
  for (int i = 0; i <= MaxPixel; ++i) {
    const float v = graph->Values[i];
    if (v >= 0)
      points.append(QCPGraphData(DelayOf(i, graph->ZeroPosition), FLog ? LogValue(v) : v));
    // The break halfway after the last value of a stretch, as for the own
    // curve: its key never equals a point's.
    if (b < breaks.size() && breaks[b] == i) {
      points.append(QCPGraphData(DelayOf(i, graph->ZeroPosition) + FsPerStep / 2, nan));
      ++b;
    }
  }
  series->data()->set(points, true);
  series->setVisible(true);
  if (!FPlot->legend->hasItemWithPlottable(series)) series->addToLegend();
  series->setName(PadTitle(name, QString(), TitleWidth()));
  ResetTitles();
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::ClearGraph(int index) {
  if (index <= 0 || index >= SeriesCount) return;
  FGraphs[index] = nullptr;
  FGraphNames[index].clear();
  FSeries[index]->data()->clear();
  FSeries[index]->setVisible(false);
  FSeries[index]->removeFromLegend();
  ResetTitles();
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::SetLegendVisible(bool visible) {
  FPlot->legend->setVisible(visible);
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

bool TProjectChart::LegendVisible() const {
  return FPlot->legend->visible();
}

void TProjectChart::ShowAnalysis(const TPulseReport &report) {
  FFitKeys.clear();
  FFitValues.clear();
  FMarkKeys.clear();
  FMarkValues.clear();
  const TPeakFit &fit = report.Gaussian;
  if (fit.Valid && fit.FwhmFs > 0) {
    // The Gaussian of the fit in contrast: height x 2^-(2 (t - centre) / FWHM)^2.
    const double span = FitHalfSpanWidths * fit.FwhmFs;
    for (int k = 0; k < FitCurvePoints; ++k) {
      const double t = fit.CenterFs - span + 2 * span * k / (FitCurvePoints - 1);
      const double u = 2 * (t - fit.CenterFs) / fit.FwhmFs;
      FFitKeys.append(t);
      FFitValues.append(fit.Height * std::exp2(-u * u));
    }
  }
  // Pulse delays are counted from the main peak.
  const std::optional<double> centre =
      fit.Valid ? std::optional<double>(fit.CenterFs) : report.PeakPositionFs;
  if (centre) {
    for (const TSatellite &s : report.Pulses) {
      FMarkKeys.append(*centre + s.DelayFs);
      FMarkValues.append(s.Contrast + s.BackgroundContrast);
    }
  }
  FAnalysis = true;
  RedrawAnalysis();
}

void TProjectChart::ClearAnalysis() {
  FAnalysis = false;
  FFitKeys.clear();
  FFitValues.clear();
  FMarkKeys.clear();
  FMarkValues.clear();
  RedrawAnalysis();
}

bool TProjectChart::AnalysisShown() const {
  return FAnalysis;
}

int TProjectChart::AnalysisMarkCount() const {
  return FPulseMarks->data()->size();
}

int TProjectChart::AnalysisCurvePointCount() const {
  return FFitCurve->data()->size();
}

void TProjectChart::RedrawAnalysis() {
  auto scaled = [this](const QVector<double> &values) {
    QVector<double> out(values.size());
    for (qsizetype i = 0; i < values.size(); ++i) out[i] = FLog ? LogValue(values[i]) : values[i];
    return out;
  };
  FFitCurve->setData(FFitKeys, scaled(FFitValues), true);
  FPulseMarks->setData(FMarkKeys, scaled(FMarkValues), true);
  FFitCurve->setVisible(FAnalysis && !FFitKeys.isEmpty());
  FPulseMarks->setVisible(FAnalysis && !FMarkKeys.isEmpty());
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::SetLines(bool visible) {
  for (QCPGraph *graph : FSeries)
    graph->setLineStyle(visible ? QCPGraph::lsLine : QCPGraph::lsNone);
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::SetDots(bool visible) {
  for (int i = 0; i < SeriesCount; ++i)
    FSeries[i]->setScatterStyle(visible ? MarkerStyle(i)
                                        : QCPScatterStyle(QCPScatterStyle::ssNone));
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::SetLogScale(bool log, const QString &title) {
  FLog = log;
  FTitle->setText(title);
  if (!log) {
    if (FPlot->yAxis->range().lower > 1) FPlot->yAxis->setRangeLower(0);
    FPlot->yAxis->setRange(0, LinearMax);
  }
  RedrawAnalysis();
  FitValueAxis();
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::SetCaptions(bool visible, const QString &axisTitle) {
  if (visible != FTitleShown) {
    if (visible) {
      FPlot->plotLayout()->insertRow(0);
      FPlot->plotLayout()->addElement(0, 0, FTitle);
    } else {
      FPlot->plotLayout()->take(FTitle);
      FPlot->plotLayout()->simplify();
    }
    FTitleShown = visible;
  }
  FPlot->xAxis->setLabel(visible ? axisTitle : QString());
  FPlot->replot(QCustomPlot::rpQueuedReplot);
}

QString TProjectChart::TitleText() const {
  return FTitle->text();
}
bool TProjectChart::TitleVisible() const {
  return FTitleShown;
}
QString TProjectChart::TimeAxisTitle() const {
  return FPlot->xAxis->label();
}

void TProjectChart::SetSeriesTitle(int index, const QString &title) {
  FSeries[index]->setName(title);
}

QString TProjectChart::SeriesTitle(int index) const {
  return FSeries[index]->name();
}

void TProjectChart::FitValueAxis() {
  // Linear: fixed 0..1.01. Log: automatic over the drawn values, unless the
  // operator zoomed in.
  if (!FLog || FZoomed) return;
  bool found = false;
  QCPRange range;
  for (QCPGraph *graph : FSeries) {
    if (!graph->visible() || graph->data()->isEmpty()) continue;
    bool foundHere = false;
    const QCPRange r = graph->getValueRange(foundHere);
    if (!foundHere) continue;
    if (found)
      range.expand(r);
    else
      range = r;
    found = true;
  }
  if (!found) return;
  double margin = range.size() * 0.03;
  if (margin <= 0) margin = 0.5;
  FPlot->yAxis->setRange(range.lower - margin, range.upper + margin);
}

void TProjectChart::Refresh() {
  FitValueAxis();
  FPlot->replot();
}

bool TProjectChart::ReadoutVisible() const {
  return lbXValue->isVisible();
}

int TProjectChart::TitleWidth() const {
  qsizetype width = ProjectName.size();
  for (int i = 1; i < SeriesCount; ++i)
    if (FGraphs[i]) width = std::max(width, FGraphNames[i].size());
  return int(width);
}

void TProjectChart::ResetTitles() {
  const int width = TitleWidth();
  FSeries[0]->setName(PadTitle(ProjectName, QString(), width));
  for (int i = 1; i < SeriesCount; ++i)
    if (FGraphs[i]) FSeries[i]->setName(PadTitle(FGraphNames[i], QString(), width));
}

void TProjectChart::ShowReadout(bool visible) {
  lbYValue->setVisible(visible);
  pnReperTop->setVisible(visible);
  pnReperBottom->setVisible(visible);
  lbXValue->setVisible(visible);
  if (!visible) {
    ResetTitles();
    if (FPlot->legend->visible()) FPlot->replot(QCustomPlot::rpQueuedReplot);
  }
}

void TProjectChart::ChartMouseMove(const QPoint &pos, Qt::MouseButtons buttons, bool doubleClick) {
  const double x = FPlot->xAxis->pixelToCoord(pos.x());
  // Zooming and scrolling with the mouse are never disturbed.
  if (buttons != Qt::NoButton || doubleClick) {
    ShowReadout(false);
    return;
  }
  const QRect r = FPlot->axisRect()->rect();
  if (!r.contains(pos)) {
    ShowReadout(false);
    return;
  }
  const double shift = std::nearbyint(x);

  lbXValue->setText(QString::number(qint64(shift)));
  lbXValue->adjustSize();
  const QString yText = OwnValueAt ? OwnValueAt(shift) : QString();
  lbYValue->setText(yText);
  lbYValue->adjustSize();
  if (yText.isEmpty()) lbYValue->resize(1, lbYValue->height());

  auto centred = [&](QWidget *w) {
    const int left = pos.x() - w->width() / 2;
    return std::max(r.left(), std::min(left, r.right() + 1 - w->width()));
  };
  lbXValue->move(centred(lbXValue), r.bottom() + 1 - lbXValue->height());
  lbYValue->move(centred(lbYValue), r.top());

  const int topStart = r.top() + lbYValue->height();
  pnReperTop->setGeometry(pos.x(), topStart, 1, std::max(0, pos.y() - 1 - topStart));
  const int bottomStart = pos.y() + 1;
  pnReperBottom->setGeometry(pos.x(), bottomStart, 1,
                             std::max(0, r.bottom() + 1 - lbXValue->height() - bottomStart));

  const int width = TitleWidth();
  FSeries[0]->setName(PadTitle(ProjectName, yText, width));
  for (int i = 1; i < SeriesCount; ++i)
    if (FGraphs[i])
      FSeries[i]->setName(PadTitle(FGraphNames[i], FGraphs[i]->ValueTextAt(shift), width));
  ShowReadout(true);
  lbXValue->raise();
  lbYValue->raise();
  if (FPlot->legend->visible()) FPlot->replot(QCustomPlot::rpQueuedReplot);
}

void TProjectChart::PlotMouseMove(QMouseEvent *event) {
  ChartMouseMove(event->pos(), event->buttons());
}

void TProjectChart::PlotMousePress(QMouseEvent *event) {
  FPressPos = event->pos();
  ShowReadout(false);
}

void TProjectChart::PlotMouseRelease(QMouseEvent *) {
  ShowReadout(false);
}

void TProjectChart::SelectionAccepted(const QRect &rect, QMouseEvent *event) {
  // Dragged to the left: back to the full view; to the right: zoom in.
  if (event && event->pos().x() < FPressPos.x())
    Unzoom();
  else
    ZoomTo(rect);
}

bool TProjectChart::eventFilter(QObject *watched, QEvent *event) {
  if ((watched == pnReperTop || watched == pnReperBottom) && event->type() == QEvent::MouseMove)
    ShowReadout(false);
  else if (watched == FPlot && event->type() == QEvent::Resize)
    ShowReadout(false);
  else if (watched == FPlot && event->type() == QEvent::Leave)
    ShowReadout(false);
  return QWidget::eventFilter(watched, event);
}
