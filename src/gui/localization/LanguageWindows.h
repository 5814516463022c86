// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

class QWidget;

// The windows a language switch retranslates, in this order: the main
// window, the settings dialog, the language list and the translation editor
// (those that are open), then every child window of the main window in the
// frame's order. Main thread only.
QList<QWidget *> LanguageSwitchWindows();

// Switches the interface language over those windows (SwitchLanguage) and
// brings the window panel's captions up to date.
void SwitchLanguageEverywhere(const QString &name);
