// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ModalDialogs.h"

#include <QDialog>

namespace {
TModalDialogHook &Hook() {
  static TModalDialogHook hook;
  return hook;
}
}  // namespace

TModalDialogHook SetModalDialogHook(TModalDialogHook hook) {
  TModalDialogHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

int ExecModalDialog(QDialog &dialog) {
  if (Hook()) return Hook()(dialog);
  return dialog.exec();
}
