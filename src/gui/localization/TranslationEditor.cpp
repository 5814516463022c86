// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/TranslationEditor.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <exception>

#include "app/AppError.h"
#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "localization/FormTranslation.h"
#include "localization/LanguageFiles.h"
#include "localization/LanguageList.h"
#include "localization/LanguageWindows.h"
#include "localization/Translator.h"
#include "settings/FormPlacement.h"
#include "settings/MeasurementSettings.h"

TfmTranslationEditor *fmTranslationEditor = nullptr;

namespace {
const QString PlacementSuffix = QStringLiteral("TfmTranslationEditor");
const QColor SkyBlue(0xA6, 0xCA, 0xF0);  // the English column
constexpr int ButtonWidth = 97, ButtonHeight = 26;
constexpr int Margin = 4;  // the OK button's design left; twice that between buttons
constexpr int CountPanelWidth = 250;

// The grid: writes an open cell editor into its record on request.
class TPairGrid : public QTableView {
 public:
  using QTableView::QTableView;
  void CommitEditor() {
    if (state() != EditingState) return;
    if (QWidget *editor = indexWidget(currentIndex())) {
      commitData(editor);
      closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
  }
};

// Cell colours: the English column sky blue, the translations on the window
// colour; in the row that has the focus the two swap (English cell on the
// window colour with black text), except the focused cell itself, which keeps
// the grid's own focus drawing.
class TPairDelegate : public QStyledItemDelegate {
 public:
  explicit TPairDelegate(QTableView *view) : QStyledItemDelegate(view), FView(view) {}

  void paint(QPainter *painter, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QModelIndex current = FView->currentIndex();
    const bool english = index.column() == TTranslationModel::colEng;
    if (index == current) {
      // The grid's own focus drawing.
    } else {
      opt.state &= ~QStyle::State_Selected;
      const bool focusedRow = current.isValid() && index.row() == current.row();
      const QColor window = opt.palette.color(QPalette::Base);
      opt.backgroundBrush = english != focusedRow ? SkyBlue : window;
      if (focusedRow && english) opt.palette.setColor(QPalette::Text, Qt::black);
    }
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : nullptr;
    if (style) style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
  }

 private:
  QTableView *FView;
};

// Sorting by a column uses the dictionary's one key comparison.
class TPairSort : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool lessThan(const QModelIndex &left, const QModelIndex &right) const override {
    return TDictionary::CompareKeys(left.data().toString(), right.data().toString()) < 0;
  }
};
}  // namespace

// --- TTranslationModel -------------------------------------------------------

TTranslationModel::TTranslationModel(QObject *parent) : QAbstractTableModel(parent) {
  FCaptions[colEng] = QStringLiteral("English");
  FCaptions[colLoc] = QStringLiteral("Translation");
}

void TTranslationModel::Fill(const TDictionary &pairs) {
  beginResetModel();
  FTable.Fill(pairs);
  endResetModel();
}

int TTranslationModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : FTable.RowCount();
}

int TTranslationModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant TTranslationModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= FTable.RowCount()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return index.column() == colEng ? FTable.Key(index.row()) : FTable.Value(index.row());
}

bool TTranslationModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != colLoc) return false;
  if (FTable.SetTranslation(index.row(), value.toString())) {
    emit dataChanged(index, index);
    emit Edited();
  }
  return true;
}

Qt::ItemFlags TTranslationModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == colLoc) f |= Qt::ItemIsEditable;
  return f;
}

QVariant TTranslationModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < ColumnCount)
    return FCaptions[section];
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool TTranslationModel::setHeaderData(int section, Qt::Orientation orientation,
                                      const QVariant &value, int role) {
  if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) ||
      section < 0 || section >= ColumnCount)
    return false;
  FCaptions[section] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

// --- TfmTranslationEditor ----------------------------------------------------

TfmTranslationEditor::TfmTranslationEditor(const QString &language, QWidget *parent)
    : QDialog(parent), Language(language.trimmed()), Pairs(language) {
  setObjectName(QStringLiteral("fmTranslationEditor"));
  // The latest instance is the open one; an earlier one comes back when it goes.
  FPreviousInstance = fmTranslationEditor;
  fmTranslationEditor = this;
  CreateComponents();
  TranslateForm(this, true, true);
  RestoreFormPlacement(this, PlacementSuffix);
  LoadPairs();
}

TfmTranslationEditor::~TfmTranslationEditor() {
  if (fmTranslationEditor == this) fmTranslationEditor = FPreviousInstance;
}

void TfmTranslationEditor::CreateComponents() {
  setModal(true);
  setSizeGripEnabled(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  resize(687, 539);

  pnTop = new QWidget(this);
  pnTop->setObjectName(QStringLiteral("pnTop"));
  pnTop->setFixedHeight(41);
  Label1 = new QLabel(QStringLiteral("Language:"), pnTop);
  Label1->setObjectName(QStringLiteral("Label1"));
  edLanguage = new QLineEdit(pnTop);
  edLanguage->setObjectName(QStringLiteral("edLanguage"));
  edLanguage->setMinimumWidth(200);
  Label1->setBuddy(edLanguage);
  auto *top = new QHBoxLayout(pnTop);
  top->setContentsMargins(8, 4, 8, 4);
  top->addWidget(Label1);
  top->addWidget(edLanguage);
  top->addStretch(1);

  Table = new TTranslationModel(this);
  Table->setObjectName(QStringLiteral("Table"));
  DataSource = new TPairSort(this);
  DataSource->setObjectName(QStringLiteral("DataSource"));
  DataSource->setSourceModel(Table);
  auto *grid = new TPairGrid(this);
  Grid = grid;
  Grid->setObjectName(QStringLiteral("Grid"));
  Grid->setModel(DataSource);
  Grid->setItemDelegate(new TPairDelegate(Grid));
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  // Editing opens at once in the Translation column; typing in the English
  // column searches it.
  Grid->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed);
  Grid->setTabKeyNavigation(true);
  Grid->setWordWrap(false);
  Grid->setSortingEnabled(true);
  Grid->sortByColumn(TTranslationModel::colEng, Qt::AscendingOrder);
  Grid->verticalHeader()->hide();
  Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 6);
  Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  Grid->horizontalHeader()->setHighlightSections(false);
  // The row colours follow the focused row.
  connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, Grid->viewport(),
          qOverload<>(&QWidget::update));

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  pnCount = new QLabel(StatusBar1);
  pnCount->setObjectName(QStringLiteral("pnCount"));
  pnCount->setFixedWidth(CountPanelWidth);
  pnCount->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnCount->setIndent(2);
  StatusBar1->addWidget(pnCount);

  pnBottom = new QWidget(this);
  pnBottom->setObjectName(QStringLiteral("pnBottom"));
  pnBottom->setFixedHeight(32);
  btOk = new QPushButton(QStringLiteral("OK"), pnBottom);
  btOk->setObjectName(QStringLiteral("btOk"));
  btOk->setAutoDefault(false);
  btCancel = new QPushButton(QStringLiteral("Cancel"), pnBottom);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  btCancel->setAutoDefault(false);
  btApply = new QPushButton(QStringLiteral("Apply"), pnBottom);
  btApply->setObjectName(QStringLiteral("btApply"));
  btApply->setAutoDefault(false);
  // Right-aligned: Apply at the right margin, Cancel and OK a gap apart.
  auto *bottom = new QHBoxLayout(pnBottom);
  bottom->setContentsMargins(Margin, 0, Margin, 0);
  bottom->setSpacing(2 * Margin);
  bottom->addStretch(1);
  for (QPushButton *button : {btOk, btCancel, btApply}) {
    button->setFixedSize(ButtonWidth, ButtonHeight);
    bottom->addWidget(button);
  }

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnTop);
  layout->addWidget(Grid, 1);
  layout->addWidget(pnBottom);
  layout->addWidget(StatusBar1);

  connect(Table, &TTranslationModel::Edited, this, &TfmTranslationEditor::ShowCount);
  connect(btApply, &QPushButton::clicked, this, [this] { RunGuarded([this] { btApplyClick(); }); });
  connect(btOk, &QPushButton::clicked, this, [this] { RunGuarded([this] { btOkClick(); }); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmTranslationEditor::LoadPairs() {
  if (!Language.isEmpty()) {
    setWindowTitle(Language);
    pnTop->hide();
  } else {
    setWindowTitle(Translate(QStringLiteral("New language")));
  }
  ShowCount();  // the editor's own texts are collected before the catalogue is written
  if (Translator) {
    // The catalogue file on disk gets every text collected so far; a failure
    // is shown and loading goes on with what the file holds.
    try {
      Translator->SaveCatalogue();
    } catch (const std::exception &e) {
      ShowMessageBox(QMessageBox::NoIcon, ExceptionMessage(e), QMessageBox::Ok);
    }
    LoadLanguagePairs(Pairs, *Translator, Language);
  }
  Table->Fill(Pairs);
  if (Table->rowCount() > 0) Grid->setCurrentIndex(DataSource->index(0, TTranslationModel::colEng));
  ShowCount();
  Table->ClearChanged();
}

void TfmTranslationEditor::ShowCount() {
  pnCount->setText(Table->Table().CountText());
}

void TfmTranslationEditor::CommitEditor() {
  static_cast<TPairGrid *>(Grid)->CommitEditor();
}

void TfmTranslationEditor::Save() {
  CommitEditor();
  if (!Translator) return;
  if (Language.isEmpty()) {
    const QString name = edLanguage->text().trimmed();
    edLanguage->setText(name);
    try {
      CheckNewLanguageName(name, *Translator);
    } catch (...) {
      edLanguage->setFocus();
      throw;
    }
    Language = name;
    setWindowTitle(Language);
    pnTop->hide();
  }
  Table->Table().CollectTranslated(Pairs);
  SaveLanguagePairs(Pairs, *Translator, Language);
  Table->ClearChanged();
  // The language in use shows its new translations at once.
  if (AppSettings && Language.compare(StoredLanguage(*AppSettings), Qt::CaseInsensitive) == 0) {
    SwitchLanguageEverywhere(Language);
    ShowCount();
  }
  if (fmLanguageList) fmLanguageList->FillList();
}

void TfmTranslationEditor::btOkClick() {
  Save();
  accept();
}

void TfmTranslationEditor::done(int result) {
  // The placement is kept whatever the answer below.
  SaveFormPlacement(this, PlacementSuffix);
  CommitEditor();
  if (Changed()) {
    switch (AskYesNoCancel(Translate(QStringLiteral("Save changes?")))) {
      case QMessageBox::Yes: {
        bool saved = false;
        RunGuarded([&] {
          Save();
          saved = true;
        });
        if (!saved) return;
        break;
      }
      case QMessageBox::No:
        break;
      default:
        return;
    }
  }
  QDialog::done(result);
}
