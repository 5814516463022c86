// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QApplication>

// The hourglass for a long operation on the main thread; the normal cursor
// comes back when the guard goes out of scope, also when the operation raises.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor &) = delete;
  TWaitCursor &operator=(const TWaitCursor &) = delete;
};
