// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ShortenPath.h"

#include <QFontMetrics>
#include <QStringList>

QString ShortenPath(const QString &path, const QFontMetrics &metrics, int maxWidth) {
  const auto fits = [&](const QString &text) { return metrics.horizontalAdvance(text) <= maxWidth; };
  if (fits(path)) return path;
  const QString ellipsis = QStringLiteral("...");
  QStringList parts = path.split(u'/');
  if (parts.size() < 2) return metrics.elidedText(path, Qt::ElideRight, maxWidth);
  // parts.first() is the root ("" for an absolute path), parts.last() the file name.
  const QString root = parts.takeFirst();
  const QString name = parts.takeLast();
  while (!parts.isEmpty()) {
    parts.removeFirst();
    QStringList kept{root, ellipsis};
    kept += parts;
    kept << name;
    const QString candidate = kept.join(u'/');
    if (fits(candidate)) return candidate;
  }
  const QString bare = ellipsis + u'/' + name;
  if (fits(bare)) return bare;
  return metrics.elidedText(bare, Qt::ElideRight, maxWidth);
}
