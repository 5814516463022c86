#include "app/AppIdentity.h"

#include <QApplication>

void SetApplicationIdentity() {
  QApplication::setApplicationName(QStringLiteral("Veltravor"));
  QApplication::setApplicationVersion(QStringLiteral(VELTRAVOR_VERSION));
}
