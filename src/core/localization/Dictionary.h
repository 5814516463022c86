// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

#include <vector>

#include "localization/StringValue.h"

class TTextTable;

// One set of text pairs: English texts (keys) and their translations. Keys are
// kept sorted by CompareKeys, which is also the test for duplicates and the
// order of the file; a key is stored as it was given, with its blanks.
//
// File form, one entry per line: EncodeText(key) "<=>" EncodeText(value).
// Written in UTF-8 with CR LF; read as UTF-8 or Windows-1251.
//
// Not thread-safe: the translator serialises access to its dictionaries.
class TDictionary {
 public:
  explicit TDictionary(const QString &name = QString());

  // The language name, trimmed; empty for the catalogue.
  const QString &Name() const { return FName; }
  // Set when a lookup or a file load inserts or replaces an entry and when
  // Clear drops entries; reset by SaveToFile.
  bool Modified() const { return FModified; }

  qsizetype Count() const { return static_cast<qsizetype>(FItems.size()); }
  const QString &Key(qsizetype index) const { return FItems[index].Key; }
  const TStringValue &Value(qsizetype index) const { return FItems[index].Value; }
  // Index of the key equal to text (ignoring letter case), or -1.
  qsizetype IndexOf(const QString &text) const;

  // Forward: the translation of text, or text itself when it has none (a
  // missing text is recorded with an empty translation when addMissing).
  // Reverse: the first key, in key order, whose translation equals text
  // exactly, or text itself. Blank texts, the one-character captions "-",
  // "+", ".", "," and 32-bit integer literals are returned unchanged and are
  // never recorded.
  QString Lookup(const QString &text, bool forward, bool addMissing);

  // Merges the entries of a file. A key already present keeps its translation
  // unless that is blank; a file that cannot be read adds nothing.
  void LoadFromFile(const QString &fileName);
  // Writes every entry in key order (untranslated ones too) through a
  // temporary file, then clears Modified. Raises EAppError with the system's
  // message when the file cannot be written; the old file is left intact.
  void SaveToFile(const QString &fileName);
  void Clear();

  // Merges one entry per row; a present key takes the row's translation only
  // when its own is blank and the row's is not. Modified is left as it was.
  void LoadFromTable(TTextTable &table);
  // Appends one row per entry, in key order.
  void SaveToTable(TTextTable &table) const;

  // File encoding of a key or value: "\" -> "\ ", CR -> "\r", LF -> "\n".
  static QString EncodeText(const QString &text);
  // The reverse; "\R" and "\N" decode as well.
  static QString DecodeText(const QString &text);
  // The text of a line before its first separator; empty when it has none.
  static QString ExtractKey(const QString &line);
  // The one key comparison (case-insensitive: simple case folding, then
  // code units), <0, 0, >0.
  static int CompareKeys(const QString &a, const QString &b);

  static constexpr QStringView Separator = u"<=>";

 private:
  struct TEntry {
    QString Key;
    QString Fold;  // FoldKey(Key): what searches and sorting compare
    TStringValue Value;
  };

  // How a present key takes a merged entry: from a file, a blank translation
  // is replaced by any value and every change sets Modified; from a table,
  // only by a non-blank value and Modified stays.
  enum class TMergeRule { File, Table };

  static QString FoldKey(const QString &key);
  static int CompareFolded(const QString &a, const QString &b);
  // First index whose key does not sort before the folded text.
  qsizetype LowerBound(const QString &fold) const;
  // Merges entries given in row order.
  void Merge(std::vector<TEntry> incoming, TMergeRule rule);

  QString FName;
  bool FModified = false;
  std::vector<TEntry> FItems;
};
