// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsStorage.h"

#include <QFile>
#include <QLocale>

#include <cmath>
#include <limits>

#include "app/AppError.h"
#include "app/Messages.h"
#include "app/Notifier.h"
#include "app/TextFile.h"

namespace {
const QString TwoSpaces = QStringLiteral("  ");

QString MatchName(const QString &name) {
  return TSettingsStorage::NormalizeName(name).toLower();
}

// Raises the programming errors of a bad key path; operation names the caller.
void CheckKeyPath(const TKeyPath &keyPath, const char *operation) {
  if (keyPath.isEmpty())
    throw EAppError(QString("Key is not defined (TSettingsStorage.%1).").arg(operation));
  for (const QString &component : keyPath) {
    if (TSettingsStorage::NormalizeName(component).isEmpty())
      throw EAppError(QString("Key \"%1\" has empty string (TSettingsStorage.%2).")
                          .arg(TSettingsStorage::PathText(keyPath), operation));
  }
}

TSettingsStorageKey *FindKey(const QList<TSettingsStorageKey *> &keys, const QString &match) {
  for (TSettingsStorageKey *key : keys)
    if (MatchName(key->Name) == match) return key;
  return nullptr;
}

// The general format of the earlier program: up to 15 significant digits, an
// exponent as in 1E-5, the locale's decimal separator and no group separators.
// Digits, signs and the exponent stay ASCII whatever the locale: some locales
// write "−" (U+2212), native digits or "1×10^−07", which no other locale reads.
QString FloatText(double value) {
  QString text = QString::number(value, 'g', 15);
  const qsizetype e = text.indexOf(u'e');
  if (e >= 0) {
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    QString sign;
    if (exponent.startsWith(u'-')) sign = "-";
    if (exponent.startsWith(u'-') || exponent.startsWith(u'+')) exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(u'0')) exponent.remove(0, 1);
    text = mantissa + "E" + sign + exponent;
  }
  return text.replace(u'.', QLocale().decimalPoint());
}

QString ValueText(const QVariant &value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
      return value.toBool() ? "True" : "False";
    case QMetaType::Double:
    case QMetaType::Float:
      return FloatText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return QString::number(value.toLongLong());
    default:
      return value.toString();
  }
}

// A value is one line of the file. A line break in a text (a file name on
// Linux may hold one) would otherwise start a line of its own and be read
// back as another section or value, overwriting settings: it is written as a
// blank instead.
QString OneLine(QString text) {
  for (QChar &c : text)
    if (c == u'\r' || c == u'\n') c = u' ';
  return text;
}

void WriteKey(const TSettingsStorageKey *key, const QString &section, QStringList &lines) {
  lines << "[" + section + "]";
  for (const TSettingsStorageParam &param : key->Params)
    lines << param.Name + "=" + OneLine(ValueText(param.Value));
  for (const TSettingsStorageKey *child : key->SubKeys)
    WriteKey(child, section + TwoSpaces + TSettingsStorage::NormalizeName(child->Name), lines);
}

bool IsText(const QVariant &v) {
  return v.typeId() == QMetaType::QString;
}

bool TextToInt64(const QString &text, qint64 &result) {
  bool ok = false;
  result = text.trimmed().toLongLong(&ok, 10);
  return ok;
}

bool TextToFloat(const QString &text, double &result) {
  bool ok = false;
  const QString t = text.trimmed();
  // The user's locale first (also hand-written native forms). Group
  // separators are never written, and accepting them would read "1.000"
  // written under a point locale as 1000 under a comma locale.
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  result = locale.toDouble(t, &ok);
  // The ASCII form FloatText writes (the locale's decimal separator, or a
  // point from a file written under another locale).
  if (!ok) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    result = c.toDouble(QString(t).replace(locale.decimalPoint(), "."), &ok);
  }
  return ok && std::isfinite(result);
}
}  // namespace

TSettingsStorageKey::~TSettingsStorageKey() {
  qDeleteAll(SubKeys);
}

TSettingsStorage::~TSettingsStorage() {
  qDeleteAll(Keys);
}

QString TSettingsStorage::NormalizeName(const QString &name) {
  QString result;
  result.reserve(name.size());
  for (QChar c : name) {
    if (c == u' ' && result.endsWith(u' ')) continue;
    result += c;
  }
  if (result.startsWith(u' ')) result.remove(0, 1);
  if (result.endsWith(u' ')) result.chop(1);
  return result;
}

QString TSettingsStorage::PathText(const TKeyPath &keyPath) {
  return "[" + keyPath.join(", ") + "]";
}

void TSettingsStorage::AddParam(const TKeyPath &keyPath, const QString &name,
                                const QVariant &value) {
  CheckKeyPath(keyPath, "AddParam");
  if (name.isEmpty()) return;
  QList<TSettingsStorageKey *> *level = &Keys;
  TSettingsStorageKey *key = nullptr;
  for (const QString &component : keyPath) {
    key = FindKey(*level, MatchName(component));
    if (!key) {
      key = new TSettingsStorageKey(component);
      level->append(key);
    }
    level = &key->SubKeys;
  }
  const QString match = MatchName(name);
  for (TSettingsStorageParam &param : key->Params) {
    if (MatchName(param.Name) == match) {
      param.Value = value;
      return;
    }
  }
  key->Params.append({name, value});
}

QVariant TSettingsStorage::ReadParam(const TKeyPath &keyPath, const QString &name,
                                     const QVariant &defaultValue) const {
  CheckKeyPath(keyPath, "ReadParam");
  const QList<TSettingsStorageKey *> *level = &Keys;
  const TSettingsStorageKey *key = nullptr;
  for (const QString &component : keyPath) {
    key = FindKey(*level, MatchName(component));
    if (!key) return defaultValue;
    level = &key->SubKeys;
  }
  const QString match = MatchName(name);
  for (const TSettingsStorageParam &param : key->Params)
    if (MatchName(param.Name) == match) return param.Value;
  return defaultValue;
}

qint64 TSettingsStorage::ReadInt64(const TKeyPath &keyPath, const QString &name,
                                   qint64 defaultValue) const {
  const QVariant v = ReadParam(keyPath, name, QVariant());
  if (!v.isValid()) return defaultValue;
  if (IsText(v)) {
    qint64 result = 0;
    return TextToInt64(v.toString(), result) ? result : defaultValue;
  }
  if (v.typeId() == QMetaType::Double) {
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::fabs(d) > 9.0e18) return defaultValue;
    return static_cast<qint64>(std::nearbyint(d));
  }
  bool ok = false;
  const qint64 result = v.toLongLong(&ok);
  return ok ? result : defaultValue;
}

int TSettingsStorage::ReadInt(const TKeyPath &keyPath, const QString &name,
                              int defaultValue) const {
  const qint64 v = ReadInt64(keyPath, name, defaultValue);
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    return defaultValue;
  return static_cast<int>(v);
}

bool TSettingsStorage::ReadBool(const TKeyPath &keyPath, const QString &name,
                                bool defaultValue) const {
  const QVariant v = ReadParam(keyPath, name, QVariant());
  if (!v.isValid()) return defaultValue;
  if (!IsText(v)) return v.toBool();
  const QString t = v.toString().trimmed();
  if (t.compare("True", Qt::CaseInsensitive) == 0) return true;
  if (t.compare("False", Qt::CaseInsensitive) == 0) return false;
  double number = 0;
  if (TextToFloat(t, number)) return number != 0;
  return defaultValue;
}

double TSettingsStorage::ReadFloat(const TKeyPath &keyPath, const QString &name,
                                   double defaultValue) const {
  const QVariant v = ReadParam(keyPath, name, QVariant());
  if (!v.isValid()) return defaultValue;
  if (IsText(v)) {
    double result = 0;
    return TextToFloat(v.toString(), result) ? result : defaultValue;
  }
  bool ok = false;
  const double result = v.toDouble(&ok);
  return ok ? result : defaultValue;
}

QString TSettingsStorage::ReadText(const TKeyPath &keyPath, const QString &name,
                                   const QString &defaultValue) const {
  const QVariant v = ReadParam(keyPath, name, QVariant());
  if (!v.isValid()) return defaultValue;
  return ValueText(v);
}

void TSettingsStorage::ReadFromLines(const QStringList &lines) {
  TKeyPath current;
  for (const QString &line : lines) {
    const qsizetype close = line.indexOf(u']');
    if (line.startsWith(u'[') && close >= 2) {
      QString inner = line.mid(1, close - 1);
      TKeyPath path;
      qsizetype cut;
      while ((cut = inner.indexOf(TwoSpaces)) >= 0) {
        path << inner.left(cut);
        inner.remove(0, cut + 2);
      }
      if (!inner.isEmpty()) path << inner;
      CheckKeyPath(path, "AddParam");
      current = path;
      continue;
    }
    if (current.isEmpty()) continue;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 1) continue;
    const QString name = line.left(eq);
    const QString value = line.mid(eq + 1);
    if (NormalizeName(name).isEmpty() || value.isEmpty()) continue;
    AddParam(current, name, value);
  }
}

void TSettingsStorage::WriteToLines(QStringList &lines) const {
  for (const TSettingsStorageKey *key : Keys) WriteKey(key, NormalizeName(key->Name), lines);
}

void TSettingsStorage::Load(const QString &fileName) {
  const QString file = fileName.isEmpty() ? FileName : fileName;
  QStringList lines;
  QString error;
  if (!ReadTextLines(file, lines, &error)) throw EAppError(error);
  ReadFromLines(lines);
}

void TSettingsStorage::LoadOwnFile() {
  QStringList lines;
  QString error;
  if (!ReadTextLines(FileName, lines, &error)) throw EAppError(error);
  try {
    ReadFromLines(lines);
  } catch (const std::exception &) {
    // The bytes as they are on disk, not the decoded lines.
    QString copy = FileName + QStringLiteral(".unreadable");
    for (int n = 2; QFile::exists(copy); ++n)
      copy = FileName + QStringLiteral(".unreadable-%1").arg(n);
    QFile source(FileName);
    if (source.copy(copy)) {
      FKeptCopy = copy;
      NotifyWarning(TranslateFmt(
          "The settings file \"%\" has a line that cannot be read; the lines after it are not "
          "used. The file as it was is kept in \"%\".",
          QStringList{FileName, copy}));
    } else {
      NotifyWarning(TranslateFmt(
          "The settings file \"%\" has a line that cannot be read; the lines after it are not "
          "used, and no copy of the file could be kept (%).",
          QStringList{FileName, source.errorString()}));
    }
    throw;
  }
}

bool TSettingsStorage::Save(const QString &fileName) const {
  const QString file = fileName.isEmpty() ? FileName : fileName;
  QStringList lines;
  WriteToLines(lines);
  QString error;
  if (WriteTextLines(file, lines, &error)) return true;
  NotifyWarning(error);
  return false;
}
