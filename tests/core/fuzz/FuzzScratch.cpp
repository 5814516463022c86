#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>

#include "FuzzEntry.h"

QString FuzzScratchFolder() {
  static const QString folder = [] {
    const QString base = QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath();
    const QString path =
        QString("%1/veltravor-fuzz-%2").arg(base).arg(QCoreApplication::applicationPid());
    QDir().mkpath(path);
    std::atexit([] { QDir(FuzzScratchFolder()).removeRecursively(); });
    return path;
  }();
  return folder;
}

QString FuzzScratchFile(const QString &name, const uint8_t *data, size_t size) {
  const QString path = FuzzScratchFolder() + "/" + name;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) __builtin_trap();
  if (file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
    __builtin_trap();
  return path;
}
