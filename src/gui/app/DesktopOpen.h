// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QUrl>

#include <functional>

// Opens a document or web address with the desktop's default handler. The
// result is not examined: a handler that fails shows nothing here.
void OpenWithDesktop(const QUrl &url);

// Tests and scripted runs replace the desktop handler; an empty hook restores
// it. Returns the previous hook.
using TOpenUrlHook = std::function<void(const QUrl &)>;
TOpenUrlHook SetOpenUrlHook(TOpenUrlHook hook);
