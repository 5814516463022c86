// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

class QCloseEvent;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The log window: the device's event log, live. It shows a copy of the whole
// log when it opens, then every 500 ms the lines added since, located through
// the device's count of dropped lines, so that each line appears exactly once
// however many the bounded log dropped meanwhile. The memo is never trimmed.
// Clear empties the device's log itself, not only the view.
//
// An MDI child of the main window: it places itself in the main window's MDI
// area, follows the child-window protocol (OpenWindows and the window panel)
// and keeps its placement under (Forms, TfmLogTfmLog). It is deleted when it
// closes. At most one exists; the main window's Event log command sees to
// that. Main thread only; the scan worker may append to the log meanwhile.
class TfmLog : public QWidget {
  Q_OBJECT

 public:
  // Shows the hourglass while it copies the log.
  explicit TfmLog(QWidget *parent = nullptr);

  QPlainTextEdit *Memo = nullptr;
  QPushButton *btClear = nullptr;
  QTimer *Timer = nullptr;

  // Appends the lines added to the device's log since the last call.
  void TimerTimer();
  void btClearClick();

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  void CreateComponents();
  void FormCreate();
  void AppendLines(const QStringList &lines);

  // Count of log lines passed since the copy at creation (or since Clear),
  // shown or dropped before they could be shown; the device's position for
  // the next update.
  qint64 FPosition = 0;
};
