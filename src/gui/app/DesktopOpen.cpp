// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopOpen.h"

#include <QDesktopServices>

namespace {
TOpenUrlHook &Hook() {
  static TOpenUrlHook hook;
  return hook;
}
}  // namespace

TOpenUrlHook SetOpenUrlHook(TOpenUrlHook hook) {
  TOpenUrlHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

void OpenWithDesktop(const QUrl &url) {
  if (Hook()) {
    Hook()(url);
    return;
  }
  QDesktopServices::openUrl(url);
}
