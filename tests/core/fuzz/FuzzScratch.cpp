// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "FuzzEntry.h"

namespace {
// The folder, removed with its files when the process ends.
struct TScratch {
  QString Path;
  TScratch() {
    const QString base = QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath();
    Path = QString("%1/veltravor-fuzz-%2").arg(base).arg(QCoreApplication::applicationPid());
    QDir().mkpath(Path);
  }
  ~TScratch() { QDir(Path).removeRecursively(); }
};
}  // namespace

QString FuzzScratchFolder() {
  static const TScratch scratch;
  return scratch.Path;
}

QString FuzzScratchFile(const QString &name, const uint8_t *data, size_t size) {
  const QString path = FuzzScratchFolder() + "/" + name;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) __builtin_trap();
  if (file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
    __builtin_trap();
  return path;
}
