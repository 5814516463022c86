// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>

#include "app/Messages.h"

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
  // The buttons speak the interface language like every other caption; in
  // English they keep Qt's own texts with their mnemonics.
  const std::pair<QMessageBox::StandardButton, QString> captions[] = {
      {QMessageBox::Ok, QStringLiteral("OK")},
      {QMessageBox::Yes, QStringLiteral("Yes")},
      {QMessageBox::No, QStringLiteral("No")},
      {QMessageBox::Cancel, QStringLiteral("Cancel")}};
  for (const auto &[which, english] : captions) {
    QAbstractButton *button = box.button(which);
    const QString translated = button ? Translate(english) : english;
    if (translated != english) button->setText(translated);
  }
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
