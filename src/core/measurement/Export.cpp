#include "measurement/Export.h"

#include <QDir>
#include <QReadLocker>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstdlib>

#include "app/AppError.h"
#include "measurement/ProjectData.h"

QByteArray FormatWideScientific(long double value) {
  if (value == 0) value = 0;  // no "-" for a negative zero
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, 14);
  if (res.ec != std::errc() || !std::isfinite(value))
    return QByteArray(value < 0 ? "-" : " ") + QByteArray(buf, res.ptr - buf).toUpper();
  // buf: d.dddddddddddddde±XX[XX]
  const char *e = std::find(buf, res.ptr, 'e');
  int exponent = std::abs(std::atoi(e + 1));
  char out[24];
  out[0] = value < 0 ? '-' : ' ';
  std::copy(static_cast<const char *>(buf), e, out + 1);  // 16 characters
  char *q = out + 1 + (e - buf);
  *q++ = 'E';
  *q++ = e[1] == '-' ? '-' : '+';
  for (int k = 3; k >= 0; --k, exponent /= 10) q[k] = char('0' + exponent % 10);
  q += 4;
  return QByteArray(out, q - out);
}

QByteArray ExportText(const TProjectData &data, int zero) {
  QByteArray out;
  out.reserve(data.PixelCount * 96 + 64);
  out += "delay, fsec\tcontrast\tsignal\tampF\tampI\ttransmission\r\n";
  // Full precision of the platform's long double, not single: the contrast of
  // the peak shows the single rounding of MaxValue.
  const long double m = data.MaxValue > 0 ? (long double)data.MaxValue : 1.0L;
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &p = data.Pixels[i];
    if (!p.Measured()) continue;
    const long double delay = ((long double)i - zero) * 16.6666666L;
    const long double contrast =
        (long double)p.Signal / p.AmpF / p.AmpI / (long double)p.Transmission / m;
    out += FormatWideScientific(delay);
    out += '\t';
    out += FormatWideScientific(contrast);
    out += '\t';
    out += QByteArray::number(p.Signal);
    out += '\t';
    out += QByteArray::number(p.AmpF);
    out += '\t';
    out += QByteArray::number(p.AmpI);
    out += '\t';
    out += FormatWideScientific((long double)p.Transmission * 100);
    out += "\r\n";
  }
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
