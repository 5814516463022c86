// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FilterTable.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Messages.h"

TFilterRecords DefaultFilterTable() { return {TFilterRecord{1.0, 0}}; }

QString FormatGeneralFloat(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  if (value == 0) return QStringLiteral("0");

  // 15 significant digits, rounded once; the exponent is that of the rounded
  // value, so 9.99999999999999999E-5 becomes 0.0001 and not 10E-5.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  const char *e = std::strchr(buffer, 'e');
  const int exponent = std::atoi(e + 1);
  QString digits = QString::fromLatin1(buffer, 1) + QString::fromLatin1(buffer + 2, int(e - buffer - 2));
  while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);

  QString text;
  if (exponent < -4 || exponent >= 15) {
    text = digits.left(1);
    if (digits.size() > 1) text += u'.' + digits.mid(1);
    text += u'E' + QString::number(exponent);
  } else if (exponent < 0) {
    text = QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
  } else if (digits.size() <= exponent + 1) {
    text = digits + QString(exponent + 1 - digits.size(), u'0');
  } else {
    text = digits.left(exponent + 1) + u'.' + digits.mid(exponent + 1);
  }
  if (value < 0) text.prepend(u'-');
  return text;
}

QString FilterTableToText(const TFilterRecords &table) {
  QString text;
  for (const TFilterRecord &r : table)
    text += FormatGeneralFloat(r.Transmission) + u';' + QString::number(r.Position) + u';';
  return text;
}

namespace {
// A number of the table text: "." as decimal separator whatever the locale,
// blanks around it and an exponent accepted, nothing else (no group separator,
// no infinity or NaN).
bool ParseFraction(const QString &text, double &value) {
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  value = c.toDouble(text.trimmed(), &ok);
  return ok && std::isfinite(value);
}

bool ParsePosition(const QString &text, int32_t &value) {
  bool ok = false;
  value = text.trimmed().toInt(&ok, 10);
  return ok;
}
}  // namespace

TFilterRecords ParseFilterTable(const QString &text) {
  TFilterRecords table;
  qsizetype start = 0;
  qsizetype separator = text.indexOf(u';');
  while (separator >= 0) {
    const qsizetype next = text.indexOf(u';', separator + 1);
    TFilterRecord record;
    // A pair without its closing ";" leaves an empty position, which does not parse.
    const QString position = next < 0 ? QString() : text.mid(separator + 1, next - separator - 1);
    if (!ParseFraction(text.mid(start, separator - start), record.Transmission) ||
        !ParsePosition(position, record.Position))
      return DefaultFilterTable();
    table.append(record);
    start = next + 1;
    separator = text.indexOf(u';', start);
  }
  if (table.isEmpty()) return DefaultFilterTable();
  return table;
}

void TFilterTable::CheckRecord(const TFilterRow &row) {
  const double transmission = row.Transmission.value_or(0.0);
  if (transmission > 100) RaiseError("Transmission can not exceed 100%.");
  // The negated test also refuses NaN.
  if (!(transmission > 0)) RaiseError("Transmission must be positive.");
  if (!row.Shift) RaiseError("Filter wheel position is not specified.");
  if (*row.Shift < 0) RaiseError("Filter wheel position must be nonnegative.");
}

void LoadFilterTable(TFilterTable &data, const TFilterRecords &device) {
  data.Rows.clear();
  data.Current = -1;
  for (qsizetype i = 0; i < device.size(); ++i) {
    TFilterRow row;
    row.Id = int(i) + 1;
    row.Transmission = device[i].Transmission * 100;
    row.Shift = device[i].Position;
    try {
      TFilterTable::CheckRecord(row);
    } catch (...) {
      data.Current = data.Rows.isEmpty() ? -1 : 0;
      throw;
    }
    data.Rows.append(row);
  }
  data.Current = data.Rows.isEmpty() ? -1 : 0;
}

TFilterRecords StoreFilterTable(const TFilterTable &data) {
  TFilterRecords table;
  table.reserve(data.Rows.size());
  for (const TFilterRow &row : data.Rows)
    table.append(TFilterRecord{row.Transmission.value_or(0.0) / 100, row.Shift.value_or(0)});
  return table;
}

void CheckFilterTable(TFilterTable &data) {
  if (data.Rows.isEmpty()) RaiseError("Filter calibration table must contain at least 1 record.");
  for (qsizetype i = 1; i < data.Rows.size(); ++i) {
    const TFilterRow &previous = data.Rows[i - 1];
    const TFilterRow &row = data.Rows[i];
    if (!(row.Transmission.value_or(0.0) < previous.Transmission.value_or(0.0))) {
      data.Current = int(i);
      RaiseError("Transmission sequence must be monotone decreasing.");
    }
    if (!(row.Shift.value_or(0) > previous.Shift.value_or(0))) {
      data.Current = int(i);
      RaiseError("Position sequence must be monotone increasing.");
    }
  }
}

QList<int> RenumberFilterTable(TFilterTable &data) {
  // Remember the current row by its place before sorting.
  QList<int> order(data.Rows.size());
  for (qsizetype i = 0; i < order.size(); ++i) order[i] = int(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return data.Rows[a].Transmission.value_or(0.0) > data.Rows[b].Transmission.value_or(0.0);
  });
  QList<TFilterRow> sorted;
  sorted.reserve(order.size());
  int current = -1;
  for (qsizetype i = 0; i < order.size(); ++i) {
    sorted.append(data.Rows[order[i]]);
    sorted.back().Id = int(i) + 1;
    if (order[i] == data.Current) current = int(i);
  }
  data.Rows = std::move(sorted);
  data.Current = current;
  return order;
}
