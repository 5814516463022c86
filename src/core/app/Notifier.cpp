// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Notifier.h"

#include <cstdio>

namespace {
TNotifier *Current = nullptr;
}

TNotifier *SetNotifier(TNotifier *notifier) {
  TNotifier *previous = Current;
  Current = notifier;
  return previous;
}

void NotifyWarning(const QString &text) {
  if (Current) {
    Current->Warning(text);
  } else {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}
