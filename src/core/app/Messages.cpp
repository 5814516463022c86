// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Messages.h"

#include "app/AppError.h"
#include "app/Globals.h"
#include "localization/Translator.h"

QString Translate(const QString &text) {
  if (!Translator) return text;
  return Translator->Translate(text, true, true);
}

namespace {
template <typename Values, typename ToText>
QString Substitute(const QString &text, const Values &values, ToText toText) {
  QString result;
  result.reserve(text.size() + 16);
  auto value = values.begin();
  for (QChar c : text) {
    if (c == u'%' && value != values.end()) {
      result += toText(*value);
      ++value;
    } else {
      result += c;
    }
  }
  return result;
}
}  // namespace

QString FormatMessage(const QString &text, std::initializer_list<qint64> values) {
  return Substitute(text, values, [](qint64 v) { return QString::number(v); });
}

QString FormatMessage(const QString &text, const QStringList &values) {
  return Substitute(text, values, [](const QString &v) { return v; });
}

QString TranslateFmt(const QString &text, std::initializer_list<qint64> values) {
  return FormatMessage(Translate(text), values);
}

QString TranslateFmt(const QString &text, const QStringList &values) {
  return FormatMessage(Translate(text), values);
}

void RaiseError(const QString &text) { throw EAppError(Translate(text)); }

void RaiseError(const QString &text, std::initializer_list<qint64> values) {
  throw EAppError(TranslateFmt(text, values));
}

void RaiseError(const QString &text, const QStringList &values) {
  throw EAppError(TranslateFmt(text, values));
}

QString DisplayedErrorText(const QString &message) {
  if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
  return message;
}
