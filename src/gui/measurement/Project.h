// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QSpinBox;
class QStatusBar;
class QTimer;
class QToolButton;
class TIntervalGrid;
class TIntervalModel;
class TGraph;
class TProjectChart;
class TProjectData;
class TRunJournal;
class TWorkingThread;

// A measurement project window: interval, runs, the chart, files. MDI child
// of the main window; registers itself in OpenWindows and on the window
// panel, keeps its placement and its view and interval settings under
// (Forms, TfmProject). Main thread only; the scan worker writes its data under
// the data lock and never touches this window: when it ends by itself it
// signals, queued, and the window stops the run from tmStop.
class TfmProject : public QWidget {
  Q_OBJECT

 public:
  explicit TfmProject(QWidget *parent = nullptr);
  ~TfmProject() override;

  QString ProjectName;
  // Empty until the project was loaded from or saved to a file.
  QString ProjectFileName;
  // A scan runs on the worker thread.
  bool Running = false;
  // False while the window is being created.
  bool Initialized = false;

  // A new empty project named name, with the stored view and interval.
  void InitNew(const QString &name);
  // Stores this window's placement, view and interval settings for the next
  // new project.
  void SaveViewSettings();
  // Fills this (new) window from a project file; on an error the window keeps
  // what was read and the error passes on.
  void LoadProject(const QString &fileName);
  // Writes the project file; during a run a consistent set of points. Saved
  // while no run is under way, the run journal has done its work and goes.
  void SaveProject(const QString &fileName);
  // Fills this (new) window from the run journal fileName left by a run that
  // never ended: the earlier data plus every journalled point, modified and
  // not saved. The window then owns the journal file and deletes it once the
  // operator saved or discarded the project. A damaged journal recovers the
  // complete points before the damage and says so.
  void RecoverJournal(const QString &fileName);
  // The journal file of this project's points not yet in a project file
  // (written by the last run or recovered); empty when there is none.
  QString JournalFile() const;
  // Builds the plan from the interval and starts the worker; an interval
  // measured completely already starts nothing and says nothing.
  void StartMeasurement();
  // Ends the run after the point under way, shows the worker's error once,
  // unlocks the window and may propose the delay line zero at the peak.
  void StopMeasurement();
  // Moves the data so that the peak lies at 0 fsec; refused during a run.
  void CenterPeak();

  // The curve as an ASCII table.
  void ExportData(const QString &fileName);
  // Overlaid curves of other project files, at most six: read once, drawn in
  // the first free series of Series2..Series7, kept until removed or the
  // window closes.
  void AddGraph(const QString &fileName);
  // Refills the graph's series from its values in the current scale.
  void DrawGraph(const TGraph &graph);
  // One graph: asks, then removes it; several: the check-list dialog.
  void RemoveGraphs();
  // Full paths of the added graphs, in the order they were added.
  QStringList GraphFiles() const;
  const TGraph *GraphAt(int index) const;
  // The pulse report of the project's pixels in its dialog, modal.
  void ShowPulseReport();
  // The chart on the clipboard, and on one printed page.
  void CopyChart();
  void PrintChart(QPrinter &printer);

  // Drawing and analysis of the own curve.
  void UpdateGraph();
  void RebuildGraph();
  void UpdateAxisRange();
  // The interval controls read-only (a run is under way) or editable.
  void LockEditing(bool lock);

  TProjectData &Data() { return *FData; }
  bool Modified() const;

  // Components, by their object names.
  TProjectChart *Chart = nullptr;
  QWidget *pnDetail = nullptr;
  QWidget *pnInterval = nullptr;
  QGroupBox *grStandard = nullptr;
  QSpinBox *edLeft = nullptr;
  QSpinBox *edRight = nullptr;
  QSpinBox *edStep = nullptr;
  QLabel *lbStepFS = nullptr;
  QLabel *lbAdvancedMode = nullptr;
  QGroupBox *grAdvanced = nullptr;
  TIntervalGrid *grInterval = nullptr;
  TIntervalModel *tbInterval = nullptr;
  QToolButton *btInsert = nullptr;
  QToolButton *btDelete = nullptr;
  QLabel *lbStandardMode = nullptr;
  QMenu *pmInterval = nullptr;
  QAction *mnCopyTable = nullptr, *mnPasteTable = nullptr, *mnClearTable = nullptr;
  QGroupBox *grView = nullptr;
  QCheckBox *chbLine = nullptr, *chbDot = nullptr, *chbLogScale = nullptr, *chbCaptions = nullptr;
  // The fitted peak and the detected pulses over the curve.
  QCheckBox *chbAnalysis = nullptr;
  QGroupBox *grNote = nullptr;
  QPlainTextEdit *edNote = nullptr;
  QStatusBar *StatusBar = nullptr;
  QLabel *FStatusPanels[3] = {};
  QTimer *tmGraph = nullptr;
  QTimer *tmStop = nullptr;

  // Event handlers.
  void edStepChange();
  void edNoteChange();
  void lbAdvancedModeClick();
  void lbStandardModeClick();
  void btInsertClick();
  void btDeleteClick();
  void mnCopyTableClick();
  void mnPasteTableClick();
  void mnClearTableClick();
  void chbLineChange();
  void chbDotChange();
  void chbLogScaleChange();
  void chbCaptionsChange();
  void chbAnalysisChange();
  void tmGraphTimer();
  void tmStopTimer();
  // Text of status panel 0..2 of this window.
  QString StatusText(int panel) const;
  // A row being edited or inserted in the grid is posted.
  void PostIntervalRow();

 protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void CreateComponents();
  void FormCreate();
  void ReadViewSettings();
  // Between the interval controls and the project data.
  void ControlsToData();
  void DataToControls();
  void SetCaption();
  int Zero() const;
  void SetStatusPanels();
  void SelectIntervalRow(int row, int column);
  bool FormClose();
  void RemoveGraph(int index);
  // The analysis overlay recomputed from the pixels, when it is switched on.
  void UpdateAnalysis();

  std::unique_ptr<TProjectData> FData;
  void RemoveJournal();

  std::unique_ptr<TWorkingThread> FWorker;
  // The last run's journal: the worker appends every stored point to it.
  std::unique_ptr<TRunJournal> FJournal;
  // A journal recovered at start, owned by this window; no run writes it.
  QString FRecoveredJournal;
  bool FLoadingNote = false;
  struct TGraphEntry {
    QString FileName;
    std::unique_ptr<TGraph> Graph;
  };
  std::vector<TGraphEntry> FGraphs;
};
