// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <functional>

// The main window's file dialogs. Their filter texts are never translated.
enum class TFileDialogKind {
  ProjectOpen,  // an existing project file (*.vtp)
  ProjectSave,  // a project file to write (.vtp added), asks before overwriting
  ExportSave,   // an ASCII table to write (.dat added), asks before overwriting
  ReportSave,   // a pulse report to write: JSON (.json) or text (.txt), asks before overwriting
};

// Shows the dialog with preset as the proposed file name (may be empty) and
// returns the chosen path, or an empty text when the operator cancelled.
// Main thread only.
QString ExecFileDialog(TFileDialogKind kind, const QString &preset = QString());

// Answers every file dialog without showing it (tests, scripted screenshots);
// an empty hook shows dialogs again. Returns the previous hook.
using TFileDialogHook = std::function<QString(TFileDialogKind kind, const QString &preset)>;
TFileDialogHook SetFileDialogHook(TFileDialogHook hook);
