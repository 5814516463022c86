// SPDX-License-Identifier: GPL-3.0-or-later
// The project window's ways out and in: export, chart pictures on the
// clipboard and on paper, the interval table's popup menu, added graphs with
// their removal, and the pulse report with its chart overlay.
#include <qcustomplot.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

#include "../app/ShellTestSupport.h"
#include "ProjectTestSupport.h"
#include "TestEnvironment.h"
#include "app/FileDialogs.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/OpenWindows.h"
#include "app/Paths.h"
#include "app/TextFile.h"
#include "device/Device.h"
#include "measurement/CurveAnalysis.h"
#include "measurement/Export.h"
#include "measurement/Graph.h"
#include "measurement/IntervalModel.h"
#include "measurement/Project.h"
#include "measurement/ProjectChart.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/PulseReport.h"
#include "measurement/PulseReportDialog.h"
#include "measurement/RemoveGraph.h"
#include "simulator/SimulatorLink.h"

namespace {

void SetPixel(TProjectData &data, int index, quint16 signal, float transmission = 1, int ampF = 1,
              int ampI = 1) {
  TPixel &p = data.Pixels[index];
  p.Signal = signal;
  p.Transmission = transmission;
  p.AmpF = ampF;
  p.AmpI = ampI;
}

// A project file with a peak of the given height at position peak, saved
// under zero position zero: pixels peak-30..peak+30.
void WritePeakFile(const QString &fileName, int zero, int peak, quint16 height = 800) {
  TProjectData data;
  data.ZeroPosition = zero;
  for (int i = peak - 30; i <= peak + 30; ++i) {
    const double u = (i - peak) / 8.0;
    SetPixel(data, i, quint16(2 + height * std::exp(-u * u)));
  }
  data.RecomputeStatistics();
  SaveProject(data, fileName);
}

// A project stream written value by value: pixel entries may carry any index.
QByteArray ProjectBytes(int zero, const QList<TStoredPixel> &pixels) {
  QByteArray out;
  TValueWriter w(out);
  for (int v : {zero, -100, 1, 100, 0}) w.WriteInteger(v);  // interval, no rows
  w.WriteText(QString());
  w.WriteInteger(int(pixels.size()));
  for (const TStoredPixel &p : pixels) {
    w.WriteInteger(p.Index);
    w.WriteInteger(p.Signal);
    w.WriteSingle(p.Transmission);
    w.WriteInteger(p.AmpF);
    w.WriteInteger(p.AmpI);
  }
  return out;
}

// The values of a series without its break points.
QList<double> SeriesValues(QCPGraph *graph) {
  QList<double> values;
  auto data = graph->data();
  for (auto it = data->constBegin(); it != data->constEnd(); ++it)
    if (!std::isnan(it->value)) values << it->value;
  return values;
}

// A pulse with a post-pulse over a pedestal, with 1 % scatter: contrast of the
// main peak 1 at position 30000 (FWHM 250 fsec), a post-pulse of 1e-3 at
// +2000 fsec, a pedestal of 1e-5. Signals stay on the converter's scale; the
// transmission carries the decades.
void FillPulse(TProjectData &d) {
  const double fwhm = 250, sigma = fwhm / 2.3548;
  for (int i = 30000 - 480; i <= 30000 + 480; ++i) {
    const double t = DelayOf(i, 30000);
    const double post = t - 2000;
    const double c = std::exp(-t * t / (2 * sigma * sigma)) +
                     1e-3 * std::exp(-post * post / (2 * sigma * sigma)) + 1e-5;
    const double scatter = 1 + 0.01 * (((i * 7919) % 21) - 10) / 10.0;
    SetPixel(d, i, 500, float(500 / (c * scatter * 1e6)));
  }
  d.RecomputeStatistics();
}
}  // namespace

class ProjectGraphsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;
  QTemporaryDir FDir;

  // The main window on the simulated instrument, the device's zero at zero;
  // no start actions.
  void Start(int zero = 0, double speed = 0) {
    QFile::remove(TPaths::SettingsFile());
    QVERIFY(WriteTextLines(TPaths::SettingsFile(),
                           {"[General]", "Carriage=20000", QString("Zero=%1").arg(zero),
                            "filterTable=" + Calibration}));
    TStartOptions options;
    options.CreateLink = [speed](const QString &) {
      TSimulatorConfig config;
      config.Speed = speed;
      config.KeepState = false;
      config.Carriage = 20000;
      config.Zero = 20000;
      return std::make_unique<TSimulatorLink>(config);
    };
    FMain = std::make_unique<TfmMain>(options);
    FMain->tmStartActions->stop();
    FMain->resize(1100, 800);
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }

  TfmProject *NewProject() {
    FMain->mnNew->trigger();
    auto *fm = qobject_cast<TfmProject *>(FMain->ActiveChild());
    if (fm) qobject_cast<QMdiSubWindow *>(fm->parentWidget())->showMaximized();
    QApplication::processEvents();
    return fm;
  }

  // Adds a graph through the main window's command.
  void AddGraph(const QString &fileName) {
    TFileDialogRecorder files;
    files.Answers << fileName;
    FMain->mnAddGraph->trigger();
  }

  QString File(const QString &name) const { return FDir.filePath(name); }

  // Series indices of the window's graphs, in their order.
  static QList<int> SeriesOf(TfmProject *fm) {
    QList<int> list;
    for (int i = 0; fm->GraphAt(i); ++i) list << fm->GraphAt(i)->SeriesIndex;
    return list;
  }

 private slots:
  void cleanup() { FMain.reset(); }

  // ---- export ----------------------------------------------------------------

  void exportEqualsTheCommandLineExport() {
    Start(20000);
    const QString saved = File("export-source.vtp");
    {
      TProjectData d;
      d.ZeroPosition = 20000;
      SetPixel(d, 19990, 17, 1, 16, 64);
      SetPixel(d, 20000, 1000, 0.00871f, 1, 1);
      SetPixel(d, 20001, 733, 0.0923f, 1, 2);
      SetPixel(d, 20040, 0);
      d.RecomputeStatistics();
      SaveProject(d, saved);
    }
    TBoxRecorder boxes;
    TFileDialogRecorder files;
    files.Answers << saved << File("window.dat");
    FMain->mnOpen->trigger();
    auto *fm = qobject_cast<TfmProject *>(FMain->ActiveChild());
    QVERIFY(fm);
    FMain->mnExport->trigger();
    QCOMPARE(files.Kinds.last(), TFileDialogKind::ExportSave);
    QCOMPARE(files.Presets.last(), QString("export-source"));
    QCOMPARE(Texts(boxes.Requests), QStringList{});

    const QString cli = QCoreApplication::applicationDirPath() + "/../bin/veltravor-cli";
    if (!QFileInfo(cli).isExecutable()) QSKIP("veltravor-cli is not built");
    QProcess p;
    p.start(cli, {"export", saved, File("cli.dat")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QFile a(File("window.dat")), b(File("cli.dat"));
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray window = a.readAll();
    QCOMPARE(window, b.readAll());
    QCOMPARE(window.count("\r\n"), 5);  // header and four pixels
  }

  void exportOfNothingAndAFailedWrite() {
    Start();
    TfmProject *fm = NewProject();
    TBoxRecorder boxes;
    TFileDialogRecorder files;
    files.Answers << File("empty.dat");
    FMain->mnExport->trigger();
    QFile empty(File("empty.dat"));
    QVERIFY(empty.open(QIODevice::ReadOnly));
    QCOMPARE(empty.readAll(),
             QByteArray("delay, fsec\tcontrast\tsignal\tampF\tampI\ttransmission\r\n"));

    // A target that cannot be replaced (a folder with a file in it): the
    // error is shown and what was there stays.
    QVERIFY(QDir(FDir.path()).mkpath("taken.dat"));
    QVERIFY(WriteTextLines(File("taken.dat/inside.txt"), {"kept"}));
    SetPixel(fm->Data(), 100, 500);
    fm->Data().RecomputeStatistics();
    files.Answers << File("taken.dat");
    FMain->mnExport->trigger();
    QCOMPARE(boxes.Requests.size(), 1);
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Critical);
    QVERIFY(boxes.Requests[0].Text.contains("taken.dat"));
    QVERIFY(QFileInfo(File("taken.dat")).isDir());
    QCOMPARE(FileLines(File("taken.dat/inside.txt")), QStringList{"kept"});
  }

  void exportDuringARunWritesWholePoints() {
    // The zero where the instrument's carriage stands: the run starts there.
    Start(20000, SimulatorProgramSpeed);
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    fm->edLeft->setValue(0);
    fm->edRight->setValue(600000);
    FMain->mnStart->trigger();
    QVERIFY(fm->Running);
    QTRY_VERIFY(fm->Data().PixelCount > 100);
    TFileDialogRecorder files;
    files.Answers << File("running.dat");
    FMain->mnExport->trigger();
    QVERIFY(fm->Running);
    FMain->mnStop->trigger();
    QVERIFY(!fm->Running);

    QFile file(File("running.dat"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() > 100);
    QCOMPARE(lines.last(), QByteArray());  // ends with its line end
    // Every point whole: six fields, a converter value, gains and a
    // transmission that a stored point has.
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
      const QList<QByteArray> fields = lines[i].trimmed().split('\t');
      QCOMPARE(fields.size(), 6);
      QVERIFY(fields[3].toInt() >= 1 && fields[4].toInt() >= 1);
      QVERIFY(fields[5].trimmed().toDouble() > 0);
    }
    QCOMPARE(Texts(boxes.Requests).filter("Cannot"), QStringList{});
  }

  // ---- pictures ----------------------------------------------------------------

  void copyOffersVectorAndBitmap() {
    Start();
    TfmProject *fm = NewProject();
    SetPixel(fm->Data(), 10, 200);
    SetPixel(fm->Data(), 11, 1000);
    SetPixel(fm->Data(), 12, 400);
    fm->Data().RecomputeStatistics();
    fm->RebuildGraph();
    QApplication::clipboard()->clear();
    FMain->mnCopy->trigger();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    QVERIFY(data);
    QVERIFY2(data->hasFormat("image/svg+xml"), qPrintable(data->formats().join(", ")));
    QVERIFY(data->data("image/svg+xml").contains("<svg"));
    QVERIFY2(data->hasFormat("image/png"), qPrintable(data->formats().join(", ")));
    QImage png;
    QVERIFY(png.loadFromData(data->data("image/png"), "PNG"));
    QCOMPARE(png.size(), fm->Chart->Plot()->size());
    // Not blank: the red curve is in it.
    bool red = false;
    for (int y = 0; y < png.height() && !red; ++y)
      for (int x = 0; x < png.width() && !red; ++x) {
        const QColor c = png.pixelColor(x, y);
        red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
      }
    QVERIFY(red);
  }

  void printsOnePageAcrossThePage() {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) QSKIP("pdftoppm is not installed");
    Start();
    TfmProject *fm = NewProject();
    SetPixel(fm->Data(), 10, 200);
    SetPixel(fm->Data(), 11, 1000);
    SetPixel(fm->Data(), 12, 400);
    fm->Data().RecomputeStatistics();
    fm->RebuildGraph();
    const QString pdf = File("chart.pdf");
    int asked = 0;
    const TPrintDialogHook previous = SetPrintDialogHook([&](QPrinter &printer) {
      ++asked;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdf);
      return true;
    });
    TBoxRecorder boxes;
    FMain->tbPrint->trigger();
    SetPrintDialogHook(previous);
    QCOMPARE(asked, 1);
    QCOMPARE(Texts(boxes.Requests), QStringList{});

    // Every page rendered: exactly one.
    QProcess p;
    p.start("pdftoppm", {"-r", "40", "-png", pdf, File("page")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList pages = QDir(FDir.path()).entryList({"page*.png"});
    QCOMPARE(pages.size(), 1);
    QImage page(File(pages[0]));
    QVERIFY(!page.isNull());
    // The drawing reaches across the page: ink near all four edges of the
    // printable area, and the red curve inside.
    int left = page.width(), right = -1, top = page.height(), bottom = -1;
    bool red = false;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) {
        const QColor c = page.pixelColor(x, y);
        if (c.lightness() < 200) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
        red = red || (c.red() > 180 && c.green() < 100 && c.blue() < 100);
      }
    QVERIFY(red);
    QVERIFY2(right - left > page.width() * 0.8, qPrintable(QString("%1..%2").arg(left).arg(right)));
    QVERIFY2(bottom - top > page.height() * 0.75,
             qPrintable(QString("%1..%2").arg(top).arg(bottom)));
  }

  // ---- interval table popup ----------------------------------------------------

  void intervalPopupMenu() {
    Start();
    TfmProject *fm = NewProject();
    QStringList items;
    for (QAction *a : fm->pmInterval->actions()) items << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(items, (QStringList{"Copy table", "Paste table", "-", "Clear table"}));

    TBoxRecorder boxes;
    QApplication::clipboard()->setText("-100;1;100;;");
    fm->mnPasteTable->trigger();
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("-100;1;100;;"));
    QCOMPARE(fm->tbInterval->rowCount(), 2);
    QApplication::clipboard()->setText("something else");
    fm->mnCopyTable->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("-100;1;100;;"));

    // Garbage: what converted before it stays, no message.
    QApplication::clipboard()->setText("5;2;x;3;7;1;");
    fm->mnPasteTable->trigger();
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("5;2;"));
    QApplication::clipboard()->setText("no table here");
    fm->mnPasteTable->trigger();
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString());
    QCOMPARE(Texts(boxes.Requests), QStringList{});

    fm->mnPasteTable->setEnabled(true);
    QApplication::clipboard()->setText("-100;1;100;;");
    fm->mnPasteTable->trigger();
    fm->mnClearTable->trigger();
    QCOMPARE(fm->tbInterval->rowCount(), 0);

    // A run locks the table: paste and clear off, copy stays.
    fm->LockEditing(true);
    QVERIFY(fm->mnCopyTable->isEnabled());
    QVERIFY(!fm->mnPasteTable->isEnabled());
    QVERIFY(!fm->mnClearTable->isEnabled());
    fm->LockEditing(false);
    QVERIFY(fm->mnPasteTable->isEnabled() && fm->mnClearTable->isEnabled());
  }

  // ---- added graphs --------------------------------------------------------------

  void graphKeepsItsOwnZeroAndWidensTheAxis() {
    Start(0);
    TfmProject *fm = NewProject();
    // Saved at zero 20000 with its peak at 20000: drawn at 0 fsec although
    // the device's zero is 0 now.
    WritePeakFile(File("far.vtp"), 20000, 20000);
    SetPixel(fm->Data(), 100, 500);
    SetPixel(fm->Data(), 110, 400);
    fm->Data().RecomputeStatistics();
    fm->RebuildGraph();
    TBoxRecorder boxes;
    AddGraph(File("far.vtp"));
    QCOMPARE(Texts(boxes.Requests), QStringList{});
    QCOMPARE(fm->GraphFiles(), QStringList{File("far.vtp")});
    QCPGraph *series = fm->Chart->Series(1);
    QVERIFY(series->visible());
    double peakKey = 0, peakValue = -100;
    for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
      if (!std::isnan(it->value) && it->value > peakValue) {
        peakValue = it->value;
        peakKey = it->key;
      }
    QCOMPARE(peakKey, 0.0);
    QCOMPARE(peakValue, 0.0);  // log scale: the graph's own peak is 1
    // The time axis covers the own data (1667..1833 fsec) and the graph's.
    // A graph's range is kept in single precision.
    QCOMPARE(fm->Chart->TimeMin(), double(float(DelayOf(19970, 20000))));
    QCOMPARE(fm->Chart->TimeMax(), DelayOf(110, 0));
    QVERIFY(fm->Chart->LegendVisible());
    // Padded titles: the names in one column.
    const int width = std::max(fm->ProjectName.size(), QString("far").size());
    QCOMPARE(fm->Chart->SeriesTitle(0), PadTitle(fm->ProjectName, "", width));
    QCOMPARE(fm->Chart->SeriesTitle(1), PadTitle("far", "", width));

    // The read-out puts the graph's value into its title.
    QCustomPlot *plot = fm->Chart->Plot();
    plot->replot();
    const QPoint at(int(std::lround(plot->xAxis->coordToPixel(0))),
                    plot->axisRect()->rect().center().y());
    fm->Chart->ChartMouseMove(at, Qt::NoButton);
    const QString value =
        fm->GraphAt(0)->ValueTextAt(std::nearbyint(plot->xAxis->pixelToCoord(at.x())));
    QVERIFY(!value.isEmpty());
    QCOMPARE(fm->Chart->SeriesTitle(1), PadTitle("far", value, width));
    fm->Chart->ShowReadout(false);
    QCOMPARE(fm->Chart->SeriesTitle(1), PadTitle("far", "", width));

    // The one graph removed after the question: legend hidden, axis back.
    boxes.Answer = QMessageBox::No;
    FMain->mnDelGraph->trigger();
    QCOMPARE(Texts(boxes.Requests), QStringList{"Remove graph from project?"});
    QCOMPARE(fm->GraphFiles().size(), 1);
    boxes.Answer = QMessageBox::Yes;
    FMain->mnDelGraph->trigger();
    QCOMPARE(fm->GraphFiles(), QStringList{});
    QVERIFY(!series->visible());
    QCOMPARE(series->data()->size(), 0);
    QVERIFY(!fm->Chart->LegendVisible());
    QCOMPARE(fm->Chart->TimeMin(), DelayOf(100, 0));
  }

  void graphsAreRefusedTwiceAndBeyondSix() {
    Start(0);
    TfmProject *fm = NewProject();
    WritePeakFile(File("own.vtp"), 0, 500);
    fm->SaveProject(File("own.vtp"));
    for (int k = 1; k <= 7; ++k) WritePeakFile(File(QString("g%1.vtp").arg(k)), 0, 500 + 100 * k);
    TBoxRecorder boxes;
    AddGraph(File("g1.vtp"));
    AddGraph(File("G1.VTP"));
    AddGraph(File("OWN.vtp"));
    QCOMPARE(Texts(boxes.Requests),
             (QStringList{"This graph is already displayed.", "This graph is already displayed."}));
    QCOMPARE(fm->GraphFiles().size(), 1);

    boxes.Requests.clear();
    for (int k = 2; k <= 7; ++k) AddGraph(File(QString("g%1.vtp").arg(k)));
    QCOMPARE(
        Texts(boxes.Requests),
        QStringList{"Unable to add graph as maximum allowed graph qauntity already displayed."});
    QCOMPARE(SeriesOf(fm), (QList<int>{1, 2, 3, 4, 5, 6}));
    QVERIFY(!fm->GraphFiles().contains(File("g7.vtp")));
  }

  void unreadableGraphAddsNothing() {
    Start(0);
    TfmProject *fm = NewProject();
    WritePeakFile(File("cut.vtp"), 0, 500);
    QFile file(File("cut.vtp"));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(file.size() - 3));
    file.close();
    TBoxRecorder boxes;
    AddGraph(File("cut.vtp"));
    QCOMPARE(Texts(boxes.Requests), QStringList{"Stream read error."});
    QCOMPARE(fm->GraphFiles(), QStringList{});
    QVERIFY(!fm->Chart->LegendVisible());
    for (int s = 1; s < TProjectChart::SeriesCount; ++s) QVERIFY(!fm->Chart->Series(s)->visible());
  }

  void removingFreesTheSeriesForTheNextGraph() {
    Start(0);
    TfmProject *fm = NewProject();
    for (int k = 1; k <= 4; ++k) WritePeakFile(File(QString("r%1.vtp").arg(k)), 0, 500 + 100 * k);
    AddGraph(File("r1.vtp"));
    AddGraph(File("r2.vtp"));
    AddGraph(File("r3.vtp"));
    QCOMPARE(SeriesOf(fm), (QList<int>{1, 2, 3}));

    TBoxRecorder boxes;
    TDialogRecorder dialogs;
    int finishedWithoutTicks = -1;
    dialogs.Act = [&](QDialog &dialog) {
      auto *remove = qobject_cast<TfmRemoveGraph *>(&dialog);
      if (!remove) return int(QDialog::Rejected);
      // The full paths without extension, in the order added, first selected.
      QStringList lines;
      for (int i = 0; i < remove->ListBox->count(); ++i) lines << remove->ListBox->item(i)->text();
      [&] {
        QCOMPARE(lines, (QStringList{File("r1"), File("r2"), File("r3")}));
        QCOMPARE(remove->ListBox->currentRow(), 0);
      }();
      // OK with nothing ticked: the message, and the dialog stays.
      int finished = 0;
      connect(remove, &QDialog::finished, remove, [&] { ++finished; });
      remove->btOK->click();
      finishedWithoutTicks = finished;
      remove->SetChecked(1, true);  // r2, in Series3
      remove->btOK->click();
      return remove->result();
    };
    FMain->mnDelGraph->trigger();
    QCOMPARE(dialogs.Names, QStringList{"fmRemoveGraph"});
    QCOMPARE(Texts(boxes.Requests), QStringList{"Select graph."});
    QCOMPARE(finishedWithoutTicks, 0);
    QCOMPARE(fm->GraphFiles(), (QStringList{File("r1.vtp"), File("r3.vtp")}));
    QVERIFY(!fm->Chart->Series(2)->visible());
    // The legend stays after a removal through the dialog.
    QVERIFY(fm->Chart->LegendVisible());

    AddGraph(File("r4.vtp"));
    QCOMPARE(SeriesOf(fm), (QList<int>{1, 3, 2}));
    QVERIFY(fm->Chart->Series(2)->visible());

    // Cancel removes nothing.
    dialogs.Act = {};
    dialogs.Result = QDialog::Rejected;
    FMain->mnDelGraph->trigger();
    QCOMPARE(fm->GraphFiles().size(), 3);
  }

  void indicesBeyondTheLineAreIgnoredSilently() {
    Start(0);
    TfmProject *fm = NewProject();
    QFile file(File("beyond.vtp"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ProjectBytes(
        100,
        {{100, 500, 1, 1, 1}, {70001, 900, 1, 1, 1}, {-5, 900, 1, 1, 1}, {101, 250, 1, 1, 1}}));
    file.close();
    TBoxRecorder boxes;
    AddGraph(File("beyond.vtp"));
    QCOMPARE(Texts(boxes.Requests), QStringList{});
    QCOMPARE(fm->GraphFiles().size(), 1);
    // Normalised to its own largest value within the line.
    QCOMPARE(SeriesValues(fm->Chart->Series(1)), (QList<double>{0, std::log10(0.5)}));
  }

  void logSwitchRedrawsEveryGraph() {
    Start(0);
    TfmProject *fm = NewProject();
    for (int k = 1; k <= 2; ++k) {
      QFile file(File(QString("l%1.vtp").arg(k)));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(ProjectBytes(0, {{10, 1000, 1, 1, 1}, {11, 100, 1, 1, 1}, {12, 0, 1, 1, 1}}));
    }
    AddGraph(File("l1.vtp"));
    AddGraph(File("l2.vtp"));
    QVERIFY(fm->chbLogScale->isChecked());
    // Values are kept in single precision.
    auto near = [&](const QList<double> &expected) {
      for (int s : {1, 2}) {
        const QList<double> values = SeriesValues(fm->Chart->Series(s));
        if (values.size() != expected.size()) return false;
        for (qsizetype i = 0; i < values.size(); ++i)
          if (std::abs(values[i] - expected[i]) > 1e-6) return false;
      }
      return true;
    };
    QVERIFY(near({0, -1, -10}));
    fm->chbLogScale->setChecked(false);
    QVERIFY(near({1, 0.1, 0}));
    fm->chbLogScale->setChecked(true);
    QVERIFY(near({0, -1, -10}));
  }

  // ---- pulse report --------------------------------------------------------------

  void pulseReportDialogCopiesAndSaves() {
    Start(30000);
    TfmProject *fm = NewProject();
    FillPulse(fm->Data());
    fm->RebuildGraph();
    // The item follows Print... in the File menu.
    const QList<QAction *> items = FMain->mnFile->actions();
    QCOMPARE(items.indexOf(FMain->mnPulseReport), items.indexOf(FMain->tbPrint) + 1);

    TBoxRecorder boxes;
    TFileDialogRecorder files;
    files.Answers << File("report.json") << File("report.txt") << File("taken");
    QVERIFY(QDir(FDir.path()).mkpath("taken/inner"));
    TDialogRecorder dialogs;
    QString shown, copied;
    double thirdOrder = 0, secondOrder = 0;
    dialogs.Act = [&](QDialog &dialog) {
      auto *report = qobject_cast<TfmPulseReport *>(&dialog);
      if (!report) return int(QDialog::Rejected);
      shown = report->edReport->toPlainText();
      report->btCopy->click();
      copied = QApplication::clipboard()->text();
      thirdOrder = report->Report().Gaussian.DurationFs;
      report->btSave->click();  // JSON
      report->btSave->click();  // text
      report->btSave->click();  // a folder: the error, nothing written
      report->chbAutocorrelation->setChecked(true);
      secondOrder = report->Report().Gaussian.DurationFs;
      return int(QDialog::Accepted);
    };
    FMain->mnPulseReport->trigger();
    QCOMPARE(dialogs.Names, QStringList{"fmPulseReport"});
    QVERIFY(shown.contains("Peak position"));
    QCOMPARE(copied, shown);
    QCOMPARE(files.Presets.first(), QString("Project 1.json"));
    QCOMPARE(files.Kinds.first(), TFileDialogKind::ReportSave);

    QFile json(File("report.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(json.readAll()).object();
    QVERIFY(!o.isEmpty());
    QVERIFY(std::abs(o["peakPositionFs"].toDouble()) < 20);
    QVERIFY(o["fit"].toObject()["gaussian"].toObject()["fwhmFs"].toDouble() > 200);
    QCOMPARE(FileLines(File("report.txt")).join('\n') + '\n', shown);
    QCOMPARE(boxes.Requests.size(), 1);
    QVERIFY(boxes.Requests[0].Text.contains("taken"));
    QVERIFY(QFileInfo(File("taken/inner")).isDir());
    // The durations follow the chosen correlation's factor.
    QVERIFY(thirdOrder > 0);
    QCOMPARE(secondOrder / thirdOrder, 0.707 / 0.816);
  }

  void analysisOverlayFollowsItsBox() {
    Start(30000);
    TfmProject *fm = NewProject();
    QVERIFY(!fm->chbAnalysis->isChecked());
    FillPulse(fm->Data());
    fm->RebuildGraph();
    QVERIFY(!fm->Chart->AnalysisShown());
    const TPulseReport report = ComputePulseReport(fm->Data(), 30000);
    QVERIFY(report.Gaussian.Valid);
    QVERIFY(!report.Pulses.isEmpty());

    fm->chbAnalysis->setChecked(true);
    QVERIFY(fm->Chart->AnalysisShown());
    QCOMPARE(fm->Chart->AnalysisMarkCount(), int(report.Pulses.size()));
    QVERIFY(fm->Chart->AnalysisCurvePointCount() > 100);
    // While points come in, the overlay of the earlier data goes; it comes
    // back for the whole curve when the data stand still.
    fm->Running = true;
    fm->UpdateGraph();
    QVERIFY(!fm->Chart->AnalysisShown());
    fm->Running = false;
    fm->UpdateGraph();
    QCOMPARE(fm->Chart->AnalysisMarkCount(), int(report.Pulses.size()));

    fm->chbAnalysis->setChecked(false);
    QVERIFY(!fm->Chart->AnalysisShown());
    QCOMPARE(fm->Chart->AnalysisMarkCount(), 0);

    // Stored with the view: the next new project starts with it on.
    fm->chbAnalysis->setChecked(true);
    TfmProject *next = NewProject();
    QVERIFY(next->chbAnalysis->isChecked());
    // A project without pixels shows no overlay, and says nothing.
    QCOMPARE(next->Chart->AnalysisMarkCount(), 0);
    QCOMPARE(next->Chart->AnalysisCurvePointCount(), 0);
  }
};

VELTRAVOR_TEST_MAIN(ProjectGraphsTest)
#include "ProjectGraphsTest.moc"
