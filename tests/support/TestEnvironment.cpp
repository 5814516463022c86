// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> Root;  // removed when the process exits
}

void SetUpTestEnvironment() {
  if (Root) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  Root = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/veltravor-test-XXXXXX");
  const QString base = Root->path();
  for (const char *name : {"config", "data", "state", "runtime"}) QDir().mkpath(base + "/" + name);
  QFile::setPermissions(base + "/runtime",
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", (base + "/runtime").toUtf8());
  qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
  qputenv("XDG_STATE_HOME", (base + "/state").toUtf8());
  qputenv("XDG_CONFIG_DIRS", (base + "/etc-xdg").toUtf8());
}

QString TestRoot() {
  SetUpTestEnvironment();
  return Root->path();
}
