// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "ShellTestSupport.h"
#include "TestEnvironment.h"
#include "app/AppError.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "device/Device.h"
#include "simulator/SimulatorLink.h"

namespace {
// Where the operator could look while the device works: the first status
// panel and whether the hourglass is up.
struct TSeen {
  QString Status;
  bool Hourglass;
  bool operator==(const TSeen &) const = default;
};

TSeen SeenNow() {
  const QCursor *cursor = QApplication::overrideCursor();
  return {fmMain ? fmMain->StatusText(0) : QString(), cursor && cursor->shape() == Qt::WaitCursor};
}

// The simulated instrument, watched: what the window showed at each link
// call that reached the instrument, and faults to inject on the spot.
class TWatchedLink : public TSimulatorLink {
 public:
  using TSimulatorLink::TSimulatorLink;
  uint32_t OpenStatus = 0;   // non-zero: OpenEx answers this, as with no device
  uint32_t WriteStatus = 0;  // non-zero: every Write fails with it
  QList<TSeen> AtOpen, AtWrite;

  uint32_t OpenEx(const QString &description, uint32_t flags) override {
    AtOpen << SeenNow();
    if (OpenStatus) return OpenStatus;
    return TSimulatorLink::OpenEx(description, flags);
  }
  uint32_t Write(const uint8_t *buffer, uint32_t count, uint32_t *written) override {
    AtWrite << SeenNow();
    if (WriteStatus) return WriteStatus;
    return TSimulatorLink::Write(buffer, count, written);
  }
};

constexpr int PowerOnCarriage = 35000;  // where the simulated carriage stands
const QString Question =
    "Delay line carriage position is unknown. Roll back carriage to initial limit?";

QString ErrorText(uint32_t status) {
  try {
    TDevice::CheckStatus(status);
  } catch (const EAppError &e) {
    return DisplayedErrorText(e.Message());
  }
  return {};
}
}  // namespace

class StartActionsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;
  TWatchedLink *FLink = nullptr;

 private slots:
  void initTestCase() { QApplication::setApplicationDisplayName("Veltravor"); }
  void cleanup() {
    FMain.reset();
    SetMessageBoxHook({});
  }

  void startActions_data() {
    QTest::addColumn<QStringList>("settings");  // lines of section General
    QTest::addColumn<uint32_t>("openStatus");   // 0: the device is found
    QTest::addColumn<QString>("answer");        // to the carriage question: Yes, No, YesButFail
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("carriage");      // where the instrument's carriage ends
    QTest::addColumn<bool>("settingsRun");  // the Settings command was triggered
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("error");  // the error box's text, empty: none

    const QString table = "filterTable=1;0;0.1;400;";
    QTest::newRow("first start: asked, rolled back, settings")
        << QStringList{} << 0u << "Yes" << true << 0 << true << "Device found"
        << "";
    QTest::newRow("carriage and filter table stored: nothing asked")
        << QStringList{"Carriage=30000", table} << 0u << "Yes" << false << PowerOnCarriage << false
        << "Device found"
        << "";
    QTest::newRow("carriage 0 stored is a known position")
        << QStringList{"Carriage=0", table} << 0u << "Yes" << false << PowerOnCarriage << false
        << "Device found"
        << "";
    QTest::newRow("device not found: nothing after")
        << QStringList{} << 2u << "Yes" << false << PowerOnCarriage << false << "Device not found"
        << ErrorText(2);
    QTest::newRow("device not found with everything stored")
        << QStringList{"Carriage=30000", table} << 3u << "Yes" << false << PowerOnCarriage << false
        << "Device not found" << ErrorText(3);
    QTest::newRow("No: nothing moves, settings still run")
        << QStringList{} << 0u << "No" << true << PowerOnCarriage << true << "Device found"
        << "";
    QTest::newRow("carriage stored as -1 is asked about")
        << QStringList{"Carriage=-1", table} << 0u << "Yes" << true << 0 << false << "Device found"
        << "";
    QTest::newRow("carriage that is no number is asked about")
        << QStringList{"Carriage=abc", table} << 0u << "No" << true << PowerOnCarriage << false
        << "Device found"
        << "";
    QTest::newRow("failed roll-back skips the settings")
        << QStringList{} << 0u << "YesButFail" << true << PowerOnCarriage << false << "Device found"
        << ErrorText(4);
  }

  void startActions() {
    QFETCH(QStringList, settings);
    QFETCH(uint32_t, openStatus);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(int, carriage);
    QFETCH(bool, settingsRun);
    QFETCH(QString, status);
    QFETCH(QString, error);

    QFile::remove(TPaths::SettingsFile());
    if (!settings.isEmpty())
      QVERIFY(WriteTextLines(TPaths::SettingsFile(), QStringList{"[General]"} + settings));

    QList<TMessageBoxRequest> boxes;
    QList<TSeen> atBoxes;
    SetMessageBoxHook([&](const TMessageBoxRequest &request) {
      boxes << request;
      atBoxes << SeenNow();
      if (request.Text != Question) return QMessageBox::Ok;
      if (answer == "YesButFail") FLink->WriteStatus = 4;
      return answer == "No" ? QMessageBox::No : QMessageBox::Yes;
    });

    TStartOptions options;
    options.CreateLink = [&](const QString &) {
      TSimulatorConfig config;
      config.Speed = 0;
      config.KeepState = false;
      config.Carriage = PowerOnCarriage;
      auto link = std::make_unique<TWatchedLink>(config);
      link->OpenStatus = openStatus;
      FLink = link.get();
      return link;
    };
    TDialogRecorder dialogs;
    FMain = std::make_unique<TfmMain>(options);
    QSignalSpy settingsSpy(FMain->mnSettings, &QAction::triggered);
    FMain->show();
    // The whole start actions run in one timer call: once the panel shows
    // anything, they are over.
    QTRY_VERIFY(!FMain->StatusText(0).isEmpty());
    QVERIFY(!FMain->tmStartActions->isActive());

    QCOMPARE(FMain->StatusText(0), status);
    QVERIFY(!QApplication::overrideCursor());
    // The device was searched with "Initialization..." painted and the hourglass up.
    QCOMPARE(FLink->AtOpen, (QList<TSeen>{{"Initialization...", true}}));

    QStringList texts;
    for (const TMessageBoxRequest &box : boxes) texts << box.Text;
    QStringList expected;
    if (asked) expected << Question;
    if (!error.isEmpty()) expected << error;
    QCOMPARE(texts, expected);
    // Every box comes after the hourglass is gone; the question after "Device found".
    for (int i = 0; i < boxes.size(); ++i) {
      QCOMPARE(atBoxes[i].Hourglass, false);
      QCOMPARE(atBoxes[i].Status, status);
      QCOMPARE(boxes[i].Caption, QString("Veltravor"));
      QCOMPARE(boxes[i].Icon,
               boxes[i].Text == Question ? QMessageBox::Question : QMessageBox::Critical);
    }
    // Everything sent to the instrument went under the hourglass.
    for (const TSeen &seen : FLink->AtWrite) QVERIFY(seen.Hourglass);
    if (openStatus) QVERIFY(FLink->AtWrite.isEmpty());

    QCOMPARE(settingsSpy.count(), settingsRun ? 1 : 0);
    QCOMPARE(dialogs.Names, settingsRun ? QStringList{"fmSettings"} : QStringList{});
    QCOMPARE(FLink->Instrument().CarriagePosition(), carriage);
    QCOMPARE(Device->Opened, openStatus == 0);
    if (answer == "Yes" && asked) QCOMPARE(Device->CarriagePosition, 0);
  }

  void startActionsRunOnce() {
    QFile::remove(TPaths::SettingsFile());
    TBoxRecorder boxes(QMessageBox::No);
    TDialogRecorder dialogs;
    TStartOptions options;
    options.CreateLink = [&](const QString &) {
      TSimulatorConfig config;
      config.Speed = 0;
      config.KeepState = false;
      auto link = std::make_unique<TWatchedLink>(config);
      FLink = link.get();
      return link;
    };
    FMain = std::make_unique<TfmMain>(options);
    FMain->show();
    QTRY_COMPARE(FMain->StatusText(0), QString("Device found"));
    QTest::qWait(200);
    QCOMPARE(FLink->AtOpen.size(), 1);
    QCOMPARE(boxes.Requests.size(), 1);
  }
};

VELTRAVOR_TEST_MAIN(StartActionsTest)
#include "StartActionsTest.moc"
