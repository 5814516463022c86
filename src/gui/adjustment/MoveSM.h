// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "adjustment/MoveDialog.h"

// The carriage's target position, in motor steps (edPosition) or as a delay
// from the zero position in fsec (edFS); each field follows the other as the
// operator types. Created for one use by the adjustment window.
class TfmMoveSM : public TMoveDialog {
  Q_OBJECT

 public:
  // Takes the zero position from the device (0 without one).
  explicit TfmMoveSM(QWidget *parent = nullptr);

  QSpinBox *edFS = nullptr;
  // Carriage position of zero delay used by the conversions, steps.
  int ZeroPosition = 0;
  // One field is being set from the other, which must not set it back.
  bool Linking = false;

  void edPositionChange();
  void edFSChange();

 private:
  void FormCreate();
};
