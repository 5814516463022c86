// SPDX-License-Identifier: GPL-3.0-or-later
#include <qcustomplot.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

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
#include "measurement/IntervalModel.h"
#include "measurement/Project.h"
#include "measurement/ProjectChart.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/RunJournal.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"

namespace {

QList<int> MeasuredPositions(TProjectData &data) {
  QReadLocker lock(&data.DataLock);
  QList<int> positions;
  for (int i = 0; i <= MaxPixel; ++i)
    if (data.Pixels[i].Measured()) positions << i;
  return positions;
}

QList<int> Range(int first, int last, int step) {
  QList<int> list;
  for (int p = first; p <= last; p += step) list << p;
  return list;
}

void SetPixel(TProjectData &data, int index, quint16 signal) {
  TPixel &p = data.Pixels[index];
  p.Signal = signal;
  p.Transmission = 1;
  p.AmpF = 1;
  p.AmpI = 1;
}
}  // namespace

class ProjectWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;
  TSimulatorLink *FLink = nullptr;
  QTemporaryDir FDir;

  // The main window on the simulated instrument at time scale 0, the
  // carriage and the instrument's true zero at 20000, the device's zero at
  // zero; the start actions are left out (the first Start opens the device).
  // speed: the time scale; runs that must last long enough to be watched
  // take the program's own 0.05.
  void Start(int zero = 20000, TSimulatorFaults faults = {}, int avgNum = 1, double speed = 0) {
    QFile::remove(TPaths::SettingsFile());
    QVERIFY(WriteTextLines(TPaths::SettingsFile(),
                           {"[General]", "Carriage=20000", QString("Zero=%1").arg(zero),
                            "filterTable=" + Calibration, QString("avgNum=%1").arg(avgNum)}));
    TStartOptions options;
    options.CreateLink = [this, faults, speed](const QString &) {
      TSimulatorConfig config;
      config.Speed = speed;
      config.KeepState = false;
      config.Carriage = 20000;
      config.Zero = 20000;
      config.Wheel = 0;
      config.Faults = faults;
      auto link = std::make_unique<TSimulatorLink>(config);
      FLink = link.get();
      return link;
    };
    FMain = std::make_unique<TfmMain>(options);
    FMain->tmStartActions->stop();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }

  TfmProject *NewProject() {
    FMain->mnNew->trigger();
    return qobject_cast<TfmProject *>(FMain->ActiveChild());
  }

  QList<TfmProject *> Projects() const {
    QList<TfmProject *> list;
    for (QWidget *fm : OpenWindows->Items())
      if (auto *p = qobject_cast<TfmProject *>(fm)) list << p;
    return list;
  }

  static void SetInterval(TfmProject *fm, int left, int right, int step) {
    fm->edLeft->setValue(left);
    fm->edRight->setValue(right);
    fm->edStep->setValue(step);
  }

  // Start and wait until the run has ended by itself.
  void RunToEnd(TfmProject *fm) {
    FMain->mnStart->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!fm->Running, 60000);
  }

  // Typed into the grid like the operator does: the cell editor, then Enter.
  static void TypeCell(TfmProject *fm, int row, int column, const QString &text) {
    QModelIndex index = fm->tbInterval->index(row, column);
    fm->grInterval->setCurrentIndex(index);
    fm->grInterval->edit(index);
    QWidget *editor = fm->grInterval->indexWidget(index);
    QVERIFY(editor);
    auto *line = editor->findChild<QLineEdit *>();
    if (!line) line = qobject_cast<QLineEdit *>(editor);
    if (auto *spin = qobject_cast<QSpinBox *>(editor)) line = spin->findChild<QLineEdit *>();
    QVERIFY(line);
    line->selectAll();
    line->insert(text);
    fm->PostIntervalRow();
  }

  QPoint PlotPixel(TfmProject *fm, double x) {
    QCustomPlot *plot = fm->Chart->Plot();
    return QPoint(int(std::lround(plot->xAxis->coordToPixel(x))),
                  plot->axisRect()->rect().center().y());
  }

 private slots:
  void init() { SetFileDialogHook({}); }

  void cleanup() {
    if (!FMain) return;
    TBoxRecorder boxes(QMessageBox::No);
    for (TfmProject *fm : Projects()) fm->StopMeasurement();
    FMain.reset();
  }

  // ---- creation, names, inherited view ------------------------------------

  void newProjectsAreNumberedAndInheritTheView() {
    Start();
    TfmProject *p1 = NewProject();
    QVERIFY(p1);
    TfmProject *p2 = NewProject();
    TfmProject *p3 = NewProject();
    QCOMPARE(p1->windowTitle(), QString("Project 1"));
    QCOMPARE(p2->windowTitle(), QString("Project 2"));
    QCOMPARE(p3->ProjectName, QString("Project 3"));
    QCOMPARE(p3->Chart->SeriesTitle(0).trimmed(), QString("Project 3"));
    QCOMPARE(p3->windowTitle(), QString("Project 3"));
    QVERIFY(!p3->Modified());

    // Closing Project 2 does not give its number back.
    QVERIFY(CloseChildWindow(p2));
    QCOMPARE(Projects().size(), 2);

    // The active project hands its view and interval on.
    FMain->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(p1->parentWidget()));
    QCOMPARE(FMain->ActiveChild(), p1);
    p1->chbDot->setChecked(true);
    p1->chbLogScale->setChecked(false);
    SetInterval(p1, -700, 900, 3);
    p1->lbAdvancedModeClick();
    TfmProject *p4 = NewProject();
    QCOMPARE(p4->ProjectName, QString("Project 4"));
    QVERIFY(p4->chbDot->isChecked());
    QVERIFY(p4->chbLine->isChecked());
    QVERIFY(!p4->chbLogScale->isChecked());
    QCOMPARE(p4->edLeft->value(), -700);
    QCOMPARE(p4->edRight->value(), 900);
    QCOMPARE(p4->edStep->value(), 3);
    QVERIFY(p4->grAdvanced->isVisibleTo(p4));
    QVERIFY(!p4->grStandard->isVisibleTo(p4));
    QCOMPARE(p4->lbStepFS->text(), QLocale::system().toString(3 * FsPerStep, 'f', 2));
    QCOMPARE(p4->Chart->TitleText(), QString("CROSSCORRELATION FUNCTION"));
    QCOMPARE(p4->Chart->ValueMax(), 1.01);

    // With no project active, the project opened last hands its view on.
    p4->chbCaptions->setChecked(false);
    p1->chbCaptions->setChecked(true);
    FMain->MdiArea->setActiveSubWindow(nullptr);
    QCOMPARE(FMain->ActiveChild(), nullptr);
    TfmProject *p5 = NewProject();
    QCOMPARE(p5->ProjectName, QString("Project 5"));
    QVERIFY(!p5->chbCaptions->isChecked());
    QVERIFY(!p5->Chart->TitleVisible());
    QCOMPARE(p5->Chart->TimeAxisTitle(), QString());
  }

  // ---- plans through the window's controls --------------------------------

  void standardPlans_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("measured");
    QTest::newRow("step 1") << -100 << 100 << 1 << Range(19994, 20006, 1);
    QTest::newRow("step 4 starts at the next multiple")
        << -100 << 100 << 4 << Range(19996, 20004, 4);
  }
  void standardPlans() {
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, step);
    QFETCH(QList<int>, measured);
    Start();
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    SetInterval(fm, left, right, step);
    RunToEnd(fm);
    QCOMPARE(MeasuredPositions(fm->Data()), measured);
    QCOMPARE(fm->Data().PixelCount, measured.size());
    QVERIFY(fm->Modified());
    QVERIFY(FMain->mnStart->isEnabled());
    QVERIFY(!FMain->mnStop->isEnabled());
    QCOMPARE(fm->windowTitle(), QString("Project 1"));

    // A second run over the measured interval does nothing and says nothing.
    boxes.Requests.clear();
    FMain->mnStart->trigger();
    QVERIFY(!fm->Running);
    QTest::qWait(100);
    QCOMPARE(boxes.Requests.size(), 0);
    QCOMPARE(MeasuredPositions(fm->Data()), measured);
  }

  void intervalErrorsAreShown_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("zero");
    QTest::addColumn<QString>("message");
    QTest::newRow("equal ends") << 100 << 100 << 20000 << "Incorrect interval.";
    QTest::newRow("before position 0") << -1 << 100 << 0 << "Left interval limit is 0 fsec.";
    QTest::newRow("beyond the line")
        << 0 << 900000 << 20000 << "Right interval limit is 833333 fsec.";
  }
  void intervalErrorsAreShown() {
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, zero);
    QFETCH(QString, message);
    Start(zero);
    TfmProject *fm = NewProject();
    SetInterval(fm, left, right, 1);
    TBoxRecorder boxes;
    FMain->mnStart->trigger();
    QCOMPARE(Texts(boxes.Requests), QStringList{message});
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Critical);
    QVERIFY(!fm->Running);
    QVERIFY(FMain->mnStart->isEnabled());
    QVERIFY(!fm->edLeft->isReadOnly());
  }

  void advancedPlanThroughTheGrid() {
    Start();
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    fm->lbAdvancedModeClick();
    QVERIFY(fm->grAdvanced->isVisibleTo(fm));
    // Typed in another order than they end up in: the grid sorts by shift.
    fm->btInsertClick();
    TypeCell(fm, fm->tbInterval->rowCount() - 1, TIntervalModel::ColShift, "500");
    fm->btInsertClick();
    TypeCell(fm, fm->tbInterval->rowCount() - 1, TIntervalModel::ColShift, "-500");
    TypeCell(fm, 0, TIntervalModel::ColStep, "10");
    fm->btInsertClick();
    TypeCell(fm, fm->tbInterval->rowCount() - 1, TIntervalModel::ColShift, "0");
    TypeCell(fm, 1, TIntervalModel::ColStep, "2");
    TypeCell(fm, 2, TIntervalModel::ColStep, "7");
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("-500;10;0;2;500;7;"));
    QCOMPARE(fm->tbInterval->data(fm->tbInterval->index(0, TIntervalModel::ColStepFs)).toString(),
             QLocale::system().toString(10 * FsPerStep, 'f', 2));

    RunToEnd(fm);
    // No error (the zero proposal may come, answered No).
    for (const TMessageBoxRequest &box : boxes.Requests) QVERIFY(box.Icon != QMessageBox::Critical);
    // Every 10 steps from -500 fsec (19970) to 0 fsec, then every 2 from the
    // next even position up to 500 fsec (20030).
    QCOMPARE(MeasuredPositions(fm->Data()), Range(19970, 20000, 10) + Range(20002, 20030, 2));
    // The last row's step was emptied by the validation, also in the grid.
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("-500;10;0;2;500;;"));
    QCOMPARE(fm->tbInterval->data(fm->tbInterval->index(2, TIntervalModel::ColStep)).toString(),
             QString());

    // A step of 0 or below becomes empty, and so does its step in fsec.
    TypeCell(fm, 1, TIntervalModel::ColStep, "-3");
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("-500;10;0;;500;;"));
    QCOMPARE(fm->tbInterval->data(fm->tbInterval->index(1, TIntervalModel::ColStepFs)).toString(),
             QString());

    // One row left: the table's message, through the window.
    fm->grInterval->setCurrentIndex(fm->tbInterval->index(0, 0));
    fm->btDeleteClick();
    fm->grInterval->setCurrentIndex(fm->tbInterval->index(0, 0));
    fm->btDeleteClick();
    QCOMPARE(fm->Data().Interval.Count(), 1);
    boxes.Requests.clear();
    FMain->mnStart->trigger();
    QCOMPARE(Texts(boxes.Requests), QStringList{"Interval table must contain at least 2 records."});
  }

  void insertTakesTheZoomedRange() {
    Start();
    TfmProject *fm = NewProject();
    fm->resize(900, 600);
    fm->lbAdvancedModeClick();
    // Not zoomed: one empty row open for typing.
    fm->btInsertClick();
    QVERIFY(fm->tbInterval->HasPending());
    QCOMPARE(fm->Data().Interval.Count(), 0);
    fm->btDeleteClick();
    QVERIFY(!fm->tbInterval->HasPending());

    fm->Chart->SetTimeRange(-1000, 1000);
    QCustomPlot *plot = fm->Chart->Plot();
    plot->replot();
    const QRect r = plot->axisRect()->rect();
    fm->Chart->ZoomTo(QRect(r.left() + r.width() / 4, r.top() + 10, r.width() / 2, r.height() / 2));
    QVERIFY(fm->Chart->Zoomed());
    const int left = int(std::nearbyint(fm->Chart->TimeMin()));
    const int right = int(std::nearbyint(fm->Chart->TimeMax()));
    QVERIFY(left > -1000 && right < 1000 && left < right);
    fm->btInsertClick();
    // The left edge is posted, the right edge is open for its step.
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("%1;;").arg(left));
    QVERIFY(fm->tbInterval->HasPending());
    QCOMPARE(fm->grInterval->currentIndex().row(), fm->tbInterval->PendingRow());
    QCOMPARE(fm->grInterval->currentIndex().column(), int(TIntervalModel::ColStep));
    TypeCell(fm, fm->tbInterval->PendingRow(), TIntervalModel::ColStep, "5");
    QCOMPARE(fm->Data().Interval.GetIntervalText(), QString("%1;;%2;5;").arg(left).arg(right));

    // Back to the full view.
    fm->Chart->Unzoom();
    QVERIFY(!fm->Chart->Zoomed());
    QCOMPARE(fm->Chart->TimeMin(), -1000.0);
  }

  // ---- runs ----------------------------------------------------------------

  void runShowsProgressAndStopKeepsEveryPoint() {
    Start(20000, {}, 1, SimulatorProgramSpeed);
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    SetInterval(fm, 0, 600000, 1);  // 36000 positions from the carriage on
    FMain->mnStart->trigger();
    QVERIFY(fm->Running);
    QCOMPARE(fm->windowTitle(), QString("Project 1 [Running]"));
    QVERIFY(!FMain->mnStart->isEnabled());
    QVERIFY(FMain->mnStop->isEnabled());
    QVERIFY(fm->edLeft->isReadOnly());
    QVERIFY(!fm->btInsert->isEnabled());
    QVERIFY(!fm->mnPasteTable->isEnabled());
    QVERIFY(fm->mnCopyTable->isEnabled());
    QVERIFY(fm->chbDot->isEnabled());
    QCOMPARE(fm->Chart->TimeMin(), 0.0);

    // The drawing timer shows progress in the main window's panels.
    QTRY_VERIFY_WITH_TIMEOUT(FMain->StatusText(1).startsWith("Elapsed time: 00:00:0"), 3000);
    QVERIFY(FMain->StatusText(2).endsWith("% done"));
    QVERIFY(fm->StatusText(0).startsWith("Pixels: "));

    // Centering is refused while running.
    FMain->mnCentering->trigger();
    QCOMPARE(Texts(boxes.Requests),
             QStringList{"Centering is not possible while the project is running."});
    boxes.Requests.clear();

    // F9's command stops after the point under way; nothing stored is lost.
    FMain->mnStop->trigger();
    QVERIFY(!fm->Running);
    const QList<int> measured = MeasuredPositions(fm->Data());
    QVERIFY(!measured.isEmpty());
    QVERIFY(measured.size() < 36000);
    QCOMPARE(fm->Data().PixelCount, measured.size());
    // A contiguous stretch from where the run began.
    QCOMPARE(measured.last() - measured.first() + 1, measured.size());
    for (int i : measured) {
      const TPixel &p = fm->Data().Pixels[i];
      QVERIFY(p.Transmission > 0 && p.AmpI > 0);
    }
    QCOMPARE(fm->windowTitle(), QString("Project 1"));
    QVERIFY(FMain->mnStart->isEnabled());
    QVERIFY(!FMain->mnStop->isEnabled());
    QVERIFY(!fm->edLeft->isReadOnly());
    QVERIFY(fm->btInsert->isEnabled());
    QCOMPARE(FMain->StatusText(1), QString());
    QCOMPARE(FMain->StatusText(2), QString());
    QCOMPARE(fm->StatusText(0), QString("Pixels: %1").arg(measured.size()));
    // The chart holds every stored point.
    QCOMPARE(fm->Chart->OwnPointCount() - fm->Chart->GapKeys().size(), measured.size());
    QTest::qWait(200);
    QCOMPARE(Texts(boxes.Requests), QStringList{});
  }

  void zeroProposal_data() {
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("left");
    QTest::addColumn<bool>("asked");
    // The peak is at carriage position 20000.
    QTest::newRow("zero between the neighbours") << 20000 << -100 << false;
    QTest::newRow("zero beside the peak") << 20010 << -500 << true;
  }
  void zeroProposal() {
    QFETCH(int, zero);
    QFETCH(int, left);
    QFETCH(bool, asked);
    // Averaged enough that the noise cannot move the peak off 20000.
    Start(zero, {}, 256);
    TBoxRecorder boxes(QMessageBox::Yes);
    TfmProject *fm = NewProject();
    SetInterval(fm, left, 100, 1);
    RunToEnd(fm);
    const QString question = "Change delay line zero position according to current peak maximum?";
    QCOMPARE(Texts(boxes.Requests), asked ? QStringList{question} : QStringList{});
    QCOMPARE(fm->Data().PeakIndex, 20000);
    QCOMPARE(Device->ZeroPosition, 20000);
    QCOMPARE(fm->Data().ZeroPosition, 20000);
    // The peak is drawn at 0 fsec now.
    QCOMPARE(fm->StatusText(1), QString("Peak position, fsec: 0"));
  }

  void centeringMovesTheData() {
    Start(20000, {}, 256);
    TBoxRecorder boxes(QMessageBox::Yes);
    TfmProject *fm = NewProject();
    SetInterval(fm, 0, 300, 1);  // peak at 20000, the data's first position
    RunToEnd(fm);
    Device->ZeroPosition = 20005;
    boxes.Requests.clear();
    FMain->mnCentering->trigger();
    QCOMPARE(Texts(boxes.Requests), QStringList{"Shift graph maximum to 0 fsec?"});
    QCOMPARE(fm->Data().PeakIndex, 20005);
    QVERIFY(fm->Data().Pixels[20005].Measured());
    QVERIFY(!fm->Data().Pixels[20004].Measured());
    QCOMPARE(fm->StatusText(1), QString("Peak position, fsec: 0"));
  }

  void closingARunningModifiedProject() {
    Start(20000, {}, 1, SimulatorProgramSpeed);
    TfmProject *fm = NewProject();
    SetInterval(fm, 0, 600000, 1);
    FMain->mnStart->trigger();
    QVERIFY(fm->Running);
    QTRY_VERIFY(fm->Modified());

    TBoxRecorder boxes(QMessageBox::No);
    QVERIFY(!CloseChildWindow(fm));
    QCOMPARE(Texts(boxes.Requests), QStringList{"Stop execution?"});
    QVERIFY(fm->Running);

    // Yes, then Yes to saving, then a cancelled save dialog: it stays.
    boxes.Requests.clear();
    boxes.Answer = QMessageBox::Yes;
    TFileDialogRecorder files;
    QVERIFY(!CloseChildWindow(fm));
    QCOMPARE(Texts(boxes.Requests),
             (QStringList{"Stop execution?", "Save changes to project \"Project 1\"?"}));
    QCOMPARE(files.Kinds, QList<TFileDialogKind>{TFileDialogKind::ProjectSave});
    QCOMPARE(files.Presets, QStringList{"Project 1.vtp"});
    QVERIFY(!fm->Running);
    QVERIFY(OpenWindows->Contains(fm));

    // Cancel keeps it; No closes it without saving.
    boxes.Requests.clear();
    boxes.Answer = QMessageBox::Cancel;
    QVERIFY(!CloseChildWindow(fm));
    boxes.Answer = QMessageBox::No;
    QPointer<TfmProject> guard(fm);
    QVERIFY(CloseChildWindow(fm));
    QTRY_VERIFY(!guard);
    QCOMPARE(Projects().size(), 0);
  }

  void deviceFaultEndsTheRunOnce() {
    TSimulatorFaults faults;
    faults.StallCarriage = 300;
    Start(20000, faults);
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    SetInterval(fm, -2000, 2000, 1);  // 241 positions
    RunToEnd(fm);
    const QString message =
        "Carriage reached for delay line limit. Initial carriage position was incorrect.";
    QCOMPARE(Texts(boxes.Requests), QStringList{message});
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Warning);
    const QList<int> before = MeasuredPositions(fm->Data());
    QVERIFY(!before.isEmpty());
    QVERIFY(before.size() < 241);
    QVERIFY(FMain->mnStart->isEnabled());

    // Start again measures the rest; the earlier points stay.
    boxes.Requests.clear();
    RunToEnd(fm);
    const QList<int> after = MeasuredPositions(fm->Data());
    for (int p : before) QVERIFY(after.contains(p));
    QCOMPARE(Texts(boxes.Requests).filter("Carriage"), QStringList{});
    QVERIFY(after.size() > before.size());
  }

  // ---- chart ---------------------------------------------------------------

  void onePixelShowsCountAndPositionOnly() {
    Start(0);
    TfmProject *fm = NewProject();
    SetPixel(fm->Data(), 30, 500);
    fm->Data().RecomputeStatistics();
    fm->RebuildGraph();
    QCOMPARE(fm->Chart->TimeMin(), -100.0);
    QCOMPARE(fm->Chart->TimeMax(), 100.0);
    QCOMPARE(fm->StatusText(0), QString("Pixels: 1"));
    QCOMPARE(fm->StatusText(1), QString("Peak position, fsec: 500"));
    QCOMPARE(fm->StatusText(2), QString("Peak width, fsec:"));
    // Log scale: the peak is drawn at 0.
    QCOMPARE(fm->Chart->Series(0)->data()->at(0)->value, 0.0);
  }

  void breaksAfterTwentyEmptyPositions_data() {
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("breaks");
    QTest::newRow("100 and 120") << 120 << 0;
    QTest::newRow("100 and 121") << 121 << 1;
  }
  void breaksAfterTwentyEmptyPositions() {
    QFETCH(int, second);
    QFETCH(int, breaks);
    Start(0);
    TfmProject *fm = NewProject();
    SetPixel(fm->Data(), 100, 500);
    SetPixel(fm->Data(), second, 400);
    fm->Data().RecomputeStatistics();
    fm->RebuildGraph();
    // The last measured pixel is always followed by a break; the question
    // is the one between the two.
    QList<double> between;
    for (double key : fm->Chart->GapKeys())
      if (key < DelayOf(second, 0)) between << key;
    QCOMPARE(between.size(), breaks);
    auto data = fm->Chart->Series(0)->data();
    if (breaks) {
      // The line ends at 100: a NaN point lies between the two.
      QVERIFY(std::isnan(data->at(1)->value));
      QVERIFY(data->at(1)->key > DelayOf(100, 0) && data->at(1)->key < DelayOf(101, 0));
    }
  }

  void logAndLinearValues() {
    Start(0);
    TfmProject *fm = NewProject();
    SetPixel(fm->Data(), 10, 0);
    SetPixel(fm->Data(), 11, 1000);
    SetPixel(fm->Data(), 12, 100);
    fm->Data().RecomputeStatistics();
    fm->RebuildGraph();
    QVERIFY(fm->chbLogScale->isChecked());
    auto values = [&] {
      QList<double> list;
      auto data = fm->Chart->Series(0)->data();
      for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        if (!std::isnan(it->value)) list << it->value;
      return list;
    };
    QCOMPARE(values(), (QList<double>{-10, 0, -1}));
    QCOMPARE(fm->Chart->TitleText(), QString("CROSSCORRELATION FUNCTION, dB"));
    QVERIFY(fm->Chart->ValueMin() < -10 && fm->Chart->ValueMax() > 0);

    fm->chbLogScale->setChecked(false);
    QCOMPARE(values(), (QList<double>{0, 1, 0.1}));
    QCOMPARE(fm->Chart->ValueMin(), 0.0);
    QCOMPARE(fm->Chart->ValueMax(), 1.01);
    QCOMPARE(fm->Chart->TitleText(), QString("CROSSCORRELATION FUNCTION"));

    // Captions off: no title, no axis title.
    fm->chbCaptions->setChecked(false);
    QVERIFY(!fm->Chart->TitleVisible());
    QCOMPARE(fm->Chart->TimeAxisTitle(), QString());
  }

  void linesAndDotsNeverBothOff() {
    Start();
    TfmProject *fm = NewProject();
    QVERIFY(fm->chbLine->isChecked());
    QVERIFY(!fm->chbDot->isChecked());
    fm->chbLine->setChecked(false);
    QVERIFY(fm->chbDot->isChecked());
    QCOMPARE(fm->Chart->Series(0)->lineStyle(), QCPGraph::lsNone);
    QVERIFY(fm->Chart->Series(0)->scatterStyle().shape() != QCPScatterStyle::ssNone);
    fm->chbDot->setChecked(false);
    QVERIFY(fm->chbLine->isChecked());
    QCOMPARE(fm->Chart->Series(0)->lineStyle(), QCPGraph::lsLine);
    QCOMPARE(fm->Chart->Series(0)->scatterStyle().shape(), QCPScatterStyle::ssNone);
  }

  void readoutInterpolatesOverTwentyPositions() {
    Start(0);
    TfmProject *fm = NewProject();
    fm->resize(1000, 600);
    TProjectData &d = fm->Data();
    SetPixel(d, 100, 1000);
    SetPixel(d, 120, 500);  // 20 apart: interpolated between
    SetPixel(d, 141, 800);  // 21 apart: nothing between
    d.RecomputeStatistics();
    fm->RebuildGraph();
    fm->Chart->SetTimeRange(DelayOf(90, 0), DelayOf(150, 0));
    fm->Chart->Plot()->replot();

    fm->Chart->ChartMouseMove(PlotPixel(fm, DelayOf(110, 0)), Qt::NoButton);
    QVERIFY(fm->Chart->ReadoutVisible());
    QCOMPARE(fm->Chart->lbYValue->text(), QString("0.75"));
    QCOMPARE(fm->Chart->lbXValue->text(), QString::number(qRound(DelayOf(110, 0))));
    QCOMPARE(fm->Chart->SeriesTitle(0), PadTitle(fm->ProjectName, "0.75", fm->ProjectName.size()));
    const QRect r = fm->Chart->Plot()->axisRect()->rect();
    QCOMPARE(fm->Chart->lbYValue->y(), r.top());
    QCOMPARE(fm->Chart->lbXValue->geometry().bottom(), r.bottom());
    QCOMPARE(fm->Chart->pnReperTop->width(), 1);

    fm->Chart->ChartMouseMove(PlotPixel(fm, DelayOf(130, 0)), Qt::NoButton);
    QCOMPARE(fm->Chart->lbYValue->text(), QString());
    QCOMPARE(fm->Chart->lbYValue->width(), 1);

    // A held button or a pointer outside the plot hides it.
    fm->Chart->ChartMouseMove(PlotPixel(fm, DelayOf(110, 0)), Qt::LeftButton);
    QVERIFY(!fm->Chart->ReadoutVisible());
    QCOMPARE(fm->Chart->SeriesTitle(0), PadTitle(fm->ProjectName, "", fm->ProjectName.size()));
    fm->Chart->ChartMouseMove(QPoint(r.left() - 5, r.center().y()), Qt::NoButton);
    QVERIFY(!fm->Chart->ReadoutVisible());
  }

  void peakWidthExample() {
    Start(0);
    TfmProject *fm = NewProject();
    TProjectData &d = fm->Data();
    SetPixel(d, 10, 200);
    SetPixel(d, 11, 1000);
    SetPixel(d, 12, 400);
    d.RecomputeStatistics();
    fm->RebuildGraph();
    QCOMPARE(fm->StatusText(2), QString("Peak width, fsec: 24"));
    QCOMPARE(fm->StatusText(1), QString("Peak position, fsec: 183"));
  }

  // ---- files ---------------------------------------------------------------

  void saveOpenAndShowTheOpenWindow() {
    Start();
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    SetInterval(fm, -100, 100, 1);
    fm->edNote->setPlainText("first line\nsecond line");
    RunToEnd(fm);
    const QString fileName = FDir.filePath("scan.vtp");
    TFileDialogRecorder files;
    files.Answers << fileName;
    FMain->mnSave->trigger();
    QCOMPARE(files.Presets, QStringList{"Project 1.vtp"});
    QCOMPARE(fm->ProjectFileName, fileName);
    QCOMPARE(fm->windowTitle(), QString("scan"));
    QCOMPARE(fm->Chart->SeriesTitle(0).trimmed(), QString("scan"));
    QVERIFY(!fm->Modified());
    QCOMPARE(FMain->RecentFiles.value(0), fileName);

    // Open of the open file shows its window.
    TfmProject *other = NewProject();
    QCOMPARE(FMain->ActiveChild(), other);
    files.Answers << fileName;
    FMain->mnOpen->trigger();
    QCOMPARE(FMain->ActiveChild(), fm);
    QCOMPARE(Projects().size(), 2);

    // A second window on the file (after the first closed) reads it all back.
    QVERIFY(CloseChildWindow(fm));
    files.Answers << fileName;
    FMain->mnOpen->trigger();
    auto *loaded = qobject_cast<TfmProject *>(FMain->ActiveChild());
    QVERIFY(loaded && loaded != other);
    QCOMPARE(loaded->windowTitle(), QString("scan"));
    QCOMPARE(MeasuredPositions(loaded->Data()), Range(19994, 20006, 1));
    QCOMPARE(loaded->edNote->toPlainText(), QString("first line\nsecond line"));
    QCOMPARE(loaded->edLeft->value(), -100);
    QVERIFY(!loaded->Modified());
    QCOMPARE(loaded->StatusText(0), QString("Pixels: 13"));
    QCOMPARE(Texts(boxes.Requests), QStringList{});
  }

  void saveDuringARunWritesCompletePoints() {
    Start(20000, {}, 1, SimulatorProgramSpeed);
    TBoxRecorder boxes(QMessageBox::No);
    TfmProject *fm = NewProject();
    SetInterval(fm, 0, 600000, 1);
    FMain->mnStart->trigger();
    QTRY_VERIFY(fm->Data().PixelCount > 100);
    const QString fileName = FDir.filePath("running.vtp");
    fm->SaveProject(fileName);
    QVERIFY(fm->Running);
    QCOMPARE(fm->windowTitle(), QString("running [Running]"));
    FMain->mnStop->trigger();

    TProjectData copy;
    LoadProjectBytes(copy, TFileBytes(fileName).Data(), TFileBytes(fileName).Size(), 20000);
    QVERIFY(copy.PixelCount > 0);
    for (int i : MeasuredPositions(copy)) {
      const TPixel &p = copy.Pixels[i];
      QVERIFY(p.Transmission > 0 && p.AmpI > 0);
      // Every saved point is the one the window holds.
      QCOMPARE(p.Signal, fm->Data().Pixels[i].Signal);
    }
    // Points stored after the save make the project modified again.
    QVERIFY(fm->Modified());
  }

  // veltravor FILE.vtp ...: each named file opens once the start actions are
  // over, a file named twice shows its one window, a missing one its message.
  void filesNamedOnTheCommandLineOpenAfterTheStartActions() {
    const QString fileName = FDir.filePath("named.vtp");
    {
      TProjectData data;
      data.ZeroPosition = 20000;  // the device's: the pixels stay where they are
      SetPixel(data, 20000, 500);
      data.RecomputeStatistics();
      SaveProject(data, fileName);
    }
    QFile::remove(TPaths::SettingsFile());
    QVERIFY(WriteTextLines(TPaths::SettingsFile(), {"[General]", "Carriage=20000", "Zero=20000",
                                                    "filterTable=" + Calibration}));
    const QString missing = FDir.filePath("missing.vtp");
    // Journals that earlier tests' windows left would ask to be recovered.
    QDir(TRunJournal::Folder(false)).removeRecursively();
    TStartOptions options;
    options.Files = {fileName, missing, fileName};
    options.CreateLink = [](const QString &) {
      TSimulatorConfig config;
      config.Speed = 0;
      config.KeepState = false;
      config.Carriage = 20000;
      return std::make_unique<TSimulatorLink>(config);
    };
    TBoxRecorder boxes(QMessageBox::No);
    FMain = std::make_unique<TfmMain>(options);
    FMain->show();
    QTRY_VERIFY(!FMain->tmStartActions->isActive() && Projects().size() == 1 &&
                boxes.Requests.size() == 1);
    QCOMPARE(FMain->StatusText(0), QString("Device found"));
    QCOMPARE(Projects().first()->ProjectFileName, fileName);
    QCOMPARE(MeasuredPositions(Projects().first()->Data()), QList<int>{20000});
    QCOMPARE(Texts(boxes.Requests), QStringList{"File \"" + missing + "\" not found."});
  }

  void loadReportsPixelsPushedOut() {
    Start(0);
    const QString fileName = FDir.filePath("edge.vtp");
    {
      TProjectData data;
      SetPixel(data, 69950, 500);
      SetPixel(data, 69990, 300);
      SetPixel(data, 69999, 200);
      data.RecomputeStatistics();
      SaveProject(data, fileName);
    }
    Device->ZeroPosition = 20;
    TBoxRecorder boxes;
    TFileDialogRecorder files;
    files.Answers << fileName;
    FMain->mnOpen->trigger();
    QCOMPARE(Texts(boxes.Requests),
             QStringList{"Some pixels (2) were deleted due to shift of delay line zero position."});
    auto *fm = qobject_cast<TfmProject *>(FMain->ActiveChild());
    QVERIFY(fm);
    QCOMPARE(MeasuredPositions(fm->Data()), QList<int>{69970});
    QCOMPARE(fm->Data().ZeroPosition, 20);
    QVERIFY(!fm->Modified());
  }

  void unreadableFileLeavesTheWindowWithWhatWasRead() {
    Start();
    const QString fileName = FDir.filePath("cut.vtp");
    {
      TProjectData data;
      data.Note = "kept";
      data.Left = -250;
      SetPixel(data, 20000, 500);
      SaveProject(data, fileName);
      QFile file(fileName);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.resize(file.size() - 3));
    }
    TBoxRecorder boxes;
    TFileDialogRecorder files;
    files.Answers << fileName;
    FMain->mnOpen->trigger();
    QCOMPARE(Texts(boxes.Requests), QStringList{"Stream read error."});
    auto *fm = qobject_cast<TfmProject *>(FMain->ActiveChild());
    QVERIFY(fm);
    QCOMPARE(fm->edNote->toPlainText(), QString("kept"));
    QCOMPARE(fm->edLeft->value(), -250);
    // Not tied to the broken file: saving asks where to write.
    QCOMPARE(fm->ProjectFileName, QString());
    QCOMPARE(fm->windowTitle(), QString("cut"));
  }
};

VELTRAVOR_TEST_MAIN(ProjectWindowTest)
#include "ProjectWindowTest.moc"
