// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

// Every file location of the program, in one place. Built from the XDG
// variables (XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_DATA_HOME, XDG_STATE_HOME)
// with their standard defaults, so that tests run in temporary folders.
// Folders are not created here; writers create what they need.
namespace TPaths {
// ~/.config/veltravor/veltravor.ini
QString SettingsFile();
// ~/.config/veltravor/veltravor-simulator.ini (veltravor --simulator, veltravor-sim)
QString SimulatorSettingsFile();
// The simulated carriage and wheel positions kept between runs, beside the
// simulator's settings file.
QString SimulatorStateFile();
// /etc/xdg/veltravor/veltravor.ini: an administrator's defaults for the
// instrument, loaded first and never written (not in simulator mode). Empty
// when no such file exists.
QString SystemSettingsFile();
// ~/.local/state/veltravor/veltravor.log: the instrument's event log
QString EventLogFile();
// ~/.config/veltravor/veltravor-simulator.log: the simulated instrument's
// event log, beside its settings file, so that simulated commands never mix
// with the instrument's history.
QString SimulatorEventLogFile();
// ~/.local/share/veltravor/veltravor.lng
QString CatalogueFile();
// ~/.local/share/veltravor/LANGUAGE (the user's dictionaries; written here)
QString LanguageDir();
// Every folder that holds dictionaries: the user's first, then the installed ones.
QStringList LanguageDirs();
// Folder of the user manuals: share/doc/veltravor beside the installed
// program, else doc/veltravor in the first XDG data folder (XDG_DATA_DIRS)
// that has one, else the source tree's doc/ (run from the build folder).
QString ManualDir();
}  // namespace TPaths
