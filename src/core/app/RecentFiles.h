// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

// The list of recently used project files, most recent first, and its text
// form in the settings ("mruProjects" of General): every entry followed by
// "*". Pure list logic; the main window owns the list and its menu items.

// The number of entries AddToRecentList keeps and the menu shows.
constexpr int MaxRecentFiles = 5;

// Every piece of text before a "*" is one entry (an empty piece gives an empty
// entry); text after the last "*" is ignored. Reads the whole text: a longer
// stored list is kept in full, only the menu shows the first five.
QStringList ParseRecentFiles(const QString &text);

// Every entry followed by "*"; an empty list gives an empty text.
QString RecentFilesText(const QStringList &files);

// Moves path to the top: an entry equal to it without regard to letter case is
// removed first, and the list is cut to MaxRecentFiles entries. A path the
// stored text cannot hold is not added and the list stays as it was: one with
// a "*" (it would split into two wrong entries) or a line break (the settings
// file would turn it into a blank). Returns whether the path was added.
bool AddToRecentList(QStringList &files, const QString &path);

// Removes the first entry exactly equal to path (a recent item whose file is
// gone). Returns whether an entry was removed.
bool RemoveFromRecentList(QStringList &files, const QString &path);
