// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OpenWindows.h"

#include <QMdiSubWindow>
#include <QWidget>

#include "app/Main.h"
#include "windowpanel/WindowPanel.h"

TOpenWindows *OpenWindows = nullptr;

void TOpenWindows::Add(QWidget *fm) {
  if (!fm || FItems.contains(fm)) return;
  FItems.append(fm);
  connect(fm, &QObject::destroyed, this, &TOpenWindows::Destroyed);
}

void TOpenWindows::Remove(QWidget *fm) {
  if (FItems.removeOne(fm)) disconnect(fm, &QObject::destroyed, this, &TOpenWindows::Destroyed);
}

void TOpenWindows::Destroyed(QObject *fm) {
  // Compared by address only: the window is half destroyed here.
  FItems.removeIf([fm](QWidget *w) { return static_cast<QObject *>(w) == fm; });
}

namespace {
TWindowPanel *Panel() { return fmMain ? fmMain->WindowPanel : nullptr; }
}  // namespace

void RegisterChildWindow(QWidget *fm) {
  if (OpenWindows) OpenWindows->Add(fm);
  if (TWindowPanel *panel = Panel()) panel->Add(fm);
}

void UnregisterChildWindow(QWidget *fm) {
  if (OpenWindows) OpenWindows->Remove(fm);
  if (TWindowPanel *panel = Panel()) {
    try {
      panel->Delete(fm);
    } catch (const std::exception &) {
      // A window that never reached the panel has nothing to remove there.
    }
  }
}

void ActivateChildWindow(QWidget *fm) {
  if (TWindowPanel *panel = Panel()) panel->SetActive(fm);
}

bool CloseChildWindow(QWidget *fm) {
  if (auto *sub = qobject_cast<QMdiSubWindow *>(fm->parentWidget())) return sub->close();
  return fm->close();
}
