// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
const QString AppFolder = QStringLiteral("veltravor");

QString XdgHome(const char *variable, const QString &fallbackBelowHome) {
  const QString value = qEnvironmentVariable(variable);
  // A relative value is invalid by the XDG rules and is ignored.
  if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
  return QDir::homePath() + "/" + fallbackBelowHome;
}

QString ConfigDir() {
  return XdgHome("XDG_CONFIG_HOME", ".config") + "/" + AppFolder;
}
QString DataDir() {
  return XdgHome("XDG_DATA_HOME", ".local/share") + "/" + AppFolder;
}
QString StateDir() {
  return XdgHome("XDG_STATE_HOME", ".local/state") + "/" + AppFolder;
}

// <prefix>/share when the executable is installed as <prefix>/bin/program.
QString InstalledShareDir() {
  if (!QCoreApplication::instance()) return {};
  QDir dir(QCoreApplication::applicationDirPath());
  if (dir.dirName() != "bin" || !dir.cdUp()) return {};
  return dir.absolutePath() + "/share";
}
}  // namespace

namespace TPaths {
QString SettingsFile() {
  return ConfigDir() + "/veltravor.ini";
}
QString SimulatorSettingsFile() {
  return ConfigDir() + "/veltravor-simulator.ini";
}
QString SimulatorStateFile() {
  return ConfigDir() + "/veltravor-simulator.state";
}

QString SystemSettingsFile() {
  QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
  if (dirs.isEmpty()) dirs = "/etc/xdg";
  for (const QString &dir : dirs.split(':', Qt::SkipEmptyParts)) {
    const QString file = dir + "/" + AppFolder + "/veltravor.ini";
    if (QFileInfo::exists(file)) return file;
  }
  return {};
}

QString EventLogFile() {
  return StateDir() + "/veltravor.log";
}
QString SimulatorEventLogFile() {
  return ConfigDir() + "/veltravor-simulator.log";
}
QString CatalogueFile() {
  return DataDir() + "/veltravor.lng";
}
QString LanguageDir() {
  return DataDir() + "/LANGUAGE";
}

QStringList LanguageDirs() {
  QStringList result{LanguageDir()};
  const QString share = InstalledShareDir();
  if (!share.isEmpty()) {
    const QString installed = share + "/" + AppFolder + "/LANGUAGE";
    if (QFileInfo(installed).isDir()) result << installed;
  }
  return result;
}

QString ManualDir() {
  const QString share = InstalledShareDir();
  if (!share.isEmpty() && QFileInfo(share + "/doc/veltravor").isDir())
    return share + "/doc/veltravor";
  // Installed elsewhere: the system's data folders.
  QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
  if (dirs.isEmpty()) dirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString &dir : dirs.split(':', Qt::SkipEmptyParts)) {
    if (!QDir::isAbsolutePath(dir)) continue;
    const QString doc = QDir::cleanPath(dir) + "/doc/" + AppFolder;
    if (QFileInfo(doc).isDir()) return doc;
  }
  return QStringLiteral(VELTRAVOR_SOURCE_DIR) + "/doc";
}
}  // namespace TPaths
