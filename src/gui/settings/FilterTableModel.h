// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QAbstractTableModel>

#include <optional>

#include "settings/FilterTable.h"

// The filter calibration table as the settings dialog and the adjustment
// window show it (grid grFilter over the data set tbFilter): columns "id" (not
// editable), "Transmission, %" and "Position".
//
// Editing works row by row, as in a data-aware grid: editing a cell puts its
// row into editing (the row shows the edited values, the table keeps the old
// ones); Post checks the row with the record rules and, when they pass, writes
// it into the table, sorts the table by falling transmission, renumbers it and
// emits Posted. A rule that fails raises EAppError with its message and leaves
// the row in editing, so the operator can correct it. Append starts a new,
// empty row in editing; Cancel drops the edits (and an appended row).
//
// Main thread only. Post, Append, Load and Check raise; call them under the window's
// error guard (RunGuarded). setData never raises: while another row is in
// editing it refuses the value (returns false) — the window posts first, for
// example when the grid's current row changes.
class TFilterTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum EColumn { colId = 0, colTransmission = 1, colShift = 2, ColumnCount = 3 };

  explicit TFilterTableModel(QObject *parent = nullptr);

  // The data set itself (rows, current row).
  const TFilterTable &Table() const { return FTable; }

  // LoadFilterTable: fills the model from the device's table in the device's
  // order. A record that breaks a rule raises its message after the rows
  // before it were loaded. Drops any edit in progress.
  void Load(const TFilterRecords &device);
  // StoreFilterTable: the rows as device records. The row in editing is
  // posted first, so that no edit is dropped (raises when it breaks a record
  // rule; it stays in editing then); a new row left empty is dropped.
  TFilterRecords Store();
  // CheckFilterTable, after posting the row in editing as Store does. On a
  // broken table rule CurrentRow() is the row that broke it;
  // CurrentRowRequested is emitted with it before raising.
  void Check();
  int CurrentRow() const { return FTable.Current; }
  void SetCurrentRow(int row);

  bool IsEditing() const { return FEditRow >= 0; }
  int EditingRow() const { return FEditRow; }
  // Appends an empty row in editing and returns its index. A row already in
  // editing is posted first (raises when it breaks a rule; nothing is appended).
  int Append();
  // Checks and writes the row in editing (nothing to do when none is);
  // returns the row's index after sorting, or -1 when nothing was posted.
  int Post();
  // Post without raising: false and the message when a rule fails.
  bool TryPost(QString *message = nullptr);
  void Cancel();
  // Deletes a row (an appended row still in editing is simply dropped).
  void Delete(int row);

  // Text of a transmission in percent as the grid shows it: format
  // "0.########" with the locale's decimal separator.
  static QString TransmissionText(double percent);
  // Text of a transmission in the cell editor: every digit of the value, in
  // fixed notation with the locale's decimal separator.
  static QString EditText(double percent);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // A row was posted (after sorting and renumbering) or deleted: the window
  // marks its table as changed.
  void Posted(int row);
  void Deleted();
  // The view should make this row current (the row of a broken rule, a posted
  // row after sorting).
  void CurrentRowRequested(int row);

 private:
  const TFilterRow &RowAt(int row) const;
  // The data set without the empty placeholder of a new row in editing (always
  // the last row): what Store and Check work on.
  TFilterTable PostedTable() const;
  // Posts the row in editing; a new row whose cells were never filled is
  // cancelled instead, as a grid leaves an untouched new row.
  void PostPending();
  // Sorts and renumbers the posted rows, keeping persistent indexes on their records.
  void Resort();

  TFilterTable FTable;
  int FEditRow = -1;       // row in editing, -1 when none
  bool FAppended = false;  // the row in editing was appended and never posted
  TFilterRow FBuffer;      // values of the row in editing
};
