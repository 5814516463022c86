// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

#include "adjustment/SampleSeries.h"

class QAbstractButton;
class QCloseEvent;
class QCPGraph;
class QCustomPlot;
class QFrame;
class QLabel;
class QModelIndex;
class QRadioButton;
class QSpinBox;
class QTableView;
class QTimer;
class QToolButton;
class TFilterTableModel;
class TFilterGridDelegate;
class TLinkLabel;

// The manual adjustment window: the two amplifier gains, the carriage and the
// filter wheel moved by hand, the carriage position taken as zero delay or as
// the delay line's length, the window's own copy of the filter calibration
// table, and a series of single measurements drawn as a histogram with mean
// and deviation. At most one is open (the main window's Adjustment command
// sees to that).
//
// Every command that would drive the device or change its parameters is
// refused while a project runs, and the display stays as it was meanwhile:
// the scan worker owns the device then.
//
// The measurement series runs from the event loop, one value per pass
// (tmSeries): Stop, Export, Copy and closing are handled between two values,
// so the program never waits longer than one measurement, and nothing runs
// nested inside a command handler.
//
// An MDI child of the main window: it places itself in the main window's MDI
// area, follows the child-window protocol and keeps its placement under
// (Forms, TfmAdjustmentTfmAdjustment). Deleted when it closes. Main thread only.
class TfmAdjustment : public QWidget {
  Q_OBJECT

 public:
  explicit TfmAdjustment(QWidget *parent = nullptr);
  ~TfmAdjustment() override;

  // A measurement series is under way.
  bool Measuring = false;
  // Set by Stop (and by closing during a series): the series ends after the
  // value being measured.
  bool StopRequested = false;
  // Values of the last series measured so far: the first SampleCount values
  // of Series().Samples() are valid.
  int SampleCount = 0;
  // The window's copy of the filter table was edited and not stored.
  bool TableChanged = false;
  // RefreshDisplay is setting the controls; gain clicks are ignored.
  bool Updating = false;

  const TSampleSeries &Series() const { return FSeries; }

  // Starts a measurement series of edQuantity values (the main window's
  // Start); it goes on from the event loop and ends by itself, by Stop, or at
  // a device error, which is shown. Refused while a project runs.
  void RunMeasurement();
  // The histogram of the values measured so far as a text file; raises when
  // the file cannot be written.
  void ExportHistogram(const QString &fileName);
  // Shows the device's gains, positions and the filter in place; does
  // nothing while a project runs.
  void RefreshDisplay();
  // The histogram chart on the clipboard (SVG and PNG).
  void CopyChart();
  // Raises "Can not change any params during project execution." while a
  // project window runs a scan.
  static void CheckNoProjectRunning();

  // Components, by their object names.
  QRadioButton *rbAmpF1 = nullptr, *rbAmpF16 = nullptr;
  QRadioButton *rbAmpI1 = nullptr, *rbAmpI2 = nullptr, *rbAmpI4 = nullptr, *rbAmpI8 = nullptr,
               *rbAmpI16 = nullptr, *rbAmpI32 = nullptr, *rbAmpI64 = nullptr;
  QLabel *lbTotalGain = nullptr;
  QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr, *SpeedButton3 = nullptr,
              *SpeedButton4 = nullptr;
  QToolButton *btDLPos = nullptr;
  TLinkLabel *Label2 = nullptr;
  QLabel *lbDLPosFS = nullptr;
  QToolButton *SpeedButton5 = nullptr, *SpeedButton6 = nullptr, *SpeedButton8 = nullptr,
              *SpeedButton10 = nullptr;
  QToolButton *btFilterPos = nullptr;
  QTableView *grFilter = nullptr;
  TFilterTableModel *tbFilter = nullptr;
  QToolButton *btInsert = nullptr, *btDelete = nullptr;
  TLinkLabel *lbApplyFilter = nullptr;
  QFrame *pnSignal = nullptr;
  QLabel *lbCurrentSignalCpt = nullptr, *lbCurrentSignal = nullptr;
  QLabel *lbAvgSignalCpt = nullptr, *lbSignal = nullptr;
  QSpinBox *edQuantity = nullptr;
  QCustomPlot *Chart = nullptr;
  QCPGraph *Series1 = nullptr;
  QLabel *lbMeasurement = nullptr;
  QTimer *tmSeries = nullptr;
  QTimer *tmReplot = nullptr;

  // Event handlers; each runs inside the central error guard.
  void rbAmpF1Click(QAbstractButton *button);
  void rbAmpI1Click(QAbstractButton *button);
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void SpeedButton4Click();
  void SpeedButton5Click();
  void SpeedButton6Click();
  void SpeedButton8Click();
  void SpeedButton10Click();
  void btDLPosClick();
  void btFilterPosClick();
  void Label2Click();
  void btInsertClick();
  void btDeleteClick();
  void lbApplyFilterClick();
  void grFilterDblClick(const QModelIndex &index);
  void pnSignalResize();
  // One value of the series.
  void tmSeriesTimer();

 protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void CreateComponents();
  QWidget *CreateGainGroups();
  QWidget *CreateMotorGroups();
  QWidget *CreateFilterGrid();
  QWidget *CreateSignalSide();
  void FormCreate();
  void FormActivate();
  // False: the window stays open (a rule broke, Cancel, a series under way).
  bool FormCloseQuery();
  void FormClose();

  void GainClick(QAbstractButton *button, bool photo);
  // Shows the gains on the radio buttons; a gain without a button changes
  // nothing in its group.
  void ShowGains(int ampF, int ampI);
  // A shift under the hourglass, followed by RefreshDisplay also when it fails.
  void BusyShift(int motor, qint32 steps);
  // A one-step shift; warns when the step was not made.
  void StepShift(int motor, int steps, const QString &warning);
  // A shift to a limit after the operator's consent; false when declined.
  bool LimitShift(int motor, int steps, const QString &question);
  void AskDelayLineLength();
  // Writes the window's table into the device and the settings file.
  void StoreTable();
  // Ends an edit in the grid: the open cell editor's text goes into the row,
  // then the row is posted (raises when it breaks a rule).
  void PostTable();
  void CloseCellEditor();
  void grFilterCurrentRowChanged(int current, int previous);
  // A series that has begun or ended: the main window's Start and Stop.
  void SetStartStop(bool measuring);
  void MeasureNext();
  void EndSeries();

  TSampleSeries FSeries;
  int FAvgNum = 1;
  int FShownAmpF = 0, FShownAmpI = 0;
  bool FChartDirty = false;  // the chart shows fewer values than measured
  TFilterGridDelegate *FGridDelegate = nullptr;
};
