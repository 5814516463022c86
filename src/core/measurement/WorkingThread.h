// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QElapsedTimer>
#include <QString>
#include <QThread>

#include <functional>

class TDevice;
class TProjectData;
struct TPixel;

// The scan worker: measures every position of a project's Plan on its own
// thread. For each point it moves the carriage, measures, and lets the device
// add or remove attenuation and gain until the signal lies between the two
// thresholds, then stores the point with the gains and transmission in force.
//
// Threads: run() drives the device (nobody else does while a run is under
// way) and writes the project's pixels and run statistics under DataLock held
// for writing, one point at a time. It never touches a widget: when the scan
// ends on its own (plan done or an error) it emits ScanEnded, which reaches the
// project window queued; after requestInterruption() it ends after the point
// under way and emits nothing, since the window is already stopping it.
// ErrorText is read by the main thread after wait().
class TWorkingThread : public QThread {
  Q_OBJECT

 public:
  // project and device are not owned and must outlive the thread; a null
  // device means the global Device.
  explicit TWorkingThread(TProjectData *project, TDevice *device = nullptr,
                          QObject *parent = nullptr);

  TProjectData *Project;
  // Read from the settings (General: "avgNum", "lowLevel", "highLevel") at
  // the start of each scan.
  int AvgNum = 1;
  int LowLevel = 50;
  int HighLevel = 650;
  // Message of the error that ended the scan; empty when it ended without one.
  QString ErrorText;
  // Called on the worker thread after each point is stored and DataLock is
  // released again, with the carriage position and the pixel as stored (the
  // run journal's hook). Set before start(); it must not raise.
  std::function<void(int index, const TPixel &pixel)> OnPointStored;

  // One value with automatic attenuation and gain: at most 20 corrections,
  // then "Can not satisfy signal threshold conditions.". A value outside the
  // thresholds is returned when the device cannot correct further.
  int MeasurePoint();
  // Next stronger filter, or when there is none, half the gain.
  bool DecreaseSignal();
  // Double the gain, or at 1024 the next weaker filter.
  bool IncreaseSignal();

 signals:
  // The scan ended without a stop request: plan done or failed.
  void ScanEnded();

 protected:
  void run() override;

 private:
  void Execute();
  void Scan();
  void StorePoint(int value, int done, int total, const QElapsedTimer &started);

  TDevice *FDevice;
};
