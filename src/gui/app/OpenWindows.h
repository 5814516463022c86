// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QObject>

class QWidget;

// The open MDI child windows (projects, adjustment, log) in creation order.
// Does not own them. A child window appends itself when it is created and
// removes itself when it closes for good; one that refuses to close stays.
// A window destroyed without removing itself is dropped, so the list never
// holds a dangling window. Main thread only.
class TOpenWindows : public QObject {
  Q_OBJECT

 public:
  void Add(QWidget *fm);
  // Removes fm's entry; an absent window is ignored.
  void Remove(QWidget *fm);

  int Count() const { return FItems.size(); }
  QWidget *At(int index) const { return FItems.at(index); }
  int IndexOf(QWidget *fm) const { return FItems.indexOf(fm); }
  bool Contains(QWidget *fm) const { return FItems.contains(fm); }
  const QList<QWidget *> &Items() const { return FItems; }

  // The first window of class T, or null.
  template <typename T>
  T *FindFirst() const {
    for (QWidget *fm : FItems)
      if (auto *found = qobject_cast<T *>(fm)) return found;
    return nullptr;
  }

 private:
  void Destroyed(QObject *fm);
  QList<QWidget *> FItems;
};

// Created and destroyed by the main window; null while it does not exist.
extern TOpenWindows *OpenWindows;

// The child-window protocol, one call each. RegisterChildWindow appends fm to
// OpenWindows and adds it to the main window's window panel;
// UnregisterChildWindow removes it from both (an error of the panel is
// ignored). Both do nothing for a missing list or panel.
void RegisterChildWindow(QWidget *fm);
void UnregisterChildWindow(QWidget *fm);
// Reports fm's activation to the window panel; errors ignored.
void ActivateChildWindow(QWidget *fm);

// Asks fm to close: its MDI sub-window when it has one, else fm itself.
// Returns whether it closed.
bool CloseChildWindow(QWidget *fm);
