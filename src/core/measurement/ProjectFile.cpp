// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadLocker>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

#include "app/AppError.h"
#include "app/Messages.h"
#include "app/Notifier.h"
#include "app/TextFile.h"
#include "measurement/ProjectData.h"

const char *const StreamReadError = "Stream read error";
const char *const InvalidPropertyValue = "Invalid property value";

namespace {
enum : quint8 {
  TagInt8 = 0x02,
  TagInt16 = 0x03,
  TagInt32 = 0x04,
  TagString = 0x06,
  TagLString = 0x0C,
  TagSingle = 0x0F,
  TagWString = 0x12,
  TagInt64 = 0x13,
  TagUtf8String = 0x14,
};

QString NativeName(const QString &fileName) {
  return QDir::toNativeSeparators(fileName);
}

QString FromFileLineBreaks(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(u'\r', u'\n');
  return text;
}
}  // namespace

// ---------------------------------------------------------------- reading

void TValueReader::InvalidValue() {
  throw EAppError(QString::fromLatin1(InvalidPropertyValue));
}

const char *TValueReader::Take(qint64 bytes) {
  if (bytes < 0 || bytes > Remaining()) throw EAppError(QString::fromLatin1(StreamReadError));
  const char *p = FData + FPos;
  FPos += bytes;
  return p;
}

quint8 TValueReader::ReadTag() {
  return quint8(*Take(1));
}

qint32 TValueReader::ReadInteger() {
  switch (ReadTag()) {
    case TagInt8:
      return qint8(*Take(1));
    case TagInt16:
      return qFromLittleEndian<qint16>(Take(2));
    case TagInt32:
      return qFromLittleEndian<qint32>(Take(4));
    default:
      InvalidValue();
  }
}

float TValueReader::ReadSingle() {
  switch (ReadTag()) {
    case TagInt8:
      return float(qint8(*Take(1)));
    case TagInt16:
      return float(qFromLittleEndian<qint16>(Take(2)));
    case TagInt32:
      return float(qFromLittleEndian<qint32>(Take(4)));
    case TagInt64:
      return float(qFromLittleEndian<qint64>(Take(8)));
    case TagSingle: {
      const quint32 bits = qFromLittleEndian<quint32>(Take(4));
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    default:
      InvalidValue();
  }
}

QString TValueReader::ReadText() {
  switch (ReadTag()) {
    case TagString: {
      const qint64 length = quint8(*Take(1));
      return DecodeText8(QByteArray(Take(length), length));
    }
    case TagLString: {
      const qint64 length = qFromLittleEndian<quint32>(Take(4));
      return DecodeText8(QByteArray(Take(length), length));
    }
    case TagUtf8String: {
      const qint64 length = qFromLittleEndian<quint32>(Take(4));
      return QString::fromUtf8(Take(length), length);
    }
    case TagWString: {
      const qint64 units = qFromLittleEndian<quint32>(Take(4));
      const char *p = Take(units * 2);
      QString text(units, Qt::Uninitialized);
      qFromLittleEndian<quint16>(p, units, text.data());
      return text;
    }
    default:
      InvalidValue();
  }
}

// ---------------------------------------------------------------- writing

void TValueWriter::WriteInteger(qint32 value) {
  char bytes[5];
  int n;
  if (value >= -128 && value <= 127) {
    bytes[0] = char(TagInt8);
    bytes[1] = char(qint8(value));
    n = 2;
  } else if (value >= -32768 && value <= 32767) {
    bytes[0] = char(TagInt16);
    qToLittleEndian<qint16>(qint16(value), bytes + 1);
    n = 3;
  } else {
    bytes[0] = char(TagInt32);
    qToLittleEndian<qint32>(value, bytes + 1);
    n = 5;
  }
  FOut.append(bytes, n);
}

void TValueWriter::WriteSingle(float value) {
  char bytes[5];
  bytes[0] = char(TagSingle);
  quint32 bits;
  std::memcpy(&bits, &value, sizeof bits);
  qToLittleEndian<quint32>(bits, bytes + 1);
  FOut.append(bytes, 5);
}

void TValueWriter::WriteText(const QString &text) {
  const QByteArray bytes = text.toUtf8();
  char head[5];
  head[0] = char(TagLString);
  qToLittleEndian<quint32>(quint32(bytes.size()), head + 1);
  FOut.append(head, 5);
  FOut.append(bytes);
}

QByteArray EncodeProject(const TProjectData &data) {
  QByteArray out;
  int count = 0;
  for (const TPixel &p : data.Pixels) count += p.Measured() ? 1 : 0;
  out.reserve(64 + data.Note.size() * 3 + count * 16);
  TValueWriter w(out);
  w.WriteInteger(data.ZeroPosition);
  w.WriteInteger(data.Left);
  w.WriteInteger(data.Step);
  w.WriteInteger(data.Right);
  w.WriteInteger(data.Interval.Count());
  for (const TIntervalRow &row : data.Interval.Rows()) {
    w.WriteInteger(row.Shift.value_or(0));
    w.WriteInteger(row.Step.value_or(0));
  }
  QString note = FromFileLineBreaks(data.Note);
  note.replace(u'\n', QLatin1String("\r\n"));
  w.WriteText(note);
  w.WriteInteger(count);
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &p = data.Pixels[i];
    if (!p.Measured()) continue;
    w.WriteInteger(i);
    w.WriteInteger(p.Signal);
    w.WriteSingle(p.Transmission);
    w.WriteInteger(p.AmpF);
    w.WriteInteger(p.AmpI);
  }
  return out;
}

void DecodeProject(const char *data, qint64 size,
                   const std::function<void(const TProjectHeader &)> &onHeader,
                   const std::function<void(const TStoredPixel &)> &onPixel) {
  TValueReader r(data, size);
  TProjectHeader h;
  h.ZeroPosition = r.ReadInteger();
  h.Left = r.ReadInteger();
  h.Step = r.ReadInteger();
  h.Right = r.ReadInteger();
  const qint32 rows = r.ReadInteger();
  // Counts are not trusted ahead: entries are read one by one, so a file cut
  // short delivers every complete row and pixel before the cut, then raises.
  // Nothing beyond the end is read, and a huge count costs no more than the
  // bytes that are there.
  try {
    for (qint32 i = 0; i < rows; ++i) {
      const qint32 shift = r.ReadInteger();
      const qint32 step = r.ReadInteger();
      h.Rows.append({shift, step});
    }
    h.Note = FromFileLineBreaks(r.ReadText());
  } catch (...) {
    onHeader(h);
    throw;
  }
  onHeader(h);
  const qint32 pixels = r.ReadInteger();
  for (qint32 i = 0; i < pixels; ++i) {
    TStoredPixel p;
    p.Index = r.ReadInteger();
    p.Signal = r.ReadInteger();
    p.Transmission = r.ReadSingle();
    p.AmpF = r.ReadInteger();
    p.AmpI = r.ReadInteger();
    onPixel(p);
  }
}

// ---------------------------------------------------------------- files

TFileBytes::TFileBytes(const QString &fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw EAppError(QStringLiteral("Cannot open file \"%1\". %2")
                        .arg(NativeName(fileName), file.errorString()));
  FBytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    throw EAppError(QStringLiteral("Cannot read file \"%1\". %2")
                        .arg(NativeName(fileName), file.errorString()));
}

void SaveProject(TProjectData &data, const QString &fileName) {
  QSaveFile file(fileName);
  {
    QReadLocker lock(&data.DataLock);
    const QByteArray bytes = EncodeProject(data);
    if (!file.open(QIODevice::WriteOnly))
      throw EAppError(QStringLiteral("Cannot create file \"%1\". %2")
                          .arg(NativeName(fileName), file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
      throw EAppError(QStringLiteral("Cannot write file \"%1\". %2")
                          .arg(NativeName(fileName), file.errorString()));
    // Cleared before the worker can store the next point, so a point stored
    // after this save still marks the project modified.
    data.Modified = false;
  }
  data.ProjectName = QFileInfo(fileName).completeBaseName();
  data.ProjectFileName = fileName;
}

qint64 LoadProjectBytes(TProjectData &data, const char *bytes, qint64 size, int zero) {
  std::fill(data.Pixels.begin(), data.Pixels.end(), TPixel{});
  qint64 shift = 0;
  qint64 deleted = 0;
  auto finish = [&] {
    data.ZeroPosition = zero;
    data.RecomputeStatistics();
  };
  try {
    DecodeProject(
        bytes, size,
        [&](const TProjectHeader &h) {
          shift = qint64(zero) - h.ZeroPosition;
          data.Left = h.Left;
          data.Step = h.Step;
          data.Right = h.Right;
          data.Interval.Clear();
          for (const auto &row : h.Rows) data.Interval.Post({row.first, row.second, {}});
          data.Note = h.Note;
        },
        [&](const TStoredPixel &p) {
          const qint64 index = p.Index + shift;
          if (index < 0 || index > MaxPixel) {
            ++deleted;
            return;
          }
          TPixel &px = data.Pixels[index];
          px.Signal = quint16(p.Signal);
          px.Transmission = p.Transmission;
          px.AmpF = quint8(p.AmpF);
          px.AmpI = quint8(p.AmpI);
          px.Plotted = false;
        });
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return deleted;
}

int LoadProject(TProjectData &data, const QString &fileName, int zero) {
  const TFileBytes bytes(fileName);
  const qint64 deleted = LoadProjectBytes(data, bytes.Data(), bytes.Size(), zero);
  data.ProjectName = QFileInfo(fileName).completeBaseName();
  data.ProjectFileName = fileName;
  data.Modified = false;
  if (deleted > 0)
    NotifyWarning(TranslateFmt(
        "Some pixels (%) were deleted due to shift of delay line zero position.", {deleted}));
  return int(std::min<qint64>(deleted, std::numeric_limits<int>::max()));
}
