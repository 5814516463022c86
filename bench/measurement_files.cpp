// SPDX-License-Identifier: GPL-3.0-or-later
// Save, load and export of a project with every one of its 70001 pixels
// measured: the figures the operator waits for on Save, Open and Export.
// Prints the best and the median of a few repetitions in milliseconds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "measurement/Export.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"

namespace {
void Report(const char *what, const std::function<void()> &body) {
  std::vector<double> ms;
  for (int k = 0; k < 15; ++k) {
    QElapsedTimer t;
    t.start();
    body();
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-36s best %7.2f ms   median %7.2f ms\n", what, ms.front(), ms[ms.size() / 2]);
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  TProjectData project;
  project.ZeroPosition = 30000;
  project.Note = "benchmark project\nall pixels measured";
  project.Interval.SetIntervalText("-500000;10;-2000;1;2000;10;600000;;");
  const float transmissions[] = {1, 0.0923f, 0.00871f, 0.000937f, 8.93e-5f, 9.1e-6f};
  for (int i = 0; i <= MaxPixel; ++i) {
    TPixel &p = project.Pixels[i];
    p.Signal = quint16(50 + (i * 37) % 600);
    p.Transmission = transmissions[i % 6];
    p.AmpF = (i & 1) ? 16 : 1;
    p.AmpI = quint8(1 << (i % 7));
  }
  project.RecomputeStatistics();
  const QString file = dir.filePath("full.vtp");
  const QString exportFile = dir.filePath("full.dat");

  Report("save (70001 pixels, QSaveFile)", [&] { SaveProject(project, file); });
  TProjectData loaded;
  Report("load (70001 pixels)", [&] { LoadProject(loaded, file, 30000); });
  Report("export (70001 lines, QSaveFile)", [&] { ExportData(project, exportFile, 30000); });
  Report("  of which formatting", [&] { ExportText(project, 30000); });
  Report("  of which encoding the project", [&] { EncodeProject(project); });
  std::printf("file sizes: project %lld bytes, export %lld bytes\n",
              (long long)QFileInfo(file).size(), (long long)QFileInfo(exportFile).size());
  return loaded.PixelCount == PixelTotal ? 0 : 1;
}
