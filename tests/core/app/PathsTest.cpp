// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TestEnvironment.h"
#include "app/Paths.h"

namespace {
// Sets an environment variable for one scope and restores it afterwards.
class TScopedEnv {
 public:
  TScopedEnv(const char *name, const QByteArray &value)
      : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name)) {
    qputenv(name, value);
  }
  ~TScopedEnv() {
    if (FHad)
      qputenv(FName, FOld);
    else
      qunsetenv(FName);
  }

 private:
  const char *FName;
  bool FHad;
  QByteArray FOld;
};
}  // namespace

TEST(Paths, EveryWrittenFileLiesBelowTheXdgFoldersOfTheTests) {
  const QString root = TestRoot();
  const struct {
    QString path, expected;
  } cases[] = {
      {TPaths::SettingsFile(), root + "/config/veltravor/veltravor.ini"},
      {TPaths::SimulatorSettingsFile(), root + "/config/veltravor/veltravor-simulator.ini"},
      {TPaths::EventLogFile(), root + "/state/veltravor/veltravor.log"},
      {TPaths::SimulatorEventLogFile(), root + "/config/veltravor/veltravor-simulator.log"},
      {TPaths::CatalogueFile(), root + "/data/veltravor/veltravor.lng"},
      {TPaths::LanguageDir(), root + "/data/veltravor/LANGUAGE"},
  };
  for (const auto &c : cases) EXPECT_EQ(c.path, c.expected);
  ASSERT_FALSE(TPaths::LanguageDirs().isEmpty());
  EXPECT_EQ(TPaths::LanguageDirs().front(), TPaths::LanguageDir());
}

TEST(Paths, ARelativeXdgValueIsIgnored) {
  TScopedEnv config("XDG_CONFIG_HOME", "relative/config");
  TScopedEnv state("XDG_STATE_HOME", "");
  EXPECT_EQ(TPaths::SettingsFile(), QDir::homePath() + "/.config/veltravor/veltravor.ini");
  EXPECT_EQ(TPaths::EventLogFile(), QDir::homePath() + "/.local/state/veltravor/veltravor.log");
}

TEST(Paths, TheAdministratorsSettingsComeFromTheFirstConfigFolderHoldingThem) {
  const QString first = TestRoot() + "/xdg-a", second = TestRoot() + "/xdg-b";
  TScopedEnv dirs("XDG_CONFIG_DIRS", (first + ":" + second).toUtf8());
  EXPECT_EQ(TPaths::SystemSettingsFile(), "");

  QDir().mkpath(second + "/veltravor");
  QFile file(second + "/veltravor/veltravor.ini");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_EQ(TPaths::SystemSettingsFile(), second + "/veltravor/veltravor.ini");
}
