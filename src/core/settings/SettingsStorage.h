// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// A key path: the non-empty list of key names from the top level down, such
// as {"General"} or {"Forms", "TfmMain"}.
using TKeyPath = QStringList;

// One named value. Value is a tagged value: qint64, bool, double or QString.
// Values from the file are text; values stored while the program runs keep
// the writer's type.
struct TSettingsStorageParam {
  QString Name;  // exactly as first stored
  QVariant Value;
};

// One key (a section of the file) with its values and child keys, owned.
class TSettingsStorageKey {
 public:
  explicit TSettingsStorageKey(QString name) : Name(std::move(name)) {}
  ~TSettingsStorageKey();
  TSettingsStorageKey(const TSettingsStorageKey &) = delete;
  TSettingsStorageKey &operator=(const TSettingsStorageKey &) = delete;

  QString Name;  // exactly as first given
  QList<TSettingsStorageKey *> SubKeys;
  QList<TSettingsStorageParam> Params;
};

// The settings store: an in-memory tree of keys, read from and written to one
// text file. Used from the main thread; the scan worker reads a few keys at
// the start of a scan. No lock.
class TSettingsStorage {
 public:
  TSettingsStorage() = default;
  ~TSettingsStorage();
  TSettingsStorage(const TSettingsStorage &) = delete;
  TSettingsStorage &operator=(const TSettingsStorage &) = delete;

  // Stores value (qint64/int, bool, double or QString) under name in the key
  // addressed by keyPath, creating keys as needed. An empty name stores
  // nothing. Raises on an empty path or an empty path component.
  void AddParam(const TKeyPath &keyPath, const QString &name, const QVariant &value);
  // The stored value, or defaultValue. Never changes the tree; a default is
  // never stored.
  QVariant ReadParam(const TKeyPath &keyPath, const QString &name,
                     const QVariant &defaultValue) const;

  // Typed readers: the stored value converted to the type of the default; the
  // default when there is none or when the stored text does not convert.
  int ReadInt(const TKeyPath &keyPath, const QString &name, int defaultValue) const;
  qint64 ReadInt64(const TKeyPath &keyPath, const QString &name, qint64 defaultValue) const;
  bool ReadBool(const TKeyPath &keyPath, const QString &name, bool defaultValue) const;
  double ReadFloat(const TKeyPath &keyPath, const QString &name, double defaultValue) const;
  QString ReadText(const TKeyPath &keyPath, const QString &name, const QString &defaultValue) const;

  // Reads the file (FileName when empty) into the tree without clearing it.
  // Raises EAppError when the file cannot be opened or read. UTF-8; a file
  // that is not valid UTF-8 is read as Windows-1251.
  void Load(const QString &fileName = QString());
  // Load of FileName, the file the next Save rewrites. A header that ends the
  // reading (a component of spaces only, written by hand) would make that
  // Save drop every line after it; so the file is first copied beside itself,
  // as FileName + ".unreadable" (numbered when that name is taken), and one
  // NotifyWarning says where. Then raises like Load, and the caller goes on
  // with what was read.
  void LoadOwnFile();
  // The copy LoadOwnFile kept, or empty.
  QString KeptCopy() const { return FKeptCopy; }
  // Writes the tree (FileName when empty) through QSaveFile, UTF-8, CR LF.
  // Never raises: a failure leaves the old file intact and is reported with
  // NotifyWarning. Returns whether the file was written.
  bool Save(const QString &fileName = QString()) const;

  void ReadFromLines(const QStringList &lines);
  void WriteToLines(QStringList &lines) const;

  static QString NormalizeName(const QString &name);
  static QString PathText(const TKeyPath &keyPath);

  QList<TSettingsStorageKey *> Keys;
  QString FileName;

 private:
  QString FKeptCopy;
};
