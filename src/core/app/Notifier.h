// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The core never shows a box. Where a store or loader must warn the operator
// itself (a settings file that cannot be written, pixels dropped while
// loading), it calls NotifyWarning; the gui installs a notifier that shows the
// warning box, the CLI one that writes to stderr, tests a recorder.
class TNotifier {
 public:
  virtual ~TNotifier() = default;
  virtual void Warning(const QString &text) = 0;
};

// Installs the notifier (not owned); null restores the default (stderr).
// Returns the previous one.
TNotifier *SetNotifier(TNotifier *notifier);
void NotifyWarning(const QString &text);
