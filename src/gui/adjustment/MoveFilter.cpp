// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/MoveFilter.h"

#include <QSpinBox>

TfmMoveFilter::TfmMoveFilter(QWidget *parent) : TMoveDialog(parent) {
  setObjectName(QStringLiteral("fmMoveFilter"));
  setWindowTitle(QStringLiteral("Filter wheel"));
  edPosition = AddField("edPosition", QStringLiteral("New position:"), 0, 70000, 70000);
  FinishCreate();
}
