// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileDialogs.h"

#include <QApplication>
#include <QFileDialog>

namespace {
TFileDialogHook &Hook() {
  static TFileDialogHook hook;
  return hook;
}
}  // namespace

TFileDialogHook SetFileDialogHook(TFileDialogHook hook) {
  TFileDialogHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

QString ExecFileDialog(TFileDialogKind kind, const QString &preset) {
  if (Hook()) return Hook()(kind, preset);

  QFileDialog dialog(QApplication::activeWindow());
  dialog.setObjectName(kind == TFileDialogKind::ProjectOpen   ? QStringLiteral("projectOpenDialog")
                       : kind == TFileDialogKind::ProjectSave ? QStringLiteral("projectSaveDialog")
                       : kind == TFileDialogKind::ReportSave  ? QStringLiteral("reportSaveDialog")
                                                              : QStringLiteral("exportSaveDialog"));
  if (kind == TFileDialogKind::ReportSave) {
    // The chosen filter decides the form; the name's own extension wins.
    dialog.setNameFilters({QStringLiteral("JSON (*.json)"), QStringLiteral("Text (*.txt)")});
    dialog.setDefaultSuffix(QStringLiteral("json"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &f) {
      dialog.setDefaultSuffix(f.contains(QLatin1String("*.txt")) ? QStringLiteral("txt")
                                                                 : QStringLiteral("json"));
    });
  } else if (kind == TFileDialogKind::ExportSave) {
    dialog.setNameFilter(QStringLiteral("Текстовые файлы ASCII (*.dat)"));
    dialog.setDefaultSuffix(QStringLiteral("dat"));
  } else {
    dialog.setNameFilter(QStringLiteral("Проекты Veltravor (*.vtp)"));
    dialog.setDefaultSuffix(QStringLiteral("vtp"));
  }
  if (kind == TFileDialogKind::ProjectOpen) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    // Qt asks before overwriting unless told otherwise.
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  }
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(true);
  if (!preset.isEmpty()) dialog.selectFile(preset);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}
