// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the main-window tests: a child window that follows the
// child-window protocol, and a recorder that answers every message box.
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QList>
#include <QWidget>

#include "app/MessageBoxes.h"
#include "app/ModalDialogs.h"
#include "app/OpenWindows.h"
#include "app/TextFile.h"

// Registers itself when created and unregisters when it closes for good;
// with Refuse set it stays open.
class TTestChild : public QWidget {
 public:
  explicit TTestChild(const QString &caption) {
    setWindowTitle(caption);
    RegisterChildWindow(this);
  }
  bool Refuse = false;
  int CloseRequests = 0;

 protected:
  void closeEvent(QCloseEvent *event) override {
    ++CloseRequests;
    if (Refuse) {
      event->ignore();
      return;
    }
    UnregisterChildWindow(this);
    event->accept();
  }
};

// Answers every box with Answer and keeps what was asked, for its lifetime.
class TBoxRecorder {
 public:
  explicit TBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok) : Answer(answer) {
    FPrevious = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
      Requests << request;
      return Answer;
    });
  }
  ~TBoxRecorder() { SetMessageBoxHook(FPrevious); }
  QMessageBox::StandardButton Answer;
  QList<TMessageBoxRequest> Requests;

 private:
  TMessageBoxHook FPrevious;
};

// Answers every modal dialog of the program with Result, after Act (when
// set) has worked on it, and keeps the dialogs' object names, for its lifetime.
class TDialogRecorder {
 public:
  explicit TDialogRecorder(int result = QDialog::Rejected) : Result(result) {
    FPrevious = SetModalDialogHook([this](QDialog &dialog) {
      Names << dialog.objectName();
      if (Act) return Act(dialog);
      return Result;
    });
  }
  ~TDialogRecorder() { SetModalDialogHook(FPrevious); }
  int Result;
  std::function<int(QDialog &)> Act;
  QStringList Names;

 private:
  TModalDialogHook FPrevious;
};

inline QStringList FileLines(const QString &fileName) {
  QStringList lines;
  ReadTextLines(fileName, lines);
  return lines;
}
