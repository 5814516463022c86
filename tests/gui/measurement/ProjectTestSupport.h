// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the project window tests: the simulated instrument's
// filter calibration, a file-dialog recorder and the texts of message boxes.
#include <QList>
#include <QString>
#include <QStringList>

#include "../app/ShellTestSupport.h"
#include "app/FileDialogs.h"

// The filter table of the simulated instrument, as the settings file holds it.
inline const QString Calibration =
    QStringLiteral("1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;");

// Answers every file dialog with the next queued name (empty: cancelled) and
// keeps the kinds and presets it was shown, for its lifetime.
class TFileDialogRecorder {
 public:
  TFileDialogRecorder() {
    FPrevious = SetFileDialogHook([this](TFileDialogKind kind, const QString &preset) {
      Kinds << kind;
      Presets << preset;
      return Answers.isEmpty() ? QString() : Answers.takeFirst();
    });
  }
  ~TFileDialogRecorder() { SetFileDialogHook(FPrevious); }
  QStringList Answers;
  QList<TFileDialogKind> Kinds;
  QStringList Presets;

 private:
  TFileDialogHook FPrevious;
};

inline QStringList Texts(const QList<TMessageBoxRequest> &requests) {
  QStringList texts;
  for (const TMessageBoxRequest &r : requests) texts << r.Text;
  return texts;
}
