// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "app/Notifier.h"
#include "measurement/ProjectData.h"

// Collects NotifyWarning texts while alive.
class TWarningRecorder : public TNotifier {
 public:
  TWarningRecorder() : FPrevious(SetNotifier(this)) {}
  ~TWarningRecorder() override { SetNotifier(FPrevious); }
  void Warning(const QString &text) override { Texts.append(text); }
  QStringList Texts;

 private:
  TNotifier *FPrevious;
};

// Stores a measured pixel directly (no worker).
inline void SetPixel(TProjectData &data, int index, quint16 signal, float transmission = 1,
                     quint8 ampF = 1, quint8 ampI = 1) {
  TPixel &p = data.Pixels[index];
  p.Signal = signal;
  p.Transmission = transmission;
  p.AmpF = ampF;
  p.AmpI = ampI;
}

// Builds a tagged value stream by hand, in any encoding a writer might use.
class TStreamBuilder {
 public:
  TStreamBuilder &Int8(qint8 v) { return Put(0x02).Raw(&v, 1); }
  TStreamBuilder &Int16(qint16 v) { return Put(0x03).Raw(&v, 2); }
  TStreamBuilder &Int32(qint32 v) { return Put(0x04).Raw(&v, 4); }
  TStreamBuilder &Int64(qint64 v) { return Put(0x13).Raw(&v, 8); }
  TStreamBuilder &Single(float v) { return Put(0x0F).Raw(&v, 4); }
  TStreamBuilder &LString(const QByteArray &s) {
    const qint32 n = s.size();
    return Put(0x0C).Raw(&n, 4).Raw(s.constData(), n);
  }
  TStreamBuilder &String(const QByteArray &s) {
    return Put(0x06).Put(quint8(s.size())).Raw(s.constData(), s.size());
  }
  TStreamBuilder &WString(const QString &s) {
    const qint32 n = s.size();
    return Put(0x12).Raw(&n, 4).Raw(s.utf16(), 2 * n);
  }
  TStreamBuilder &Utf8(const QString &s) {
    const QByteArray b = s.toUtf8();
    const qint32 n = b.size();
    return Put(0x14).Raw(&n, 4).Raw(b.constData(), n);
  }
  TStreamBuilder &Put(quint8 byte) {
    Bytes.append(char(byte));
    return *this;
  }
  TStreamBuilder &Raw(const void *p, qsizetype n) {  // little-endian host
    Bytes.append(static_cast<const char *>(p), n);
    return *this;
  }
  QByteArray Bytes;
};

QString WriteTempFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);
QByteArray ReadFileBytes(const QString &fileName);
