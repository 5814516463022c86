// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/IntervalModel.h"

#include <QLocale>

TIntervalModel::TIntervalModel(TIntervalTable &table, QObject *parent)
    : QAbstractTableModel(parent),
      FTable(table),
      FHeaders{QStringLiteral("Shift, fsec"), QStringLiteral("Step"),
               QStringLiteral("Step, fsec")} {}

int TIntervalModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid()) return 0;
  return FTable.Count() + (FPending ? 1 : 0);
}

int TIntervalModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QString TIntervalModel::FieldText(const std::optional<int> &field) {
  return field ? QString::number(*field) : QString();
}

QVariant TIntervalModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TIntervalRow &row = index.row() < FTable.Count() ? FTable.Row(index.row()) : *FPending;
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  switch (index.column()) {
    // As text also for editing: a line editor lets the operator empty a field.
    case ColShift:
      return FieldText(row.Shift);
    case ColStep:
      return FieldText(row.Step);
    case ColStepFs: {
      if (!row.StepFs) return QString();
      // Two decimals, no leading zero and no grouping.
      QLocale locale = QLocale::system();
      locale.setNumberOptions(QLocale::OmitGroupSeparator);
      QString text = locale.toString(*row.StepFs, 'f', 2);
      if (text.startsWith(u'0')) text.remove(0, 1);
      return text;
    }
  }
  return {};
}

bool TIntervalModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (FLocked || role != Qt::EditRole || !index.isValid() || index.column() == ColStepFs)
    return false;
  std::optional<int> field;
  const QString text = value.toString().trimmed();
  if (!text.isEmpty()) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok) return false;
    field = number;
  }
  const bool pending = index.row() >= FTable.Count();
  TIntervalRow row = pending ? *FPending : FTable.Row(index.row());
  (index.column() == ColShift ? row.Shift : row.Step) = field;
  // The row count stays (an open row becomes a table row), so a layout
  // change does: a reset here would pull the cell editor from under the view
  // while it commits.
  emit layoutAboutToBeChanged();
  if (pending) FPending.reset();
  const int posted = FTable.Post(row, pending ? -1 : index.row());
  emit layoutChanged();
  emit RowPosted(posted, index.column());
  return true;
}

QVariant TIntervalModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount)
    return FHeaders[section];
  if (orientation == Qt::Vertical && section == PendingRow() && FPending)
    return QStringLiteral("*");
  return {};
}

bool TIntervalModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                                   int role) {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= ColumnCount)
    return false;
  FHeaders[section] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

Qt::ItemFlags TIntervalModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!FLocked && index.column() != ColStepFs) result |= Qt::ItemIsEditable;
  return result;
}

void TIntervalModel::Reload() {
  beginResetModel();
  FPending.reset();
  endResetModel();
}

void TIntervalModel::AppendPending(std::optional<int> shift) {
  beginResetModel();
  FPending = TIntervalRow{shift, std::nullopt, std::nullopt};
  endResetModel();
}

int TIntervalModel::PostPending() {
  if (!FPending) return -1;
  beginResetModel();
  const TIntervalRow row = *FPending;
  FPending.reset();
  const int posted = FTable.Post(row);
  endResetModel();
  return posted;
}

void TIntervalModel::DiscardPending() {
  if (!FPending) return;
  beginResetModel();
  FPending.reset();
  endResetModel();
}

int TIntervalModel::AppendRow(const TIntervalRow &row) {
  beginResetModel();
  const int posted = FTable.Post(row);
  endResetModel();
  return posted;
}

void TIntervalModel::DeleteRow(int row) {
  if (row < 0) return;
  if (row >= FTable.Count()) {
    DiscardPending();
    return;
  }
  beginResetModel();
  FTable.Delete(row);
  endResetModel();
}

void TIntervalModel::SetLocked(bool locked) {
  FLocked = locked;
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void TIntervalGrid::PostEditor() {
  if (state() != EditingState) return;
  if (QWidget *editor = indexWidget(currentIndex())) {
    commitData(editor);
    // The posted row may have moved the current cell, which closed the
    // editor already.
    if (state() == EditingState) closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}
