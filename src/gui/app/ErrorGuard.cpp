// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ErrorGuard.h"

#include "app/AppError.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"

void ShowErrorBox(const QString &message) {
  ShowMessageBox(QMessageBox::Critical, DisplayedErrorText(message), QMessageBox::Ok);
}

void RunGuarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const std::exception &e) {
    ShowErrorBox(ExceptionMessage(e));
  } catch (...) {
    ShowErrorBox(Translate("Unknown error"));
  }
}
