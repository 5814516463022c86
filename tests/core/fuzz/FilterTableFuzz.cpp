// SPDX-License-Identifier: GPL-3.0-or-later
// The filter table's text form (settings key "filterTable", and what the
// operator pastes): any text gives a table whose text reads back to itself,
// and the rules of the editing form judge it without crashing.
#include "FuzzEntry.h"
#include "app/AppError.h"
#include "settings/FilterTable.h"

VELTRAVOR_FUZZ_TARGET(FilterTable) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
  const TFilterRecords records = ParseFilterTable(text);
  FUZZ_CHECK(!records.isEmpty());
  const QString once = FilterTableToText(records);
  const QString twice = FilterTableToText(ParseFilterTable(once));
  FUZZ_CHECK(once == twice);
  TFilterTable table;
  try {
    LoadFilterTable(table, records);
    CheckFilterTable(table);
    // A table the rules accept is a usable calibration.
    const TFilterRecords stored = StoreFilterTable(table);
    for (qsizetype i = 0; i < stored.size(); ++i) {
      FUZZ_CHECK(stored[i].Transmission > 0 && stored[i].Transmission <= 1);
      FUZZ_CHECK(stored[i].Position >= 0);
      if (i > 0) FUZZ_CHECK(stored[i].Position > stored[i - 1].Position);
    }
  } catch (const EAppError &) {
  }
  return 0;
}
