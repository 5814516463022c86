// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

class QWidget;

// Translates the captions and hints of a window and of what is placed on it,
// in place, through the global Translator (nothing happens without one):
// the window's title and tool tip; texts and hints of actions (also those
// listed in its menus and tool bars), menus, labels (status-bar panels
// included), group boxes, buttons of every kind and tab pages; the hint of
// panels (plain QFrame or QWidget containers); the hint and
// the visible column captions of table and tree views whose model accepts
// setHeaderData. Line edits, combo items, chart texts and the status bar's
// own hint stay. Objects named mnMRU1..mnMRU5 (file names) are skipped.
// Other windows inside it (MDI children, any "Tfm" window, dialogs parented
// to it) are not walked: they translate themselves.
// forward = false maps shown translations back to English.
void TranslateForm(QWidget *root, bool forward, bool addMissing);

// Changes the interface language while windows are open: every window back to
// English (reverse lookup), select the language, every window into it. Null
// entries of the list are passed over.
void SwitchLanguage(const QString &newName, const QList<QWidget *> &windows);
