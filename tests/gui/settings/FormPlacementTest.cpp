// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QtTest>

#include "TestEnvironment.h"
#include "app/Globals.h"
#include "settings/FormPlacement.h"
#include "settings/SettingsStorage.h"

class TfmSample : public QWidget {
  Q_OBJECT
};

class FormPlacementTest : public QObject {
  Q_OBJECT

  TSettingsStorage *FStore = nullptr;
  QSize FScreen;

  void Store(const QString &section, std::initializer_list<std::pair<const char *, int>> values) {
    for (const auto &[name, value] : values) FStore->AddParam({"Forms", section}, name, value);
  }

 private slots:
  void init() {
    FStore = new TSettingsStorage;
    AppSettings = FStore;
    FScreen = QGuiApplication::primaryScreen()->geometry().size();
  }
  void cleanup() {
    AppSettings = nullptr;
    delete FStore;
  }

  void withoutStoredPlacementATopLevelWindowGetsEighthMarginsAndThreeQuarters() {
    TfmSample form;
    RestoreFormPlacement(&form, "");
    QCOMPARE(form.geometry(), QRect(FScreen.width() / 8, FScreen.height() / 8,
                                    3 * FScreen.width() / 4, 3 * FScreen.height() / 4));
  }

  void placementIsScaledToTheCurrentScreen_data() {
    QTest::addColumn<int>("savedScreenWidth");
    QTest::addColumn<int>("expectedWidth");
    QTest::addColumn<int>("expectedLeft");
    // Saved on a screen 4/5 as wide: 800 -> 1000, 100 -> 125.
    QTest::newRow("wider screen") << FScreen.width() * 4 / 5 << 1000 << 125;
    QTest::newRow("same screen") << FScreen.width() << 800 << 100;
    QTest::newRow("screen size 0 means the current one") << 0 << 800 << 100;
  }
  void placementIsScaledToTheCurrentScreen() {
    QFETCH(int, savedScreenWidth);
    QFETCH(int, expectedWidth);
    QFETCH(int, expectedLeft);
    Store("TfmSample", {{"Left", 100}, {"Top", 50}, {"Width", 800}, {"Height", 400},
                        {"ScreenWidth", savedScreenWidth}, {"ScreenHeight", FScreen.height()}});
    TfmSample form;
    RestoreFormPlacement(&form, "");
    QCOMPARE(form.geometry(), QRect(expectedLeft, 50, expectedWidth, 400));
  }

  void halvesAreRoundedToTheEvenNeighbour() {
    // 101 * 800 / 1600 = 50.5 -> 50; 103 * 800 / 1600 = 51.5 -> 52.
    Store("TfmSample", {{"Left", 101}, {"Top", 103}, {"Width", 1000}, {"Height", 1000},
                        {"ScreenWidth", 2 * FScreen.width()},
                        {"ScreenHeight", 2 * FScreen.height()}});
    TfmSample form;
    RestoreFormPlacement(&form, "");
    QCOMPARE(form.x(), 50);
    QCOMPARE(form.y(), 52);
  }

  void valuesOutsideTheIntRangeCountAsNotStored() {
    // A damaged file: the left edge would not fit an int; the size still applies.
    for (const char *name : {"Left", "Top", "Width", "Height"})
      FStore->AddParam({"Forms", "TfmSample"}, name, qint64(20));
    FStore->AddParam({"Forms", "TfmSample"}, "Left", qint64(99999999999));
    TfmSample form;
    RestoreFormPlacement(&form, "");
    QCOMPARE(form.geometry(), QRect(0, 20, 20, 20));

    FStore->AddParam({"Forms", "TfmSample"}, "Width", qint64(-99999999999));
    RestoreFormPlacement(&form, "");
    QCOMPARE(form.geometry(), QRect(FScreen.width() / 8, FScreen.height() / 8,
                                    3 * FScreen.width() / 4, 3 * FScreen.height() / 4));
  }

  void minimizedComesBackNormalAndMaximizedKeepsItsNormalRectangle() {
    Store("TfmSampleMin", {{"Left", 10}, {"Top", 20}, {"Width", 300}, {"Height", 200},
                           {"State", 1}});
    TfmSample minimized;
    RestoreFormPlacement(&minimized, "Min");
    QCOMPARE(minimized.windowState(), Qt::WindowNoState);

    Store("TfmSampleMax", {{"Left", 10}, {"Top", 20}, {"Width", 300}, {"Height", 200},
                           {"State", 2}});
    TfmSample maximized;
    RestoreFormPlacement(&maximized, "Max");
    QVERIFY(maximized.windowState() & Qt::WindowMaximized);
    maximized.show();
    QVERIFY(QTest::qWaitForWindowExposed(&maximized));
    SaveFormPlacement(&maximized, "Max");
    QCOMPARE(FStore->ReadInt({"Forms", "TfmSampleMax"}, "State", -1), 2);
    QCOMPARE(FStore->ReadInt({"Forms", "TfmSampleMax"}, "Width", -1), 300);
    QCOMPARE(FStore->ReadInt({"Forms", "TfmSampleMax"}, "Left", -1), 10);
  }

  void anMdiChildWithoutPlacementFillsTheAreaLessFourPixels() {
    QMdiArea area;
    area.resize(600, 400);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    auto *form = new TfmSample;
    QMdiSubWindow *sub = area.addSubWindow(form);
    RestoreFormPlacement(form, "TfmSample");
    const QSize free = area.viewport()->size();
    QCOMPARE(sub->geometry(), QRect(0, 0, free.width() - 4, free.height() - 4));

    sub->setGeometry(5, 6, 200, 100);
    sub->showMaximized();
    SaveFormPlacement(form, "TfmSample");
    const TKeyPath path{"Forms", "TfmSampleTfmSample"};
    QCOMPARE(FStore->ReadInt(path, "Left", -1), 5);
    QCOMPARE(FStore->ReadInt(path, "Width", -1), 200);
    QCOMPARE(FStore->ReadInt(path, "State", -1), 2);
    QCOMPARE(FStore->ReadInt(path, "ScreenWidth", -1), FScreen.width());
  }
};

VELTRAVOR_TEST_MAIN(FormPlacementTest)
#include "FormPlacementTest.moc"
