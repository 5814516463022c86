// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "app/AppError.h"

// The message of the EAppError that `action` raises, or "" when it raises none.
template <typename F>
QString ErrorOf(F action) {
  try {
    action();
  } catch (const EAppError &e) {
    return e.Message();
  }
  return QString();
}
