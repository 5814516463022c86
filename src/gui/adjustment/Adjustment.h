#pragma once
#include <QWidget>

// The manual adjustment window: gains, carriage, filter wheel and a series of
// single measurements with its histogram. At most one is open. MDI child of
// the main window; main thread only.
class TfmAdjustment : public QWidget {
  Q_OBJECT

 public:
  explicit TfmAdjustment(QWidget *parent = nullptr);
  ~TfmAdjustment() override;

  // A measurement series is under way.
  bool Measuring = false;
  // Set by Stop; the series ends after the measurement under way.
  bool StopRequested = false;
  // Measurements collected by the last series.
  int SampleCount = 0;

  // Starts a measurement series.
  void RunMeasurement();
  // The histogram as a text file.
  void ExportHistogram(const QString &fileName);
  // Shows the device's gains, positions and filter table anew.
  void RefreshDisplay();
  // The histogram chart on the clipboard.
  void CopyChart();
};
