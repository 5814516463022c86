// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/WorkingThread.h"

#include <QWriteLocker>

#include <cstdlib>

#include "app/AppError.h"
#include "app/Globals.h"
#include "app/Messages.h"
#include "device/Device.h"
#include "measurement/ProjectData.h"
#include "settings/SettingsStorage.h"

namespace {
constexpr int MaxCorrections = 20;
constexpr double MsPerDay = 86400000.0;
}  // namespace

TWorkingThread::TWorkingThread(TProjectData *project, TDevice *device, QObject *parent)
    : QThread(parent), Project(project), FDevice(device ? device : ::Device) {}

void TWorkingThread::run() { Execute(); }

void TWorkingThread::Execute() {
  ErrorText.clear();
  try {
    Scan();
  } catch (const std::exception &e) {
    ErrorText = ExceptionMessage(e);
  }
  // The window does not use Plan while it is running.
  Project->Plan.clear();
  if (!isInterruptionRequested()) emit ScanEnded();
}

void TWorkingThread::Scan() {
  const QList<int> &plan = Project->Plan;
  if (plan.isEmpty()) return;
  if (AppSettings) {
    AvgNum = AppSettings->ReadInt({"General"}, "avgNum", 1);
    LowLevel = AppSettings->ReadInt({"General"}, "lowLevel", 50);
    HighLevel = AppSettings->ReadInt({"General"}, "highLevel", 650);
  }
  TDevice &dev = *FDevice;
  try {
    dev.CurrentTransmission();
  } catch (const EAppError &) {
    // The wheel stands between filters: run it back to its home.
    dev.ShiftMotor(TDevice::MotorWheel, -100000);
  }

  const int total = plan.size();
  const bool backwards = std::llabs(qint64(dev.CarriagePosition) - plan.last()) <
                         std::llabs(qint64(dev.CarriagePosition) - plan.first());
  QElapsedTimer started;  // from the first point reached: the approach is not timed
  int done = 0;
  for (int k = 0; k < total && !isInterruptionRequested(); ++k) {
    const int position = plan[backwards ? total - 1 - k : k];
    if (dev.ShiftMotor(TDevice::MotorCarriage, position - dev.CarriagePosition) != 0)
      RaiseError("Carriage reached for delay line limit. Initial carriage position was incorrect.");
    if (!started.isValid()) started.start();
    const int value = MeasurePoint();
    ++done;
    StorePoint(value, done, total, started);
  }
}

void TWorkingThread::StorePoint(int value, int done, int total, const QElapsedTimer &started) {
  TDevice &dev = *FDevice;
  const int x = dev.CarriagePosition;
  if (x < 0 || x > MaxPixel)
    throw EAppError(QStringLiteral("Index is out of bound (getValue(%1)).").arg(x));
  // Everything that can fail is asked before the pixel changes, so a failure
  // ("Unknown filter transmission.") leaves the pixel and the count as they
  // were instead of half written.
  const float transmission = dev.CurrentTransmission();
  const qint64 elapsedMs = started.elapsed();

  TProjectData &p = *Project;
  QWriteLocker lock(&p.DataLock);
  TPixel &pixel = p.Pixels[x];
  if (!pixel.Measured()) ++p.PixelCount;
  pixel.Signal = quint16(value);
  pixel.AmpF = dev.AmpF;
  pixel.AmpI = dev.AmpI;
  pixel.Transmission = transmission;
  const float w = p.getValue(x);
  if (w > p.MaxValue) {
    p.MaxValue = w;
    p.FullRedraw = true;
    p.PeakIndex = x;
  }
  p.Modified = true;
  p.PercentDone = quint8(qint64(done) * 100 / total);
  p.EstimatedTime = double(total - done) * double(elapsedMs) / done / MsPerDay;
  if (OnPointStored) {
    // The file work of the hook happens outside the lock: drawing and saving
    // wait for DataLock, never for the disk.
    const TPixel stored = pixel;
    lock.unlock();
    OnPointStored(x, stored);
  }
}

int TWorkingThread::MeasurePoint() {
  TDevice &dev = *FDevice;
  for (int corrections = 0;;) {
    const int v = dev.Measure(AvgNum);
    if (LowLevel <= v && v <= HighLevel) return v;
    ++corrections;
    if (v < LowLevel) {
      if (!IncreaseSignal()) return v;
    } else {
      if (!DecreaseSignal()) return v;
    }
    if (corrections >= MaxCorrections) RaiseError("Can not satisfy signal threshold conditions.");
  }
}

bool TWorkingThread::DecreaseSignal() { return FDevice->NextFilter() || FDevice->GainDown(); }

bool TWorkingThread::IncreaseSignal() { return FDevice->GainUp() || FDevice->PreviousFilter(); }
