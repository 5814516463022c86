// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/MoveSM.h"

#include <QSpinBox>

#include <algorithm>

#include "adjustment/SampleSeries.h"
#include "app/Globals.h"
#include "device/Device.h"

namespace {
constexpr int MaxDelayFs = 1500000;
constexpr int MaxPosition = 70000;

// A converted value set into a field keeps to the field's range.
int Clamped(qint64 value, const QSpinBox *field) {
  return int(std::clamp<qint64>(value, field->minimum(), field->maximum()));
}
}  // namespace

TfmMoveSM::TfmMoveSM(QWidget *parent) : TMoveDialog(parent) {
  setObjectName(QStringLiteral("fmMoveSM"));
  setWindowTitle(QStringLiteral("Delay line carriage"));
  if (Device) ZeroPosition = Device->ZeroPosition;
  edFS =
      AddField("edFS", QStringLiteral("New position, fsec:"), -MaxDelayFs, MaxDelayFs, MaxPosition);
  edPosition = AddField("edPosition", QStringLiteral("New position:"), 0, MaxPosition, MaxPosition);
  connect(edFS, &QSpinBox::valueChanged, this, &TfmMoveSM::edFSChange);
  connect(edPosition, &QSpinBox::valueChanged, this, &TfmMoveSM::edPositionChange);
  FinishCreate();
  FormCreate();
}

void TfmMoveSM::FormCreate() {
  Linking = false;
  // The fsec field starts as the delay of the position shown: a caller that
  // fills in the position it already holds changes nothing, and the fsec
  // field must not keep a number that is no delay at all.
  edPositionChange();
}

void TfmMoveSM::edPositionChange() {
  if (Linking) return;
  Linking = true;
  edFS->setValue(Clamped(DelayOfPosition(edPosition->value(), ZeroPosition), edFS));
  Linking = false;
}

void TfmMoveSM::edFSChange() {
  if (Linking) return;
  Linking = true;
  edPosition->setValue(Clamped(PositionOfDelay(edFS->value(), ZeroPosition), edPosition));
  Linking = false;
}
