// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>

class TProjectData;

// ASCII export of a project's curve (.dat): a header line, then one line per
// measured pixel in ascending order; TAB-separated, CR LF after every line:
//   delay, fsec | contrast | signal | ampF | ampI | transmission (percent)
// Numbers other than the integers are in the wide scientific form below.

// 23 characters: " " or "-", one digit, ".", 14 digits, "E", sign, four
// exponent digits (15 significant digits, rounded); "." whatever the locale.
// Example: 16.6666666 -> " 1.66666666000000E+0001".
QByteArray FormatWideScientific(long double value);

// The export text. Caller holds DataLock for reading, or no worker runs.
QByteArray ExportText(const TProjectData &data, int zero);

// Writes the export file through QSaveFile, reading the pixels under DataLock
// for reading (an export during a run shows complete points). On failure the
// old file stays intact and EAppError is raised.
void ExportData(const TProjectData &data, const QString &fileName, int zero);
