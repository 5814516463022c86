#include "app/MessageBoxes.h"

#include <QApplication>

namespace {
TMessageBoxHook &Hook() {
  static TMessageBoxHook hook;
  return hook;
}
}  // namespace

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook) {
  TMessageBoxHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

QMessageBox::StandardButton ShowMessageBox(QMessageBox::Icon icon, const QString &text,
                                           QMessageBox::StandardButtons buttons) {
  const QString caption = QApplication::applicationDisplayName();
  if (Hook()) return Hook()({icon, caption, text, buttons});
  QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
  // A cursor left busy by a failed operation must not hide the box's buttons.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
  QApplication::restoreOverrideCursor();
  return answer;
}

void ShowWarning(const QString &text) {
  ShowMessageBox(QMessageBox::Warning, text, QMessageBox::Ok);
}

bool AskYesNo(const QString &text) {
  return ShowMessageBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

QMessageBox::StandardButton AskYesNoCancel(const QString &text) {
  const auto answer = ShowMessageBox(QMessageBox::Question, text,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  // Esc or the close box answers Cancel.
  return answer == QMessageBox::Yes || answer == QMessageBox::No ? answer : QMessageBox::Cancel;
}
