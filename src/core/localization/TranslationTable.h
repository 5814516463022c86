// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

#include "localization/TextTable.h"

class TDictionary;

// The pairs the translation editor shows: one row per English text with its
// translation, in the dictionary's key order. Keeps the number of translated
// rows (translation not blank) and whether the operator changed anything.
// Main thread only.
class TTranslationTable : public TTextTable {
 public:
  struct TRow {
    QString Eng;
    QString Loc;
  };

  int RowCount() const override { return int(FRows.size()); }
  QString Key(int row) const override { return FRows[row].Eng; }
  QString Value(int row) const override { return FRows[row].Loc; }
  // A row posted by a bulk fill: counted, nothing else.
  void AppendRow(const QString &key, const QString &value) override;
  void BeginBulkUpdate() override { ++FBulk; }
  void EndBulkUpdate() override { --FBulk; }

  // Empties the table and fills it with every pair of the dictionary, in its
  // key order; the count follows the pairs and Changed is cleared.
  void Fill(const TDictionary &pairs);
  // The operator's edit of one translation. An unchanged text changes
  // nothing; otherwise the count follows the edit and Changed is set.
  // Returns whether the translation changed.
  bool SetTranslation(int row, const QString &loc);
  // Replaces the dictionary's pairs by the translated rows (blank ones are
  // not translations).
  void CollectTranslated(TDictionary &pairs) const;

  // Rows whose translation is not blank.
  int TranslatedCount() const { return FTranslated; }
  bool Changed() const { return FChanged; }
  void ClearChanged() { FChanged = false; }
  // "Translated: % from %" in the interface language, with the count and
  // the number of rows.
  QString CountText() const;

  static bool IsTranslation(const QString &loc) { return !loc.trimmed().isEmpty(); }

 private:
  QList<TRow> FRows;
  int FTranslated = 0;
  bool FChanged = false;
  int FBulk = 0;
};
