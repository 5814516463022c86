// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// A table of text pairs (English text, translation) that a dictionary can be
// copied into and out of. The translation editor's model implements it; tests
// use a plain vector.
class TTextTable {
 public:
  virtual ~TTextTable() = default;

  virtual int RowCount() const = 0;
  virtual QString Key(int row) const = 0;
  virtual QString Value(int row) const = 0;
  // Appends one row at the end (a posted record).
  virtual void AppendRow(const QString &key, const QString &value) = 0;

  // Bracket a bulk transfer: a model detaches its views here and tells its
  // own bookkeeping that the rows come from a load, not from the operator.
  // Always called in pairs, also when the transfer is left by an exception.
  virtual void BeginBulkUpdate() {}
  virtual void EndBulkUpdate() {}
};
