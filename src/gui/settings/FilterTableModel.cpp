// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FilterTableModel.h"

#include <QLocale>

#include <cmath>

#include "app/AppError.h"
#include "app/Messages.h"

TFilterTableModel::TFilterTableModel(QObject *parent) : QAbstractTableModel(parent) {}

QString TFilterTableModel::TransmissionText(double percent) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  QString text = locale.toString(percent, 'f', 8);
  const QString point = locale.decimalPoint();
  if (text.contains(point)) {
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(point)) text.chop(point.size());
  }
  if (text == "-0") text = "0";
  return text;
}

QString TFilterTableModel::EditText(double percent) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(percent, 'f', QLocale::FloatingPointShortest);
}

const TFilterRow &TFilterTableModel::RowAt(int row) const {
  return row == FEditRow ? FBuffer : FTable.Rows[row];
}

TFilterTable TFilterTableModel::PostedTable() const {
  TFilterTable posted = FTable;
  if (IsEditing() && FAppended) {
    posted.Rows.removeAt(FEditRow);
    if (posted.Current >= posted.Rows.size()) posted.Current = int(posted.Rows.size()) - 1;
  }
  return posted;
}

void TFilterTableModel::Load(const TFilterRecords &device) {
  beginResetModel();
  FEditRow = -1;
  FAppended = false;
  try {
    LoadFilterTable(FTable, device);
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

void TFilterTableModel::PostPending() {
  if (!IsEditing()) return;
  if (FAppended && !FBuffer.Transmission && !FBuffer.Shift) {
    Cancel();
    return;
  }
  Post();
}

TFilterRecords TFilterTableModel::Store() {
  PostPending();
  return StoreFilterTable(PostedTable());
}

void TFilterTableModel::Check() {
  try {
    PostPending();
  } catch (...) {
    emit CurrentRowRequested(FEditRow);  // the row to correct, still in editing
    throw;
  }
  TFilterTable posted = PostedTable();
  try {
    CheckFilterTable(posted);
  } catch (...) {
    // The row that broke a rule is a posted row, so its index holds here too.
    if (!posted.Rows.isEmpty()) FTable.Current = posted.Current;
    emit CurrentRowRequested(FTable.Current);
    throw;
  }
}

void TFilterTableModel::SetCurrentRow(int row) {
  FTable.Current = row >= 0 && row < FTable.Rows.size() ? row : (FTable.Rows.isEmpty() ? -1 : 0);
}

int TFilterTableModel::Append() {
  if (IsEditing() && FAppended) return FEditRow;  // one new row at a time
  // An edited row is posted before the new one starts, as a data set does; a
  // rule it breaks raises here and keeps it in editing.
  if (IsEditing()) Post();
  const int row = int(FTable.Rows.size());
  beginInsertRows(QModelIndex(), row, row);
  FTable.Rows.append(TFilterRow{});
  endInsertRows();
  FEditRow = row;
  FAppended = true;
  FBuffer = TFilterRow{};
  FTable.Current = row;
  return row;
}

int TFilterTableModel::Post() {
  if (!IsEditing()) return -1;
  CheckFilterRecord(FBuffer);  // raises; the row stays in editing
  const int row = FEditRow;
  FTable.Rows[row] = FBuffer;
  FEditRow = -1;
  FAppended = false;
  FTable.Current = row;
  Resort();
  emit Posted(FTable.Current);
  emit CurrentRowRequested(FTable.Current);
  return FTable.Current;
}

bool TFilterTableModel::TryPost(QString *message) {
  try {
    Post();
    return true;
  } catch (const std::exception &e) {
    if (message) *message = ExceptionMessage(e);
    return false;
  }
}

void TFilterTableModel::Cancel() {
  if (!IsEditing()) return;
  const int row = FEditRow;
  FEditRow = -1;
  if (FAppended) {
    FAppended = false;
    beginRemoveRows(QModelIndex(), row, row);
    FTable.Rows.removeAt(row);
    endRemoveRows();
    SetCurrentRow(row - 1);
  } else {
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
  }
}

void TFilterTableModel::Delete(int row) {
  if (row < 0 || row >= FTable.Rows.size()) return;
  if (IsEditing()) {
    // Deleting drops an edit in progress; an appended row is simply gone.
    const bool appendedRow = FAppended && row == FEditRow;
    Cancel();
    if (appendedRow) return;
  }
  beginRemoveRows(QModelIndex(), row, row);
  FTable.Rows.removeAt(row);
  endRemoveRows();
  SetCurrentRow(row < FTable.Rows.size() ? row : row - 1);
  Resort();
  emit Deleted();
}

void TFilterTableModel::Resort() {
  emit layoutAboutToBeChanged();
  const QList<int> oldRowOf = RenumberFilterTable(FTable);
  // Views keep their current and selected cells on the same records.
  QList<int> newRowOf(oldRowOf.size());
  for (qsizetype i = 0; i < oldRowOf.size(); ++i) newRowOf[oldRowOf[i]] = int(i);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex &i : before)
    after << (i.row() < newRowOf.size() ? index(newRowOf[i.row()], i.column()) : QModelIndex());
  changePersistentIndexList(before, after);
  emit layoutChanged();
  if (rowCount() > 0) emit dataChanged(index(0, colId), index(rowCount() - 1, colId));
}

int TFilterTableModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : int(FTable.Rows.size());
}

int TFilterTableModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant TFilterTableModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= FTable.Rows.size()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) {
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  const TFilterRow &row = RowAt(index.row());
  // Cells are edited as text, so that an editor never rounds a small
  // transmission and an empty cell can be entered.
  switch (index.column()) {
    case colId:
      return row.Id > 0 ? QString::number(row.Id) : QString();
    case colTransmission:
      if (!row.Transmission) return QString();
      // The grid shows eight decimals; the editor gets every digit, since an
      // editor writes its text back even when the operator changed nothing.
      return role == Qt::EditRole ? EditText(*row.Transmission)
                                  : TransmissionText(*row.Transmission);
    case colShift:
      return row.Shift ? QString::number(*row.Shift) : QString();
    default:
      return {};
  }
}

bool TFilterTableModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= FTable.Rows.size()) return false;
  if (index.column() != colTransmission && index.column() != colShift) return false;
  if (IsEditing() && FEditRow != index.row()) return false;

  const QString text = value.toString().trimmed();
  TFilterRow edited = IsEditing() ? FBuffer : FTable.Rows[index.row()];
  if (index.column() == colTransmission) {
    if (text.isEmpty()) {
      edited.Transmission.reset();
    } else {
      bool ok = false;
      double percent = QLocale().toDouble(text, &ok);
      if (!ok) percent = QLocale::c().toDouble(text, &ok);
      if (!ok || !std::isfinite(percent)) return false;
      edited.Transmission = percent;
    }
  } else {
    if (text.isEmpty()) {
      edited.Shift.reset();
    } else {
      bool ok = false;
      const int shift = QLocale().toInt(text, &ok);
      if (!ok) return false;
      edited.Shift = shift;
    }
  }
  FBuffer = edited;
  FEditRow = index.row();
  FTable.Current = FEditRow;
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
  return true;
}

Qt::ItemFlags TFilterTableModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() != colId) f |= Qt::ItemIsEditable;
  return f;
}

QVariant TFilterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case colId:
      return QStringLiteral("  ");
    case colTransmission:
      return Translate("Transmission, %");
    case colShift:
      return Translate("Position");
    default:
      return {};
  }
}
