// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

#include <stdexcept>

// Exit statuses of veltravor-cli.
enum TExitStatus { ExitOk = 0, ExitError = 1, ExitUsage = 2 };

// Bad usage: the message, then the subcommand's usage line; exit status 2.
class EUsageError : public std::runtime_error {
 public:
  EUsageError(const QString &message, const QString &usage)
      : std::runtime_error(message.toStdString()), Message(message), Usage(usage) {}
  QString Message;
  QString Usage;
};

// Output of the subcommands: results on stdout, messages and progress on
// stderr. Both are QTextStreams flushed after every line.
void Out(const QString &line);
void Err(const QString &line);

int RunInfo(const QStringList &args);
int RunExport(const QStringList &args);
int RunScan(const QStringList &args);
int RunReport(const QStringList &args);

// Reads a whole integer option value; EUsageError naming the option otherwise.
int IntegerOption(const QString &option, const QString &value, qint64 low, qint64 high,
                  const QString &usage);

// veltravor-cli recover (beside scan, in CliScan.cpp).
int RunRecover(const QStringList &args);
