// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the project window: chart redraws with 70,001 points, one
// incremental drawing cycle, one read-out mouse move, adding a 70,001-point
// graph, switching log/linear with six such graphs, and a whole-delay-line
// run on the simulated instrument at time scale 0 with the event loop's
// latency measured throughout. Runs offscreen with throw-away settings.
//
//   bench_gui_project_window
#include <qcustomplot.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/Globals.h"
#include "app/Main.h"
#include "app/MessageBoxes.h"
#include "app/Paths.h"
#include "app/TextFile.h"
#include "device/Device.h"
#include "measurement/Project.h"
#include "measurement/ProjectChart.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/WorkingThread.h"
#include "simulator/SimulatorLink.h"

namespace {
const char *const Calibration =
    "1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;";

struct TStats {
  std::vector<double> Ms;
  void Add(double ms) { Ms.push_back(ms); }
  double Median() {
    std::sort(Ms.begin(), Ms.end());
    return Ms[Ms.size() / 2];
  }
  double Max() const { return *std::max_element(Ms.begin(), Ms.end()); }
};

double MsSince(const QElapsedTimer &t) {
  return t.nsecsElapsed() / 1e6;
}

// A curve over the whole line: a peak with wings, every position measured.
void FillCurve(TProjectData &d, int zero) {
  for (int i = 0; i <= MaxPixel; ++i) {
    TPixel &p = d.Pixels[i];
    const double tau = DelayOf(i, zero);
    p.Signal = quint16(4 + 1000 * std::exp(-tau * tau / (2 * 106.0 * 106.0)) +
                       20 * std::exp(-std::abs(tau) / 800.0) + (i % 7));
    p.Transmission = 1;
    p.AmpF = 1;
    p.AmpI = 1;
    p.Plotted = false;
  }
  d.RecomputeStatistics();
}
}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir root;
  for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
    qputenv(name, QDir(root.path()).filePath(QString::fromLatin1(name)).toLocal8Bit());
  QApplication app(argc, argv);
  QDir().mkpath(QFileInfo(TPaths::SettingsFile()).path());
  WriteTextLines(TPaths::SettingsFile(), {"[General]", "Carriage=0", "Zero=30000",
                                          QStringLiteral("filterTable=") + Calibration});
  SetMessageBoxHook([](const TMessageBoxRequest &) { return QMessageBox::No; });

  TStartOptions options;
  options.CreateLink = [](const QString &) {
    TSimulatorConfig config;
    config.Speed = 0;
    config.KeepState = false;
    config.Carriage = 0;
    config.Wheel = 0;
    return CreateSimulatorLink(config);
  };
  auto main = std::make_unique<TfmMain>(options);
  main->tmStartActions->stop();
  main->resize(1280, 900);
  main->show();
  QApplication::processEvents();

  // ---- chart figures -------------------------------------------------------
  auto *fm = new TfmProject;
  fm->InitNew(QStringLiteral("Bench"));
  qobject_cast<QMdiSubWindow *>(fm->parentWidget())->showMaximized();
  QApplication::processEvents();
  TProjectData &d = fm->Data();
  const int zero = Device->ZeroPosition;
  QCustomPlot *plot = fm->Chart->Plot();

  for (bool dots : {false, true}) {
    fm->chbDot->setChecked(dots);
    FillCurve(d, zero);
    fm->RebuildGraph();
    plot->replot();
    TStats full;
    for (int run = 0; run < 15; ++run) {
      d.FullRedraw = true;  // the peak grew: every value changes
      QElapsedTimer t;
      t.start();
      fm->UpdateGraph();  // replots once
      full.Add(MsSince(t));
    }
    std::printf("full redraw, 70,001 points, %-15s median %6.2f ms  max %6.2f ms\n",
                dots ? "lines and dots:" : "lines:", full.Median(), full.Max());
  }

  for (bool dots : {false, true}) {
    fm->chbDot->setChecked(dots);
    TStats cycle;
    for (int run = 0; run < 15; ++run) {
      // 70,000 points drawn; 1,000 more stored since the last cycle.
      FillCurve(d, zero);
      for (int i = 0; i <= MaxPixel; ++i) d.Pixels[i].Plotted = true;
      for (int i = 30000; i < 31000; ++i) d.Pixels[i].Plotted = false;
      d.FullRedraw = false;
      QElapsedTimer t;
      t.start();
      fm->tmGraphTimer();  // replots once
      cycle.Add(MsSince(t));
    }
    std::printf("tmGraph cycle, +1,000 points to 70,000, %-15s median %6.2f ms  max %6.2f ms\n",
                dots ? "lines and dots:" : "lines:", cycle.Median(), cycle.Max());
    TStats replotOnly;
    for (int run = 0; run < 15; ++run) {
      QElapsedTimer t;
      t.start();
      plot->replot();
      replotOnly.Add(MsSince(t));
    }
    std::printf("  of which the replot alone:                          median %6.2f ms\n",
                replotOnly.Median());
  }

  {
    TStats moves;
    QApplication::processEvents();  // replots still queued by the runs above
    const QRect r = plot->axisRect()->rect();
    for (int x = r.left() + 2; x < r.right() - 2; x += 3) {
      QElapsedTimer t;
      t.start();
      fm->Chart->ChartMouseMove(QPoint(x, r.center().y()), Qt::NoButton);
      QApplication::processEvents();  // the labels and cursor lines repaint
      moves.Add(MsSince(t));
    }
    std::printf("read-out mouse move (%zu moves):           median %6.3f ms  max %6.3f ms\n",
                moves.Ms.size(), moves.Median(), moves.Max());
  }
  fm->Chart->ShowReadout(false);

  // ---- added graphs ----------------------------------------------------------
  {
    // Six project files with every position measured, saved under other zeros.
    QStringList files;
    for (int k = 0; k < 6; ++k) {
      TProjectData g;
      g.ZeroPosition = zero + 500 * k;
      FillCurve(g, g.ZeroPosition);
      files << QDir(root.path()).filePath(QStringLiteral("graph%1.vtp").arg(k));
      SaveProject(g, files.last());
    }
    TStats adds;
    TfmProject *last = nullptr;
    for (int round = 0; round < 3; ++round) {
      auto *graphs = new TfmProject;
      graphs->InitNew(QStringLiteral("Graphs %1").arg(round));
      qobject_cast<QMdiSubWindow *>(graphs->parentWidget())->showMaximized();
      graphs->chbDot->setChecked(false);
      graphs->chbLogScale->setChecked(true);
      FillCurve(graphs->Data(), zero);
      graphs->RebuildGraph();
      QApplication::processEvents();
      for (const QString &file : files) {
        QElapsedTimer t;
        t.start();
        graphs->AddGraph(file);  // read, normalise, draw, replot
        adds.Add(MsSince(t));
      }
      if (last) last->close();
      last = graphs;
    }
    std::printf(
        "add a 70,001-point graph (read, normalise, draw, replot): median %6.2f ms  max "
        "%6.2f ms\n",
        adds.Median(), adds.Max());
    for (bool dots : {false, true}) {
      last->chbDot->setChecked(dots);
      QApplication::processEvents();
      TStats switches;
      for (int run = 0; run < 10; ++run) {
        QElapsedTimer t;
        t.start();
        last->chbLogScale->setChecked(!last->chbLogScale->isChecked());  // replots once
        switches.Add(MsSince(t));
      }
      std::printf(
          "log/linear switch, own curve + six graphs of 70,001 points, %-15s median "
          "%6.2f ms  max %6.2f ms\n",
          dots ? "lines and dots:" : "lines:", switches.Median(), switches.Max());
    }
    last->close();
    QApplication::processEvents();
  }

  // ---- whole-delay-line run --------------------------------------------------
  // The worker alone, on data of its own, as the reference.
  const int left = int(DelayOf(0, zero));
  const int right = int(DelayOf(MaxPixel - 1, zero)) + 1;
  main->OpenDevice();
  double workerMs;
  {
    TProjectData alone;
    alone.Left = left;
    alone.Right = right;
    alone.Step = 1;
    alone.BuildPlan(zero);
    const qsizetype planned = alone.Plan.size();
    TWorkingThread worker(&alone, Device);
    QElapsedTimer t;
    t.start();
    worker.start();
    worker.wait();
    workerMs = MsSince(t);
    std::printf("worker alone: %lld positions in %.0f ms (%s)\n", qint64(planned), workerMs,
                worker.ErrorText.isEmpty() ? "no error" : qPrintable(worker.ErrorText));
  }

  // The same plan through the window, with a 10 ms timer watching the loop.
  auto *run = new TfmProject;
  run->InitNew(QStringLiteral("Run"));
  qobject_cast<QMdiSubWindow *>(run->parentWidget())->showMaximized();
  run->edLeft->setValue(left);
  run->edRight->setValue(right);
  run->edStep->setValue(1);
  QApplication::processEvents();
  QElapsedTimer since;
  double worstLate = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    worstLate = std::max(worstLate, MsSince(since) - 10);
    since.restart();
  });
  QElapsedTimer t;
  t.start();
  main->mnStartClick();
  since.start();
  probe.start();
  while (run->Running) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double windowMs = MsSince(t);
  probe.stop();
  std::printf(
      "window run: %d points in %.0f ms = %.2f x the worker's time (limit 3 x + 1000 ms "
      "= %.0f ms); worst event-loop latency %.1f ms\n",
      run->Data().PixelCount, windowMs, windowMs / workerMs, 3 * workerMs + 1000, worstLate);

  main.reset();
  return 0;
}
