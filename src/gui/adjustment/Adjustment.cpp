// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/Adjustment.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPointer>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "adjustment/HistogramChart.h"
#include "adjustment/LinkLabel.h"
#include "adjustment/MoveFilter.h"
#include "adjustment/MoveSM.h"
#include "app/AppError.h"
#include "app/ChartPicture.h"
#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "app/ModalDialogs.h"
#include "app/OpenWindows.h"
#include "app/WaitCursor.h"
#include "device/Device.h"
#include "localization/FormTranslation.h"
#include "measurement/Project.h"
#include "settings/FilterTableModel.h"
#include "settings/FormPlacement.h"
#include "settings/SettingsStorage.h"

namespace {
const QString PlacementSuffix = QStringLiteral("TfmAdjustment");
// The key path of the quantity is spelt so in every settings file written so
// far; it must stay exactly so to be found again.
const TKeyPath QuantityKey{QStringLiteral("Fomrs"), QStringLiteral("TfmAdjustment")};
const TKeyPath General{QStringLiteral("General")};

constexpr int LimitSteps = 100000;  // more than either motor can run: a shift to its limit
constexpr int DesignQuantity = 100;
constexpr int ReplotInterval = 40;  // ms: the chart follows a series at 25 pictures a second
// Room left of a caption in pnSignal, and between a caption and its value.
constexpr int SignalMinLeft = 16;
constexpr int SignalValueGap = 40;
// The row of the filter in place.
const QColor FilterInPlaceColor(166, 202, 240);

// A plus or minus drawn for the grid's Insert and Delete buttons.
QIcon SignIcon(bool plus) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QPen(QColor(40, 40, 40), 2));
  painter.drawLine(3, 8, 13, 8);
  if (plus) painter.drawLine(8, 3, 8, 13);
  return QIcon(pixmap);
}

QToolButton *FlatButton(QWidget *parent, const char *name, const QString &hint) {
  auto *button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(hint);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QToolButton *ArrowButton(QWidget *parent, const char *name, const QString &hint,
                         Qt::ArrowType arrow) {
  QToolButton *button = FlatButton(parent, name, hint);
  button->setArrowType(arrow);
  return button;
}

QToolButton *IconButton(QWidget *parent, const char *name, const QString &hint,
                        QStyle::StandardPixmap icon) {
  QToolButton *button = FlatButton(parent, name, hint);
  button->setIcon(parent->style()->standardIcon(icon));
  return button;
}

QLabel *Label(QWidget *parent, const char *name, const QString &text) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}
}  // namespace

// Draws the grid's cells, marking the row of the filter in place, and keeps
// track of the cell editor that is open, so that the window can end an edit
// before it acts on the table.
class TFilterGridDelegate : public QStyledItemDelegate {
 public:
  TFilterGridDelegate(QToolButton *wheelPosition, QObject *parent)
      : QStyledItemDelegate(parent), FWheelPosition(wheelPosition) {}

  QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const override {
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    FEditor = editor;
    return editor;
  }

  void destroyEditor(QWidget *editor, const QModelIndex &index) const override {
    if (FEditor == editor) FEditor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
  }

  // Writes the open editor's text into the model and closes it.
  void Finish() {
    if (!FEditor) return;
    QWidget *editor = FEditor;
    FEditor = nullptr;
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
  }

 protected:
  // grFilterCustomDrawCell: the row whose position reads as the wheel's
  // position caption gets the sky-blue background.
  void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString shift =
        index.siblingAtColumn(TFilterTableModel::colShift).data(Qt::DisplayRole).toString();
    if (!shift.isEmpty() && shift == FWheelPosition->text())
      option->backgroundBrush = FilterInPlaceColor;
  }

 private:
  QToolButton *FWheelPosition;
  mutable QPointer<QWidget> FEditor;
};

TfmAdjustment::TfmAdjustment(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("fmAdjustment"));
  CreateComponents();
  // Inside its MDI sub-window before the placement is restored: a child's
  // placement is that of its sub-window, which deletes it on closing.
  if (fmMain && !parent) {
    QMdiSubWindow *sub = fmMain->AddChildWindow(this);
    connect(sub, &QMdiSubWindow::aboutToActivate, this, &TfmAdjustment::FormActivate);
  } else {
    setAttribute(Qt::WA_DeleteOnClose);
  }
  FormCreate();
}

TfmAdjustment::~TfmAdjustment() {
  // Torn down with the main window during a series: no more values.
  if (tmSeries) tmSeries->stop();
}

// --- Components ------------------------------------------------------------------

void TfmAdjustment::CreateComponents() {
  setWindowTitle(QStringLiteral("Adjustment"));

  auto *left = new QVBoxLayout;
  left->setSpacing(6);
  left->addWidget(CreateGainGroups());
  left->addWidget(CreateMotorGroups());
  left->addWidget(CreateFilterGrid(), 1);

  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(10);
  layout->addLayout(left);
  layout->addWidget(CreateSignalSide(), 1);

  tmSeries = new QTimer(this);
  tmSeries->setObjectName(QStringLiteral("tmSeries"));
  tmSeries->setSingleShot(true);
  tmSeries->setInterval(0);
  connect(tmSeries, &QTimer::timeout, this, &TfmAdjustment::tmSeriesTimer);

  tmReplot = new QTimer(this);
  tmReplot->setObjectName(QStringLiteral("tmReplot"));
  tmReplot->setSingleShot(true);
  tmReplot->setInterval(ReplotInterval);
  connect(tmReplot, &QTimer::timeout, this, [this] {
    if (!FChartDirty) return;
    FChartDirty = false;
    ReplotLater(Chart);
    tmReplot->start();
  });
}

QWidget *TfmAdjustment::CreateGainGroups() {
  auto *panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("pnGains"));
  auto *layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);

  auto *grAmpF = new QGroupBox(QStringLiteral("PSA gain factor"), panel);
  grAmpF->setObjectName(QStringLiteral("grAmpF"));
  auto *ampF = new QHBoxLayout(grAmpF);
  QRadioButton **photo[] = {&rbAmpF1, &rbAmpF16};
  const int photoGains[] = {1, 16};
  for (int i = 0; i < 2; ++i) {
    auto *button = new QRadioButton(QString::number(photoGains[i]), grAmpF);
    button->setObjectName(QStringLiteral("rbAmpF") + QString::number(photoGains[i]));
    connect(button, &QRadioButton::clicked, this, [this, button] { rbAmpF1Click(button); });
    ampF->addWidget(button);
    *photo[i] = button;
  }
  ampF->addStretch(1);

  auto *grAmpI = new QGroupBox(QStringLiteral("SSD gain factor"), panel);
  grAmpI->setObjectName(QStringLiteral("grAmpI"));
  auto *ampI = new QHBoxLayout(grAmpI);
  QRadioButton **input[] = {&rbAmpI1,  &rbAmpI2,  &rbAmpI4, &rbAmpI8,
                            &rbAmpI16, &rbAmpI32, &rbAmpI64};
  for (int i = 0; i < 7; ++i) {
    const int gain = 1 << i;
    auto *button = new QRadioButton(QString::number(gain), grAmpI);
    button->setObjectName(QStringLiteral("rbAmpI") + QString::number(gain));
    connect(button, &QRadioButton::clicked, this, [this, button] { rbAmpI1Click(button); });
    ampI->addWidget(button);
    *input[i] = button;
  }

  lbTotalGain = Label(panel, "lbTotalGain", QStringLiteral("Total gain:"));
  QFont bold = lbTotalGain->font();
  bold.setBold(true);
  lbTotalGain->setFont(bold);

  layout->addWidget(grAmpF);
  layout->addWidget(grAmpI);
  layout->addWidget(lbTotalGain);
  return panel;
}

QWidget *TfmAdjustment::CreateMotorGroups() {
  auto *panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("pnMotors"));
  auto *layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);

  QFont positionFont = font();
  positionFont.setBold(true);
  positionFont.setPointSizeF(positionFont.pointSizeF() * 1.25);

  // One row of a motor: to the initial limit, one step back, the position
  // (click to enter one), one step on, to the final limit.
  auto row = [&](QWidget *group, QToolButton *toStart, QToolButton *back, QToolButton *position,
                 QToolButton *on, QToolButton *toEnd) {
    position->setFont(positionFont);
    position->setMinimumWidth(96);
    position->setToolButtonStyle(Qt::ToolButtonTextOnly);
    position->setCursor(Qt::PointingHandCursor);
    auto *line = new QHBoxLayout;
    line->setSpacing(2);
    for (QToolButton *button : {toStart, back}) line->addWidget(button);
    line->addWidget(position, 1);
    for (QToolButton *button : {on, toEnd}) line->addWidget(button);
    static_cast<QVBoxLayout *>(group->layout())->addLayout(line);
  };

  auto *grCarriage = new QGroupBox(QStringLiteral("Delay line carriage position"), panel);
  grCarriage->setObjectName(QStringLiteral("grCarriage"));
  new QVBoxLayout(grCarriage);
  SpeedButton2 =
      IconButton(grCarriage, "SpeedButton2", QStringLiteral("Shift carriage to initial limit"),
                 QStyle::SP_MediaSkipBackward);
  SpeedButton1 =
      ArrowButton(grCarriage, "SpeedButton1",
                  QStringLiteral("Shift carriage on one step to initial limit"), Qt::LeftArrow);
  btDLPos = FlatButton(grCarriage, "btDLPos", QStringLiteral("Click to change carriage position"));
  SpeedButton3 =
      ArrowButton(grCarriage, "SpeedButton3",
                  QStringLiteral("Shift carriage on one step to final limit"), Qt::RightArrow);
  SpeedButton4 =
      IconButton(grCarriage, "SpeedButton4", QStringLiteral("Shift carriage to final limit"),
                 QStyle::SP_MediaSkipForward);
  row(grCarriage, SpeedButton2, SpeedButton1, btDLPos, SpeedButton3, SpeedButton4);
  Label2 = new TLinkLabel(QStringLiteral("Apply as zero position"), grCarriage);
  Label2->setObjectName(QStringLiteral("Label2"));
  lbDLPosFS = Label(grCarriage, "lbDLPosFS", QString());
  lbDLPosFS->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto *zero = new QHBoxLayout;
  zero->addWidget(Label2);
  zero->addStretch(1);
  zero->addWidget(lbDLPosFS);
  static_cast<QVBoxLayout *>(grCarriage->layout())->addLayout(zero);

  auto *grWheel = new QGroupBox(QStringLiteral("Filter wheel position"), panel);
  grWheel->setObjectName(QStringLiteral("grWheel"));
  new QVBoxLayout(grWheel);
  SpeedButton5 = IconButton(grWheel, "SpeedButton5", QStringLiteral("Shift wheel to initial limit"),
                            QStyle::SP_MediaSkipBackward);
  SpeedButton6 =
      ArrowButton(grWheel, "SpeedButton6",
                  QStringLiteral("Shift wheel on one step to initial limit"), Qt::LeftArrow);
  btFilterPos =
      FlatButton(grWheel, "btFilterPos", QStringLiteral("Click to change wheel position"));
  SpeedButton8 =
      ArrowButton(grWheel, "SpeedButton8", QStringLiteral("Shift wheel on one step to final limit"),
                  Qt::RightArrow);
  SpeedButton10 = IconButton(grWheel, "SpeedButton10", QStringLiteral("Shift wheel to final limit"),
                             QStyle::SP_MediaSkipForward);
  row(grWheel, SpeedButton5, SpeedButton6, btFilterPos, SpeedButton8, SpeedButton10);

  layout->addWidget(grCarriage);
  layout->addWidget(grWheel);

  auto guarded = [this](QToolButton *button, void (TfmAdjustment::*handler)()) {
    connect(button, &QToolButton::clicked, this,
            [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
  };
  guarded(SpeedButton1, &TfmAdjustment::SpeedButton1Click);
  guarded(SpeedButton2, &TfmAdjustment::SpeedButton2Click);
  guarded(SpeedButton3, &TfmAdjustment::SpeedButton3Click);
  guarded(SpeedButton4, &TfmAdjustment::SpeedButton4Click);
  guarded(SpeedButton5, &TfmAdjustment::SpeedButton5Click);
  guarded(SpeedButton6, &TfmAdjustment::SpeedButton6Click);
  guarded(SpeedButton8, &TfmAdjustment::SpeedButton8Click);
  guarded(SpeedButton10, &TfmAdjustment::SpeedButton10Click);
  guarded(btDLPos, &TfmAdjustment::btDLPosClick);
  guarded(btFilterPos, &TfmAdjustment::btFilterPosClick);
  connect(Label2, &TLinkLabel::clicked, this, [this] { RunGuarded([this] { Label2Click(); }); });
  return panel;
}

QWidget *TfmAdjustment::CreateFilterGrid() {
  auto *panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("pnFilter"));
  auto *layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  tbFilter = new TFilterTableModel(this);
  tbFilter->setObjectName(QStringLiteral("tbFilter"));
  grFilter = new QTableView(panel);
  grFilter->setObjectName(QStringLiteral("grFilter"));
  grFilter->setModel(tbFilter);
  FGridDelegate = new TFilterGridDelegate(btFilterPos, grFilter);
  grFilter->setItemDelegate(FGridDelegate);
  grFilter->setSelectionMode(QAbstractItemView::SingleSelection);
  grFilter->setSelectionBehavior(QAbstractItemView::SelectItems);
  // A double click moves the wheel; typing or a click on the current cell edits.
  grFilter->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::SelectedClicked);
  grFilter->verticalHeader()->setVisible(false);
  grFilter->verticalHeader()->setDefaultSectionSize(grFilter->fontMetrics().height() + 6);
  grFilter->horizontalHeader()->setSectionResizeMode(TFilterTableModel::colId,
                                                     QHeaderView::ResizeToContents);
  grFilter->horizontalHeader()->setSectionResizeMode(TFilterTableModel::colTransmission,
                                                     QHeaderView::Stretch);
  grFilter->horizontalHeader()->setSectionResizeMode(TFilterTableModel::colShift,
                                                     QHeaderView::Stretch);
  grFilter->setMinimumHeight(120);
  grFilter->installEventFilter(this);

  btInsert = FlatButton(panel, "btInsert", QStringLiteral("Insert"));
  btInsert->setIcon(SignIcon(true));
  btDelete = FlatButton(panel, "btDelete", QStringLiteral("Delete"));
  btDelete->setIcon(SignIcon(false));
  lbApplyFilter = new TLinkLabel(QStringLiteral("Apply"), panel);
  lbApplyFilter->setObjectName(QStringLiteral("lbApplyFilter"));
  auto *tools = new QHBoxLayout;
  tools->setSpacing(2);
  tools->addWidget(btInsert);
  tools->addWidget(btDelete);
  tools->addStretch(1);
  tools->addWidget(lbApplyFilter);

  layout->addWidget(grFilter, 1);
  layout->addLayout(tools);

  connect(btInsert, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { btInsertClick(); }); });
  connect(btDelete, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { btDeleteClick(); }); });
  connect(lbApplyFilter, &TLinkLabel::clicked, this,
          [this] { RunGuarded([this] { lbApplyFilterClick(); }); });
  connect(grFilter, &QTableView::doubleClicked, this,
          [this](const QModelIndex &index) { RunGuarded([&] { grFilterDblClick(index); }); });
  connect(grFilter->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current, const QModelIndex &previous) {
            grFilterCurrentRowChanged(current.row(), previous.row());
          });
  // tbFilterAfterPost and tbFilterAfterDelete: the model has sorted and
  // renumbered the rows already.
  connect(tbFilter, &TFilterTableModel::Posted, this, [this] { TableChanged = true; });
  connect(tbFilter, &TFilterTableModel::Deleted, this, [this] { TableChanged = true; });
  connect(tbFilter, &TFilterTableModel::CurrentRowRequested, this, [this](int row) {
    if (row < 0 || row >= tbFilter->rowCount()) return;
    const int column = std::max(grFilter->currentIndex().column(), 1);
    grFilter->setCurrentIndex(tbFilter->index(row, column));
  });
  return panel;
}

QWidget *TfmAdjustment::CreateSignalSide() {
  auto *panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("pnMeasurement"));
  auto *layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);

  // Captions and values are placed by pnSignalResize, not by a layout.
  pnSignal = new QFrame(panel);
  pnSignal->setObjectName(QStringLiteral("pnSignal"));
  pnSignal->setFrameShape(QFrame::StyledPanel);
  pnSignal->setAutoFillBackground(true);
  pnSignal->setBackgroundRole(QPalette::Base);
  QFont valueFont = font();
  valueFont.setBold(true);
  valueFont.setPointSizeF(valueFont.pointSizeF() * 1.5);
  lbCurrentSignalCpt = Label(pnSignal, "lbCurrentSignalCpt", QStringLiteral("Current signal:"));
  lbCurrentSignal = Label(pnSignal, "lbCurrentSignal", QString());
  lbAvgSignalCpt = Label(pnSignal, "lbAvgSignalCpt", QStringLiteral("Averaged signal:"));
  lbSignal = Label(pnSignal, "lbSignal", QString());
  for (QLabel *value : {lbCurrentSignal, lbSignal}) value->setFont(valueFont);
  const int rowHeight = QFontMetrics(valueFont).height() + 4;
  pnSignal->setFixedHeight(2 * rowHeight + 16);
  pnSignal->installEventFilter(this);

  auto *lbQuantity = Label(panel, "lbQuantity", QStringLiteral("Measurement quantity:"));
  edQuantity = new QSpinBox(panel);
  edQuantity->setObjectName(QStringLiteral("edQuantity"));
  edQuantity->setRange(1, 1000);
  edQuantity->setValue(DesignQuantity);
  edQuantity->setAlignment(Qt::AlignRight);
  lbQuantity->setBuddy(edQuantity);
  auto *lbMeasurementCpt = Label(panel, "lbMeasurementCpt", QStringLiteral("Measurements:"));
  lbMeasurement = Label(panel, "lbMeasurement", QString());
  lbMeasurement->setMinimumWidth(QFontMetrics(lbMeasurement->font()).horizontalAdvance("00000"));
  auto *quantity = new QHBoxLayout;
  quantity->addWidget(lbQuantity);
  quantity->addWidget(edQuantity);
  quantity->addStretch(1);
  quantity->addWidget(lbMeasurementCpt);
  quantity->addWidget(lbMeasurement);

  Chart = CreateHistogramChart(panel);
  Series1 = HistogramSeries(Chart);

  layout->addWidget(pnSignal);
  layout->addLayout(quantity);
  layout->addWidget(ChartWidget(Chart), 1);
  return panel;
}

bool TfmAdjustment::eventFilter(QObject *watched, QEvent *event) {
  if (watched == pnSignal && event->type() == QEvent::Resize) {
    pnSignalResize();
  } else if (watched == grFilter && event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    // Ctrl+Delete deletes the current record after a question, Escape drops
    // the edits of the row in editing: the grid's own keys.
    if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
      RunGuarded([this] {
        if (tbFilter->rowCount() > 0 && AskYesNo(Translate(QStringLiteral("Delete record?"))))
          tbFilter->Delete(grFilter->currentIndex().isValid() ? grFilter->currentIndex().row()
                                                              : tbFilter->CurrentRow());
      });
      return true;
    }
    if (key->key() == Qt::Key_Escape && tbFilter->IsEditing()) {
      tbFilter->Cancel();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// --- Lifecycle ----------------------------------------------------------------------

void TfmAdjustment::FormCreate() {
  TranslateForm(this, true, true);
  SetChartTitle(Chart, Translate(QStringLiteral("Signal distribution")));
  SampleCount = 0;
  Updating = false;
  Measuring = false;
  RegisterChildWindow(this);
  RestoreFormPlacement(this, PlacementSuffix);
  if (AppSettings)
    edQuantity->setValue(
        AppSettings->ReadInt(QuantityKey, QStringLiteral("edQuantity"), DesignQuantity));
  RefreshDisplay();
  if (Device) {
    try {
      tbFilter->Load(Device->FilterTable);
    } catch (const std::exception &e) {
      // A stored table that breaks a rule: the rows before it are shown, and
      // the window opens all the same.
      ShowErrorBox(ExceptionMessage(e));
    }
  }
  TableChanged = false;
  pnSignalResize();
}

void TfmAdjustment::FormActivate() {
  RefreshDisplay();
}

void TfmAdjustment::closeEvent(QCloseEvent *event) {
  bool canClose = false;
  RunGuarded([&] { canClose = FormCloseQuery(); });
  if (!canClose) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TfmAdjustment::FormCloseQuery() {
  PostTable();
  if (TableChanged) {
    const QMessageBox::StandardButton answer =
        AskYesNoCancel(Translate(QStringLiteral("Filter calibration table was changed. Save "
                                                "changes (current settings will be rewrited)?")));
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes) {
      tbFilter->Check();
      CheckNoProjectRunning();
      StoreTable();
    }
  }
  if (Measuring) {
    // The series ends at its next value; the operator closes again then.
    StopRequested = true;
    return false;
  }
  return true;
}

void TfmAdjustment::FormClose() {
  tmSeries->stop();
  UnregisterChildWindow(this);
  SaveFormPlacement(this, PlacementSuffix);
  if (AppSettings)
    AppSettings->AddParam(QuantityKey, QStringLiteral("edQuantity"), edQuantity->value());
  FSeries.Reset(0);
}

// --- Display ------------------------------------------------------------------------

void TfmAdjustment::CheckNoProjectRunning() {
  if (!OpenWindows) return;
  for (QWidget *fm : OpenWindows->Items())
    if (auto *project = qobject_cast<TfmProject *>(fm); project && project->Running)
      RaiseError(QStringLiteral("Can not change any params during project execution."));
}

void TfmAdjustment::RefreshDisplay() {
  // While a project runs the scan worker drives the device: its fields are
  // not read here, and what is shown stays.
  try {
    CheckNoProjectRunning();
  } catch (const std::exception &) {
    return;
  }
  if (!Device) return;
  Updating = true;
  auto done = qScopeGuard([this] { Updating = false; });
  btDLPos->setText(QString::number(Device->CarriagePosition));
  lbDLPosFS->setText(
      QString::number(DelayOfPosition(Device->CarriagePosition, Device->ZeroPosition)) + u' ' +
      Translate(QStringLiteral("fsec.")));
  btFilterPos->setText(QString::number(Device->WheelPosition));
  ShowGains(Device->AmpF, Device->AmpI);
  lbTotalGain->setText(Translate(QStringLiteral("Total gain:")) + u' ' +
                       QString::number(int(Device->AmpF) * int(Device->AmpI)));
  grFilter->viewport()->update();
}

void TfmAdjustment::ShowGains(int ampF, int ampI) {
  const bool wasUpdating = Updating;
  Updating = true;
  if (auto *button = findChild<QRadioButton *>(QStringLiteral("rbAmpF") + QString::number(ampF)))
    button->setChecked(true);
  if (auto *button = findChild<QRadioButton *>(QStringLiteral("rbAmpI") + QString::number(ampI)))
    button->setChecked(true);
  FShownAmpF = ampF;
  FShownAmpI = ampI;
  Updating = wasUpdating;
}

void TfmAdjustment::pnSignalResize() {
  const int half = pnSignal->contentsRect().width() / 2;
  const int rowHeight = lbSignal->fontMetrics().height() + 4;
  const QPair<QLabel *, QLabel *> rows[] = {{lbCurrentSignalCpt, lbCurrentSignal},
                                            {lbAvgSignalCpt, lbSignal}};
  int top = 8;
  for (const auto &[caption, value] : rows) {
    caption->adjustSize();
    const int left = std::max(half - caption->width(), SignalMinLeft);
    caption->setGeometry(left, top, caption->width(), rowHeight);
    const int valueLeft = left + caption->width() + SignalValueGap;
    value->setGeometry(valueLeft, top, std::max(pnSignal->width() - valueLeft, 0), rowHeight);
    top += rowHeight;
  }
}

// --- Gains --------------------------------------------------------------------------

void TfmAdjustment::rbAmpF1Click(QAbstractButton *button) {
  GainClick(button, true);
}
void TfmAdjustment::rbAmpI1Click(QAbstractButton *button) {
  GainClick(button, false);
}

void TfmAdjustment::GainClick(QAbstractButton *button, bool photo) {
  if (Updating) return;
  RunGuarded([&] {
    auto after = qScopeGuard([this] {
      edQuantity->setFocus();
      RefreshDisplay();
      // A refused click must not leave its button checked: the buttons show
      // the gains last shown, which are those in force.
      ShowGains(FShownAmpF, FShownAmpI);
    });
    CheckNoProjectRunning();
    // The gain is the number after "rbAmpF" / "rbAmpI".
    const int gain = button->objectName().mid(6).toInt();
    if (photo)
      Device->SetGains(uint8_t(gain), Device->AmpI);
    else
      Device->SetGains(Device->AmpF, uint8_t(gain));
  });
}

// --- Carriage and wheel ---------------------------------------------------------------

void TfmAdjustment::BusyShift(int motor, qint32 steps) {
  auto refresh = qScopeGuard([this] { RefreshDisplay(); });
  TWaitCursor wait;
  Device->ShiftMotor(motor, steps);
}

void TfmAdjustment::StepShift(int motor, int steps, const QString &warning) {
  CheckNoProjectRunning();
  qint32 notMade = 0;
  {
    auto refresh = qScopeGuard([this] { RefreshDisplay(); });
    notMade = Device->ShiftMotor(motor, steps);
  }
  if (notMade != 0) ShowWarning(Translate(warning));
}

bool TfmAdjustment::LimitShift(int motor, int steps, const QString &question) {
  CheckNoProjectRunning();
  if (!AskYesNo(Translate(question))) return false;
  BusyShift(motor, steps);
  return true;
}

void TfmAdjustment::SpeedButton1Click() {
  StepShift(TDevice::MotorCarriage, -1, QStringLiteral("Unable to shift carriage."));
}

void TfmAdjustment::SpeedButton3Click() {
  StepShift(TDevice::MotorCarriage, 1, QStringLiteral("Unable to shift carriage."));
}

void TfmAdjustment::SpeedButton6Click() {
  StepShift(TDevice::MotorWheel, -1, QStringLiteral("Unable to shift filter wheel."));
}

void TfmAdjustment::SpeedButton8Click() {
  StepShift(TDevice::MotorWheel, 1, QStringLiteral("Unable to shift filter wheel."));
}

void TfmAdjustment::SpeedButton2Click() {
  LimitShift(TDevice::MotorCarriage, -LimitSteps,
             QStringLiteral("Shift carriage to initial limit?"));
}

void TfmAdjustment::SpeedButton4Click() {
  if (LimitShift(TDevice::MotorCarriage, LimitSteps,
                 QStringLiteral("Shift carriage to final limit?")))
    AskDelayLineLength();
}

void TfmAdjustment::SpeedButton5Click() {
  LimitShift(TDevice::MotorWheel, -LimitSteps,
             QStringLiteral("Shift filter wheel to initial limit?"));
}

void TfmAdjustment::SpeedButton10Click() {
  LimitShift(TDevice::MotorWheel, LimitSteps, QStringLiteral("Shift filter wheel to final limit?"));
}

void TfmAdjustment::AskDelayLineLength() {
  // The carriage stands at its final limit: its position is the line's length.
  const QString caption = btDLPos->text();
  const int position = caption.toInt();
  if (AppSettings->ReadInt(General, QStringLiteral("DL_STEPS"), -1) == position) return;
  if (!AskYesNo(TranslateFmt(QStringLiteral("Set delay line length equals to %?"), {caption})))
    return;
  AppSettings->AddParam(General, QStringLiteral("DL_STEPS"), position);
  if (fmMain) fmMain->SaveSettings();
}

void TfmAdjustment::btDLPosClick() {
  CheckNoProjectRunning();
  TfmMoveSM dialog(this);
  dialog.edPosition->setValue(Device->CarriagePosition);
  if (ExecModalDialog(dialog) != QDialog::Accepted) return;
  BusyShift(TDevice::MotorCarriage, dialog.edPosition->value() - Device->CarriagePosition);
}

void TfmAdjustment::btFilterPosClick() {
  CheckNoProjectRunning();
  TfmMoveFilter dialog(this);
  dialog.edPosition->setValue(Device->WheelPosition);
  if (ExecModalDialog(dialog) != QDialog::Accepted) return;
  BusyShift(TDevice::MotorWheel, dialog.edPosition->value() - Device->WheelPosition);
}

void TfmAdjustment::Label2Click() {
  // Changing the zero delay under a running scan would shift the delays of
  // the points it has measured: refused like every device parameter.
  CheckNoProjectRunning();
  const QString caption = btDLPos->text();
  if (!AskYesNo(TranslateFmt(QStringLiteral("Set zero carriage position equals to %?"), {caption})))
    return;
  Device->ZeroPosition = caption.toInt();
  if (fmMain) fmMain->SaveSettings();
}

// --- Filter table ---------------------------------------------------------------------

void TfmAdjustment::CloseCellEditor() {
  FGridDelegate->Finish();
}

void TfmAdjustment::PostTable() {
  CloseCellEditor();
  tbFilter->Post();
}

void TfmAdjustment::grFilterCurrentRowChanged(int current, int previous) {
  if (current >= 0) tbFilter->SetCurrentRow(current);
  // Leaving the row in editing posts it; a broken rule brings the cursor back.
  if (!tbFilter->IsEditing() || previous != tbFilter->EditingRow() || current == previous) return;
  QString message;
  if (tbFilter->TryPost(&message)) return;
  const int row = tbFilter->EditingRow();
  QTimer::singleShot(0, this, [this, row] {
    if (row < tbFilter->rowCount())
      grFilter->setCurrentIndex(
          tbFilter->index(row, std::max(grFilter->currentIndex().column(), 1)));
  });
  ShowErrorBox(message);
}

void TfmAdjustment::btInsertClick() {
  CloseCellEditor();
  const int row = tbFilter->Append();
  grFilter->setCurrentIndex(tbFilter->index(row, TFilterTableModel::colTransmission));
  grFilter->setFocus();
}

void TfmAdjustment::btDeleteClick() {
  CloseCellEditor();
  if (tbFilter->rowCount() == 0) return;
  const QModelIndex current = grFilter->currentIndex();
  tbFilter->Delete(current.isValid() ? current.row() : std::max(tbFilter->CurrentRow(), 0));
}

void TfmAdjustment::lbApplyFilterClick() {
  PostTable();
  tbFilter->Check();
  if (!AskYesNo(Translate(
          QStringLiteral("Save filter calibration table (current settings will be rewrited)?"))))
    return;
  CheckNoProjectRunning();
  StoreTable();
}

void TfmAdjustment::StoreTable() {
  Device->FilterTable = tbFilter->Store();
  if (fmMain) fmMain->SaveSettings();
  TableChanged = false;
}

void TfmAdjustment::grFilterDblClick(const QModelIndex &index) {
  // Posting sorts the rows: the record double-clicked is followed to its new row.
  const QPersistentModelIndex clicked(index);
  PostTable();
  if (!clicked.isValid()) return;
  const QString shift =
      tbFilter->index(clicked.row(), TFilterTableModel::colShift).data(Qt::DisplayRole).toString();
  if (shift.isEmpty()) return;
  if (!AskYesNo(TranslateFmt(QStringLiteral("Shift filter wheel to position %?"), {shift}))) return;
  CheckNoProjectRunning();
  BusyShift(TDevice::MotorWheel, shift.toInt() - Device->WheelPosition);
}

// --- Measurement series ------------------------------------------------------------

void TfmAdjustment::SetStartStop(bool measuring) {
  if (!fmMain) return;
  fmMain->mnStart->setEnabled(!measuring);
  fmMain->mnStop->setEnabled(measuring);
}

void TfmAdjustment::RunMeasurement() {
  if (Measuring) return;
  // The device belongs to the scan worker while a project runs.
  CheckNoProjectRunning();
  StopRequested = false;
  Measuring = true;
  SetStartStop(true);

  ClearHistogram(Chart);
  lbSignal->clear();
  lbCurrentSignal->clear();
  FAvgNum = AppSettings ? AppSettings->ReadInt(General, QStringLiteral("avgNum"), 1) : 1;
  FSeries.Reset(edQuantity->value());
  SampleCount = 0;
  lbMeasurement->setText(QStringLiteral("0"));
  ShowHistogram(Chart, FSeries.Bins());
  ReplotLater(Chart);
  // The values follow from the event loop, one per pass.
  tmSeries->start();
}

void TfmAdjustment::tmSeriesTimer() {
  RunGuarded([this] {
    try {
      MeasureNext();
    } catch (...) {
      // The values so far stay; the device shows what it tracked.
      EndSeries();
      RefreshDisplay();
      throw;
    }
  });
}

void TfmAdjustment::MeasureNext() {
  if (!Measuring) return;
  if (StopRequested || FSeries.Full()) {
    EndSeries();
    return;
  }
  if (!Device) RaiseError(QStringLiteral("Device is not opened."));
  const int value = Device->Measure(FAvgNum);
  FSeries.Add(value);
  SampleCount = FSeries.Count();

  SetBottomRange(Chart, FSeries.Minimum() - 5, FSeries.Maximum() + 5);
  lbCurrentSignal->setText(QString::number(value));
  lbSignal->setText(FSeries.AveragedText());
  if (value >= 0 && value < TSampleSeries::BinCount)
    SetHistogramBin(Chart, value, FSeries.Bins()[value], FSeries.MaxBin());
  lbMeasurement->setText(QString::number(SampleCount));
  // A fast series would spend most of its time drawing the chart: it is
  // drawn at most every ReplotInterval ms, and once more when the values stop.
  if (!tmReplot->isActive()) {
    ReplotLater(Chart);
    tmReplot->start();
  } else {
    FChartDirty = true;
  }

  if (FSeries.Full())
    EndSeries();
  else
    tmSeries->start();  // Stop, Export, Copy and closing are handled before it fires
}

void TfmAdjustment::EndSeries() {
  tmSeries->stop();
  if (FChartDirty) {
    FChartDirty = false;
    ReplotLater(Chart);
  }
  SetStartStop(false);
  Measuring = false;
}

void TfmAdjustment::ExportHistogram(const QString &fileName) {
  ::ExportHistogram(FSeries.Samples(), SampleCount, fileName);
}

void TfmAdjustment::CopyChart() {
  CopyChartToClipboard(Chart);
}
