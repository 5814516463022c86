// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QAbstractTableModel>
#include <QTableView>

#include <optional>

#include "measurement/IntervalTable.h"

// The grid model of the interval table: columns "Shift, fsec", "Step" and
// "Step, fsec" (derived, read-only). An edited cell posts its row at once, so
// the table's rules apply (a step that is not positive becomes empty, rows
// stay sorted by shift); RowPosted tells the view where the row went. A new
// row can be held open below the table rows until it is posted or discarded.
// Main thread only; the table belongs to the project data.
class TIntervalModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum { ColShift, ColStep, ColStepFs, ColumnCount };

  explicit TIntervalModel(TIntervalTable &table, QObject *parent = nullptr);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                     int role) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  // The table changed underneath (loaded, pasted, validated): show it anew.
  void Reload();
  // Whether a new row is held open, and its index in the model.
  bool HasPending() const { return FPending.has_value(); }
  int PendingRow() const { return FTable.Count(); }
  // Opens a new row below the others (replacing an open one).
  void AppendPending(std::optional<int> shift = std::nullopt);
  // Posts the open row, if any; returns its index after sorting, else -1.
  int PostPending();
  void DiscardPending();
  // Appends and posts a row; returns its index after sorting.
  int AppendRow(const TIntervalRow &row);
  // Deletes row (the open row discards it).
  void DeleteRow(int row);
  // During a run no cell is editable.
  void SetLocked(bool locked);
  bool Locked() const { return FLocked; }

 signals:
  void RowPosted(int row, int column);

 private:
  static QString FieldText(const std::optional<int> &field);
  TIntervalTable &FTable;
  std::optional<TIntervalRow> FPending;
  QString FHeaders[ColumnCount];
  bool FLocked = false;
};

// The interval grid: a table view that can hand an open cell editor's text to
// the model on demand (before a run, a save, a mode switch).
class TIntervalGrid : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  // Commits and closes the cell editor, if one is open.
  void PostEditor();
};
