// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <qcustomplot.h>

#include <functional>
#include <memory>

#include "../app/ShellTestSupport.h"
#include "TestEnvironment.h"
#include "adjustment/Adjustment.h"
#include "adjustment/LinkLabel.h"
#include "adjustment/MoveFilter.h"
#include "adjustment/MoveSM.h"
#include "app/AppError.h"
#include "app/ErrorGuard.h"
#include "app/FileDialogs.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "device/Device.h"
#include "measurement/Project.h"
#include "settings/FilterTableModel.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorLink.h"
#include "windowpanel/WindowPanel.h"

namespace {
constexpr int StartCarriage = 30600;  // 10000 fsec behind the stored zero 30000
const QString Refusal = "Can not change any params during project execution.";
// Commands the instrument has seen once the device is open: the gains and the
// wheel's run back to its home (the first filter stands at 0).
constexpr int OpenCommands = 2;

// Answers every box through Answer (Yes when unset) and keeps what was shown,
// with whether the hourglass was up at that moment.
class TBoxes {
 public:
  TBoxes() {
    FPrevious = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
      Requests << request;
      const QCursor *cursor = QApplication::overrideCursor();
      Hourglass << (cursor && cursor->shape() == Qt::WaitCursor);
      if (request.Icon == QMessageBox::Critical || request.Icon == QMessageBox::Warning)
        return QMessageBox::Ok;
      return Answer ? Answer(request.Text) : QMessageBox::Yes;
    });
  }
  ~TBoxes() { SetMessageBoxHook(FPrevious); }
  std::function<QMessageBox::StandardButton(const QString &)> Answer;
  QList<TMessageBoxRequest> Requests;
  QList<bool> Hourglass;
  QStringList Texts() const {
    QStringList texts;
    for (const TMessageBoxRequest &r : Requests) texts << r.Text;
    return texts;
  }
  QStringList Errors() const {
    QStringList texts;
    for (const TMessageBoxRequest &r : Requests)
      if (r.Icon == QMessageBox::Critical) texts << r.Text;
    return texts;
  }
  void Clear() {
    Requests.clear();
    Hourglass.clear();
  }

 private:
  TMessageBoxHook FPrevious;
};

QString StatusMessage(uint32_t status) {
  try {
    TDevice::CheckStatus(status);
  } catch (const EAppError &e) {
    return e.Message();
  }
  return {};
}

// Lines of the settings file under [section], as "name=value".
QStringList Section(const QString &section) {
  QStringList result;
  bool inside = false;
  for (const QString &line : FileLines(TPaths::SettingsFile())) {
    if (line.startsWith('[')) {
      inside = line == "[" + section + "]";
      continue;
    }
    if (inside && !line.isEmpty()) result << line;
  }
  return result;
}

QString GeneralValue(const QString &name) {
  for (const QString &line : Section("General"))
    if (line.startsWith(name + "=")) return line.mid(name.size() + 1);
  return QString();
}

// The bins drawn by Series1: the step that starts at v - 0.5 is bin v.
QList<int> DrawnBins(QCPGraph *series) {
  QList<int> bins;
  for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
    bins << int(it->value);
  if (!bins.isEmpty()) bins.removeLast();  // the last bin's closing point
  return bins;
}

int RowOfShift(const TFilterTableModel *model, int shift) {
  for (int row = 0; row < model->rowCount(); ++row)
    if (model->index(row, TFilterTableModel::colShift).data().toInt() == shift) return row;
  return -1;
}

QList<int> Measured(const TfmAdjustment *fm) {
  return fm->Series().Samples().mid(0, fm->SampleCount);
}
}  // namespace

class AdjustmentTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;
  TSimulatorLink *FLink = nullptr;
  std::unique_ptr<QWidget> FProjectHolder;

  // speed: the simulated instrument's time scale, 0 = every answer at once.
  void Start(const TSimulatorFaults &faults = {}, double speed = 0) {
    TStartOptions options;
    options.CreateLink = [this, faults, speed](const QString &) {
      TSimulatorConfig config;
      config.Speed = speed;
      config.KeepState = false;
      config.Carriage = StartCarriage;
      config.Wheel = 0;
      config.Faults = faults;
      auto link = std::make_unique<TSimulatorLink>(config);
      FLink = link.get();
      return link;
    };
    FMain = std::make_unique<TfmMain>(options);
    // The start actions have tests of their own; the Adjustment command opens the device.
    FMain->tmStartActions->stop();
    FMain->resize(1100, 800);
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }

  TfmAdjustment *Open() {
    FMain->mnAdjustment->trigger();
    return OpenWindows ? OpenWindows->FindFirst<TfmAdjustment>() : nullptr;
  }

  int Commands() { return FLink->Instrument().CommandCount(); }

  // A project window that runs a scan, as far as the adjustment window can tell.
  TfmProject *RunningProject() {
    FProjectHolder = std::make_unique<QWidget>();
    auto *project = new TfmProject(FProjectHolder.get());
    OpenWindows->Add(project);
    project->Running = true;
    return project;
  }

  // Starts a series with the main window's Start and lets act look at every
  // pass of the event loop until the series has ended; returns the number of
  // values measured at each pass.
  QList<int> RunSeries(TfmAdjustment *fm, const std::function<void(int)> &act = {}) {
    QList<int> seen;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, [&] {
      if (!fm->Measuring) return;
      seen << fm->SampleCount;
      if (act) act(fm->SampleCount);
    });
    watcher.start();
    FMain->mnStart->trigger();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(!fm->Measuring, 20000); }();
    watcher.stop();
    seen << fm->SampleCount;  // where it ended
    return seen;
  }

 private slots:
  void initTestCase() { QApplication::setApplicationDisplayName("Veltravor"); }

  void init() {
    QFile::remove(TPaths::EventLogFile());
    QVERIFY(WriteTextLines(TPaths::SettingsFile(),
                           {"[General]", "Carriage=" + QString::number(StartCarriage), "Zero=30000",
                            "filterTable=1;0;0.0923;400;0.00871;800;", "avgNum=1"}));
  }

  void cleanup() {
    if (FProjectHolder) {
      for (TfmProject *project : FProjectHolder->findChildren<TfmProject *>())
        project->Running = false;
      FProjectHolder.reset();
    }
    FMain.reset();
    FLink = nullptr;
  }

  void theCommandOpensTheDeviceAndOneWindowShowingTheDeviceState() {
    Start();
    QVERIFY(!Device->Opened);
    TfmAdjustment *fm = Open();
    QVERIFY(fm);
    QVERIFY(Device->Opened);
    QCOMPARE(FMain->ActiveChild(), fm);
    QCOMPARE(fm->windowTitle(), QString("Adjustment"));
    QCOMPARE(FMain->WindowPanel->IndexOf(fm), 0);
    // A second Adjustment shows the same window.
    QCOMPARE(Open(), fm);
    QCOMPARE(OpenWindows->Count(), 1);

    QCOMPARE(fm->btDLPos->text(), QString("30600"));
    QCOMPARE(fm->lbDLPosFS->text(), QString("10000 fsec."));
    QCOMPARE(fm->btFilterPos->text(), QString("0"));
    QVERIFY(fm->rbAmpF16->isChecked());
    QVERIFY(fm->rbAmpI64->isChecked());
    QCOMPARE(fm->lbTotalGain->text(), QString("Total gain: 1024"));
    QCOMPARE(fm->edQuantity->value(), 100);
    QCOMPARE(fm->edQuantity->minimum(), 1);
    QCOMPARE(fm->edQuantity->maximum(), 1000);
    QCOMPARE(qobject_cast<QCPTextElement *>(fm->Chart->plotLayout()->element(0, 0))->text(),
             QString("Signal distribution"));
    QCOMPARE(fm->Chart->xAxis->range(), QCPRange(-1, 1024));
    QVERIFY(!fm->Chart->legend->visible());
    QCOMPARE(fm->Series1->pen().color(), QColor(Qt::red));
    // The window's copy of the table, in percent, loaded without marking a change.
    QCOMPARE(fm->tbFilter->rowCount(), 3);
    QCOMPARE(fm->tbFilter->index(1, TFilterTableModel::colTransmission).data().toString(),
             QString("9.23"));
    QVERIFY(!fm->TableChanged);
    for (const char *name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4",
                             "SpeedButton5", "SpeedButton6", "SpeedButton8", "SpeedButton10",
                             "btInsert", "btDelete", "lbApplyFilter", "Label2", "grFilter",
                             "pnSignal", "lbCurrentSignal", "lbSignal", "lbMeasurement", "Chart"})
      QVERIFY2(fm->findChild<QWidget *>(name), name);
    QCOMPARE(fm->SpeedButton4->toolTip(), QString("Shift carriage to final limit"));

    // Coming back to the window shows the device anew.
    FMain->mnLog->trigger();
    QVERIFY(FMain->ActiveChild() != fm);
    Device->CarriagePosition = 31200;
    TWindowPanel::ShowForm(fm);
    QCOMPARE(FMain->ActiveChild(), fm);
    QCOMPARE(fm->btDLPos->text(), QString("31200"));
  }

  void theDelayIsShownInWholeFemtosecondsFromTheZeroPosition_data() {
    QTest::addColumn<int>("carriage");
    QTest::addColumn<int>("zero");
    QTest::addColumn<QString>("shown");
    QTest::newRow("10000 fsec") << 30600 << 30000 << "10000 fsec.";
    QTest::newRow("one step back") << 29999 << 30000 << "-17 fsec.";
    QTest::newRow("one step on") << 30001 << 30000 << "17 fsec.";
    QTest::newRow("line start") << 0 << 30000 << "-500000 fsec.";
    QTest::newRow("zero moved") << 30600 << 30600 << "0 fsec.";
  }
  void theDelayIsShownInWholeFemtosecondsFromTheZeroPosition() {
    QFETCH(int, carriage);
    QFETCH(int, zero);
    QFETCH(QString, shown);
    Start();
    TfmAdjustment *fm = Open();
    Device->CarriagePosition = carriage;
    Device->ZeroPosition = zero;
    fm->RefreshDisplay();
    QCOMPARE(fm->btDLPos->text(), QString::number(carriage));
    QCOMPARE(fm->lbDLPosFS->text(), shown);
  }

  void gainButtonsAssignTheGainAndTheDisplayNeverSendsOne() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    fm->rbAmpF1->click();
    QCOMPARE(int(Device->AmpF), 1);
    QCOMPARE(int(Device->AmpI), 64);
    QCOMPARE(FLink->Instrument().PhotoGain(), 1);
    QCOMPARE(fm->lbTotalGain->text(), QString("Total gain: 64"));
    fm->rbAmpI4->click();
    QCOMPARE(FLink->Instrument().InputGain(), 4);
    QCOMPARE(fm->lbTotalGain->text(), QString("Total gain: 4"));
    QVERIFY(fm->rbAmpF1->isChecked() && fm->rbAmpI4->isChecked());

    // Showing other gains checks other buttons but sends nothing.
    const int commands = Commands();
    Device->AmpF = 16;
    Device->AmpI = 32;
    fm->RefreshDisplay();
    QVERIFY(fm->rbAmpF16->isChecked() && fm->rbAmpI32->isChecked());
    QCOMPARE(Commands(), commands);
    QCOMPARE(FLink->Instrument().InputGain(), 4);
    QCOMPARE(int(Device->AmpI), 32);
    // Gains 0 (none assigned yet) have no button: the buttons stay as they are.
    Device->AmpF = 0;
    Device->AmpI = 0;
    fm->RefreshDisplay();
    QVERIFY(fm->rbAmpF16->isChecked() && fm->rbAmpI32->isChecked());
    QCOMPARE(fm->lbTotalGain->text(), QString("Total gain: 0"));
    QCOMPARE(Commands(), commands);
    QVERIFY(boxes.Requests.isEmpty());
  }

  void whileAProjectRunsEveryDeviceCommandIsRefusedAndTheDisplayStays() {
    Start();
    TfmAdjustment *fm = Open();
    fm->rbAmpF1->click();  // 1 x 64, so that 16 is a change
    TBoxes boxes;
    RunningProject();
    const int commands = Commands();
    const TFilterRecords table = Device->FilterTable;
    const QString settings = FileLines(TPaths::SettingsFile()).join('\n');

    struct TCase {
      const char *name;
      std::function<void()> act;
    };
    TDialogRecorder dialogs(QDialog::Accepted);
    const TCase cases[] = {
        {"rbAmpF16", [&] { fm->rbAmpF16->click(); }},
        {"rbAmpI8", [&] { fm->rbAmpI8->click(); }},
        {"SpeedButton1", [&] { fm->SpeedButton1->click(); }},
        {"SpeedButton2", [&] { fm->SpeedButton2->click(); }},
        {"SpeedButton3", [&] { fm->SpeedButton3->click(); }},
        {"SpeedButton4", [&] { fm->SpeedButton4->click(); }},
        {"SpeedButton5", [&] { fm->SpeedButton5->click(); }},
        {"SpeedButton6", [&] { fm->SpeedButton6->click(); }},
        {"SpeedButton8", [&] { fm->SpeedButton8->click(); }},
        {"SpeedButton10", [&] { fm->SpeedButton10->click(); }},
        {"btDLPos", [&] { fm->btDLPos->click(); }},
        {"btFilterPos", [&] { fm->btFilterPos->click(); }},
        {"Label2", [&] { QTest::mouseClick(fm->Label2, Qt::LeftButton); }},
        {"lbApplyFilter", [&] { QTest::mouseClick(fm->lbApplyFilter, Qt::LeftButton); }},
        {"grFilter", [&] { fm->grFilterDblClick(fm->tbFilter->index(1, 2)); }},
        {"Start", [&] { FMain->mnStartClick(); }},
    };
    for (const TCase &c : cases) {
      boxes.Clear();
      RunGuarded(c.act);
      QVERIFY2(!boxes.Requests.isEmpty(), c.name);
      QCOMPARE(boxes.Requests.last().Text, Refusal);
      QCOMPARE(boxes.Requests.last().Icon, QMessageBox::Critical);
      QVERIFY2(dialogs.Names.isEmpty(), c.name);  // refused before any move dialog
    }
    QCOMPARE(Commands(), commands);
    QCOMPARE(int(Device->AmpF), 1);
    QCOMPARE(int(Device->AmpI), 64);
    QCOMPARE(Device->CarriagePosition, StartCarriage);
    QCOMPARE(Device->ZeroPosition, 30000);
    QCOMPARE(Device->FilterTable, table);
    QVERIFY(!fm->Measuring);
    QVERIFY(FMain->mnStart->isEnabled());
    QCOMPARE(FileLines(TPaths::SettingsFile()).join('\n'), settings);
    // A refused gain click leaves the buttons on the gains in force.
    QVERIFY(fm->rbAmpF1->isChecked());
    QVERIFY(fm->rbAmpI64->isChecked());

    // Nothing of the device is shown meanwhile, not even on activation.
    Device->CarriagePosition = 12345;
    fm->RefreshDisplay();
    QCOMPARE(fm->btDLPos->text(), QString::number(StartCarriage));
    // The settings dialog's route refreshes all adjustment windows: once the
    // run is over, the tracked state shows.
    FProjectHolder->findChild<TfmProject *>()->Running = false;
    TDialogRecorder settingsDialog;
    FMain->mnSettings->trigger();
    QCOMPARE(settingsDialog.Names, QStringList{"fmSettings"});
    QCOMPARE(fm->btDLPos->text(), QString("12345"));
  }

  void oneStepAndLimitButtonsMoveAndShowWhatWasMade() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    fm->SpeedButton3->click();
    QCOMPARE(Device->CarriagePosition, StartCarriage + 1);
    QCOMPARE(FLink->Instrument().CarriagePosition(), StartCarriage + 1);
    QCOMPARE(fm->btDLPos->text(), QString("30601"));
    QCOMPARE(fm->lbDLPosFS->text(), QString("10017 fsec."));
    fm->SpeedButton1->click();
    QCOMPARE(fm->btDLPos->text(), QString("30600"));
    fm->SpeedButton8->click();
    QCOMPARE(fm->btFilterPos->text(), QString("1"));
    QCOMPARE(FLink->Instrument().WheelPosition(), 1);
    fm->SpeedButton6->click();
    QCOMPARE(fm->btFilterPos->text(), QString("0"));
    QVERIFY(boxes.Requests.isEmpty());

    // A step the wheel cannot make at its home: the warning, the position as made.
    fm->SpeedButton6->click();
    QCOMPARE(boxes.Texts(), QStringList{"Unable to shift filter wheel."});
    QCOMPARE(boxes.Requests[0].Icon, QMessageBox::Warning);
    QCOMPARE(fm->btFilterPos->text(), QString("0"));

    // To the initial limit only after Yes, under the hourglass.
    boxes.Clear();
    boxes.Answer = [](const QString &) { return QMessageBox::No; };
    fm->SpeedButton2->click();
    QCOMPARE(boxes.Texts(), QStringList{"Shift carriage to initial limit?"});
    QCOMPARE(Device->CarriagePosition, StartCarriage);
    boxes.Clear();
    boxes.Answer = {};
    fm->SpeedButton2->click();
    QCOMPARE(Device->CarriagePosition, 0);
    QCOMPARE(FLink->Instrument().CarriagePosition(), 0);
    QCOMPARE(fm->btDLPos->text(), QString("0"));
    QVERIFY(!QApplication::overrideCursor());
    boxes.Clear();
    fm->SpeedButton1->click();
    QCOMPARE(boxes.Texts(), QStringList{"Unable to shift carriage."});
    QCOMPARE(fm->btDLPos->text(), QString("0"));

    // The wheel to its final limit and back to its home.
    boxes.Clear();
    fm->SpeedButton10->click();
    QCOMPARE(boxes.Texts(), QStringList{"Shift filter wheel to final limit?"});
    QCOMPARE(fm->btFilterPos->text(), QString("100000"));
    fm->SpeedButton5->click();
    QCOMPARE(boxes.Texts().last(), QString("Shift filter wheel to initial limit?"));
    QCOMPARE(fm->btFilterPos->text(), QString("0"));
  }

  void theFinalLimitOffersItsPositionAsTheDelayLineLength() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    QVERIFY(GeneralValue("DL_STEPS").isEmpty());
    fm->SpeedButton4->click();
    QCOMPARE(boxes.Texts(), (QStringList{"Shift carriage to final limit?",
                                         "Set delay line length equals to 70000?"}));
    QCOMPARE(fm->btDLPos->text(), QString("70000"));
    QCOMPARE(GeneralValue("DL_STEPS"), QString("70000"));
    QCOMPARE(GeneralValue("Carriage"), QString("70000"));

    // The stored length matches: nothing more is asked.
    boxes.Clear();
    fm->SpeedButton4->click();
    QCOMPARE(boxes.Texts(), QStringList{"Shift carriage to final limit?"});

    // Declined: nothing stored.
    AppSettings->AddParam({"General"}, "DL_STEPS", 65000);
    boxes.Clear();
    boxes.Answer = [](const QString &text) {
      return text.startsWith("Set delay") ? QMessageBox::No : QMessageBox::Yes;
    };
    fm->SpeedButton4->click();
    QCOMPARE(boxes.Texts().last(), QString("Set delay line length equals to 70000?"));
    QCOMPARE(AppSettings->ReadInt({"General"}, "DL_STEPS", -1), 65000);
  }

  void theShownPositionBecomesTheZeroPositionAfterYes() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    boxes.Answer = [](const QString &) { return QMessageBox::No; };
    QTest::mouseClick(fm->Label2, Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{"Set zero carriage position equals to 30600?"});
    QCOMPARE(Device->ZeroPosition, 30000);
    boxes.Answer = {};
    QTest::mouseClick(fm->Label2, Qt::LeftButton);
    QCOMPARE(Device->ZeroPosition, StartCarriage);
    QCOMPARE(GeneralValue("Zero"), QString("30600"));
    fm->RefreshDisplay();
    QCOMPARE(fm->lbDLPosFS->text(), QString("0 fsec."));
  }

  void theMoveDialogsStartAtThePositionAndMoveByTheDifference() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    TDialogRecorder dialogs;
    int shownPosition = -1, shownFs = 0;
    dialogs.Act = [&](QDialog &dialog) {
      auto *move = qobject_cast<TfmMoveSM *>(&dialog);
      if (!move) return int(QDialog::Rejected);
      shownPosition = move->edPosition->value();
      shownFs = move->edFS->value();
      move->edFS->setValue(-500000);  // the position follows: 0
      return int(QDialog::Accepted);
    };
    fm->btDLPos->click();
    QCOMPARE(dialogs.Names, QStringList{"fmMoveSM"});
    QCOMPARE(shownPosition, StartCarriage);
    QCOMPARE(shownFs, 10000);
    QCOMPARE(Device->CarriagePosition, 0);
    QCOMPARE(fm->btDLPos->text(), QString("0"));

    // Cancel moves nothing.
    dialogs.Act = [](QDialog &dialog) {
      qobject_cast<TMoveDialog *>(&dialog)->edPosition->setValue(500);
      return int(QDialog::Rejected);
    };
    fm->btDLPos->click();
    fm->btFilterPos->click();
    QCOMPARE(Device->CarriagePosition, 0);
    QCOMPARE(Device->WheelPosition, 0);

    dialogs.Act = [&](QDialog &dialog) {
      auto *move = qobject_cast<TfmMoveFilter *>(&dialog);
      shownPosition = move ? move->edPosition->value() : -1;
      if (move) move->edPosition->setValue(400);
      return int(QDialog::Accepted);
    };
    fm->btFilterPos->click();
    QCOMPARE(dialogs.Names.last(), QString("fmMoveFilter"));
    QCOMPARE(shownPosition, 0);
    QCOMPARE(Device->WheelPosition, 400);
    QCOMPARE(FLink->Instrument().WheelPosition(), 400);
    QCOMPARE(fm->btFilterPos->text(), QString("400"));
    QVERIFY(boxes.Requests.isEmpty());
  }

  void deviceFaultsDuringAMoveAreShownWithTheTrackedPosition_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("tracked");
    QTest::newRow("refused acknowledgement") << "BadAcknowledgement"
                                             << "Incorrect device answer." << StartCarriage;
    QTest::newRow("the wheel's code") << "WrongMotorCode"
                                      << "Incorrect device answer." << StartCarriage;
    QTest::newRow("link gone") << "DropLink" << StatusMessage(4) << StartCarriage;
    // Stopped half way: no error, and the position made is shown.
    QTest::newRow("carriage stalls") << "StallCarriage"
                                     << "" << StartCarriage - 300;
  }
  void deviceFaultsDuringAMoveAreShownWithTheTrackedPosition() {
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(int, tracked);
    TSimulatorFaults faults;
    const int first = OpenCommands + 1;  // the move
    if (fault == "BadAcknowledgement") faults.BadAcknowledgement = first;
    if (fault == "WrongMotorCode") faults.WrongMotorCode = first;
    if (fault == "DropLink") faults.DropLink = first;
    if (fault == "StallCarriage") faults.StallCarriage = first;
    Start(faults);
    TfmAdjustment *fm = Open();
    QCOMPARE(Commands(), OpenCommands);
    TBoxes boxes;
    TDialogRecorder dialogs;
    dialogs.Act = [](QDialog &dialog) {
      qobject_cast<TMoveDialog *>(&dialog)->edPosition->setValue(StartCarriage - 600);
      return int(QDialog::Accepted);
    };
    fm->btDLPos->click();
    QCOMPARE(boxes.Errors(), message.isEmpty() ? QStringList{} : QStringList{message});
    for (bool hourglass : boxes.Hourglass) QVERIFY(!hourglass);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(Device->CarriagePosition, tracked);
    QCOMPARE(fm->btDLPos->text(), QString::number(tracked));
  }

  void theGridPostsEditsByTheRecordRulesAndAppliesOnlyAWholeValidTable() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    const TFilterRecords table = Device->FilterTable;
    const QString stored = GeneralValue("filterTable");
    TFilterTableModel *model = fm->tbFilter;

    // An edit typed into a cell and left open: Apply posts it first, and the
    // record rule refuses it; the row stays in editing, nothing is stored.
    const QModelIndex cell = model->index(2, TFilterTableModel::colTransmission);
    fm->grFilter->setCurrentIndex(cell);
    fm->grFilter->edit(cell);
    auto *editor = fm->grFilter->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->setText("150");
    QTest::mouseClick(fm->lbApplyFilter, Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{"Transmission can not exceed 100%."});
    QVERIFY(model->IsEditing());
    QCOMPARE(model->EditingRow(), 2);
    QCOMPARE(Device->FilterTable, table);

    // A row equal to another passes the record rules but not the table's.
    boxes.Clear();
    QVERIFY(model->setData(cell, "100"));
    QTest::mouseClick(fm->lbApplyFilter, Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{"Transmission sequence must be monotone decreasing."});
    QVERIFY(!model->IsEditing());
    QVERIFY(fm->TableChanged);
    QCOMPARE(Device->FilterTable, table);
    QCOMPARE(GeneralValue("filterTable"), stored);

    // A valid table reaches the device and the settings file only after Yes.
    QVERIFY(model->setData(model->index(RowOfShift(model, 800), 1), "0.871"));
    model->Post();
    QVERIFY(model->setData(model->index(RowOfShift(model, 400), 1), "10"));
    model->Post();
    fm->btInsert->click();
    const int added = model->EditingRow();
    QCOMPARE(added, 3);
    QVERIFY(model->setData(model->index(added, 1), "0.5"));
    QVERIFY(model->setData(model->index(added, 2), "1000"));
    boxes.Clear();
    boxes.Answer = [](const QString &) { return QMessageBox::No; };
    QTest::mouseClick(fm->lbApplyFilter, Qt::LeftButton);
    QCOMPARE(boxes.Texts(),
             QStringList{"Save filter calibration table (current settings will be rewrited)?"});
    QCOMPARE(Device->FilterTable, table);
    boxes.Answer = {};
    QTest::mouseClick(fm->lbApplyFilter, Qt::LeftButton);
    QCOMPARE(FilterTableToText(Device->FilterTable),
             QString("1;0;0.1;400;0.00871;800;0.005;1000;"));
    QCOMPARE(GeneralValue("filterTable"), QString("1;0;0.1;400;0.00871;800;0.005;1000;"));
    QVERIFY(!fm->TableChanged);

    // Delete takes the current row.
    fm->grFilter->setCurrentIndex(model->index(3, 1));
    fm->btDelete->click();
    QCOMPARE(model->rowCount(), 3);
    QVERIFY(fm->TableChanged);

    // The grid's own keys: Escape drops the edits of a row, Ctrl+Delete asks first.
    QVERIFY(model->setData(model->index(2, 2), "900"));
    QTest::keyClick(fm->grFilter, Qt::Key_Escape);
    QVERIFY(!model->IsEditing());
    QCOMPARE(model->index(2, 2).data().toString(), QString("800"));
    boxes.Clear();
    boxes.Answer = [](const QString &) { return QMessageBox::No; };
    fm->grFilter->setCurrentIndex(model->index(2, 1));
    QTest::keyClick(fm->grFilter, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes.Texts(), QStringList{"Delete record?"});
    QCOMPARE(model->rowCount(), 3);
    boxes.Answer = {};
    QTest::keyClick(fm->grFilter, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(1, 2).data().toString(), QString("400"));
  }

  void aDoubleClickMovesTheWheelToTheRowAndTheRowInPlaceIsMarked() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    const QModelIndex second = fm->tbFilter->index(1, TFilterTableModel::colShift);
    // As the operator's mouse does it: press, release, double click, release.
    const QPoint at = fm->grFilter->visualRect(second).center();
    QTest::mouseClick(fm->grFilter->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(fm->grFilter->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(fm->grFilter->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(boxes.Texts(), QStringList{"Shift filter wheel to position 400?"});
    QCOMPARE(Device->WheelPosition, 400);
    QCOMPARE(FLink->Instrument().WheelPosition(), 400);
    QCOMPARE(fm->btFilterPos->text(), QString("400"));

    // The row of the wheel's position is sky blue, the others are not.
    fm->grFilter->setCurrentIndex(fm->tbFilter->index(0, 0));
    fm->grFilter->clearSelection();
    const QImage grid = fm->grFilter->viewport()->grab().toImage();
    auto colourOf = [&](int row) {
      const QRect cell = fm->grFilter->visualRect(fm->tbFilter->index(row, 1));
      return grid.pixelColor(cell.left() + 3, cell.center().y());
    };
    const QColor sky(166, 202, 240);
    QCOMPARE(colourOf(1), sky);
    QVERIFY(colourOf(2) != sky);

    // Declined: the wheel stays.
    boxes.Answer = [](const QString &) { return QMessageBox::No; };
    fm->grFilterDblClick(fm->tbFilter->index(2, 1));
    QCOMPARE(boxes.Texts().last(), QString("Shift filter wheel to position 800?"));
    QCOMPARE(Device->WheelPosition, 400);
  }

  void closingAskAboutAnEditedTable_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Cancel keeps the window and the edits")
        << int(QMessageBox::Cancel) << false << false;
    QTest::newRow("No closes without storing") << int(QMessageBox::No) << true << false;
    QTest::newRow("Yes stores and closes") << int(QMessageBox::Yes) << true << true;
  }
  void closingAskAboutAnEditedTable() {
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, stored);
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    boxes.Answer = [answer](const QString &) { return QMessageBox::StandardButton(answer); };
    const TFilterRecords table = Device->FilterTable;
    fm->grFilter->setCurrentIndex(fm->tbFilter->index(2, 2));
    fm->btDelete->click();
    QVERIFY(fm->TableChanged);

    QCOMPARE(CloseChildWindow(fm), closed);
    QCOMPARE(boxes.Texts(), QStringList{"Filter calibration table was changed. Save changes "
                                        "(current settings will be rewrited)?"});
    QCOMPARE(boxes.Requests[0].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(OpenWindows->Count(), closed ? 0 : 1);
    if (!closed) {
      QCOMPARE(fm->tbFilter->rowCount(), 2);
      QVERIFY(fm->TableChanged);
    }
    if (stored)
      QCOMPARE(FilterTableToText(Device->FilterTable), QString("1;0;0.0923;400;"));
    else
      QCOMPARE(Device->FilterTable, table);
    QCOMPARE(GeneralValue("filterTable"),
             stored ? QString("1;0;0.0923;400;") : QString("1;0;0.0923;400;0.00871;800;"));
  }

  void aRowThatBreaksARuleKeepsTheWindowOpen() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    fm->btInsert->click();
    QVERIFY(fm->tbFilter->setData(fm->tbFilter->index(3, 1), "5"));  // no position
    QVERIFY(!CloseChildWindow(fm));
    QCOMPARE(boxes.Texts(), QStringList{"Filter wheel position is not specified."});
    QCOMPARE(OpenWindows->Count(), 1);
    fm->tbFilter->Cancel();
    boxes.Answer = [](const QString &) { return QMessageBox::No; };
    QVERIFY(CloseChildWindow(fm));
  }

  void aSeriesDrawsItsHistogramAndStatistics() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    fm->edQuantity->setValue(50);
    const QList<int> seen = RunSeries(fm);
    QVERIFY(boxes.Requests.isEmpty());
    QCOMPARE(fm->SampleCount, 50);
    QCOMPARE(fm->lbMeasurement->text(), QString("50"));
    const QList<int> values = Measured(fm);
    QCOMPARE(fm->lbCurrentSignal->text(), QString::number(values.last()));

    TSampleSeries expected;
    expected.Reset(50);
    for (int v : values) expected.Add(v);
    QCOMPARE(fm->lbSignal->text(), expected.AveragedText());
    QVERIFY(fm->lbSignal->text().contains(QString::fromUtf8(" \u00B1 ")));
    QList<int> bins(1025, 0);
    for (int v : values) ++bins[v];
    QCOMPARE(DrawnBins(fm->Series1), bins);
    QCOMPARE(fm->Series1->data()->constBegin()->key, -0.5);
    QCOMPARE(fm->Chart->xAxis->range(), QCPRange(expected.Minimum() - 5, expected.Maximum() + 5));
    QVERIFY(fm->Chart->yAxis->range().upper >= expected.MaxBin());

    // The values come one per pass of the event loop.
    QCOMPARE(seen.last(), 50);
    for (int i = 1; i < seen.size(); ++i) QVERIFY(seen[i] - seen[i - 1] <= 1);
    QVERIFY(FMain->mnStart->isEnabled());
    QVERIFY(!FMain->mnStop->isEnabled());

    // A new series starts afresh; one value has no spread.
    fm->edQuantity->setValue(1);
    RunSeries(fm);
    QCOMPARE(fm->SampleCount, 1);
    QCOMPARE(fm->lbSignal->text(), fm->lbCurrentSignal->text() + QString::fromUtf8(" \u00B1 0"));
    int drawn = 0;
    for (int n : DrawnBins(fm->Series1)) drawn += n;
    QCOMPARE(drawn, 1);
  }

  void stopExportCopyAndClosingAreHandledDuringASeries() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    const QString exported = TestRoot() + "/during.dat";
    QFile::remove(exported);
    const auto fileHook =
        SetFileDialogHook([&](TFileDialogKind, const QString &) { return exported; });
    QApplication::clipboard()->clear();
    fm->edQuantity->setValue(1000);
    bool copied = false;
    bool startDisabled = true, stopEnabled = true;
    bool closedDuring = true;
    int exportedAt = -1;
    const QList<int> seen = RunSeries(fm, [&](int count) {
      startDisabled = startDisabled && !FMain->mnStart->isEnabled();
      stopEnabled = stopEnabled && FMain->mnStop->isEnabled();
      if (count == 2 && !copied) {
        FMain->mnCopy->trigger();
        copied = true;
      }
      if (count == 4 && exportedAt < 0) {
        FMain->mnExport->trigger();
        exportedAt = count;
      }
      if (count == 6) FMain->mnStop->trigger();
    });
    QVERIFY(boxes.Requests.isEmpty());
    QVERIFY(startDisabled && stopEnabled);
    QVERIFY(FMain->mnStart->isEnabled() && !FMain->mnStop->isEnabled());
    // Stop ends the series after the value under way: six values are valid.
    QCOMPARE(fm->SampleCount, 6);
    QCOMPARE(seen.last(), 6);
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    QVERIFY(clip->hasFormat("image/svg+xml"));
    QVERIFY(clip->hasImage());

    // The export made during the series holds the four values measured then.
    int quantity = 0;
    const QStringList lines = FileLines(exported);
    QCOMPARE(lines.first(), QString("signal\tquantity"));
    for (const QString &line : lines.mid(1)) quantity += line.section('\t', 1).toInt();
    QCOMPARE(quantity, 4);
    // An export now writes the six valid values, not the zeros after them.
    FMain->mnExport->trigger();
    QCOMPARE(FileLines(exported).join("\r\n") + "\r\n",
             QString::fromLatin1(HistogramText(Measured(fm), 6)));
    SetFileDialogHook(fileHook);

    // Closing during a series ends it and keeps the window; closing again closes.
    fm->edQuantity->setValue(1000);
    RunSeries(fm, [&](int count) {
      if (count == 3) closedDuring = CloseChildWindow(fm);
    });
    QVERIFY(!closedDuring);
    QCOMPARE(fm->SampleCount, 3);
    QCOMPARE(OpenWindows->Count(), 1);
    QVERIFY(CloseChildWindow(fm));
    QCOMPARE(OpenWindows->Count(), 0);
    // The main window closes too: nothing of the series holds it.
    QVERIFY(FMain->close());
  }

  void aSlowSeriesTakesStopBetweenTwoValues() {
    // Real time, 32 pulses a value: each value takes the instrument 32 ms.
    Start({}, 1.0);
    AppSettings->AddParam({"General"}, "avgNum", 32);
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    fm->edQuantity->setValue(1000);
    const QList<int> seen = RunSeries(fm, [&](int count) {
      if (count == 2) FMain->mnStop->trigger();
    });
    QVERIFY(boxes.Requests.isEmpty());
    QCOMPARE(fm->SampleCount, 2);
    for (int i = 1; i < seen.size(); ++i) QVERIFY(seen[i] - seen[i - 1] <= 1);
  }

  void theMainWindowStaysWhileASeriesRuns() {
    Start();
    TfmAdjustment *fm = Open();
    TBoxes boxes;
    fm->edQuantity->setValue(1000);
    bool mainClosed = true;
    RunSeries(fm, [&](int count) {
      if (count == 2) mainClosed = FMain->close();
    });
    QVERIFY(!mainClosed);
    QCOMPARE(fm->SampleCount, 2);
    QVERIFY(Device);
  }

  void aDeviceErrorEndsTheSeriesAndKeepsTheValues() {
    TSimulatorFaults faults;
    faults.DropLink = OpenCommands + 4;  // the fourth measurement
    Start(faults);
    TfmAdjustment *fm = Open();
    QCOMPARE(Commands(), OpenCommands);
    TBoxes boxes;
    fm->edQuantity->setValue(10);
    RunSeries(fm);
    QCOMPARE(boxes.Errors(), QStringList{StatusMessage(4)});
    QCOMPARE(fm->SampleCount, 3);
    QVERIFY(!fm->Measuring);
    QVERIFY(FMain->mnStart->isEnabled());
    QVERIFY(!FMain->mnStop->isEnabled());
    QCOMPARE(fm->lbMeasurement->text(), QString("3"));
    QCOMPARE(fm->btDLPos->text(), QString::number(Device->CarriagePosition));
  }

  void theSignalRowsAreCentredOnThePanel() {
    Start();
    TfmAdjustment *fm = Open();
    const QPair<QLabel *, QLabel *> rows[] = {{fm->lbCurrentSignalCpt, fm->lbCurrentSignal},
                                              {fm->lbAvgSignalCpt, fm->lbSignal}};
    for (int width : {600, 100}) {
      fm->pnSignal->resize(width, fm->pnSignal->height());
      const int half = fm->pnSignal->contentsRect().width() / 2;
      for (const auto &[caption, value] : rows) {
        QCOMPARE(caption->x(), std::max(16, half - caption->width()));
        QCOMPARE(value->x(), caption->x() + caption->width() + 40);
      }
    }
  }

  void theQuantityAndPlacementAreKeptUnderTheirKeys() {
    Start();
    TfmAdjustment *fm = Open();
    fm->edQuantity->setValue(250);
    QVERIFY(CloseChildWindow(fm));
    QVERIFY(FMain->close());
    QCOMPARE(Section("Fomrs  TfmAdjustment"), QStringList{"edQuantity=250"});
    QVERIFY(!Section("Forms  TfmAdjustmentTfmAdjustment").isEmpty());
    FMain.reset();

    Start();
    fm = Open();
    QCOMPARE(fm->edQuantity->value(), 250);
  }
};

VELTRAVOR_TEST_MAIN(AdjustmentTest)
#include "AdjustmentTest.moc"
