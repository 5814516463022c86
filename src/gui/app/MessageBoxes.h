// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMessageBox>
#include <QString>

#include <functional>

// Questions and warnings of the program: a modal box with the application
// title as caption. Callers pass texts already translated. Main thread only.
void ShowWarning(const QString &text);
// True when the operator chooses Yes.
bool AskYesNo(const QString &text);
// Yes, No or Cancel.
QMessageBox::StandardButton AskYesNoCancel(const QString &text);

// Every box of the program (these three and the central error display) is
// shown here.
QMessageBox::StandardButton ShowMessageBox(QMessageBox::Icon icon, const QString &text,
                                           QMessageBox::StandardButtons buttons);

// What a box was about to show; a hook answers it instead of the operator.
struct TMessageBoxRequest {
  QMessageBox::Icon Icon;
  QString Caption;
  QString Text;
  QMessageBox::StandardButtons Buttons;
};
using TMessageBoxHook = std::function<QMessageBox::StandardButton(const TMessageBoxRequest &)>;

// Installs a hook that answers every box without showing it (tests, scripted
// screenshots); an empty hook shows boxes again. Returns the previous hook.
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);
