// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class QWidget;

// Window placement kept in AppSettings under (Forms, class name + suffix):
// Left, Top, Width, Height of the normal rectangle, State (0 normal,
// 1 minimized, 2 maximized), ScreenWidth, ScreenHeight. An MDI child's
// placement is that of its QMdiSubWindow. Main thread only.
void SaveFormPlacement(QWidget *form, const QString &suffix);

// Applies the stored placement, scaled to the current screen. Without a
// stored size an MDI child fills its area less 4 pixels at (0, 0); any other
// window gets 1/8 margins and 3/4 of the screen. A window saved minimized
// comes back normal; one saved maximized comes back maximized with its normal
// rectangle kept for restoring.
void RestoreFormPlacement(QWidget *form, const QString &suffix);
