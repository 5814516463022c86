// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecentFiles.h"

QStringList ParseRecentFiles(const QString &text) {
  QStringList files;
  qsizetype start = 0;
  for (qsizetype star = text.indexOf(u'*'); star >= 0; star = text.indexOf(u'*', start)) {
    files << text.mid(start, star - start);
    start = star + 1;
  }
  return files;
}

QString RecentFilesText(const QStringList &files) {
  QString text;
  for (const QString &file : files) text += file + u'*';
  return text;
}

bool AddToRecentList(QStringList &files, const QString &path) {
  if (path.contains(u'*') || path.contains(u'\n') || path.contains(u'\r')) return false;
  for (qsizetype i = 0; i < files.size(); ++i) {
    if (files[i].compare(path, Qt::CaseInsensitive) == 0) {
      files.removeAt(i);
      break;
    }
  }
  files.prepend(path);
  while (files.size() > MaxRecentFiles) files.removeLast();
  return true;
}

bool RemoveFromRecentList(QStringList &files, const QString &path) {
  return files.removeOne(path);
}
