// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppIdentity.h"

#include <QApplication>

void SetApplicationIdentity() {
  QApplication::setApplicationName(QStringLiteral("Veltravor"));
  QApplication::setApplicationVersion(QStringLiteral(VELTRAVOR_VERSION));
}
