// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <exception>
#include <string>

// The program's general error: one message text, already translated.
// Raised by any operation that cannot go on; caught by the central error
// display (windows), the CLI's main, or a local handler that logs, wraps or
// deliberately ignores it.
class EAppError : public std::exception {
 public:
  explicit EAppError(QString message);
  const QString &Message() const noexcept { return FMessage; }
  const char *what() const noexcept override { return FUtf8.c_str(); }

 private:
  QString FMessage;
  std::string FUtf8;
};

// The message text of any exception that reached a guard.
QString ExceptionMessage(const std::exception &e);
