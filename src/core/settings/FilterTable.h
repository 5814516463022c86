// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One calibrated filter of the filter wheel.
struct TFilterRecord {
  double Transmission = 1.0;  // fraction: 1.0 = no attenuation; valid (0, 1]
  int32_t Position = 0;       // filter wheel position in motor steps; valid 0 and up

  bool operator==(const TFilterRecord &) const = default;
};

// The device's filter table: ordered by rising position and falling
// transmission once it has passed CheckFilterTable.
using TFilterRecords = QList<TFilterRecord>;

// The table of a new device and the fallback of every unusable text: full
// transmission at wheel position 0.
TFilterRecords DefaultFilterTable();

// Text form of the settings key "filterTable": "transmission;position;" per
// record, the transmission as a fraction in the general number format (up to
// 15 significant digits, "." whatever the locale, scientific below 0.0001, as
// in 3.5E-5). An empty table gives an empty text.
QString FilterTableToText(const TFilterRecords &table);
// The records of a "filterTable" text. Any number that does not parse (also a
// last pair without its closing ";") gives the default table, as does a text
// without any record; text after the last complete pair is ignored. Neither
// ranges nor order are checked here.
TFilterRecords ParseFilterTable(const QString &text);

// The general number format used above, exposed for the places that show a
// transmission fraction the same way.
QString FormatGeneralFloat(double value);

// One row of the editing form of the table. Transmission is in percent; an
// empty cell is an absent value.
struct TFilterRow {
  std::optional<double> Transmission;  // percent
  std::optional<int32_t> Shift;        // wheel position, steps
  int Id = 0;                          // row number 1..n
};

// The editable data set through which the settings dialog and the adjustment
// window show the device's table. It holds the rows and the current row; the
// rules raise EAppError with their translated messages. Main thread only.
class TFilterTable {
 public:
  QList<TFilterRow> Rows;
  int Current = -1;  // index into Rows, -1 when there are none

  // Rules of one row about to be posted, in this order: transmission above
  // 100, not above 0 (empty counts as 0), shift empty, shift negative.
  static void CheckRecord(const TFilterRow &row);
};

// Empties the data set and fills it from the device's table in the device's
// order, ids 1..n, transmission in percent. Each row is checked as it is
// posted: a record that breaks a rule stops the load with that rule's message
// (the rows before it stay, the current row is the first one).
void LoadFilterTable(TFilterTable &data, const TFilterRecords &device);
// The rows in the data set's current order, transmission as a fraction.
TFilterRecords StoreFilterTable(const TFilterTable &data);
// Whole-table rules: at least one row; transmission strictly falling and
// position strictly rising from row to row. On a broken rule the current row
// becomes the row that broke it, so that the grid shows it.
void CheckFilterTable(TFilterTable &data);
// Sorts the rows by transmission, descending (rows with equal transmission keep
// their order), and numbers them 1..n; the current row stays on its record.
// Returns, for each new row, its index before sorting.
QList<int> RenumberFilterTable(TFilterTable &data);
// Rules of one row; the name the editing windows' before-post handlers use.
inline void CheckFilterRecord(const TFilterRow &row) { TFilterTable::CheckRecord(row); }
