// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementTestSupport.h"

#include <QFile>

QString WriteTempFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return QString();
  return path;
}

QByteArray ReadFileBytes(const QString &fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
  return f.readAll();
}
