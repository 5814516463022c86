// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "TestEnvironment.h"
#include "adjustment/MoveFilter.h"
#include "adjustment/MoveSM.h"
#include "app/Globals.h"
#include "device/Device.h"

// The dialogs read the zero position from the device object; a device that
// never opens its link is enough for that.
class MoveDialogsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TDevice> FDevice;

  // Shows dialog modally, lets act work on it once it is up, and returns its
  // result; a dialog still open after the deadline is rejected, so that a
  // test fails instead of hanging.
  static int Exec(QDialog &dialog, const std::function<void()> &act) {
    QTimer::singleShot(0, &dialog, [&] {
      QTRY_VERIFY(dialog.isVisible());
      act();
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    return dialog.exec();
  }

 private slots:
  void init() {
    FDevice = std::make_unique<TDevice>(nullptr);
    FDevice->ZeroPosition = 30000;
    Device = FDevice.get();
  }
  void cleanup() {
    Device = nullptr;
    FDevice.reset();
  }

  void carriageFieldsFollowEachOther_data() {
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("fs");
    QTest::newRow("10000 fsec") << 30000 << 30600 << 10000;
    QTest::newRow("one step on") << 30000 << 30001 << 17;
    QTest::newRow("one step back") << 30000 << 29999 << -17;
    QTest::newRow("line end") << 30000 << 70000 << 666667;
    QTest::newRow("line start") << 30000 << 0 << -500000;
    QTest::newRow("zero at the start") << 0 << 3 << 50;
  }
  void carriageFieldsFollowEachOther() {
    QFETCH(int, zero);
    QFETCH(int, position);
    QFETCH(int, fs);
    Device->ZeroPosition = zero;
    TfmMoveSM dialog;
    QCOMPARE(dialog.ZeroPosition, zero);
    dialog.edPosition->setValue(position);
    QCOMPARE(dialog.edFS->value(), fs);
    // And back: the delay gives the position again.
    dialog.edPosition->setValue(position == 0 ? 1 : 0);
    dialog.edFS->setValue(fs);
    QCOMPARE(dialog.edPosition->value(), position);
    QVERIFY(!dialog.Linking);
  }

  void aFieldSetFromTheOtherIsNotSetBack() {
    TfmMoveSM dialog;
    dialog.edFS->setValue(25);
    QCOMPARE(dialog.edPosition->value(), 30002);  // 1.5000000... steps
    QCOMPARE(dialog.edFS->value(), 25);           // not 33, the delay of 30002
    // A delay beyond the line: the position keeps to its range.
    dialog.edFS->setValue(1500000);
    QCOMPARE(dialog.edPosition->value(), 70000);
    QCOMPARE(dialog.edFS->value(), 1500000);
  }

  void fieldsAndCaptions() {
    TfmMoveSM carriage;
    QCOMPARE(carriage.objectName(), QString("fmMoveSM"));
    QCOMPARE(carriage.windowTitle(), QString("Delay line carriage"));
    QCOMPARE(carriage.edFS->minimum(), -1500000);
    QCOMPARE(carriage.edFS->maximum(), 1500000);
    QCOMPARE(carriage.edPosition->minimum(), 0);
    QCOMPARE(carriage.edPosition->maximum(), 70000);
    QCOMPARE(carriage.edPosition->value(), 70000);
    // The delay shown at first is that of the position shown, so a caller
    // filling in 70000 does not leave a stale delay.
    QCOMPARE(carriage.edFS->value(), 666667);
    QCOMPARE(carriage.findChild<QLabel *>("lbFS")->text(), QString("New position, fsec:"));
    QCOMPARE(carriage.findChild<QLabel *>("lbPosition")->text(), QString("New position:"));
    QCOMPARE(carriage.btOk->text(), QString("OK"));
    QCOMPARE(carriage.btCancel->text(), QString("Cancel"));
    carriage.layout()->activate();
    QVERIFY(carriage.btOk->x() < carriage.btCancel->x());
    QCOMPARE(carriage.btCancel->geometry().right(), carriage.width() - 1 - 16);

    TfmMoveFilter wheel;
    QCOMPARE(wheel.objectName(), QString("fmMoveFilter"));
    QCOMPARE(wheel.windowTitle(), QString("Filter wheel"));
    QCOMPARE(wheel.edPosition->maximum(), 70000);
    QVERIFY(!wheel.findChild<QSpinBox *>("edFS"));
  }

  void escapeCancelsAndEnterInAPositionFieldConfirms_data() {
    QTest::addColumn<bool>("carriage");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("carriage: Escape in the position")
        << true << "edPosition" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("carriage: Escape on OK")
        << true << "btOk" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("carriage: Enter in the position")
        << true << "edPosition" << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("carriage: Enter in fsec")
        << true << "edFS" << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("wheel: Escape")
        << false << "edPosition" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("wheel: Enter") << false << "edPosition" << int(Qt::Key_Return)
                                  << int(QDialog::Accepted);
  }
  void escapeCancelsAndEnterInAPositionFieldConfirms() {
    QFETCH(bool, carriage);
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(int, result);
    std::unique_ptr<TMoveDialog> dialog;
    if (carriage)
      dialog = std::make_unique<TfmMoveSM>();
    else
      dialog = std::make_unique<TfmMoveFilter>();
    dialog->edPosition->setValue(100);
    const int shown = Exec(*dialog, [&] {
      QWidget *target = dialog->findChild<QWidget *>(field);
      QVERIFY(target);
      // Typed, then the key: the typed value is what the caller reads.
      if (auto *spin = qobject_cast<QSpinBox *>(target); spin && field == "edPosition") {
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, "1234");
      }
      QTest::keyClick(target, Qt::Key(key));
    });
    QCOMPARE(shown, result);
    if (field == "edPosition") QCOMPARE(dialog->edPosition->value(), 1234);
  }

  void theButtonsAnswer() {
    TfmMoveFilter dialog;
    QCOMPARE(Exec(dialog, [&] { dialog.btOk->click(); }), int(QDialog::Accepted));
    QCOMPARE(Exec(dialog, [&] { dialog.btCancel->click(); }), int(QDialog::Rejected));
  }
};

VELTRAVOR_TEST_MAIN(MoveDialogsTest)
#include "MoveDialogsTest.moc"
