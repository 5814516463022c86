// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/Dictionary.h"

#include <algorithm>

#include "app/AppError.h"
#include "app/TextFile.h"
#include "localization/TextTable.h"

namespace {
// Blanks in the dictionary's sense: every character up to code 32 (control
// characters included), at either end.
QStringView TrimLow(QStringView text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin].unicode() <= 32) ++begin;
  while (end > begin && text[end - 1].unicode() <= 32) --end;
  return text.sliced(begin, end - begin);
}

bool IsBlank(QStringView text) {
  return TrimLow(text).isEmpty();
}

int DigitValue(QChar c, int base) {
  const char16_t u = c.unicode();
  int d = -1;
  if (u >= u'0' && u <= u'9')
    d = u - u'0';
  else if (u >= u'a' && u <= u'f')
    d = u - u'a' + 10;
  else if (u >= u'A' && u <= u'F')
    d = u - u'A' + 10;
  return d < base ? d : -1;
}

// An optional sign, then decimal digits within the signed 32-bit range, or
// hexadecimal digits after "$", "x" or "0x" (either case) within 32 bits.
bool IsInt32Literal(QStringView t) {
  qsizetype i = 0;
  const qsizetype n = t.size();
  bool negative = false;
  if (i < n && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
  int base = 10;
  if (i < n && t[i] == u'$') {
    base = 16, i += 1;
  } else if (i + 1 < n && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
    base = 16, i += 2;
  } else if (i < n && (t[i] == u'x' || t[i] == u'X')) {
    base = 16, i += 1;
  }
  if (i == n) return false;
  const quint64 limit = base == 16 ? 0xFFFFFFFFull : negative ? 2147483648ull : 2147483647ull;
  quint64 value = 0;
  for (; i < n; ++i) {
    const int d = DigitValue(t[i], base);
    if (d < 0) return false;
    value = value * base + d;
    if (value > limit) return false;
  }
  return true;
}

bool PassesUnchanged(QStringView text) {
  const QStringView t = TrimLow(text);
  if (t.isEmpty() || t == u"-" || t == u"+" || t == u"." || t == u",") return true;
  return IsInt32Literal(t);
}

// Calls BeginBulkUpdate now and EndBulkUpdate on every way out.
class TBulkUpdate {
 public:
  explicit TBulkUpdate(TTextTable &table) : FTable(table) { FTable.BeginBulkUpdate(); }
  ~TBulkUpdate() { FTable.EndBulkUpdate(); }
  TBulkUpdate(const TBulkUpdate &) = delete;
  TBulkUpdate &operator=(const TBulkUpdate &) = delete;

 private:
  TTextTable &FTable;
};
}  // namespace

TDictionary::TDictionary(const QString &name) : FName(TrimLow(name).toString()) {}

// Keys are compared through their simple case folding, kept with each entry,
// so that a search compares plain code units instead of folding every
// character of every key it passes.
QString TDictionary::FoldKey(const QString &key) {
  return key.toCaseFolded();
}

int TDictionary::CompareKeys(const QString &a, const QString &b) {
  return CompareFolded(FoldKey(a), FoldKey(b));
}

int TDictionary::CompareFolded(const QString &a, const QString &b) {
  return QString::compare(a, b, Qt::CaseSensitive);
}

qsizetype TDictionary::LowerBound(const QString &fold) const {
  const auto it = std::lower_bound(
      FItems.begin(), FItems.end(), fold,
      [](const TEntry &entry, const QString &f) { return CompareFolded(entry.Fold, f) < 0; });
  return it - FItems.begin();
}

qsizetype TDictionary::IndexOf(const QString &text) const {
  const QString fold = FoldKey(text);
  const qsizetype i = LowerBound(fold);
  return i < Count() && FItems[i].Fold == fold ? i : -1;
}

QString TDictionary::Lookup(const QString &text, bool forward, bool addMissing) {
  if (PassesUnchanged(text)) return text;
  if (forward) {
    QString fold = FoldKey(text);
    const qsizetype i = LowerBound(fold);
    if (i < Count() && FItems[i].Fold == fold) {
      const QString &value = FItems[i].Value.Value;
      return IsBlank(value) ? text : value;
    }
    if (addMissing) {
      FItems.insert(FItems.begin() + i, TEntry{text, std::move(fold), {}});
      FModified = true;
    }
    return text;
  }
  // Reverse: only a language switch does this, so a linear scan is enough.
  for (const TEntry &entry : FItems)
    if (entry.Value.Value == text) return entry.Key;
  return text;
}

void TDictionary::Merge(std::vector<TEntry> incoming, TMergeRule rule) {
  if (incoming.empty()) return;
  // Sorting first keeps a load linear in the dictionary's size whatever the
  // order of the rows; stable, so that equal keys still merge in row order.
  std::stable_sort(incoming.begin(), incoming.end(), [](const TEntry &a, const TEntry &b) {
    return CompareFolded(a.Fold, b.Fold) < 0;
  });
  std::vector<TEntry> result;
  result.reserve(FItems.size() + incoming.size());
  auto present = FItems.begin();
  for (TEntry &entry : incoming) {
    while (present != FItems.end() && CompareFolded(present->Fold, entry.Fold) <= 0)
      result.push_back(std::move(*present++));
    if (!result.empty() && result.back().Fold == entry.Fold) {
      QString &value = result.back().Value.Value;
      if (!IsBlank(value)) continue;
      if (rule == TMergeRule::File) {
        value = std::move(entry.Value.Value);
        FModified = true;
      } else if (!IsBlank(entry.Value.Value)) {
        value = std::move(entry.Value.Value);
      }
      continue;
    }
    result.push_back(std::move(entry));
    if (rule == TMergeRule::File) FModified = true;
  }
  while (present != FItems.end()) result.push_back(std::move(*present++));
  FItems = std::move(result);
}

void TDictionary::LoadFromFile(const QString &fileName) {
  QStringList lines;
  if (!ReadTextLines(fileName, lines)) return;
  std::vector<TEntry> incoming;
  incoming.reserve(lines.size());
  for (const QString &line : lines) {
    const qsizetype at = line.indexOf(Separator);
    if (at < 0) continue;
    QString key = DecodeText(line.first(at));
    if (IsBlank(key)) continue;
    QString fold = FoldKey(key);
    incoming.push_back(
        TEntry{std::move(key), std::move(fold), {DecodeText(line.sliced(at + Separator.size()))}});
  }
  Merge(std::move(incoming), TMergeRule::File);
}

void TDictionary::SaveToFile(const QString &fileName) {
  QStringList lines;
  lines.reserve(Count());
  for (const TEntry &entry : FItems) {
    // A key holding the separator would read back as a different pair (its
    // tail becoming a translation); such a text cannot be kept in a file.
    if (entry.Key.contains(Separator)) continue;
    lines << EncodeText(entry.Key) + Separator.toString() + EncodeText(entry.Value.Value);
  }
  QString error;
  if (!WriteTextLines(fileName, lines, &error)) throw EAppError(error);
  FModified = false;
}

void TDictionary::Clear() {
  if (!FItems.empty()) FModified = true;
  FItems.clear();
}

void TDictionary::LoadFromTable(TTextTable &table) {
  TBulkUpdate bulk(table);
  const int rows = table.RowCount();
  std::vector<TEntry> incoming;
  incoming.reserve(rows > 0 ? rows : 0);
  for (int row = 0; row < rows; ++row) {
    QString key = table.Key(row);
    // A blank key could never be looked up, and a file would drop it.
    if (IsBlank(key)) continue;
    QString fold = FoldKey(key);
    incoming.push_back(TEntry{std::move(key), std::move(fold), {table.Value(row)}});
  }
  Merge(std::move(incoming), TMergeRule::Table);
}

void TDictionary::SaveToTable(TTextTable &table) const {
  TBulkUpdate bulk(table);
  for (const TEntry &entry : FItems) table.AppendRow(entry.Key, entry.Value.Value);
}

QString TDictionary::EncodeText(const QString &text) {
  if (!text.contains(u'\\') && !text.contains(u'\r') && !text.contains(u'\n')) return text;
  QString result = text;
  result.replace(u'\\', QStringLiteral("\\ "));
  result.replace(u'\r', QStringLiteral("\\r"));
  result.replace(u'\n', QStringLiteral("\\n"));
  return result;
}

QString TDictionary::DecodeText(const QString &text) {
  if (!text.contains(u'\\')) return text;
  // Each step works on the result of the previous one; an encoded text holds
  // a backslash only at the start of "\ ", "\r" or "\n", so the order is safe.
  QString result = text;
  result.replace(QStringLiteral("\\r"), QStringLiteral("\r"), Qt::CaseInsensitive);
  result.replace(QStringLiteral("\\n"), QStringLiteral("\n"), Qt::CaseInsensitive);
  result.replace(QStringLiteral("\\ "), QStringLiteral("\\"));
  return result;
}

QString TDictionary::ExtractKey(const QString &line) {
  const qsizetype at = line.indexOf(Separator);
  return at < 0 ? QString() : line.first(at);
}
