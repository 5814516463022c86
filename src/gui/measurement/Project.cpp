// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Project.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

#include "adjustment/Adjustment.h"
#include "app/AppError.h"
#include "app/ChartPicture.h"
#include "app/ErrorGuard.h"
#include "app/FileDialogs.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "app/ModalDialogs.h"
#include "app/OpenWindows.h"
#include "device/Device.h"
#include "localization/FormTranslation.h"
#include "measurement/CurveAnalysis.h"
#include "measurement/Export.h"
#include "measurement/Graph.h"
#include "measurement/IntervalModel.h"
#include "measurement/ProjectChart.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/PulseReport.h"
#include "measurement/PulseReportDialog.h"
#include "measurement/RemoveGraph.h"
#include "measurement/RunJournal.h"
#include "measurement/WorkingThread.h"
#include "settings/FormPlacement.h"
#include "settings/SettingsStorage.h"
#include "windowpanel/WindowPanel.h"

namespace {
const QString PlacementSuffix = QStringLiteral("TfmProject");
const TKeyPath ViewKeyPath{QStringLiteral("Forms"), QStringLiteral("TfmProject")};
const QString ProjectExtension = QStringLiteral(".vtp");
constexpr int GraphInterval = 1000;  // ms between two drawing cycles of a run
constexpr int StopInterval = 50;     // ms from the worker's end to the stop
constexpr int DetailWidth = 250;     // pixels of the side panel
constexpr qint64 MsPerDay = 86400000;

// The one scan of the program; Start is disabled while it runs.
TWorkingThread *Worker = nullptr;

// A number with the locale's thousands separators and no decimals.
QString WholeNumber(double value) {
  return QLocale::system().toString(value, 'f', 0);
}

// "hh:nn:ss" of a span in milliseconds; hours wrap after a day.
QString ClockText(qint64 ms) {
  if (ms < 0) ms = 0;
  return QTime::fromMSecsSinceStartOfDay(int(ms % MsPerDay)).toString(QStringLiteral("hh:mm:ss"));
}

QLabel *LinkLabel(const char *name, const QString &text, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  label->setPalette(palette);
  label->setCursor(Qt::PointingHandCursor);
  label->setFocusPolicy(Qt::TabFocus);
  return label;
}

QSpinBox *SpinEdit(const char *name, int min, int max, QWidget *parent) {
  auto *edit = new QSpinBox(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setRange(min, max);
  edit->setAlignment(Qt::AlignRight);
  return edit;
}

void SetMainStatus(int panel, const QString &text) {
  if (fmMain) fmMain->SetStatusText(panel, text);
}

// A graph's full path without its extension, as the removal dialog lists it.
QString PathWithoutExtension(const QString &fileName) {
  const QString suffix = QFileInfo(fileName).suffix();
  return suffix.isEmpty() ? fileName : fileName.left(fileName.size() - suffix.size() - 1);
}

// A graph's name in the legend: the file name without folder and extension.
QString GraphName(const QString &fileName) {
  return QFileInfo(fileName).completeBaseName();
}

void UpdatePanelCaptions() {
  if (fmMain && fmMain->WindowPanel) fmMain->WindowPanel->UpdateCaptions();
}
}  // namespace

TfmProject::TfmProject(QWidget *parent) : QWidget(parent), FData(std::make_unique<TProjectData>()) {
  setObjectName(QStringLiteral("fmProject"));
  CreateComponents();
  // Inside its MDI sub-window before the placement is restored.
  if (fmMain && !parent)
    fmMain->AddChildWindow(this);
  else
    setAttribute(Qt::WA_DeleteOnClose);
  FormCreate();
}

TfmProject::~TfmProject() {
  // The chart keeps pointers to the graphs this window owns.
  for (const TGraphEntry &entry : FGraphs) Chart->ClearGraph(entry.Graph->SeriesIndex);
  // A window torn down with its run (the program ends) stops the worker
  // first: it writes into this window's data.
  if (FWorker) {
    FWorker->requestInterruption();
    FWorker->wait();
    if (Worker == FWorker.get()) Worker = nullptr;
  }
}

void TfmProject::CreateComponents() {
  setWindowTitle(QStringLiteral("Project"));

  Chart = new TProjectChart(*FData, this);
  Chart->setObjectName(QStringLiteral("pnChart"));
  Chart->OwnValueAt = [this](double x) { return ValueTextAt(*FData, x, Zero()); };

  pnDetail = new QWidget(this);
  pnDetail->setObjectName(QStringLiteral("pnDetail"));
  pnDetail->setFixedWidth(DetailWidth);

  // Interval, standard mode.
  pnInterval = new QWidget(pnDetail);
  pnInterval->setObjectName(QStringLiteral("pnInterval"));
  grStandard = new QGroupBox(QStringLiteral("Interval"), pnInterval);
  grStandard->setObjectName(QStringLiteral("grStandard"));
  edLeft = SpinEdit("edLeft", INT_MIN, INT_MAX, grStandard);
  edRight = SpinEdit("edRight", INT_MIN, INT_MAX, grStandard);
  edStep = SpinEdit("edStep", 1, 100000, grStandard);
  lbStepFS = new QLabel(grStandard);
  lbStepFS->setObjectName(QStringLiteral("lbStepFS"));
  lbStepFS->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lbAdvancedMode = LinkLabel("lbAdvancedMode", QStringLiteral("Advanced mode"), grStandard);
  auto *standard = new QGridLayout(grStandard);
  auto addRow = [&](int row, const char *name, const QString &caption, QWidget *field) {
    auto *label = new QLabel(caption, grStandard);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(field);
    standard->addWidget(label, row, 0);
    standard->addWidget(field, row, 1);
  };
  addRow(0, "lbLeft", QStringLiteral("Initial shift, fsec:"), edLeft);
  addRow(1, "lbRight", QStringLiteral("Final shift, fsec:"), edRight);
  addRow(2, "lbStep", QStringLiteral("Step:"), edStep);
  addRow(3, "lbStepFSCaption", QStringLiteral("Step, fsec:"), lbStepFS);
  standard->addWidget(lbAdvancedMode, 4, 0, 1, 2, Qt::AlignRight);

  // Interval, advanced mode.
  grAdvanced = new QGroupBox(QStringLiteral("Interval"), pnInterval);
  grAdvanced->setObjectName(QStringLiteral("grAdvanced"));
  tbInterval = new TIntervalModel(FData->Interval, this);
  tbInterval->setObjectName(QStringLiteral("tbInterval"));
  grInterval = new TIntervalGrid(grAdvanced);
  grInterval->setObjectName(QStringLiteral("grInterval"));
  grInterval->setModel(tbInterval);
  grInterval->verticalHeader()->setDefaultSectionSize(grInterval->fontMetrics().height() + 6);
  grInterval->verticalHeader()->setFixedWidth(16);
  grInterval->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grInterval->setSelectionMode(QAbstractItemView::SingleSelection);
  grInterval->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
  grInterval->setContextMenuPolicy(Qt::CustomContextMenu);
  btInsert = new QToolButton(grAdvanced);
  btInsert->setObjectName(QStringLiteral("btInsert"));
  btInsert->setText(QStringLiteral("+"));
  btInsert->setToolTip(QStringLiteral("Insert"));
  btDelete = new QToolButton(grAdvanced);
  btDelete->setObjectName(QStringLiteral("btDelete"));
  btDelete->setText(QStringLiteral("-"));
  btDelete->setToolTip(QStringLiteral("Delete"));
  lbStandardMode = LinkLabel("lbStandardMode", QStringLiteral("Standard mode"), grAdvanced);
  auto *advanced = new QGridLayout(grAdvanced);
  advanced->addWidget(grInterval, 0, 0, 1, 4);
  advanced->addWidget(btInsert, 1, 0);
  advanced->addWidget(btDelete, 1, 1);
  advanced->setColumnStretch(2, 1);
  advanced->addWidget(lbStandardMode, 1, 3, Qt::AlignRight);
  grAdvanced->hide();

  pmInterval = new QMenu(this);
  pmInterval->setObjectName(QStringLiteral("pmInterval"));
  mnCopyTable = pmInterval->addAction(QStringLiteral("Copy table"));
  mnCopyTable->setObjectName(QStringLiteral("mnCopyTable"));
  mnPasteTable = pmInterval->addAction(QStringLiteral("Paste table"));
  mnPasteTable->setObjectName(QStringLiteral("mnPasteTable"));
  pmInterval->addSeparator();
  mnClearTable = pmInterval->addAction(QStringLiteral("Clear table"));
  mnClearTable->setObjectName(QStringLiteral("mnClearTable"));

  auto *intervalLayout = new QVBoxLayout(pnInterval);
  intervalLayout->setContentsMargins(0, 0, 0, 0);
  intervalLayout->addWidget(grStandard);
  intervalLayout->addWidget(grAdvanced);

  // View.
  grView = new QGroupBox(QStringLiteral("View"), pnDetail);
  grView->setObjectName(QStringLiteral("grView"));
  auto makeCheck = [&](const char *name, const QString &caption) {
    auto *box = new QCheckBox(caption, grView);
    box->setObjectName(QLatin1String(name));
    return box;
  };
  chbLine = makeCheck("chbLine", QStringLiteral("Lines"));
  chbDot = makeCheck("chbDot", QStringLiteral("Dots"));
  chbLogScale = makeCheck("chbLogScale", QStringLiteral("Log. scale"));
  chbCaptions = makeCheck("chbCaptions", QStringLiteral("Captions"));
  chbAnalysis = makeCheck("chbAnalysis", QStringLiteral("Analysis"));
  auto *view = new QGridLayout(grView);
  view->addWidget(chbLine, 0, 0);
  view->addWidget(chbDot, 1, 0);
  view->addWidget(chbLogScale, 0, 1);
  view->addWidget(chbCaptions, 1, 1);
  view->addWidget(chbAnalysis, 2, 0);

  // Note.
  grNote = new QGroupBox(QStringLiteral("Note"), pnDetail);
  grNote->setObjectName(QStringLiteral("grNote"));
  edNote = new QPlainTextEdit(grNote);
  edNote->setObjectName(QStringLiteral("edNote"));
  edNote->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto *note = new QVBoxLayout(grNote);
  note->addWidget(edNote);

  auto *detail = new QVBoxLayout(pnDetail);
  detail->setContentsMargins(4, 4, 4, 4);
  detail->addWidget(pnInterval);
  detail->addWidget(grView);
  detail->addWidget(grNote, 1);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(false);
  const int widths[3] = {150, 250, 50};
  for (int i = 0; i < 3; ++i) {
    FStatusPanels[i] = new QLabel(StatusBar);
    FStatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    FStatusPanels[i]->setMinimumWidth(widths[i]);
    // The last panel takes what is left, as the last panel of a status bar does.
    StatusBar->addWidget(FStatusPanels[i], i == 2 ? 1 : 0);
  }

  auto *top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  top->addWidget(Chart, 1);
  top->addWidget(pnDetail);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top, 1);
  layout->addWidget(StatusBar);

  tmGraph = new QTimer(this);
  tmGraph->setObjectName(QStringLiteral("tmGraph"));
  tmGraph->setInterval(GraphInterval);
  tmGraph->setSingleShot(true);  // restarted at the end of each cycle while running
  tmStop = new QTimer(this);
  tmStop->setObjectName(QStringLiteral("tmStop"));
  tmStop->setInterval(StopInterval);
  tmStop->setSingleShot(true);

  auto guarded = [this](void (TfmProject::*handler)()) {
    return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
  };
  connect(edStep, &QSpinBox::valueChanged, this, guarded(&TfmProject::edStepChange));
  connect(edNote, &QPlainTextEdit::textChanged, this, guarded(&TfmProject::edNoteChange));
  connect(btInsert, &QToolButton::clicked, this, guarded(&TfmProject::btInsertClick));
  connect(btDelete, &QToolButton::clicked, this, guarded(&TfmProject::btDeleteClick));
  connect(mnCopyTable, &QAction::triggered, this, guarded(&TfmProject::mnCopyTableClick));
  connect(mnPasteTable, &QAction::triggered, this, guarded(&TfmProject::mnPasteTableClick));
  connect(mnClearTable, &QAction::triggered, this, guarded(&TfmProject::mnClearTableClick));
  connect(chbLine, &QCheckBox::toggled, this, guarded(&TfmProject::chbLineChange));
  connect(chbDot, &QCheckBox::toggled, this, guarded(&TfmProject::chbDotChange));
  connect(chbLogScale, &QCheckBox::toggled, this, guarded(&TfmProject::chbLogScaleChange));
  connect(chbCaptions, &QCheckBox::toggled, this, guarded(&TfmProject::chbCaptionsChange));
  connect(chbAnalysis, &QCheckBox::toggled, this, guarded(&TfmProject::chbAnalysisChange));
  connect(tmGraph, &QTimer::timeout, this, guarded(&TfmProject::tmGraphTimer));
  connect(tmStop, &QTimer::timeout, this, guarded(&TfmProject::tmStopTimer));
  connect(grInterval, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
    pmInterval->popup(grInterval->viewport()->mapToGlobal(pos));
  });
  connect(tbInterval, &TIntervalModel::RowPosted, this, &TfmProject::SelectIntervalRow);
  lbAdvancedMode->installEventFilter(this);
  lbStandardMode->installEventFilter(this);
  for (QWidget *editor : std::initializer_list<QWidget *>{edLeft, edRight, edStep, edNote})
    editor->installEventFilter(this);
}

// Whether key is the shortcut of one of the main window's commands.
static bool IsCommandShortcut(const QKeyEvent *key) {
  if (!fmMain) return false;
  const QKeySequence pressed(key->keyCombination());
  for (const QAction *action : fmMain->findChildren<QAction *>())
    if (action->isEnabled() && !action->shortcut().isEmpty() &&
        action->shortcut().matches(pressed) == QKeySequence::ExactMatch)
      return true;
  return false;
}

void TfmProject::FormCreate() {
  TranslateForm(this, true, true);
  FData->RangeMin = EmptyRangeMin;
  FData->RangeMax = EmptyRangeMax;
  Initialized = false;
  RegisterChildWindow(this);
  pnInterval->setFixedHeight(grStandard->sizeHint().height());
  RestoreFormPlacement(this, PlacementSuffix);
  ReadViewSettings();
  FData->MaxValue = 0;
  FData->FullRedraw = false;
  FData->PixelCount = 0;
  FData->PeakIndex = -1;
  FData->PeakWidth = 0;
  FData->Modified = false;
  edStepChange();
  Initialized = true;
}

void TfmProject::ReadViewSettings() {
  if (!AppSettings) {
    chbLine->setChecked(true);
    chbLogScale->setChecked(true);
    chbLogScaleChange();
    chbCaptions->setChecked(true);
    chbCaptionsChange();
    return;
  }
  const TSettingsStorage &s = *AppSettings;
  const bool advancedView = s.ReadBool(ViewKeyPath, QStringLiteral("advancedView"), false);
  grAdvanced->setVisible(advancedView);
  grStandard->setVisible(!advancedView);
  auto spinValue = [&](const char *name, double fallback) {
    return int(
        qBound<double>(INT_MIN, s.ReadFloat(ViewKeyPath, QLatin1String(name), fallback), INT_MAX));
  };
  edLeft->setValue(spinValue("edLeft", -100));
  edRight->setValue(spinValue("edRight", 100));
  edStep->setValue(spinValue("edStep", 1));
  FData->Interval.SetIntervalText(s.ReadText(ViewKeyPath, QStringLiteral("tbInterval"), QString()));
  tbInterval->Reload();
  {
    // The boxes' own handlers run below, once each, in the stored order.
    const QSignalBlocker b1(chbLine), b2(chbDot);
    chbLine->setChecked(s.ReadBool(ViewKeyPath, QStringLiteral("chbLine"), true));
    chbDot->setChecked(s.ReadBool(ViewKeyPath, QStringLiteral("chbDot"), false));
    if (!chbLine->isChecked() && !chbDot->isChecked()) chbLine->setChecked(true);
  }
  Chart->SetLines(chbLine->isChecked());
  Chart->SetDots(chbDot->isChecked());
  {
    const QSignalBlocker block(chbLogScale);
    chbLogScale->setChecked(s.ReadBool(ViewKeyPath, QStringLiteral("chbLogScale"), true));
  }
  chbLogScaleChange();
  {
    const QSignalBlocker block(chbCaptions);
    chbCaptions->setChecked(s.ReadBool(ViewKeyPath, QStringLiteral("chbCaptions"), true));
  }
  chbCaptionsChange();
  {
    const QSignalBlocker block(chbAnalysis);
    chbAnalysis->setChecked(s.ReadBool(ViewKeyPath, QStringLiteral("chbAnalysis"), false));
  }
}

void TfmProject::SaveViewSettings() {
  SaveFormPlacement(this, PlacementSuffix);
  if (!AppSettings) return;
  PostIntervalRow();
  TSettingsStorage &s = *AppSettings;
  s.AddParam(ViewKeyPath, QStringLiteral("showDetails"), pnDetail->isVisibleTo(this));
  s.AddParam(ViewKeyPath, QStringLiteral("edLeft"), double(edLeft->value()));
  s.AddParam(ViewKeyPath, QStringLiteral("edRight"), double(edRight->value()));
  s.AddParam(ViewKeyPath, QStringLiteral("edStep"), double(edStep->value()));
  s.AddParam(ViewKeyPath, QStringLiteral("chbLine"), chbLine->isChecked());
  s.AddParam(ViewKeyPath, QStringLiteral("chbDot"), chbDot->isChecked());
  s.AddParam(ViewKeyPath, QStringLiteral("chbLogScale"), chbLogScale->isChecked());
  s.AddParam(ViewKeyPath, QStringLiteral("chbCaptions"), chbCaptions->isChecked());
  s.AddParam(ViewKeyPath, QStringLiteral("chbAnalysis"), chbAnalysis->isChecked());
  s.AddParam(ViewKeyPath, QStringLiteral("advancedView"), grAdvanced->isVisibleTo(this));
  s.AddParam(ViewKeyPath, QStringLiteral("tbInterval"), FData->Interval.GetIntervalText());
}

int TfmProject::Zero() const {
  return Device ? Device->ZeroPosition : 0;
}

bool TfmProject::Modified() const {
  return FData->Modified;
}

void TfmProject::SetCaption() {
  setWindowTitle(Running ? ProjectName + QStringLiteral(" [") +
                               Translate(QStringLiteral("Running")) + u']'
                         : ProjectName);
  UpdatePanelCaptions();
}

void TfmProject::InitNew(const QString &name) {
  ProjectFileName.clear();
  ProjectName = name;
  FData->ProjectFileName.clear();
  FData->ProjectName = name;
  Chart->ProjectName = name;
  Chart->SetSeriesTitle(0, name);
  SetCaption();
  FData->Modified = false;
}

// ---- interval controls --------------------------------------------------

void TfmProject::edStepChange() {
  lbStepFS->setText(QLocale::system().toString(edStep->value() * FsPerStep, 'f', 2));
}

void TfmProject::edNoteChange() {
  if (FLoadingNote) return;
  FData->Note = edNote->toPlainText();
  FData->Modified = true;
}

bool TfmProject::eventFilter(QObject *watched, QEvent *event) {
  // The editors claim some command keys for themselves on X11 (Ctrl+E moves
  // to the end of the line): the main window's commands win.
  if (event->type() == QEvent::ShortcutOverride &&
      IsCommandShortcut(static_cast<QKeyEvent *>(event))) {
    event->ignore();
    return true;
  }
  if (watched == lbAdvancedMode || watched == lbStandardMode) {
    bool activate = false;
    if (event->type() == QEvent::MouseButtonRelease)
      activate = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent *>(event)->key();
      activate = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (activate && static_cast<QWidget *>(watched)->isEnabled()) {
      RunGuarded([&] {
        if (watched == lbAdvancedMode)
          lbAdvancedModeClick();
        else
          lbStandardModeClick();
      });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TfmProject::lbAdvancedModeClick() {
  grStandard->hide();
  grAdvanced->show();
  grInterval->setFocus();
}

void TfmProject::lbStandardModeClick() {
  PostIntervalRow();
  grAdvanced->hide();
  grStandard->show();
  edLeft->setFocus();
}

void TfmProject::PostIntervalRow() {
  grInterval->PostEditor();
  const int row = tbInterval->PostPending();
  if (row >= 0) SelectIntervalRow(row, TIntervalModel::ColShift);
}

void TfmProject::SelectIntervalRow(int row, int column) {
  if (row < 0 || row >= tbInterval->rowCount()) return;
  grInterval->setCurrentIndex(tbInterval->index(row, column));
}

void TfmProject::btInsertClick() {
  PostIntervalRow();
  if (Chart->Zoomed()) {
    // The zoomed time range becomes a segment: its left edge posted, its
    // right edge left open for the operator to type the step.
    const int left = int(std::nearbyint(Chart->TimeMin()));
    if (FData->Interval.Find(left) < 0) tbInterval->AppendRow({left, std::nullopt, std::nullopt});
    const int right = int(std::nearbyint(Chart->TimeMax()));
    if (FData->Interval.Find(right) < 0) {
      tbInterval->AppendPending(right);
      SelectIntervalRow(tbInterval->PendingRow(), TIntervalModel::ColStep);
    }
  } else {
    tbInterval->AppendPending();
    SelectIntervalRow(tbInterval->PendingRow(), TIntervalModel::ColShift);
  }
  grInterval->setFocus();
}

void TfmProject::btDeleteClick() {
  if (tbInterval->rowCount() == 0) return;
  const QModelIndex current = grInterval->currentIndex();
  if (tbInterval->HasPending() &&
      (!current.isValid() || current.row() == tbInterval->PendingRow())) {
    tbInterval->DiscardPending();
    return;
  }
  if (current.isValid()) {
    tbInterval->DeleteRow(current.row());
    SelectIntervalRow(std::min(current.row(), tbInterval->rowCount() - 1), current.column());
  }
}

void TfmProject::mnCopyTableClick() {
  PostIntervalRow();
  QApplication::clipboard()->setText(FData->Interval.GetIntervalText());
}

void TfmProject::mnPasteTableClick() {
  if (Running) return;
  FData->Interval.SetIntervalText(QApplication::clipboard()->text());
  tbInterval->Reload();
}

void TfmProject::mnClearTableClick() {
  if (Running) return;
  FData->Interval.Clear();
  tbInterval->Reload();
}

void TfmProject::ControlsToData() {
  PostIntervalRow();
  FData->Left = edLeft->value();
  FData->Right = edRight->value();
  FData->Step = edStep->value();
  FData->AdvancedMode = grAdvanced->isVisibleTo(this);
  FData->Note = edNote->toPlainText();
}

void TfmProject::DataToControls() {
  edLeft->setValue(FData->Left);
  edStep->setValue(FData->Step);
  edRight->setValue(FData->Right);
  tbInterval->Reload();
  SelectIntervalRow(0, TIntervalModel::ColShift);
  FLoadingNote = true;
  edNote->setPlainText(FData->Note);
  FLoadingNote = false;
}

void TfmProject::LockEditing(bool lock) {
  edLeft->setReadOnly(lock);
  edRight->setReadOnly(lock);
  edStep->setReadOnly(lock);
  if (lock) PostIntervalRow();
  tbInterval->SetLocked(lock);
  btInsert->setEnabled(!lock);
  btDelete->setEnabled(!lock);
  lbStandardMode->setEnabled(!lock);
  lbAdvancedMode->setEnabled(!lock);
  mnPasteTable->setEnabled(!lock);
  mnClearTable->setEnabled(!lock);
  update();
}

// ---- chart ----------------------------------------------------------------

void TfmProject::chbLineChange() {
  if (chbLine->isChecked() || chbDot->isChecked()) {
    Chart->SetDots(chbDot->isChecked());
    Chart->SetLines(chbLine->isChecked());
  } else {
    chbDot->setChecked(true);  // its own handler applies the state
  }
}

void TfmProject::chbDotChange() {
  if (chbLine->isChecked() || chbDot->isChecked()) {
    Chart->SetDots(chbDot->isChecked());
    Chart->SetLines(chbLine->isChecked());
  } else {
    chbLine->setChecked(true);
  }
}

void TfmProject::chbLogScaleChange() {
  Chart->ClearOwn();
  const bool log = chbLogScale->isChecked();
  Chart->SetLogScale(log, log ? Translate(QStringLiteral("CROSSCORRELATION FUNCTION, dB"))
                              : Translate(QStringLiteral("CROSSCORRELATION FUNCTION")));
  if (!Initialized) return;
  {
    QReadLocker lock(&FData->DataLock);
    for (TPixel &p : FData->Pixels) p.Plotted = false;
  }
  UpdateGraph();
  for (const TGraphEntry &entry : FGraphs) DrawGraph(*entry.Graph);
  Chart->Refresh();
}

void TfmProject::chbCaptionsChange() {
  Chart->SetCaptions(chbCaptions->isChecked(), Translate(QStringLiteral("Time shift, fsec")));
}

void TfmProject::SetStatusPanels() {
  const TProjectData &d = *FData;
  FStatusPanels[0]->setText(Translate(QStringLiteral("Pixels:")) + u' ' +
                            QString::number(d.PixelCount));
  QString position = Translate(QStringLiteral("Peak position, fsec:"));
  if (d.PeakIndex >= 0) position += u' ' + WholeNumber(DelayOf(d.PeakIndex, Zero()));
  FStatusPanels[1]->setText(position);
  QString width = Translate(QStringLiteral("Peak width, fsec:"));
  if (d.PeakWidth > 0) width += u' ' + WholeNumber(d.PeakWidth);
  FStatusPanels[2]->setText(width);
}

QString TfmProject::StatusText(int panel) const {
  return FStatusPanels[panel]->text();
}

void TfmProject::chbAnalysisChange() {
  UpdateAnalysis();
}

void TfmProject::UpdateAnalysis() {
  if (!chbAnalysis->isChecked()) {
    Chart->ClearAnalysis();
    return;
  }
  TPulseReport report;
  {
    QReadLocker lock(&FData->DataLock);
    report = ComputePulseReport(*FData, Zero());
  }
  Chart->ShowAnalysis(report);
}

void TfmProject::UpdateGraph() {
  {
    // Read and drawn under the lock: the worker may be storing a point.
    // Clearing FullRedraw and the Plotted flags under the read lock is safe:
    // only the main thread reads them, and the worker waits for the lock.
    QReadLocker lock(&FData->DataLock);
    if (FData->MaxValue == 0) return;
    const bool full = FData->FullRedraw;
    FData->FullRedraw = false;
    const int zero = Zero();
    Chart->AddOwnPoints(full, zero);
    FData->PeakWidth = FData->PeakIndex >= 0 ? ComputePeakWidth(*FData, zero) : 0;
    SetStatusPanels();
  }
  // The analysis of the whole curve once the data stand still; during a run
  // the overlay of the earlier data would mislead.
  if (Running) {
    if (Chart->AnalysisShown()) Chart->ClearAnalysis();
  } else if (chbAnalysis->isChecked()) {
    UpdateAnalysis();
  }
  Chart->Refresh();
}

void TfmProject::RebuildGraph() {
  {
    QReadLocker lock(&FData->DataLock);
    for (TPixel &p : FData->Pixels) p.Plotted = false;
    if (FData->SetRangeFromData(Zero())) UpdateAxisRange();
  }
  Chart->ClearOwn();
  UpdateGraph();
  Chart->Refresh();
}

void TfmProject::UpdateAxisRange() {
  QList<const TGraph *> graphs;
  for (const TGraphEntry &entry : FGraphs) graphs << entry.Graph.get();
  const TAxisRange range = TimeAxisRange(FData->RangeMin, FData->RangeMax, graphs);
  Chart->SetTimeRange(range.Min, range.Max);
}

// ---- runs -----------------------------------------------------------------

void TfmProject::StartMeasurement() {
  if (Running) return;
  // One scan at a time in the whole program.
  if (Worker) RaiseError(QStringLiteral("Another project is running."));
  FData->StartTime = QDateTime::currentDateTime();
  const int zero = Zero();
  if (FData->PixelCount > 0 && FData->ZeroPosition != zero) {
    FData->ShiftPixels(zero - FData->ZeroPosition);
    RebuildGraph();
  }
  FData->ZeroPosition = zero;
  for (int panel = 1; panel <= 3; ++panel) SetMainStatus(panel, QString());

  ControlsToData();
  const QModelIndex current = grInterval->currentIndex();
  const std::optional<int> currentShift =
      current.isValid() && current.row() < FData->Interval.Count()
          ? FData->Interval.Row(current.row()).Shift
          : std::nullopt;
  try {
    FData->BuildPlan(zero);
  } catch (...) {
    // What validation deleted stays deleted: show the table as it is now.
    tbInterval->Reload();
    throw;
  }
  if (FData->AdvancedMode) {
    tbInterval->Reload();
    SelectIntervalRow(std::max(0, FData->Interval.Find(currentShift)), TIntervalModel::ColShift);
  }
  if (FData->Plan.isEmpty()) return;
  if (Device && !Device->Opened && fmMain) fmMain->OpenDevice();

  // Every point the data hold is in the new journal's header: an earlier
  // journal of this window is no longer needed once this one is on the disk.
  {
    const bool simulated = fmMain && fmMain->StartOptions().Simulator;
    std::unique_ptr<TRunJournal> journal =
        TRunJournal::Begin(*FData, TRunJournal::Folder(simulated));
    RemoveJournal();
    FJournal = std::move(journal);
  }

  FData->SetRangeForPlan(zero);
  UpdateAxisRange();
  Chart->ShowReadout(false);
  FData->PercentDone = 0;
  FData->EstimatedTime = 0;
  if (fmMain) {
    fmMain->mnStart->setEnabled(false);
    fmMain->mnStop->setEnabled(true);
  }
  LockEditing(true);
  Running = true;
  FData->Running = true;
  SetCaption();

  FWorker = std::make_unique<TWorkingThread>(FData.get(), Device);
  Worker = FWorker.get();
  FWorker->OnPointStored = FJournal->Sink();
  // Queued: the worker never touches the window; the stop runs here.
  connect(FWorker.get(), &TWorkingThread::ScanEnded, tmStop, qOverload<>(&QTimer::start),
          Qt::QueuedConnection);
  FWorker->start();
  tmGraph->start();
}

void TfmProject::tmGraphTimer() {
  tmGraph->stop();
  UpdateGraph();
  SetMainStatus(1, Translate(QStringLiteral("Elapsed time:")) + u' ' +
                       ClockText(FData->StartTime.msecsTo(QDateTime::currentDateTime())));
  int percent;
  double estimated;
  {
    QReadLocker lock(&FData->DataLock);
    percent = FData->PercentDone;
    estimated = FData->EstimatedTime;
  }
  SetMainStatus(
      2, QString::number(percent) + QStringLiteral("% ") + Translate(QStringLiteral("done")));
  SetMainStatus(3, estimated == 0 ? QString()
                                  : Translate(QStringLiteral("Estimated time:")) + u' ' +
                                        ClockText(qint64(estimated * MsPerDay)));
  if (Running) tmGraph->start();
}

void TfmProject::tmStopTimer() {
  tmStop->stop();
  StopMeasurement();
}

void TfmProject::StopMeasurement() {
  if (!Running) return;
  Running = false;
  FData->Running = false;
  tmStop->stop();
  QString errorText;
  if (FWorker) {
    FWorker->requestInterruption();
    FWorker->wait();
    errorText = FWorker->ErrorText;
    if (Worker == FWorker.get()) Worker = nullptr;
    FWorker.reset();
  }
  // The points stay journalled until they are saved or discarded.
  if (FJournal) FJournal->Flush();
  if (!errorText.isEmpty()) ShowWarning(errorText);
  // The points are in the window all the same; the operator learns that a
  // crash before the next save would lose them.
  if (FJournal && FJournal->Failed())
    ShowWarning(TranslateFmt(QStringLiteral("Cannot write the run journal \"%\". %"),
                             QStringList{FJournal->FileName(), FJournal->ErrorText()}));
  tmGraph->stop();
  for (int panel = 1; panel <= 3; ++panel) SetMainStatus(panel, QString());
  UpdateGraph();
  if (fmMain) {
    fmMain->mnStart->setEnabled(true);
    fmMain->mnStop->setEnabled(false);
  }
  LockEditing(false);
  SetCaption();

  const int zero = Zero();
  if (Device && FData->ZeroProposalApplies(zero) &&
      AskYesNo(Translate(
          QStringLiteral("Change delay line zero position according to current peak maximum?")))) {
    Device->ZeroPosition = FData->PeakIndex;
    FData->ZeroPosition = FData->PeakIndex;
    RebuildGraph();
  }
  if (OpenWindows)
    for (QWidget *fm : OpenWindows->Items())
      if (auto *adjustment = qobject_cast<TfmAdjustment *>(fm)) adjustment->RefreshDisplay();
}

void TfmProject::CenterPeak() {
  // Moving the pixels under a running plan would store later points at the
  // wrong delays.
  if (Running)
    RaiseError(QStringLiteral("Centering is not possible while the project is running."));
  const int zero = Zero();
  if (FData->MaxValue != 0 && FData->PeakIndex >= 0 && FData->PeakIndex != zero &&
      AskYesNo(Translate(QStringLiteral("Shift graph maximum to 0 fsec?")))) {
    FData->ShiftPixels(zero - FData->PeakIndex);
    RebuildGraph();
  }
}

// ---- files ----------------------------------------------------------------

void TfmProject::SaveProject(const QString &fileName) {
  ControlsToData();
  ::SaveProject(*FData, fileName);
  ProjectName = FData->ProjectName;
  ProjectFileName = FData->ProjectFileName;
  Chart->ProjectName = ProjectName;
  Chart->SetSeriesTitle(0, ProjectName);
  SetCaption();
  if (!Running) RemoveJournal();
  if (fmMain) fmMain->AddToRecent(fileName);
}

QString TfmProject::JournalFile() const {
  return FJournal ? FJournal->FileName() : FRecoveredJournal;
}

void TfmProject::RemoveJournal() {
  if (FJournal) {
    FJournal->Remove();
    FJournal.reset();
  }
  if (!FRecoveredJournal.isEmpty()) {
    QFile::remove(FRecoveredJournal);
    FRecoveredJournal.clear();
  }
}

void TfmProject::RecoverJournal(const QString &fileName) {
  const TJournalContents journal = ReadJournal(fileName);
  const TJournalRecovery recovery = ::RecoverJournal(journal, *FData, Zero());
  FRecoveredJournal = fileName;
  DataToControls();
  RebuildGraph();
  ProjectName = FData->ProjectName;
  ProjectFileName = FData->ProjectFileName;
  Chart->ProjectName = ProjectName;
  Chart->SetSeriesTitle(0, ProjectName);
  SetCaption();
  FData->Modified = true;
  if (recovery.Damaged)
    ShowWarning(TranslateFmt(
        QStringLiteral("The run journal of project \"%\" is damaged: the points after the "
                       "damage are lost."),
        {ProjectName}));
}

void TfmProject::LoadProject(const QString &fileName) {
  qint64 deleted = 0;
  try {
    const TFileBytes bytes(fileName);
    deleted = LoadProjectBytes(*FData, bytes.Data(), bytes.Size(), Zero());
  } catch (...) {
    // The window stays with what was read, named after the file but without
    // it: a later Save asks where to write instead of overwriting the file
    // that could not be read.
    DataToControls();
    RebuildGraph();
    ProjectName = QFileInfo(fileName).completeBaseName();
    FData->ProjectName = ProjectName;
    Chart->ProjectName = ProjectName;
    Chart->SetSeriesTitle(0, ProjectName);
    SetCaption();
    FData->Modified = false;
    throw;
  }
  DataToControls();
  RebuildGraph();
  ProjectName = QFileInfo(fileName).completeBaseName();
  ProjectFileName = fileName;
  FData->ProjectName = ProjectName;
  FData->ProjectFileName = fileName;
  Chart->ProjectName = ProjectName;
  Chart->SetSeriesTitle(0, ProjectName);
  SetCaption();
  if (deleted > 0)
    ShowWarning(TranslateFmt(
        QStringLiteral("Some pixels (%) were deleted due to shift of delay line zero position."),
        {deleted}));
  FData->Modified = false;
  if (fmMain) fmMain->AddToRecent(fileName);
}

// ---- closing --------------------------------------------------------------

bool TfmProject::FormClose() {
  if (Running) {
    if (!AskYesNo(Translate(QStringLiteral("Stop execution?")))) return false;
    StopMeasurement();
  }
  if (FData->Modified) {
    const QMessageBox::StandardButton answer = AskYesNoCancel(
        TranslateFmt(QStringLiteral("Save changes to project \"%\"?"), {ProjectName}));
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes) {
      if (!ProjectFileName.isEmpty()) {
        SaveProject(ProjectFileName);
      } else {
        const QString fileName =
            ExecFileDialog(TFileDialogKind::ProjectSave, ProjectName + ProjectExtension);
        if (fileName.isEmpty()) return false;
        SaveProject(fileName);
      }
    }
  }
  return true;
}

void TfmProject::closeEvent(QCloseEvent *event) {
  bool closing = false;
  // A failed save keeps the window, and its data, open.
  RunGuarded([&] { closing = FormClose(); });
  if (!closing) {
    event->ignore();
    return;
  }
  tmGraph->stop();
  tmStop->stop();
  // Saved, discarded or unchanged: no point of the journal is missing
  // anywhere else.
  RemoveJournal();
  Chart->ClearOwn();
  UnregisterChildWindow(this);
  SaveViewSettings();
  event->accept();
}

// ---- export, graphs, pictures -----------------------------------------------

void TfmProject::ExportData(const QString &fileName) {
  // Under the data lock, so a run's points are whole; written whole or not
  // at all.
  ::ExportData(*FData, fileName, Zero());
}

void TfmProject::AddGraph(const QString &fileName) {
  if (FGraphs.size() >= size_t(TProjectChart::SeriesCount - 1))
    RaiseError(
        QStringLiteral("Unable to add graph as maximum allowed graph qauntity already displayed."));
  auto same = [&](const QString &other) {
    return other.compare(fileName, Qt::CaseInsensitive) == 0;
  };
  bool shown = same(ProjectFileName);
  for (const TGraphEntry &entry : FGraphs) shown = shown || same(entry.FileName);
  if (shown) RaiseError(QStringLiteral("This graph is already displayed."));

  auto graph = std::make_unique<TGraph>();
  graph->LoadFromFile(fileName);  // a file error passes on; nothing is added
  // The first series that no graph uses.
  for (int index = 1; index < TProjectChart::SeriesCount && graph->SeriesIndex < 0; ++index) {
    bool used = false;
    for (const TGraphEntry &entry : FGraphs) used = used || entry.Graph->SeriesIndex == index;
    if (!used) graph->SeriesIndex = index;
  }
  FGraphs.push_back({fileName, std::move(graph)});
  DrawGraph(*FGraphs.back().Graph);
  UpdateAxisRange();
  Chart->Refresh();
}

void TfmProject::DrawGraph(const TGraph &graph) {
  for (const TGraphEntry &entry : FGraphs)
    if (entry.Graph.get() == &graph)
      Chart->DrawGraph(graph.SeriesIndex, &graph, GraphName(entry.FileName));
}

void TfmProject::RemoveGraph(int index) {
  if (index < 0 || index >= int(FGraphs.size())) return;
  Chart->ClearGraph(FGraphs[size_t(index)].Graph->SeriesIndex);
  FGraphs.erase(FGraphs.begin() + index);
}

void TfmProject::RemoveGraphs() {
  if (FGraphs.empty()) return;
  if (FGraphs.size() == 1) {
    if (!AskYesNo(Translate(QStringLiteral("Remove graph from project?")))) return;
    RemoveGraph(0);
    Chart->SetLegendVisible(false);
  } else {
    QStringList lines;
    for (const TGraphEntry &entry : FGraphs) lines << PathWithoutExtension(entry.FileName);
    TfmRemoveGraph dialog(lines, this);
    if (ExecModalDialog(dialog) != QDialog::Accepted) return;
    for (const QString &line : dialog.Checked()) {
      for (size_t i = 0; i < FGraphs.size(); ++i)
        if (PathWithoutExtension(FGraphs[i].FileName) == line) {
          RemoveGraph(int(i));
          break;
        }
    }
    // The legend stays, even with no graph left.
  }
  UpdateAxisRange();
  Chart->Refresh();
}

QStringList TfmProject::GraphFiles() const {
  QStringList files;
  for (const TGraphEntry &entry : FGraphs) files << entry.FileName;
  return files;
}

const TGraph *TfmProject::GraphAt(int index) const {
  return index >= 0 && index < int(FGraphs.size()) ? FGraphs[size_t(index)].Graph.get() : nullptr;
}

void TfmProject::ShowPulseReport() {
  // During a run the report shows the points stored so far, read whole.
  TfmPulseReport dialog(
      ProjectName,
      [this](TCorrelationKind kind) {
        QReadLocker lock(&FData->DataLock);
        return ComputePulseReport(*FData, Zero(), kind);
      },
      this);
  ExecModalDialog(dialog);
}

void TfmProject::CopyChart() {
  CopyChartToClipboard(Chart->Plot());
}

void TfmProject::PrintChart(QPrinter &printer) {
  PrintChartPage(Chart->Plot(), printer);
}
