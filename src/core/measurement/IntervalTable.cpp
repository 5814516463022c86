// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/IntervalTable.h"

#include <algorithm>

#include "app/Messages.h"
#include "measurement/ProjectData.h"

namespace {
// Empty shifts sort before every number.
bool ShiftLess(const TIntervalRow &a, const TIntervalRow &b) {
  if (!a.Shift) return b.Shift.has_value();
  if (!b.Shift) return false;
  return *a.Shift < *b.Shift;
}

// Deletes the first row whose key equals the previous row's key; true when
// one was deleted.
template <typename Same>
bool DeleteFirstRepeat(QList<TIntervalRow> &rows, Same same) {
  for (int i = 1; i < rows.size(); ++i) {
    if (same(rows[i - 1], rows[i])) {
      rows.removeAt(i);
      return true;
    }
  }
  return false;
}

const char *const TooFewRows = "Interval table must contain at least 2 records.";
}  // namespace

int TIntervalTable::Post(TIntervalRow row, int index) {
  if (!row.Step || *row.Step <= 0) row.Step.reset();
  if (row.Step)
    row.StepFs = *row.Step * FsPerStep;
  else
    row.StepFs.reset();

  // Re-sort by shift, following the posted row to its new place.
  int at;
  if (index < 0 || index >= FRows.size()) {
    FRows.append(row);
    at = FRows.size() - 1;
  } else {
    FRows[index] = row;
    at = index;
  }
  QList<int> order(FRows.size());
  for (int i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [this](int a, int b) { return ShiftLess(FRows[a], FRows[b]); });
  QList<TIntervalRow> sorted;
  sorted.reserve(FRows.size());
  int result = -1;
  for (int i = 0; i < order.size(); ++i) {
    if (order[i] == at) result = i;
    sorted.append(FRows[order[i]]);
  }
  FRows = std::move(sorted);
  return result;
}

void TIntervalTable::Delete(int index) {
  if (index >= 0 && index < FRows.size()) FRows.removeAt(index);
}

int TIntervalTable::Find(std::optional<int> shift) const {
  for (int i = 0; i < FRows.size(); ++i)
    if (FRows[i].Shift == shift) return i;
  return -1;
}

int TIntervalTable::Validate(int zero, int currentRow) {
  const int remembered =
      currentRow >= 0 && currentRow < FRows.size() ? FRows[currentRow].Shift.value_or(0) : 0;

  FRows.removeIf([](const TIntervalRow &r) { return !r.Shift && !r.Step; });
  if (FRows.size() < 2) RaiseError(TooFewRows);
  for (const TIntervalRow &r : FRows)
    if (!r.Shift) RaiseError("Shift is not specified.");

  while (DeleteFirstRepeat(FRows, [](const TIntervalRow &a, const TIntervalRow &b) {
    return a.Shift == b.Shift && a.Step == b.Step;
  })) {
  }
  if (FRows.size() < 2) RaiseError(TooFewRows);
  Post(TIntervalRow{FRows.last().Shift, std::nullopt, std::nullopt}, FRows.size() - 1);

  for (int i = 1; i < FRows.size(); ++i)
    if (FRows[i].Shift == FRows[i - 1].Shift) RaiseError("Ambiguous conditions.");

  while (DeleteFirstRepeat(
      FRows, [](const TIntervalRow &a, const TIntervalRow &b) { return a.Step == b.Step; })) {
  }
  if (FRows.size() < 2) RaiseError(TooFewRows);
  Post(TIntervalRow{FRows.last().Shift, std::nullopt, std::nullopt}, FRows.size() - 1);

  CheckLeftLimit(*FRows.first().Shift, zero);
  CheckRightLimit(*FRows.last().Shift, zero);
  return Find(remembered);
}

QString TIntervalTable::GetIntervalText() const {
  QString text;
  for (const TIntervalRow &r : FRows) {
    if (r.Shift) text += QString::number(*r.Shift);
    text += u';';
    if (r.Step) text += QString::number(*r.Step);
    text += u';';
  }
  return text;
}

void TIntervalTable::SetIntervalText(const QString &text) {
  FRows.clear();
  // An empty text leaves the field empty; anything else must be an integer.
  auto convert = [](QStringView s, std::optional<int> &field) {
    const QStringView t = s.trimmed();
    if (t.isEmpty()) {
      field.reset();
      return true;
    }
    bool ok = false;
    const int v = t.toInt(&ok);
    if (ok) field = v;
    return ok;
  };
  qsizetype pos = 0;
  for (;;) {
    const qsizetype first = text.indexOf(u';', pos);
    if (first < 0) break;
    const qsizetype second = text.indexOf(u';', first + 1);
    if (second < 0) break;
    TIntervalRow row;
    if (!convert(QStringView(text).mid(pos, first - pos), row.Shift)) break;
    if (!convert(QStringView(text).mid(first + 1, second - first - 1), row.Step)) break;
    Post(row);
    pos = second + 1;
  }
}
