#include "adjustment/Adjustment.h"

TfmAdjustment::TfmAdjustment(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("fmAdjustment"));
}

TfmAdjustment::~TfmAdjustment() = default;

void TfmAdjustment::RunMeasurement() {}
void TfmAdjustment::ExportHistogram(const QString &) {}
void TfmAdjustment::RefreshDisplay() {}
void TfmAdjustment::CopyChart() {}
