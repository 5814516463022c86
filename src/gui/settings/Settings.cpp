#include "settings/Settings.h"

TfmSettings::TfmSettings(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmSettings"));
}

TfmSettings::~TfmSettings() = default;
