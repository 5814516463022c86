// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

struct TStartOptions;

// The program's command line: --simulator, --port PATH, --help, --version and
// project files to open. Read before the application exists, so that --help and
// --version work without a display. Returns -1 when the program goes on with
// options filled, else the exit code, with the text for standard output in
// output (help, version) or for standard error in error.
int ParseCommandLine(const QStringList &arguments, TStartOptions &options, QString &output,
                     QString &error);
