// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

#include <initializer_list>

// Every text the operator sees is written in English and passes through the
// global translator on its way to the screen (Forward and AddMissing set).
// Safe to call from the scan worker: the translator locks its dictionaries.
QString Translate(const QString &text);

// "%" formatting of a message that carries values: every "%" of the
// (translated) text takes the next value, from left to right. A message
// without values is never formatted, so its "%" signs stay.
QString FormatMessage(const QString &text, std::initializer_list<qint64> values);
QString FormatMessage(const QString &text, const QStringList &values);

// Translate first, then format.
QString TranslateFmt(const QString &text, std::initializer_list<qint64> values);
QString TranslateFmt(const QString &text, const QStringList &values);

// Raise the general error with a translated (and formatted) message.
[[noreturn]] void RaiseError(const QString &text);
[[noreturn]] void RaiseError(const QString &text, std::initializer_list<qint64> values);
[[noreturn]] void RaiseError(const QString &text, const QStringList &values);

// The message as the central error display shows it: "." appended when the
// last character sorts after "." (a letter, a digit, "?").
QString DisplayedErrorText(const QString &message);
