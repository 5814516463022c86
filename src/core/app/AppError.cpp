// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppError.h"

EAppError::EAppError(QString message)
    : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}

QString ExceptionMessage(const std::exception &e) {
  if (auto *app = dynamic_cast<const EAppError *>(&e)) return app->Message();
  return QString::fromLocal8Bit(e.what());
}
