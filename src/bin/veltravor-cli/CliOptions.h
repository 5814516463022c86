// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// Arguments of one subcommand: flags, options with values (--name VALUE or
// --name=VALUE), positional arguments, and whether help was asked for.
struct TParsedArgs {
  QSet<QString> Flags;
  QMap<QString, QString> Values;
  QStringList Positional;
  bool Help = false;
};

// Unknown options and missing values raise EUsageError with usage.
TParsedArgs ParseArgs(const QStringList &args, const QStringList &flags,
                      const QStringList &valued, const QString &usage);
