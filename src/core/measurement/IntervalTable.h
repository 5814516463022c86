// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

#include <optional>

// One row of the advanced-mode interval table: from delay Shift (fsec) on,
// measure every Step motor steps up to the next row's shift. An empty field
// is std::nullopt. StepFs is derived when the row is posted.
struct TIntervalRow {
  std::optional<int> Shift;
  std::optional<int> Step;
  std::optional<double> StepFs;  // Step * FsPerStep, empty unless Step > 0

  bool operator==(const TIntervalRow &) const = default;
};

// The interval table with its rules: a posted row gets an empty step unless
// the step is positive, and the table is kept sorted by shift (empty shifts
// first, equal shifts in posting order). The grid model of the project window
// wraps it; the rules live here. Main thread only.
class TIntervalTable {
 public:
  int Count() const { return FRows.size(); }
  const TIntervalRow &Row(int index) const { return FRows.at(index); }
  const QList<TIntervalRow> &Rows() const { return FRows; }

  void Clear() { FRows.clear(); }
  // Posts a row: index -1 appends a new one, otherwise replaces that row.
  // Applies the step rule, re-sorts, and returns the row's index afterwards.
  int Post(TIntervalRow row, int index = -1);
  void Delete(int index);
  // First row whose shift is shift, -1 when none.
  int Find(std::optional<int> shift) const;

  // Cleans and checks the table before a run: drops rows without shift and
  // step, duplicates and rows repeating the previous step, empties the last
  // step, checks the end delays against the carriage limits. Raises on error;
  // what was deleted stays deleted. currentRow is the grid's current row;
  // returns the row to make current again (same shift), -1 when there is none.
  int Validate(int zero, int currentRow = -1);

  // Text form for the clipboard and the settings: "shift;step;" per row, empty
  // fields empty, e.g. "-100;1;100;;".
  QString GetIntervalText() const;
  // Replaces the rows by those of text; complete pairs only; a value that is
  // not an integer ends the reading silently, rows read before stay.
  void SetIntervalText(const QString &text);

 private:
  QList<TIntervalRow> FRows;
};
