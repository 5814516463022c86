// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/Log.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Globals.h"
#include "app/Main.h"
#include "app/OpenWindows.h"
#include "app/WaitCursor.h"
#include "device/Device.h"
#include "localization/FormTranslation.h"
#include "settings/FormPlacement.h"

namespace {
constexpr int UpdateInterval = 500;  // ms between two looks at the log
const QString PlacementSuffix = QStringLiteral("TfmLog");
}  // namespace

TfmLog::TfmLog(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("fmLog"));
  CreateComponents();
  // Inside its MDI sub-window before the placement is restored: a child's
  // placement is that of its sub-window, which deletes it on closing.
  if (fmMain && !parent)
    fmMain->AddChildWindow(this);
  else
    setAttribute(Qt::WA_DeleteOnClose);
  FormCreate();
}

void TfmLog::CreateComponents() {
  setWindowTitle(QStringLiteral("Event log"));

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setReadOnly(true);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setUndoRedoEnabled(false);  // no undo history for a growing log

  auto *pnBottom = new QWidget(this);
  pnBottom->setObjectName(QStringLiteral("pnBottom"));
  auto *bottom = new QHBoxLayout(pnBottom);
  bottom->setContentsMargins(4, 4, 4, 4);
  btClear = new QPushButton(QStringLiteral("Clear"), pnBottom);
  btClear->setObjectName(QStringLiteral("btClear"));
  btClear->setAutoDefault(false);
  bottom->addWidget(btClear);
  bottom->addStretch(1);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Memo, 1);
  layout->addWidget(pnBottom);

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(UpdateInterval);
  // Restarted at the end of each update, so updates never overlap.
  Timer->setSingleShot(true);

  connect(Timer, &QTimer::timeout, this, &TfmLog::TimerTimer);
  connect(btClear, &QPushButton::clicked, this, &TfmLog::btClearClick);
}

void TfmLog::FormCreate() {
  TWaitCursor wait;
  TranslateForm(this, true, true);
  RegisterChildWindow(this);
  RestoreFormPlacement(this, PlacementSuffix);
  if (Device) {
    const QStringList lines = Device->CopyEventLog();
    AppendLines(lines);
    FPosition = lines.size();
  }
  Timer->start();
}

void TfmLog::AppendLines(const QStringList &lines) {
  if (lines.isEmpty()) return;
  // One append for the whole batch: a full log is 10000 lines.
  Memo->appendPlainText(lines.join(u'\n'));
}

void TfmLog::TimerTimer() {
  Timer->stop();
  // The device is gone only while the main window shuts down.
  if (Device) AppendLines(Device->EventLogLinesAfter(FPosition));
  Timer->start();
}

void TfmLog::btClearClick() {
  if (Device) Device->ClearEventLog();
  FPosition = 0;
  Memo->clear();
}

void TfmLog::closeEvent(QCloseEvent *event) {
  Timer->stop();
  UnregisterChildWindow(this);
  SaveFormPlacement(this, PlacementSuffix);
  event->accept();
}
