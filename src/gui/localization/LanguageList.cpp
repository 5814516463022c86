// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/LanguageList.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/Messages.h"
#include "app/ModalDialogs.h"
#include "localization/Dictionary.h"
#include "localization/FormTranslation.h"
#include "localization/TranslationEditor.h"
#include "localization/Translator.h"
#include "settings/MeasurementSettings.h"

TfmLanguageList *fmLanguageList = nullptr;

namespace {
const QString BaseEntry = QStringLiteral(" English");
constexpr int ClientWidth = 247, ClientHeight = 326;  // pixels
constexpr int ButtonWidth = 97;
constexpr int Margin = 4;  // the OK button's design left; twice that between buttons
}  // namespace

TfmLanguageList::TfmLanguageList(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmLanguageList"));
  // The latest instance is the open one; an earlier one comes back when it goes.
  FPreviousInstance = fmLanguageList;
  fmLanguageList = this;
  CreateComponents();
  TranslateForm(this, true, true);
  FillList();
  setFixedSize(ClientWidth, ClientHeight);
  QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

TfmLanguageList::~TfmLanguageList() {
  if (fmLanguageList == this) fmLanguageList = FPreviousInstance;
}

void TfmLanguageList::CreateComponents() {
  setWindowTitle(QStringLiteral("Select language"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  Panel2 = new QWidget(this);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  edInsert = new QToolButton(Panel2);
  edInsert->setObjectName(QStringLiteral("edInsert"));
  edInsert->setText(QStringLiteral("New"));
  edEdit = new QToolButton(Panel2);
  edEdit->setObjectName(QStringLiteral("edEdit"));
  edEdit->setText(QStringLiteral("Edit"));
  auto *top = new QHBoxLayout(Panel2);
  top->setContentsMargins(Margin, 2, Margin, 2);
  top->setSpacing(2);
  for (QToolButton *button : {edInsert, edEdit}) {
    button->setAutoRaise(true);  // flat
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    top->addWidget(button);
  }
  top->addStretch(1);

  ListBox = new QListWidget(this);
  ListBox->setObjectName(QStringLiteral("ListBox"));
  ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox->setUniformItemSizes(true);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(38);
  btOk = new QPushButton(QStringLiteral("OK"), Panel1);
  btOk->setObjectName(QStringLiteral("btOk"));
  btOk->setDefault(true);
  btCancel = new QPushButton(QStringLiteral("Cancel"), Panel1);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  btCancel->setAutoDefault(false);
  // Right-aligned: Cancel at the right margin, OK a gap to its left.
  auto *bottom = new QHBoxLayout(Panel1);
  bottom->setContentsMargins(Margin, 0, Margin, 0);
  bottom->setSpacing(2 * Margin);
  bottom->addStretch(1);
  for (QPushButton *button : {btOk, btCancel}) {
    button->setFixedWidth(ButtonWidth);
    bottom->addWidget(button);
  }

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel2);
  layout->addWidget(ListBox, 1);
  layout->addWidget(Panel1);

  connect(edInsert, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { edInsertClick(); }); });
  connect(edEdit, &QToolButton::clicked, this, [this] { RunGuarded([this] { edEditClick(); }); });
  connect(btOk, &QPushButton::clicked, this, [this] { RunGuarded([this] { btOkClick(); }); });
  connect(ListBox, &QListWidget::itemDoubleClicked, this,
          [this] { RunGuarded([this] { btOkClick(); }); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmLanguageList::FillList() {
  ListBox->clear();
  QStringList names;
  if (Translator) Translator->GetLanguages(names);
  std::sort(names.begin(), names.end(),
            [](const QString &a, const QString &b) { return TDictionary::CompareKeys(a, b) < 0; });
  ListBox->addItem(BaseEntry);
  ListBox->addItems(names);

  const QString stored = AppSettings ? StoredLanguage(*AppSettings) : QStringLiteral("English");
  int selected = 0;
  for (int i = 0; i < ListBox->count(); ++i) {
    if (ListBox->item(i)->text().compare(stored, Qt::CaseInsensitive) == 0) {
      selected = i;
      break;
    }
  }
  ListBox->setCurrentRow(selected);
}

bool TfmLanguageList::HasSelection() const {
  return ListBox->currentItem() && ListBox->currentItem()->isSelected();
}

QString TfmLanguageList::SelectedLanguage() const {
  return HasSelection() ? ListBox->currentItem()->text().trimmed() : QString();
}

void TfmLanguageList::EditLanguage(const QString &language) {
  TfmTranslationEditor editor(language, this);
  ExecModalDialog(editor);
}

void TfmLanguageList::edInsertClick() {
  EditLanguage(QString());
}

void TfmLanguageList::edEditClick() {
  if (!HasSelection()) return;
  const QString language = SelectedLanguage();
  const QString base = Translator ? Translator->BaseLanguage : QStringLiteral("English");
  if (language.compare(base, Qt::CaseInsensitive) == 0) return;
  EditLanguage(language);
}

void TfmLanguageList::btOkClick() {
  if (!HasSelection()) RaiseError(QStringLiteral("Select language."));
  accept();
}
