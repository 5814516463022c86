// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: what journalling costs a run. Prints the time to begin a
// journal of a project with every pixel measured (the header holds them all),
// an append as the worker pays it (the disk flush runs on its own thread),
// and fdatasync itself, the price of a flush after every point that the
// background flush avoids. Folder: argv[1], default a temporary folder.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "measurement/ProjectData.h"
#include "measurement/RunJournal.h"

namespace {
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir temporary;
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();

  TProjectData full;
  full.ZeroPosition = 30000;
  for (int i = 0; i <= MaxPixel; ++i) {
    TPixel &p = full.Pixels[i];
    p.Signal = quint16(100 + i % 900);
    p.Transmission = 0.0923f;
    p.AmpF = 16;
    p.AmpI = 4;
  }
  std::vector<double> beginMs;
  for (int k = 0; k < 5; ++k) {
    QElapsedTimer t;
    t.start();
    auto journal = TRunJournal::Begin(full, folder);
    beginMs.push_back(t.nsecsElapsed() / 1e6);
    if (k == 0)
      std::printf("header of a full project           %8lld bytes\n",
                  QFileInfo(journal->FileName()).size());
    journal->Remove();
  }
  std::printf("begin, full project (median)       %8.2f ms\n", Median(beginMs));

  TProjectData empty;
  auto journal = TRunJournal::Begin(empty, folder);
  TPixel pixel = full.Pixels[0];
  const int points = 70001;
  std::vector<double> appendUs;
  appendUs.reserve(points);
  QElapsedTimer all;
  all.start();
  for (int i = 0; i < points; ++i) {
    QElapsedTimer t;
    t.start();
    journal->Append(i, pixel);
    appendUs.push_back(t.nsecsElapsed() / 1e3);
  }
  const double totalMs = all.nsecsElapsed() / 1e6;
  QElapsedTimer flush;
  flush.start();
  journal->Flush();
  std::printf("append, worker's cost (median)     %8.2f us\n", Median(appendUs));
  std::printf("append, worst of %d               %8.2f us\n", points,
              *std::max_element(appendUs.begin(), appendUs.end()));
  std::printf("%d appends                        %8.2f ms\n", points, totalMs);
  std::printf("flush after them                   %8.2f ms\n", flush.nsecsElapsed() / 1e6);

  std::vector<double> syncMs;
  for (int i = 0; i < 200; ++i) {
    journal->Append(i, pixel);
    QElapsedTimer t;
    t.start();
    journal->Flush();
    syncMs.push_back(t.nsecsElapsed() / 1e6);
  }
  std::printf("fdatasync of one point (median)    %8.3f ms\n", Median(syncMs));
  journal->Remove();
  return 0;
}
