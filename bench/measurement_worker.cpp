// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the scan worker against the instant simulated instrument:
// points stored per second, device and simulator included. At the serial
// link's limit of about 12.5 ms a point, 10,000 points a second keep the
// program's share of a scan under 1 %.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

#include "device/Device.h"
#include "measurement/ProjectData.h"
#include "measurement/WorkingThread.h"
#include "settings/FilterTable.h"
#include "simulator/SimulatorLink.h"
#include "simulator/SimulatorOptics.h"

namespace {
void Measure(const char *what, int carriage, int from, int to) {
  TSimulatorConfig config;
  config.Speed = 0;
  config.KeepState = false;
  config.Carriage = carriage;
  config.Wheel = 0;
  auto link = CreateSimulatorLink(config);
  TDevice device(link.get());
  device.FilterTable = ParseFilterTable(SimulatorOptics::FilterTableText);
  device.CarriagePosition = carriage;
  device.Initialize();
  TProjectData project;
  for (int p = from; p <= to; ++p) project.Plan.append(p);
  const int points = project.Plan.size();
  TWorkingThread worker(&project, &device);
  QElapsedTimer t;
  t.start();
  worker.start();
  worker.wait();
  const double s = t.nsecsElapsed() / 1e9;
  std::printf("%-44s %6d points in %7.3f s: %9.0f points/s%s%s\n", what, points, s, points / s,
              worker.ErrorText.isEmpty() ? "" : "  error: ",
              worker.ErrorText.toLocal8Bit().constData());
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  Measure("far from the peak (one measurement a point)", 0, 1, 20000);
  Measure("across the peak (filter and gain steps)", 25000, 25001, 35000);
  Measure("whole delay line", 0, 0, 69999);
  return 0;
}
