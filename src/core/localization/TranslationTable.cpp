// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/TranslationTable.h"

#include "app/Messages.h"
#include "localization/Dictionary.h"

namespace {
// The translated rows of a table, as a table of their own: what a dictionary
// is filled from when it is saved.
class TTranslatedRows : public TTextTable {
 public:
  explicit TTranslatedRows(const TTranslationTable &table) {
    for (int row = 0; row < table.RowCount(); ++row)
      if (TTranslationTable::IsTranslation(table.Value(row))) FRows << row;
    FTable = &table;
  }
  int RowCount() const override { return int(FRows.size()); }
  QString Key(int row) const override { return FTable->Key(FRows[row]); }
  QString Value(int row) const override { return FTable->Value(FRows[row]); }
  void AppendRow(const QString &, const QString &) override {}

 private:
  const TTranslationTable *FTable = nullptr;
  QList<int> FRows;
};
}  // namespace

void TTranslationTable::AppendRow(const QString &key, const QString &value) {
  FRows.append({key, value});
  FChanged = true;
  if (IsTranslation(value)) ++FTranslated;
}

void TTranslationTable::Fill(const TDictionary &pairs) {
  FRows.clear();
  FRows.reserve(pairs.Count());
  FTranslated = 0;
  pairs.SaveToTable(*this);
  FChanged = false;
}

bool TTranslationTable::SetTranslation(int row, const QString &loc) {
  if (row < 0 || row >= FRows.size()) return false;
  TRow &r = FRows[row];
  if (r.Loc == loc) return false;
  FChanged = true;
  if (IsTranslation(r.Loc)) --FTranslated;
  if (IsTranslation(loc)) ++FTranslated;
  r.Loc = loc;
  return true;
}

void TTranslationTable::CollectTranslated(TDictionary &pairs) const {
  TTranslatedRows translated(*this);
  pairs.Clear();
  pairs.LoadFromTable(translated);
}

QString TTranslationTable::CountText() const {
  return TranslateFmt(QStringLiteral("Translated: % from %"), {FTranslated, qint64(FRows.size())});
}
