// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>

class QDialog;

// Shows a dialog of the program modally and returns its result. Every modal
// dialog of the program (settings, move dialogs, language list, translation
// editor, graph removal) is shown here. Main thread only.
int ExecModalDialog(QDialog &dialog);

// Drives every dialog instead of the operator without entering a modal loop
// (tests, scripted screenshots): the hook gets the dialog, created and
// translated but not shown, and returns the result exec() would have.
// An empty hook shows dialogs again. Returns the previous hook.
using TModalDialogHook = std::function<int(QDialog &dialog)>;
TModalDialogHook SetModalDialogHook(TModalDialogHook hook);
