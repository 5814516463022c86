// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/RemoveGraph.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/Messages.h"
#include "localization/FormTranslation.h"
#include "settings/FormPlacement.h"
#include "settings/SettingsStorage.h"

namespace {
const QString PlacementSuffix = QStringLiteral("TfmRemoveGraph");
constexpr int ButtonMargin = 8;  // pixels right of Cancel; twice that between the buttons
}  // namespace

TfmRemoveGraph::TfmRemoveGraph(const QStringList &lines, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmRemoveGraph"));
  setWindowTitle(QStringLiteral("Select graphs to remove"));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);

  ListBox = new QListWidget(this);
  ListBox->setObjectName(QStringLiteral("ListBox"));
  for (const QString &line : lines) {
    auto *item = new QListWidgetItem(line, ListBox);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  if (ListBox->count() > 0) ListBox->setCurrentRow(0);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  btOK = new QPushButton(QStringLiteral("OK"), Panel1);
  btOK->setObjectName(QStringLiteral("btOK"));
  btOK->setDefault(true);
  btCancel = new QPushButton(QStringLiteral("Cancel"), Panel1);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  auto *buttons = new QHBoxLayout(Panel1);
  buttons->setContentsMargins(ButtonMargin, ButtonMargin, ButtonMargin, ButtonMargin);
  buttons->addStretch(1);
  buttons->addWidget(btOK);
  buttons->addSpacing(2 * ButtonMargin);
  buttons->addWidget(btCancel);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ListBox, 1);
  layout->addWidget(Panel1);

  connect(btOK, &QPushButton::clicked, this, [this] { RunGuarded([this] { btOKClick(); }); });
  connect(btCancel, &QPushButton::clicked, this, &TfmRemoveGraph::btCancelClick);

  TranslateForm(this, true, true);
  resize(480, 280);
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  // Without a stored placement the dialog keeps its own small size, centred:
  // the general default of three quarters of the screen suits windows, not
  // a list of a few lines.
  if (AppSettings && AppSettings->ReadInt64({QStringLiteral("Forms"),
                                             QStringLiteral("TfmRemoveGraph") + PlacementSuffix},
                                            QStringLiteral("Width"), 0) > 0)
    RestoreFormPlacement(this, PlacementSuffix);
}

QStringList TfmRemoveGraph::Checked() const {
  QStringList checked;
  for (int i = 0; i < ListBox->count(); ++i)
    if (ListBox->item(i)->checkState() == Qt::Checked) checked << ListBox->item(i)->text();
  return checked;
}

void TfmRemoveGraph::SetChecked(int line, bool checked) {
  if (QListWidgetItem *item = ListBox->item(line))
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TfmRemoveGraph::btOKClick() {
  if (Checked().isEmpty()) RaiseError(QStringLiteral("Select graph."));
  done(Accepted);
}

void TfmRemoveGraph::btCancelClick() {
  done(Rejected);
}

void TfmRemoveGraph::done(int result) {
  SaveFormPlacement(this, PlacementSuffix);
  QDialog::done(result);
}
