// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <functional>

// The one guard around every command handler: runs the handler and shows any
// error in the central error box (error icon, application title as caption,
// "." appended when the message ends after "."). No exception crosses the
// Qt event loop.
void RunGuarded(const std::function<void()> &handler);

// The central error display.
void ShowErrorBox(const QString &message);
