// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UserManual.h"

#include <QFileInfo>

QString UserManualFile(const QString &folder, const QString &language) {
  if (language.compare(QStringLiteral("Русский"), Qt::CaseInsensitive) == 0) {
    const QString russian = folder + QStringLiteral("/Руководство пользователя.html");
    if (QFileInfo::exists(russian)) return russian;
  }
  return folder + QStringLiteral("/User manual.html");
}
