// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMap>
#include <QReadLocker>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>

#include "ScriptedLink.h"
#include "app/Globals.h"
#include "device/Device.h"
#include "measurement/ProjectData.h"
#include "measurement/WorkingThread.h"
#include "settings/FilterTable.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"
#include "simulator/SimulatorOptics.h"

namespace {
// A project, the device on the instant simulated instrument, and a worker.
struct TSimulatedRun {
  explicit TSimulatedRun(int carriage, int wheel = 0, TSimulatorFaults faults = {}) {
    TSimulatorConfig config;
    config.Speed = 0;
    config.KeepState = false;
    config.Carriage = carriage;
    config.Wheel = wheel;
    config.Faults = faults;
    Link = CreateSimulatorLink(config);
    Dev = std::make_unique<TDevice>(Link.get());
    Dev->FilterTable = ParseFilterTable(SimulatorOptics::FilterTableText);
    Dev->CarriagePosition = carriage;
    Dev->Initialize();
    Worker = std::make_unique<TWorkingThread>(&Project, Dev.get());
    QObject::connect(
        Worker.get(), &TWorkingThread::ScanEnded, Worker.get(), [this] { ++Ended; },
        Qt::DirectConnection);
  }

  void Plan(int from, int to, int step = 1) {
    Project.Plan.clear();
    for (int p = from; p <= to; p += step) Project.Plan.append(p);
  }

  void Run() {
    Worker->start();
    ASSERT_TRUE(Worker->wait(QDeadlineTimer(120000)));
  }

  // Measured pixel indices, ascending.
  QList<int> Measured() const {
    QList<int> m;
    for (int i = 0; i <= MaxPixel; ++i)
      if (Project.Pixels[i].Measured()) m.append(i);
    return m;
  }

  int MeasureCommands() const {
    int n = 0;
    for (const QString &line : Dev->EventLog)
      if (line.section(u'\t', 1, 1) == QLatin1String("measurement")) ++n;
    return n;
  }

  std::unique_ptr<TSimulatorLink> Link;
  std::unique_ptr<TDevice> Dev;
  TProjectData Project;
  std::unique_ptr<TWorkingThread> Worker;
  std::atomic<int> Ended{0};
};

QList<int> Range(int from, int to) {
  QList<int> r;
  for (int p = from; p <= to; ++p) r.append(p);
  return r;
}

// Thresholds and averaging for one test.
struct TScanSettings {
  TScanSettings(int low, int high) {
    Settings.AddParam({"General"}, "lowLevel", low);
    Settings.AddParam({"General"}, "highLevel", high);
    AppSettings = &Settings;
  }
  ~TScanSettings() { AppSettings = nullptr; }
  TSettingsStorage Settings;
};
}  // namespace

TEST(WorkingThread, RunsThePlanFromTheEndNearerToTheCarriage) {
  const struct {
    int carriage, from, to, end;
  } cases[] = {
      {500, 100, 900, 900},  // equally far from both ends: forwards
      {600, 100, 900, 100},
      {0, 700, 700, 700},  // a single point
  };
  for (const auto &c : cases) {
    TSimulatedRun run(c.carriage);
    run.Plan(c.from, c.to, 100);
    run.Run();
    EXPECT_EQ(run.Dev->CarriagePosition, c.end) << c.carriage;
    EXPECT_EQ(run.Project.PixelCount, (c.to - c.from) / 100 + 1);
    EXPECT_EQ(run.Project.PercentDone, 100);
    EXPECT_EQ(run.Project.EstimatedTime, 0);
    EXPECT_TRUE(run.Worker->ErrorText.isEmpty()) << run.Worker->ErrorText.toStdString();
    EXPECT_EQ(run.Ended, 1);
  }
}

TEST(WorkingThread, AThousandPointRunStoresEveryPointWithTheRangeInForce) {
  // The wheel starts between two filters: the worker first runs it home.
  TSimulatedRun run(29000);
  run.Dev->ShiftMotor(TDevice::MotorWheel, 1234 - run.Dev->WheelPosition);
  run.Plan(29500, 30499);
  run.Run();
  EXPECT_TRUE(run.Worker->ErrorText.isEmpty()) << run.Worker->ErrorText.toStdString();
  EXPECT_EQ(run.Ended, 1);
  EXPECT_TRUE(run.Project.Plan.isEmpty());
  EXPECT_EQ(run.Measured(), Range(29500, 30499));
  EXPECT_EQ(run.Project.PixelCount, 1000);
  EXPECT_EQ(run.Project.PercentDone, 100);
  EXPECT_TRUE(run.Project.Modified);
  EXPECT_TRUE(run.Project.FullRedraw);
  EXPECT_EQ(run.Dev->CarriagePosition, 30499);

  const float strongest = float(SimulatorOptics::Filters.back().Transmission);
  float max = 0;
  int peak = -1;
  for (int i = 29500; i <= 30499; ++i) {
    const TPixel &p = run.Project.Pixels[i];
    const int gain = p.AmpF * p.AmpI;
    const bool inRange = p.Signal >= 50 && p.Signal <= 650;
    const bool tooStrong = p.Signal > 650 && gain == 1 && p.Transmission == strongest;
    const bool tooWeak = p.Signal < 50 && gain == 1024 && p.Transmission == 1.0f;
    ASSERT_TRUE(inRange || tooStrong || tooWeak)
        << i << ": " << p.Signal << " at " << gain << " x " << p.Transmission;
    if (run.Project.getValue(i) > max) {
      max = run.Project.getValue(i);
      peak = i;
    }
  }
  EXPECT_EQ(run.Project.MaxValue, max);
  EXPECT_EQ(run.Project.PeakIndex, peak);
  EXPECT_NEAR(peak, 30000, 8);  // the true zero delay of the simulated instrument

  // Measuring the same positions again overwrites them without counting them.
  run.Plan(29500, 30499, 10);
  run.Run();
  EXPECT_EQ(run.Project.PixelCount, 1000);
  EXPECT_EQ(run.Ended, 2);
}

TEST(WorkingThread, ThresholdsThatCannotBeMetEndTheRunAfterTwentyCorrections) {
  // No value lies in between, so every value is corrected; 500 fs off the
  // peak the device can always correct in both directions.
  TScanSettings settings(600, 599);
  TSimulatedRun run(29990);
  run.Dev->WriteLog = true;
  run.Plan(30030, 30031);
  run.Dev->EventLog.clear();
  run.Run();
  EXPECT_EQ(run.Worker->ErrorText, "Can not satisfy signal threshold conditions.");
  EXPECT_EQ(run.MeasureCommands(), 20);
  EXPECT_EQ(run.Project.PixelCount, 0);
  EXPECT_TRUE(run.Measured().isEmpty());
  EXPECT_TRUE(run.Project.Plan.isEmpty());
  EXPECT_EQ(run.Ended, 1);
}

TEST(WorkingThread, AValueTheDeviceCannotCorrectFurtherIsAcceptedAfterOneMeasurement) {
  const struct {
    int low, high;
    bool strongest;  // gain 1 behind the last filter, else gain 1024 without one
    int gain;
  } cases[] = {
      {2000, 3000, false, 1024},  // always too weak
      {-10, -1, true, 1},         // always too strong
  };
  for (const auto &c : cases) {
    TScanSettings settings(c.low, c.high);
    TSimulatedRun run(29990);
    if (c.strongest) {
      run.Dev->SetGains(1, 1);
      run.Dev->ShiftMotor(TDevice::MotorWheel,
                          run.Dev->FilterTable.last().Position - run.Dev->WheelPosition);
    }
    run.Dev->WriteLog = true;
    run.Plan(29999, 30001);
    run.Dev->EventLog.clear();
    run.Run();
    EXPECT_TRUE(run.Worker->ErrorText.isEmpty()) << run.Worker->ErrorText.toStdString();
    EXPECT_EQ(run.MeasureCommands(), 3) << c.low;
    EXPECT_EQ(run.Measured(), Range(29999, 30001));
    for (int i = 29999; i <= 30001; ++i)
      EXPECT_EQ(run.Project.Pixels[i].AmpF * run.Project.Pixels[i].AmpI, c.gain) << i;
  }
}

TEST(WorkingThread, AStalledCarriageEndsTheRunAndKeepsThePointsBefore) {
  TSimulatorFaults faults;
  faults.StallCarriage = 60;
  TSimulatedRun run(900, 0, faults);
  run.Plan(1000, 1099);
  run.Run();
  EXPECT_EQ(run.Worker->ErrorText,
            "Carriage reached for delay line limit. Initial carriage position was incorrect.");
  const int kept = run.Project.PixelCount;
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, 100);
  EXPECT_EQ(run.Measured(), Range(1000, 1000 + kept - 1));
  EXPECT_EQ(run.Ended, 1);
}

TEST(WorkingThread, AStopRequestEndsTheRunAfterThePointUnderWay) {
  TSimulatedRun run(4000);
  run.Plan(5000, 64999);
  // Timed from before the start, so that the worker's own time is within it.
  QElapsedTimer waited;
  waited.start();
  run.Worker->start();
  // When the first point was seen stored (the worker's clock started before
  // it) and, for every count, the last moment it was seen (the point after
  // it was stored later): ms since the start.
  double firstSeenMs = -1;
  QMap<int, double> lastSeenMs;
  for (;;) {
    int count;
    {
      QReadLocker lock(&run.Project.DataLock);
      count = run.Project.PixelCount;
    }
    const double now = double(waited.nsecsElapsed()) / 1e6;
    if (count >= 1 && firstSeenMs < 0) firstSeenMs = now;
    lastSeenMs[count] = now;
    if (count >= 20) break;
    ASSERT_LT(waited.elapsed(), 60000);
    QThread::usleep(200);
  }
  run.Worker->requestInterruption();
  ASSERT_TRUE(run.Worker->wait(QDeadlineTimer(60000)));
  const double ranMs = double(waited.elapsed());
  const int kept = run.Project.PixelCount;
  EXPECT_LT(kept, 60000);
  // Progress of the plan of 60000 and the remaining time in days, from the
  // average time per point: the run took at most ranMs for kept points, and
  // at least the time from the first point seen to the last moment the last
  // point was not yet stored.
  EXPECT_EQ(run.Project.PercentDone, kept * 100 / 60000);
  const double estimateMs = run.Project.EstimatedTime * 86400000.0;
  EXPECT_LE(estimateMs, (60000.0 - kept) * (ranMs + 1) / kept);
  // The last moment any count below kept was seen: the last point came later.
  double beforeLastMs = firstSeenMs;
  for (auto it = lastSeenMs.cbegin(); it != lastSeenMs.cend() && it.key() < kept; ++it)
    beforeLastMs = std::max(beforeLastMs, it.value());
  const double atLeastMs = std::max(0.0, beforeLastMs - firstSeenMs - 1);
  EXPECT_GE(estimateMs, (60000.0 - kept) * atLeastMs / kept);
  EXPECT_EQ(run.Measured(), Range(5000, 5000 + kept - 1));
  // No carriage move after the last stored point.
  EXPECT_EQ(run.Dev->CarriagePosition, 5000 + kept - 1);
  EXPECT_TRUE(run.Worker->ErrorText.isEmpty());
  EXPECT_TRUE(run.Project.Plan.isEmpty());
  EXPECT_EQ(run.Ended, 0);
}

TEST(WorkingThread, UnknownTransmissionLeavesThePixelUnwritten) {
  // Without a record at the wheel's home, the recovery move leaves the wheel
  // at no calibrated filter; far from the peak nothing moves it on. The first
  // point was measured by an earlier run: it keeps that measurement.
  TSimulatedRun run(4000);
  run.Dev->FilterTable.removeFirst();
  run.Dev->ShiftMotor(TDevice::MotorWheel, 7);
  TPixel &earlier = run.Project.Pixels[5000];
  earlier.Signal = 321;
  earlier.Transmission = 0.0923f;
  earlier.AmpF = 16;
  earlier.AmpI = 4;
  run.Project.PixelCount = 1;
  run.Plan(5000, 5010);
  run.Run();
  EXPECT_EQ(run.Worker->ErrorText, "Unknown filter transmission.");
  EXPECT_EQ(run.Dev->WheelPosition, 0);
  EXPECT_EQ(run.Project.PixelCount, 1);
  EXPECT_EQ(run.Measured(), QList<int>{5000});
  const TPixel &p = run.Project.Pixels[5000];
  EXPECT_EQ(p.Signal, 321);
  EXPECT_EQ(p.Transmission, 0.0923f);
  EXPECT_EQ(p.AmpF, 16);
  EXPECT_EQ(p.AmpI, 4);
}

TEST(WorkingThread, ACorrectionTakesTheFilterFirstWhenTooStrongAndTheGainFirstWhenTooWeak) {
  // Off the peak the strongest filters give a few hundred counts per unit of
  // gain. Thresholds are set around values measured first, so that exactly
  // one correction brings the value in; the state after it tells which of
  // filter and gain was taken.
  const auto measured = [](TSimulatedRun &run, int wheel, int ampF, int ampI) {
    run.Dev->ShiftMotor(TDevice::MotorWheel, wheel - run.Dev->WheelPosition);
    run.Dev->SetGains(ampF, ampI);
    return run.Dev->Measure(8);
  };
  {
    SCOPED_TRACE("too strong: the next filter, gains kept");
    TSimulatedRun run(29990);
    run.Worker->AvgNum = 8;
    const int after = measured(run, 2000, 1, 2);
    ASSERT_GT(after, 40);
    ASSERT_LT(after, 600);
    ASSERT_GT(measured(run, 1600, 1, 2), after * 2);  // a filter cuts by about ten
    run.Worker->LowLevel = 0;
    run.Worker->HighLevel = after * 3 / 2;
    run.Dev->WriteLog = true;
    run.Dev->EventLog.clear();
    const int v = run.Worker->MeasurePoint();
    EXPECT_EQ(run.MeasureCommands(), 2);
    EXPECT_LE(v, run.Worker->HighLevel);
    EXPECT_EQ(run.Dev->WheelPosition, 2000);
    EXPECT_EQ(run.Dev->AmpF, 1);
    EXPECT_EQ(run.Dev->AmpI, 2);
  }
  {
    SCOPED_TRACE("too weak: twice the gain, filter kept");
    TSimulatedRun run(29990);
    run.Worker->AvgNum = 8;
    const int before = measured(run, 2000, 1, 1);
    ASSERT_GT(before, 40);
    ASSERT_LT(before, 400);
    run.Worker->LowLevel = before * 3 / 2;
    run.Worker->HighLevel = 1023;
    run.Dev->WriteLog = true;
    run.Dev->EventLog.clear();
    const int v = run.Worker->MeasurePoint();
    EXPECT_EQ(run.MeasureCommands(), 2);
    EXPECT_GE(v, run.Worker->LowLevel);
    EXPECT_EQ(run.Dev->WheelPosition, 2000);
    EXPECT_EQ(run.Dev->AmpF, 1);
    EXPECT_EQ(run.Dev->AmpI, 2);
  }
}

TEST(WorkingThread, TheAveragingCountOfTheSettingsReachesTheController) {
  // avgNum 16 is sent as the exponent 4 of the measurement command; one
  // point at the carriage's own position needs no move.
  const struct {
    int avgNum;
    uint8_t command;
  } cases[] = {{1, 0x50}, {16, 0x54}, {1024, 0x5A}};
  for (const auto &c : cases) {
    TScanSettings settings(50, 650);
    settings.Settings.AddParam({"General"}, "avgNum", c.avgNum);
    TScriptedLink link;
    TDevice device(&link, &link.Clock);
    device.Opened = true;
    device.CarriagePosition = 1234;
    TProjectData project;
    project.Plan = {1234};
    TWorkingThread worker(&project, &device);
    link.Expect({c.command}).Reply({0x2C}).Expect({0x01}).Reply({0x01});
    worker.start();
    ASSERT_TRUE(worker.wait(QDeadlineTimer(60000)));
    EXPECT_TRUE(worker.ErrorText.isEmpty()) << worker.ErrorText.toStdString();
    EXPECT_TRUE(link.Done()) << c.avgNum << ": " << link.Problems().join(u'\n').toStdString();
    EXPECT_EQ(worker.AvgNum, c.avgNum);
    EXPECT_EQ(project.Pixels[1234].Signal, 300) << c.avgNum;
  }
}
