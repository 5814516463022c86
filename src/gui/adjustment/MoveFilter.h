// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "adjustment/MoveDialog.h"

// The filter wheel's target position in motor steps (edPosition). Created for
// one use by the adjustment window.
class TfmMoveFilter : public TMoveDialog {
  Q_OBJECT

 public:
  explicit TfmMoveFilter(QWidget *parent = nullptr);
};
