#pragma once
#include <QDialog>

// The settings dialog: thresholds, averaging, delay line, motor periods, the
// filter calibration, logging and the language. Created when needed, shown
// modally and destroyed. Main thread only.
class TfmSettings : public QDialog {
  Q_OBJECT

 public:
  explicit TfmSettings(QWidget *parent = nullptr);
  ~TfmSettings() override;
};
