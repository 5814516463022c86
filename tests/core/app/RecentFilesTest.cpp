// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/RecentFiles.h"
#include "app/UserManual.h"

TEST(RecentFiles, TextFormSplitsAtEveryStarAndDropsTheTail) {
  const struct {
    const char *text;
    QStringList files;
  } cases[] = {
      {"", {}},
      {"a*b**c", {"a", "b", ""}},
      {"*", {""}},
      {"no star at all", {}},
      {"/p/1.vtp*/p/2.vtp*/p/3.vtp*/p/4.vtp*/p/5.vtp*/p/6.vtp*",
       {"/p/1.vtp", "/p/2.vtp", "/p/3.vtp", "/p/4.vtp", "/p/5.vtp", "/p/6.vtp"}},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseRecentFiles(c.text), c.files) << c.text;
}

TEST(RecentFiles, TextFormRoundTrips) {
  EXPECT_EQ(RecentFilesText({}), "");
  EXPECT_EQ(RecentFilesText({"/a b/x.vtp", "y.vtp"}), "/a b/x.vtp*y.vtp*");
  const QStringList withEmpty{"a", "", "/d/Проект.vtp"};
  EXPECT_EQ(ParseRecentFiles(RecentFilesText(withEmpty)), withEmpty);
}

TEST(RecentFiles, AddingKeepsTheFiveMostRecentWithoutDuplicates) {
  QStringList files;
  for (int i = 1; i <= 6; ++i) AddToRecentList(files, QString("/p/%1.vtp").arg(i));
  EXPECT_EQ(files, (QStringList{"/p/6.vtp", "/p/5.vtp", "/p/4.vtp", "/p/3.vtp", "/p/2.vtp"}));

  // Another letter case of a listed path moves it to the top in the new spelling.
  AddToRecentList(files, "/P/3.VTP");
  EXPECT_EQ(files, (QStringList{"/P/3.VTP", "/p/6.vtp", "/p/5.vtp", "/p/4.vtp", "/p/2.vtp"}));
  AddToRecentList(files, "/p/проект.vtp");
  AddToRecentList(files, "/P/ПРОЕКТ.vtp");
  EXPECT_EQ(files.first(), "/P/ПРОЕКТ.vtp");
  EXPECT_EQ(files.size(), MaxRecentFiles);
  EXPECT_EQ(files.count("/p/проект.vtp"), 0);
}

TEST(RecentFiles, APathTheTextFormCannotHoldIsNotAdded) {
  // "*" and line breaks are legal in Linux file names, but "*" separates the
  // stored entries and a line break would end the settings line.
  const QStringList before{"/p/1.vtp", "/p/2.vtp"};
  for (const char *path : {"/data/run*2.vtp", "/data/*", "/data/a\nb.vtp", "/data/a\rb.vtp"}) {
    QStringList files = before;
    EXPECT_FALSE(AddToRecentList(files, path)) << path;
    EXPECT_EQ(files, before) << path;
    EXPECT_EQ(ParseRecentFiles(RecentFilesText(files)), before) << path;
  }
  QStringList files = before;
  EXPECT_TRUE(AddToRecentList(files, "/data/run 2 [final].vtp"));
  EXPECT_EQ(files.first(), "/data/run 2 [final].vtp");
}

TEST(RecentFiles, AStoredListLongerThanFiveIsKeptUntilTheNextAdd) {
  QStringList files = ParseRecentFiles("1*2*3*4*5*6*7*");
  EXPECT_EQ(files.size(), 7);
  AddToRecentList(files, "3");
  EXPECT_EQ(files, (QStringList{"3", "1", "2", "4", "5"}));
}

TEST(RecentFiles, RemovingAGoneFileComparesExactly) {
  QStringList files{"/a.vtp", "/b.vtp", "/c.vtp"};
  EXPECT_FALSE(RemoveFromRecentList(files, "/B.vtp"));
  EXPECT_TRUE(RemoveFromRecentList(files, "/b.vtp"));
  EXPECT_EQ(files, (QStringList{"/a.vtp", "/c.vtp"}));
}

TEST(UserManual, RussianManualOnlyForRussianAndOnlyWhenPresent) {
  QTemporaryDir dir;
  const QString english = dir.path() + "/User manual.html";
  const QString russian = dir.path() + "/Руководство пользователя.html";
  EXPECT_EQ(UserManualFile(dir.path(), "Русский"), english);  // no Russian file yet
  QFile file(russian);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_EQ(UserManualFile(dir.path(), "русский"), russian);
  EXPECT_EQ(UserManualFile(dir.path(), "РУССКИЙ"), russian);
  EXPECT_EQ(UserManualFile(dir.path(), "English"), english);
  EXPECT_EQ(UserManualFile(dir.path(), "Deutsch"), english);
}
