// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands that hand over to child windows: projects, the
// adjustment window and the settings dialog. Main thread, inside the central
// error guard.
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrinter>

#include "adjustment/Adjustment.h"
#include "app/FileDialogs.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "app/ModalDialogs.h"
#include "app/OpenWindows.h"
#include "device/Device.h"
#include "measurement/Project.h"
#include "settings/Settings.h"
#include "windowpanel/WindowPanel.h"

namespace {
const QString ProjectExtension = QStringLiteral(".vtp");

TfmProject *ActiveProject() {
  return fmMain ? qobject_cast<TfmProject *>(fmMain->ActiveChild()) : nullptr;
}

TPrintDialogHook &PrintHook() {
  static TPrintDialogHook hook;
  return hook;
}

TfmAdjustment *ActiveAdjustment() {
  return fmMain ? qobject_cast<TfmAdjustment *>(fmMain->ActiveChild()) : nullptr;
}

void SaveProjectAs(TfmProject *fm, const QString &preset) {
  const QString fileName = ExecFileDialog(TFileDialogKind::ProjectSave, preset);
  if (!fileName.isEmpty()) fm->SaveProject(fileName);
}
}  // namespace

TPrintDialogHook SetPrintDialogHook(TPrintDialogHook hook) {
  TPrintDialogHook previous = std::move(PrintHook());
  PrintHook() = std::move(hook);
  return previous;
}

QWidget *TfmMain::ActiveChild() const {
  // The current sub-window stays current while another top-level window (a
  // box, a dialog) has the focus.
  QMdiSubWindow *sub = MdiArea->currentSubWindow();
  return sub ? sub->widget() : nullptr;
}

QWidget *TfmMain::FindProjectWindow(const QString &fileName) const {
  if (!OpenWindows) return nullptr;
  for (QWidget *fm : OpenWindows->Items())
    if (auto *project = qobject_cast<TfmProject *>(fm);
        project && project->ProjectFileName == fileName)
      return project;
  return nullptr;
}

void TfmMain::OpenProjectFile(const QString &fileName) {
  auto *fm = new TfmProject;
  TWindowPanel::ShowForm(fm);
  fm->LoadProject(fileName);
}

void TfmMain::OpenStartFile(const QString &fileName) {
  if (QWidget *fm = FindProjectWindow(fileName)) {
    ShowRestored(fm);
    return;
  }
  if (!QFileInfo::exists(fileName))
    RaiseError(QStringLiteral("File \"%\" not found."), QStringList{fileName});
  OpenProjectFile(fileName);
}

void TfmMain::mnNewClick() {
  if (TfmProject *active = ActiveProject()) {
    active->SaveViewSettings();
  } else if (OpenWindows) {
    // Else the project opened last hands on its settings.
    const QList<QWidget *> &items = OpenWindows->Items();
    for (auto it = items.crbegin(); it != items.crend(); ++it)
      if (auto *project = qobject_cast<TfmProject *>(*it)) {
        project->SaveViewSettings();
        break;
      }
  }
  ++ProjectCounter;
  auto *fm = new TfmProject;
  fm->InitNew(Translate(QStringLiteral("Project")) + u' ' + QString::number(ProjectCounter));
  TWindowPanel::ShowForm(fm);
}

void TfmMain::mnOpenClick() {
  const QString fileName = ExecFileDialog(TFileDialogKind::ProjectOpen);
  if (fileName.isEmpty()) return;
  if (QWidget *fm = FindProjectWindow(fileName)) {
    ShowRestored(fm);
    return;
  }
  OpenProjectFile(fileName);
}

void TfmMain::mnSaveClick() {
  TfmProject *fm = ActiveProject();
  if (!fm) return;
  if (!fm->ProjectFileName.isEmpty())
    fm->SaveProject(fm->ProjectFileName);
  else
    SaveProjectAs(fm, fm->ProjectName + ProjectExtension);
}

void TfmMain::mnSaveAsClick() {
  TfmProject *fm = ActiveProject();
  if (!fm) return;
  SaveProjectAs(
      fm, fm->ProjectFileName.isEmpty() ? fm->ProjectName + ProjectExtension : fm->ProjectFileName);
}

void TfmMain::mnAddGraphClick() {
  TfmProject *fm = ActiveProject();
  if (!fm) return;
  const QString fileName = ExecFileDialog(TFileDialogKind::ProjectOpen);
  if (!fileName.isEmpty()) fm->AddGraph(fileName);
}

void TfmMain::mnDelGraphClick() {
  if (TfmProject *fm = ActiveProject()) fm->RemoveGraphs();
}

void TfmMain::mnCopyClick() {
  if (TfmProject *fm = ActiveProject())
    fm->CopyChart();
  else if (TfmAdjustment *adjustment = ActiveAdjustment())
    adjustment->CopyChart();
}

void TfmMain::mnExportClick() {
  if (TfmProject *fm = ActiveProject()) {
    const QString fileName = ExecFileDialog(TFileDialogKind::ExportSave, fm->ProjectName);
    if (!fileName.isEmpty()) fm->ExportData(fileName);
  } else if (TfmAdjustment *adjustment = ActiveAdjustment();
             adjustment && adjustment->SampleCount >= 1) {
    const QString fileName = ExecFileDialog(TFileDialogKind::ExportSave);
    if (!fileName.isEmpty()) adjustment->ExportHistogram(fileName);
  }
}

void TfmMain::tbPrintClick() {
  TfmProject *fm = ActiveProject();
  if (!fm) return;
  // Screen resolution: the chart keeps its on-screen proportions of text to
  // lines when stretched to the page.
  QPrinter printer(QPrinter::ScreenResolution);
  if (PrintHook()) {
    if (PrintHook()(printer)) fm->PrintChart(printer);
    return;
  }
  QPrintDialog dialog(&printer, this);
  dialog.setObjectName(QStringLiteral("PrinterSetupDialog"));
  if (dialog.exec() == QDialog::Accepted) fm->PrintChart(printer);
}

void TfmMain::mnPulseReportClick() {
  if (TfmProject *fm = ActiveProject()) fm->ShowPulseReport();
}

void TfmMain::mnStartClick() {
  if (TfmProject *fm = ActiveProject())
    fm->StartMeasurement();
  else if (TfmAdjustment *adjustment = ActiveAdjustment())
    adjustment->RunMeasurement();
}

void TfmMain::mnStopClick() {
  if (!OpenWindows) return;
  for (QWidget *fm : OpenWindows->Items()) {
    if (auto *project = qobject_cast<TfmProject *>(fm); project && project->Running) {
      project->StopMeasurement();
      return;
    }
    if (auto *adjustment = qobject_cast<TfmAdjustment *>(fm); adjustment && adjustment->Measuring) {
      adjustment->StopRequested = true;
      return;
    }
  }
}

void TfmMain::mnCenteringClick() {
  if (TfmProject *fm = ActiveProject()) fm->CenterPeak();
}

void TfmMain::mnAdjustmentClick() {
  if (TfmAdjustment *fm = OpenWindows ? OpenWindows->FindFirst<TfmAdjustment>() : nullptr) {
    ShowRestored(fm);
    return;
  }
  if (!Device->Opened) OpenDevice();
  TWindowPanel::ShowForm(new TfmAdjustment);
}

void TfmMain::mnSettingsClick() {
  {
    TfmSettings dialog(this);
    ExecModalDialog(dialog);
  }
  if (!OpenWindows) return;
  for (QWidget *fm : OpenWindows->Items())
    if (auto *adjustment = qobject_cast<TfmAdjustment *>(fm)) adjustment->RefreshDisplay();
}
