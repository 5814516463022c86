// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "app/ModalDialogs.h"
#include "app/OpenWindows.h"
#include "device/Device.h"
#include "device/DeviceParams.h"
#include "localization/FormTranslation.h"
#include "localization/LanguageList.h"
#include "localization/LanguageWindows.h"
#include "measurement/Project.h"
#include "settings/FilterTableModel.h"
#include "settings/MeasurementSettings.h"
#include "settings/SettingsStorage.h"

TfmSettings *fmSettings = nullptr;

// The grid's column captions as the window's design gives them, so that the
// form translation sets and reverses them like any other caption; rows and
// cells come from the filter table unchanged.
class TFilterCaptions : public QIdentityProxyModel {
 public:
  explicit TFilterCaptions(QObject *parent) : QIdentityProxyModel(parent) {}

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < TFilterTableModel::ColumnCount)
      return FCaptions[section];
    return QIdentityProxyModel::headerData(section, orientation, role);
  }
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                     int role) override {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) ||
        section < 0 || section >= TFilterTableModel::ColumnCount)
      return false;
    FCaptions[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
  }

 private:
  // "id" has a caption of two blanks.
  QString FCaptions[TFilterTableModel::ColumnCount] = {
      QStringLiteral("  "), QStringLiteral("Transmission, %"), QStringLiteral("Position")};
};

namespace {
constexpr int IdColumnWidth = 32;  // pixels
constexpr int ButtonWidth = 97;    // OK, Cancel, Apply

// The filter grid: the dialog writes an open cell editor into its row before
// it posts the row, and drops it before deleting one.
class TFilterGrid : public QTableView {
 public:
  using QTableView::QTableView;

  void CommitEditor() { FinishEditor(true); }
  void DropEditor() { FinishEditor(false); }
  bool Editing() const { return state() == EditingState; }

 private:
  void FinishEditor(bool commit) {
    if (state() != EditingState) return;
    QWidget *editor = indexWidget(currentIndex());
    if (!editor) return;
    if (commit) commitData(editor);
    closeEditor(editor,
                commit ? QAbstractItemDelegate::NoHint : QAbstractItemDelegate::RevertModelCache);
  }
};

// Runs an action under the central error guard; false when it raised (the
// error has been shown).
bool Guard(const std::function<void()> &action) {
  bool done = false;
  RunGuarded([&] {
    action();
    done = true;
  });
  return done;
}

// Three dots: the button beside the language field that opens the list.
QIcon EllipsisIcon(const QPalette &palette) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette.color(QPalette::ButtonText));
  for (int x : {3, 8, 13}) painter.drawEllipse(QPointF(x, 11), 1.3, 1.3);
  return QIcon(pixmap);
}

QSpinBox *SpinEdit(QWidget *parent, const char *name, int minimum, int maximum) {
  auto *spin = new QSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(minimum, maximum);
  spin->setMinimumWidth(90);
  return spin;
}

QLabel *Caption(QWidget *parent, const char *name, const QString &text, QWidget *buddy) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setBuddy(buddy);
  return label;
}

QFormLayout *FormLayout(QWidget *group) {
  auto *form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return form;
}

bool ProjectRunning() {
  if (!OpenWindows) return false;
  for (QWidget *fm : OpenWindows->Items())
    if (auto *project = qobject_cast<TfmProject *>(fm); project && project->Running) return true;
  return false;
}
}  // namespace

TfmSettings::TfmSettings(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmSettings"));
  // The latest instance is the open one; an earlier one comes back when it goes.
  FPreviousInstance = fmSettings;
  fmSettings = this;
  CreateComponents();
  FormCreate();
}

TfmSettings::~TfmSettings() {
  if (fmSettings == this) fmSettings = FPreviousInstance;
}

void TfmSettings::CreateComponents() {
  setWindowTitle(QStringLiteral("Settings"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  // Options.
  grOptions = new QGroupBox(QStringLiteral("Options"), this);
  grOptions->setObjectName(QStringLiteral("grOptions"));
  edLanguage = new QLineEdit(grOptions);
  edLanguage->setObjectName(QStringLiteral("edLanguage"));
  edLanguage->setReadOnly(true);
  edLanguage->installEventFilter(this);
  btLanguage = new QToolButton(grOptions);
  btLanguage->setObjectName(QStringLiteral("btLanguage"));
  btLanguage->setIcon(EllipsisIcon(palette()));
  btLanguage->setToolTip(QStringLiteral("Select language"));
  auto *language = new QHBoxLayout;
  language->setSpacing(2);
  language->addWidget(edLanguage, 1);
  language->addWidget(btLanguage);
  chbLog = new QCheckBox(QStringLiteral("Log device events"), grOptions);
  chbLog->setObjectName(QStringLiteral("chbLog"));
  auto *options = FormLayout(grOptions);
  options->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  options->addRow(Caption(grOptions, "lbLanguage", QStringLiteral("Language:"), edLanguage),
                  language);
  options->addRow(chbLog);

  // Threshold values.
  grThreshold = new QGroupBox(QStringLiteral("Threshold values"), this);
  grThreshold->setObjectName(QStringLiteral("grThreshold"));
  edLow = SpinEdit(grThreshold, "edLow", 0, 300);
  edHigh = SpinEdit(grThreshold, "edHigh", 500, 1023);
  auto *threshold = FormLayout(grThreshold);
  threshold->addRow(Caption(grThreshold, "lbLow", QStringLiteral("Low:"), edLow), edLow);
  threshold->addRow(Caption(grThreshold, "lbHigh", QStringLiteral("High:"), edHigh), edHigh);

  // Averaging.
  grAveraging = new QGroupBox(QStringLiteral("Averaging"), this);
  grAveraging->setObjectName(QStringLiteral("grAveraging"));
  edAvg = new QComboBox(grAveraging);
  edAvg->setObjectName(QStringLiteral("edAvg"));
  for (int count : AveragingCounts()) edAvg->addItem(QString::number(count));
  edAvg->setMaxVisibleItems(AveragingCounts().size());
  edAvg->setMinimumWidth(90);
  edSignalShift = SpinEdit(grAveraging, "edSignalShift", 0, 1023);
  auto *averaging = FormLayout(grAveraging);
  averaging->addRow(Caption(grAveraging, "lbAvg", QStringLiteral("Impulse quantity:"), edAvg),
                    edAvg);
  averaging->addRow(
      Caption(grAveraging, "lbSignalShift", QStringLiteral("Signal shift:"), edSignalShift),
      edSignalShift);

  // Delay line.
  grDelayLine = new QGroupBox(QStringLiteral("Delay line"), this);
  grDelayLine->setObjectName(QStringLiteral("grDelayLine"));
  edDLSteps = SpinEdit(grDelayLine, "edDLSteps", 0, 70000);
  edZero = SpinEdit(grDelayLine, "edZero", 0, 70000);
  edDLPeriod = SpinEdit(grDelayLine, "edDLPeriod", 1, 50);
  auto *delayLine = FormLayout(grDelayLine);
  delayLine->addRow(Caption(grDelayLine, "lbDLSteps", QStringLiteral("Length:"), edDLSteps),
                    edDLSteps);
  delayLine->addRow(Caption(grDelayLine, "lbZero", QStringLiteral("Zero position:"), edZero),
                    edZero);
  delayLine->addRow(
      Caption(grDelayLine, "lbDLPeriod", QStringLiteral("Step motor period, msec:"), edDLPeriod),
      edDLPeriod);

  // Optic filter: the calibration table and the wheel's motor period.
  grOpticFilter = new QGroupBox(QStringLiteral("Optic filter"), this);
  grOpticFilter->setObjectName(QStringLiteral("grOpticFilter"));
  tbFilter = new TFilterTableModel(this);
  tbFilter->setObjectName(QStringLiteral("tbFilter"));
  FCaptions = new TFilterCaptions(this);
  FCaptions->setObjectName(QStringLiteral("dsFilter"));
  FCaptions->setSourceModel(tbFilter);
  grFilter = new TFilterGrid(grOpticFilter);
  grFilter->setObjectName(QStringLiteral("grFilter"));
  grFilter->setModel(FCaptions);
  grFilter->setSelectionMode(QAbstractItemView::SingleSelection);
  grFilter->setSelectionBehavior(QAbstractItemView::SelectItems);
  grFilter->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  grFilter->setTabKeyNavigation(false);
  grFilter->verticalHeader()->hide();
  grFilter->verticalHeader()->setDefaultSectionSize(grFilter->fontMetrics().height() + 6);
  grFilter->horizontalHeader()->setHighlightSections(false);
  grFilter->horizontalHeader()->setSectionResizeMode(TFilterTableModel::colId, QHeaderView::Fixed);
  grFilter->setColumnWidth(TFilterTableModel::colId, IdColumnWidth);
  grFilter->setColumnWidth(TFilterTableModel::colTransmission, 120);
  grFilter->horizontalHeader()->setStretchLastSection(true);
  grFilter->setMinimumSize(300, 220);
  grFilter->installEventFilter(this);
  btInsert = new QToolButton(grOpticFilter);
  btInsert->setObjectName(QStringLiteral("btInsert"));
  btInsert->setText(QStringLiteral("+"));
  btInsert->setToolTip(QStringLiteral("Insert"));
  btDelete = new QToolButton(grOpticFilter);
  btDelete->setObjectName(QStringLiteral("btDelete"));
  btDelete->setText(QStringLiteral("-"));
  btDelete->setToolTip(QStringLiteral("Delete"));
  for (QToolButton *button : {btInsert, btDelete}) button->setFixedSize(26, 24);
  edFilterPeriod = SpinEdit(grOpticFilter, "edFilterPeriod", 1, 50);
  auto *gridButtons = new QHBoxLayout;
  gridButtons->setSpacing(2);
  gridButtons->addWidget(btInsert);
  gridButtons->addWidget(btDelete);
  gridButtons->addStretch(1);
  auto *filterPeriod = FormLayout(nullptr);
  filterPeriod->addRow(Caption(grOpticFilter, "lbFilterPeriod",
                               QStringLiteral("Step motor period, msec:"), edFilterPeriod),
                       edFilterPeriod);
  auto *opticFilter = new QVBoxLayout(grOpticFilter);
  opticFilter->addWidget(grFilter, 1);
  opticFilter->addLayout(gridButtons);
  opticFilter->addLayout(filterPeriod);

  // Buttons, right-aligned: the OK button's design left (4) is the right
  // margin, twice that the gap between buttons.
  btOk = new QPushButton(QStringLiteral("OK"), this);
  btOk->setObjectName(QStringLiteral("btOk"));
  btOk->setDefault(true);
  btCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  btCancel->setAutoDefault(false);
  btApply = new QPushButton(QStringLiteral("Apply"), this);
  btApply->setObjectName(QStringLiteral("btApply"));
  btApply->setAutoDefault(false);
  auto *buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 4, 0);
  buttons->setSpacing(8);
  buttons->addStretch(1);
  for (QPushButton *button : {btOk, btCancel, btApply}) {
    button->setMinimumWidth(ButtonWidth);
    buttons->addWidget(button);
  }

  auto *left = new QVBoxLayout;
  for (QGroupBox *group : {grOptions, grThreshold, grAveraging, grDelayLine})
    left->addWidget(group);
  left->addStretch(1);
  auto *columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addWidget(grOpticFilter, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  // Not resizable: the dialog takes the size its texts need, in any language.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Change handlers: any edit marks the dialog modified.
  for (QSpinBox *spin :
       {edLow, edHigh, edSignalShift, edDLSteps, edZero, edDLPeriod, edFilterPeriod})
    connect(spin, &QSpinBox::valueChanged, this, &TfmSettings::Change);
  connect(edAvg, &QComboBox::currentIndexChanged, this, &TfmSettings::Change);
  connect(edLanguage, &QLineEdit::textChanged, this, &TfmSettings::Change);
  connect(chbLog, &QCheckBox::toggled, this, &TfmSettings::Change);
  connect(tbFilter, &TFilterTableModel::Posted, this, &TfmSettings::Change);
  connect(tbFilter, &TFilterTableModel::Deleted, this, &TfmSettings::Change);
  connect(tbFilter, &TFilterTableModel::CurrentRowRequested, this,
          [this](int row) { ShowFilterRow(row); });
  connect(grFilter->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) { GridRowChanged(current.row()); });

  connect(btLanguage, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { edLanguageButtonClick(); }); });
  connect(btInsert, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { btInsertClick(); }); });
  connect(btDelete, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { btDeleteClick(); }); });
  connect(btApply, &QPushButton::clicked, this, [this] { RunGuarded([this] { btApplyClick(); }); });
  connect(btOk, &QPushButton::clicked, this, [this] { RunGuarded([this] { btOkClick(); }); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmSettings::FormCreate() {
  TranslateForm(this, true, true);
  LoadValues();
  // Centred on the screen of the window that opens it.
  adjustSize();
  QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TfmSettings::LoadValues() {
  if (AppSettings) {
    const TMeasurementSettings values = ReadMeasurementSettings(*AppSettings);
    edLow->setValue(values.LowLevel);
    edHigh->setValue(values.HighLevel);
    // A count that is not offered leaves "1".
    edAvg->setCurrentIndex(AveragingIndex(values.AvgNum));
    edDLSteps->setValue(values.DelayLineSteps);
  }
  if (Device) {
    edSignalShift->setValue(Device->SignalShift);
    edZero->setValue(Device->ZeroPosition);
    edDLPeriod->setValue(Device->PeriodDelayLine);
    // A record that breaks a rule (a hand-edited settings file) stops the
    // table there with its message; the dialog still opens.
    RunGuarded([this] { tbFilter->Load(Device->FilterTable); });
    if (tbFilter->rowCount() > 0) ShowFilterRow(0);
    edFilterPeriod->setValue(Device->PeriodFilter);
    chbLog->setChecked(Device->WriteLog);
  }
  if (AppSettings) edLanguage->setText(StoredLanguage(*AppSettings));
  Modified = false;  // loading fired the change handlers
}

void TfmSettings::Change() {
  Modified = true;
}

void TfmSettings::ApplySettings() {
  if (ProjectRunning())
    RaiseError(QStringLiteral("Can not change settings during project execution."));
  if (!AppSettings || !Device) return;

  const QString language = edLanguage->text();
  if (language != StoredLanguage(*AppSettings)) SwitchLanguageEverywhere(language);
  StoreLanguage(*AppSettings, language);
  Device->WriteLog = chbLog->isChecked();

  // The table is checked before anything else is applied: a broken rule
  // leaves the device's table and the values below as they were, and the
  // grid shows the offending row.
  PostPendingRow();
  tbFilter->Check();

  TMeasurementSettings values;
  values.LowLevel = edLow->value();
  values.HighLevel = edHigh->value();
  values.AvgNum = AveragingCounts().value(edAvg->currentIndex(), 1);
  values.DelayLineSteps = edDLSteps->value();
  StoreMeasurementSettings(*AppSettings, values);
  Device->SignalShift = edSignalShift->value();
  Device->ZeroPosition = edZero->value();
  Device->PeriodDelayLine = static_cast<uint8_t>(edDLPeriod->value());
  Device->FilterTable = tbFilter->Store();
  Device->PeriodFilter = static_cast<uint8_t>(edFilterPeriod->value());

  if (fmMain) {
    fmMain->SaveSettings();
  } else {
    StoreDeviceParams(*Device, *AppSettings);
    AppSettings->Save();
  }
  Modified = false;
}

void TfmSettings::PostPendingRow() {
  static_cast<TFilterGrid *>(grFilter)->CommitEditor();
  if (!tbFilter->IsEditing()) return;
  // A new row where nothing was entered is dropped, as a grid drops it when
  // the operator leaves it.
  const int row = tbFilter->EditingRow();
  const auto empty = [this, row](int column) {
    return tbFilter->index(row, column).data().toString().isEmpty();
  };
  if (empty(TFilterTableModel::colId) && empty(TFilterTableModel::colTransmission) &&
      empty(TFilterTableModel::colShift)) {
    tbFilter->Cancel();
    return;
  }
  tbFilter->Post();
}

void TfmSettings::ShowFilterRow(int row, int column) {
  if (row < 0 || row >= tbFilter->rowCount()) return;
  if (column < 0) {
    const QModelIndex current = grFilter->currentIndex();
    column = current.isValid() ? current.column() : TFilterTableModel::colTransmission;
  }
  FMovingRow = true;
  grFilter->setCurrentIndex(FCaptions->index(row, column));
  FMovingRow = false;
  tbFilter->SetCurrentRow(row);
}

void TfmSettings::GridRowChanged(int row) {
  if (FMovingRow) return;
  tbFilter->SetCurrentRow(row);
  if (!tbFilter->IsEditing() || tbFilter->EditingRow() == row) return;
  // Leaving a row in editing posts it; a rule it breaks keeps the operator
  // on it. Posting sorts the table: the row moved to follows its record.
  const int editing = tbFilter->EditingRow();
  const QPersistentModelIndex target = grFilter->currentIndex();
  if (!Guard([this] { PostPendingRow(); })) {
    if (tbFilter->IsEditing()) ShowFilterRow(editing);
    return;
  }
  if (target.isValid()) ShowFilterRow(target.row(), target.column());
}

void TfmSettings::btInsertClick() {
  static_cast<TFilterGrid *>(grFilter)->CommitEditor();
  const int row = tbFilter->Append();
  ShowFilterRow(row, TFilterTableModel::colTransmission);
  grFilter->setFocus();
  grFilter->edit(grFilter->currentIndex());
}

void TfmSettings::btDeleteClick() {
  if (tbFilter->rowCount() == 0) return;
  static_cast<TFilterGrid *>(grFilter)->DropEditor();
  int row = grFilter->currentIndex().row();
  if (row < 0) row = tbFilter->CurrentRow();
  tbFilter->Delete(row);
  if (tbFilter->rowCount() > 0) ShowFilterRow(qMin(row, tbFilter->rowCount() - 1));
}

void TfmSettings::edLanguageButtonClick() {
  TfmLanguageList list(this);
  if (ExecModalDialog(list) == QDialog::Accepted && list.HasSelection())
    edLanguage->setText(list.SelectedLanguage());
}

void TfmSettings::btApplyClick() {
  PostPendingRow();
  if (Modified) ApplySettings();
}

void TfmSettings::btOkClick() {
  PostPendingRow();
  if (Modified) ApplySettings();
  accept();
}

bool TfmSettings::FormClose() {
  if (!Guard([this] { PostPendingRow(); })) return false;
  if (!Modified) return true;
  switch (AskYesNoCancel(Translate(QStringLiteral("Save changes?")))) {
    case QMessageBox::Yes:
      return Guard([this] { ApplySettings(); });
    case QMessageBox::No:
      return true;
    default:
      return false;
  }
}

void TfmSettings::done(int result) {
  if (!FormClose()) return;
  QDialog::done(result);
}

bool TfmSettings::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == edLanguage &&
        (key->key() == Qt::Key_F4 ||
         (key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier))) {
      RunGuarded([this] { edLanguageButtonClick(); });
      return true;
    }
    if (watched == grFilter && !static_cast<TFilterGrid *>(grFilter)->Editing()) {
      if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
        RunGuarded([this] { btInsertClick(); });
        return true;
      }
      // Deleting from the grid itself asks first.
      if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
        if (tbFilter->rowCount() > 0 && AskYesNo(Translate(QStringLiteral("Delete record?"))))
          RunGuarded([this] { btDeleteClick(); });
        return true;
      }
    }
  } else if (event->type() == QEvent::MouseButtonDblClick && watched == edLanguage) {
    RunGuarded([this] { edLanguageButtonClick(); });
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
