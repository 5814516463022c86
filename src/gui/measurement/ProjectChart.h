// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>

class QCustomPlot;
class QCPGraph;
class QCPTextElement;
class QFrame;
class QLabel;
class QMouseEvent;
class TGraph;
class TProjectData;
struct TPulseReport;

// The chart of a project window: the project's own curve (Series1) and six
// spare series for added graphs (Series2..Series7), the time axis, the log or
// linear value axis, rectangle zoom and the mouse read-out (two cursor lines,
// the time shift at the bottom edge, the own value at the top edge, values in
// the legend titles). QCustomPlot stays behind this class so that its heavy
// header reaches the chart source only.
//
// Main thread only. The pixel data belong to the window; the functions that
// read them say which lock they expect.
class TProjectChart : public QWidget {
  Q_OBJECT

 public:
  static constexpr int SeriesCount = 7;

  TProjectChart(TProjectData &data, QWidget *parent = nullptr);
  ~TProjectChart() override;

  QCustomPlot *Plot() const { return FPlot; }
  QCPGraph *Series(int index) const { return FSeries[index]; }

  // Own curve. Caller holds DataLock for reading (or no worker runs).
  // Adds the pixels not plotted yet (all pixels when full: the peak grew and
  // every value changed) and places the line breaks anew.
  void AddOwnPoints(bool full, int zero);
  // Removes every point of the own series and forgets its breaks; Plotted
  // flags are the caller's.
  void ClearOwn();
  int OwnPointCount() const;
  // Keys of the break points in the own series, ascending.
  QList<double> GapKeys() const { return FGapKeys; }

  // Time axis: lo..hi as the full view (the zoom is left).
  void SetTimeRange(double lo, double hi);
  double TimeMin() const;
  double TimeMax() const;
  double ValueMin() const;
  double ValueMax() const;
  // The view shows a zoomed rectangle rather than the full range.
  bool Zoomed() const { return FZoomed; }
  // Zoom to a rectangle of widget pixels of the plot, or back to the full view.
  void ZoomTo(const QRect &rect);
  void Unzoom();

  void SetLines(bool visible);
  void SetDots(bool visible);
  // Linear: value axis fixed 0..1.01; log: automatic, fitted to the data.
  void SetLogScale(bool log, const QString &title);
  bool LogScale() const { return FLog; }
  // The chart title visible or not; the time axis title (empty when off).
  void SetCaptions(bool visible, const QString &axisTitle);
  QString TitleText() const;
  bool TitleVisible() const;
  QString TimeAxisTitle() const;

  // Added graphs. A graph drawn in series index (1..6) is shown there, in
  // the legend, and in the read-out under name; the chart keeps a pointer to
  // it until it is cleared (the window owns the graph). Drawing refills the
  // series whole, in the current scale.
  void DrawGraph(int index, const TGraph *graph, const QString &name);
  // The series empty, inactive and out of the legend.
  void ClearGraph(int index);
  const TGraph *GraphIn(int index) const { return FGraphs[index]; }
  void SetLegendVisible(bool visible);
  bool LegendVisible() const;

  // The analysis overlay: the Gaussian fit of the main peak and marks at the
  // detected pre- and post-pulses, in the current scale; a report without a
  // valid fit or pulses draws what it has. Cleared by ClearAnalysis.
  void ShowAnalysis(const TPulseReport &report);
  void ClearAnalysis();
  bool AnalysisShown() const;
  int AnalysisMarkCount() const;
  int AnalysisCurvePointCount() const;

  // Title of Series1 (and of the legend entry).
  void SetSeriesTitle(int index, const QString &title);
  QString SeriesTitle(int index) const;
  // Re-fits an automatic value axis and repaints.
  void Refresh();

  // Read-out controls (children of the plot, hidden at start).
  QFrame *pnReperTop = nullptr;
  QFrame *pnReperBottom = nullptr;
  QLabel *lbXValue = nullptr;
  QLabel *lbYValue = nullptr;

  // The read-out: projectName and the own value text at a time shift come
  // from the window.
  void ShowReadout(bool visible);
  bool ReadoutVisible() const;
  // Handles a pointer position in plot pixels with the buttons held.
  void ChartMouseMove(const QPoint &pos, Qt::MouseButtons buttons, bool doubleClick = false);

  // Name of the own curve for the legend.
  QString ProjectName;
  // Value text of the own curve at a time shift in fsec (the window reads it
  // under the data lock during a run).
  std::function<QString(double x)> OwnValueAt;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void PlotMouseMove(QMouseEvent *event);
  void PlotMousePress(QMouseEvent *event);
  void PlotMouseRelease(QMouseEvent *event);
  void SelectionAccepted(const QRect &rect, QMouseEvent *event);
  void FitValueAxis();
  void ResetTitles();
  // The widest name among the own curve and the added graphs, in characters.
  int TitleWidth() const;
  void RedrawAnalysis();

  TProjectData &FData;
  QCustomPlot *FPlot = nullptr;
  QCPGraph *FSeries[SeriesCount] = {};
  const TGraph *FGraphs[SeriesCount] = {};
  QString FGraphNames[SeriesCount];
  // The analysis overlay: fitted curve and pulse marks, out of the legend.
  QCPGraph *FFitCurve = nullptr;
  QCPGraph *FPulseMarks = nullptr;
  // Fit and pulses in linear contrast against delay, redrawn on a scale switch.
  QVector<double> FFitKeys, FFitValues, FMarkKeys, FMarkValues;
  bool FAnalysis = false;
  QCPTextElement *FTitle = nullptr;
  bool FTitleShown = false;
  bool FLog = true;
  bool FZoomed = false;
  double FHomeMin = -100, FHomeMax = 100;
  QList<double> FGapKeys;
  QPoint FPressPos;
};
