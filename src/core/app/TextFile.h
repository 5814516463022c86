// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files of the program (settings, dictionaries): written in UTF-8 with
// CR LF after every line; read as UTF-8, or as Windows-1251 when the bytes are
// not valid UTF-8 (files of the earlier Windows program). CR, LF and CR LF
// each end a line when reading.
QString DecodeText8(const QByteArray &bytes);
QStringList SplitLines(const QString &text);

// Reads a text file into lines. Returns false (and leaves lines empty) when the
// file cannot be opened or read; error receives the system's message.
bool ReadTextLines(const QString &fileName, QStringList &lines, QString *error = nullptr);

// Writes lines through QSaveFile, each followed by CR LF. On failure the old
// file is left intact, error receives the message, and false is returned.
bool WriteTextLines(const QString &fileName, const QStringList &lines, QString *error = nullptr);
