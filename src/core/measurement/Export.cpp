// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Export.h"

#include <QDir>
#include <QReadLocker>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "app/AppError.h"
#include "measurement/ProjectData.h"

namespace {
// Exact powers of ten in long double (5^27 still fits the 64-bit mantissa).
constexpr long double Pow10[28] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
    1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L,
    1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

// The 15 significant digits of a > 0 and its decimal exponent, by scaling
// with an exact power of ten: one rounding of at most 2^-13 units of the last
// digit, so the result is the correctly rounded one unless the value lies
// within 1e-3 units of a rounding midpoint; then (and for exponents beyond the
// table) false, and the caller takes the exact but slower library conversion.
bool ScaledDigits(long double a, quint64 &digits, int &exponent) {
  // Decimal exponent from the binary one: exact or one too low.
  int e = (std::ilogb(a) * 78913) >> 18;  // floor(b * log10(2)) for |b| < 16384
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int k = 14 - e;
    if (k > 27 || k < -27) return false;
    const long double s = k >= 0 ? a * Pow10[k] : a / Pow10[-k];
    if (s >= 1e15L) {
      ++e;
      continue;
    }
    if (s < 1e14L) {
      --e;
      continue;
    }
    const quint64 whole = quint64(s);  // s is positive: truncation is the floor
    const long double frac = s - (long double)whole;
    if (std::fabs(frac - 0.5L) < 1e-3L) return false;
    digits = whole + (frac > 0.5L ? 1 : 0);
    if (digits == 1000000000000000ULL) {
      digits = 100000000000000ULL;
      ++e;
    }
    exponent = e;
    return true;
  }
  return false;
}

// The same from the library: exact, about fifty times slower.
void LibraryDigits(long double a, quint64 &digits, int &exponent) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
  const char *e = std::find(buf, res.ptr, 'e');
  digits = 0;
  for (const char *p = buf; p < e; ++p)
    if (*p != '.') digits = digits * 10 + quint64(*p - '0');
  // The text is not terminated: read the exponent within it only.
  const char *x = e + 1 < res.ptr && e[1] == '+' ? e + 2 : e + 1;
  std::from_chars(x, res.ptr, exponent);
}

// Writes the 23 characters of value at out (no terminator); returns the end.
// A damaged pixel can give a value that is not finite: " NAN", " INF", "-INF".
char *WriteWideScientific(char *out, long double value) {
  static const char zero[] = " 0.00000000000000E+0000";
  if (value == 0) return std::copy(zero, zero + 23, out);  // also -0: no "-"
  if (!std::isfinite(value)) {
    const char *text = value != value ? " NAN" : value < 0 ? "-INF" : " INF";
    return std::copy(text, text + 4, out);
  }
  const long double a = std::fabs(value);
  quint64 digits = 0;
  int exponent = 0;
  if (!ScaledDigits(a, digits, exponent)) LibraryDigits(a, digits, exponent);
  char text[20] = {};  // the 15 digits
  std::to_chars(text, text + sizeof text, digits);
  out[0] = value < 0 ? '-' : ' ';
  out[1] = text[0];
  out[2] = '.';
  std::copy(text + 1, text + 15, out + 3);
  out[17] = 'E';
  out[18] = exponent < 0 ? '-' : '+';
  int x = std::abs(exponent);
  for (int k = 22; k >= 19; --k, x /= 10) out[k] = char('0' + x % 10);
  return out + 23;
}

char *WriteInteger(char *out, int value) { return std::to_chars(out, out + 12, value).ptr; }
}  // namespace

QByteArray FormatWideScientific(long double value) {
  char out[23];
  return QByteArray(out, WriteWideScientific(out, value) - out);
}

QByteArray ExportText(const TProjectData &data, int zero) {
  static const char header[] = "delay, fsec\tcontrast\tsignal\tampF\tampI\ttransmission\r\n";
  constexpr qsizetype MaxLine = 3 * 23 + 3 * 11 + 5 + 2;
  int count = 0;
  for (const TPixel &p : data.Pixels) count += p.Measured() ? 1 : 0;
  QByteArray out(qsizetype(sizeof header - 1) + count * MaxLine, Qt::Uninitialized);
  char *q = std::copy(header, header + sizeof header - 1, out.data());
  // Full precision of the platform's long double, not single: the contrast of
  // the peak shows the single rounding of MaxValue.
  const long double m = data.MaxValue > 0 ? (long double)data.MaxValue : 1.0L;
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &p = data.Pixels[i];
    if (!p.Measured()) continue;
    q = WriteWideScientific(q, ((long double)i - zero) * 16.6666666L);
    *q++ = '\t';
    q = WriteWideScientific(q, (long double)p.Signal / p.AmpF / p.AmpI / p.Transmission / m);
    *q++ = '\t';
    q = WriteInteger(q, p.Signal);
    *q++ = '\t';
    q = WriteInteger(q, p.AmpF);
    *q++ = '\t';
    q = WriteInteger(q, p.AmpI);
    *q++ = '\t';
    q = WriteWideScientific(q, (long double)p.Transmission * 100);
    *q++ = '\r';
    *q++ = '\n';
  }
  out.truncate(q - out.constData());
  return out;
}

void ExportData(const TProjectData &data, const QString &fileName, int zero) {
  QByteArray text;
  {
    QReadLocker lock(&data.DataLock);
    text = ExportText(data, zero);
  }
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw EAppError(QStringLiteral("Cannot create file \"%1\". %2")
                        .arg(QDir::toNativeSeparators(fileName), file.errorString()));
  if (file.write(text) != text.size() || !file.commit())
    throw EAppError(QStringLiteral("Cannot write file \"%1\". %2")
                        .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}
