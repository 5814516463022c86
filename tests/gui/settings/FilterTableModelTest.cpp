// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QLocale>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "TestEnvironment.h"
#include "app/AppError.h"
#include "settings/FilterTableModel.h"

namespace {
QString ErrorOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EAppError &e) {
    return e.Message();
  }
  return QString();
}

// Appends a row, enters both cells as text and posts it.
void AddRow(TFilterTableModel &model, const QString &transmission, const QString &shift) {
  const int row = model.Append();
  QVERIFY(model.setData(model.index(row, TFilterTableModel::colTransmission), transmission));
  QVERIFY(model.setData(model.index(row, TFilterTableModel::colShift), shift));
  model.Post();
}

QStringList Column(const TFilterTableModel &model, int column) {
  QStringList cells;
  for (int r = 0; r < model.rowCount(); ++r) cells << model.index(r, column).data().toString();
  return cells;
}
}  // namespace

class FilterTableModelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QLocale::setDefault(QLocale::c()); }

  void loadShowsPercentAndStoresFractions() {
    TFilterTableModel model;
    model.Load({{1.0, 0}, {0.1, 120}});
    QCOMPARE(Column(model, TFilterTableModel::colId), (QStringList{"1", "2"}));
    QCOMPARE(Column(model, TFilterTableModel::colTransmission), (QStringList{"100", "10"}));
    QCOMPARE(Column(model, TFilterTableModel::colShift), (QStringList{"0", "120"}));
    const TFilterRecords back = model.Store();
    QCOMPARE(back.size(), 2);
    QCOMPARE(back[0].Transmission, 1.0);
    QCOMPARE(back[1].Transmission, 0.1);
    QCOMPARE(back[1].Position, 120);
    QVERIFY(!(model.flags(model.index(0, TFilterTableModel::colId)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, TFilterTableModel::colShift)) & Qt::ItemIsEditable);
  }

  void postedRowsAreSortedRenumberedAndCheckedAsATable() {
    TFilterTableModel model;
    QSignalSpy posted(&model, &TFilterTableModel::Posted);
    QSignalSpy requested(&model, &TFilterTableModel::CurrentRowRequested);
    AddRow(model, "100", "0");
    AddRow(model, "1", "150");
    AddRow(model, "10", "200");
    QCOMPARE(posted.count(), 3);
    QCOMPARE(Column(model, TFilterTableModel::colTransmission), (QStringList{"100", "10", "1"}));
    QCOMPARE(Column(model, TFilterTableModel::colId), (QStringList{"1", "2", "3"}));
    requested.clear();
    QCOMPARE(ErrorOf([&] { model.Check(); }),
             QString("Position sequence must be monotone increasing."));
    QCOMPARE(model.CurrentRow(), 2);
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.first().first().toInt(), 2);
  }

  void aBrokenRuleKeepsTheRowInEditing_data() {
    QTest::addColumn<QString>("transmission");
    QTest::addColumn<QString>("shift");
    QTest::addColumn<QString>("message");
    QTest::newRow("100 is allowed") << "100"
                                    << "0"
                                    << "";
    QTest::newRow("above 100") << "100.0001"
                               << "0"
                               << "Transmission can not exceed 100%.";
    QTest::newRow("zero") << "0"
                          << "0"
                          << "Transmission must be positive.";
    QTest::newRow("empty transmission") << ""
                                        << "0"
                                        << "Transmission must be positive.";
    QTest::newRow("no position") << "50"
                                 << ""
                                 << "Filter wheel position is not specified.";
    QTest::newRow("negative position") << "50"
                                       << "-1"
                                       << "Filter wheel position must be nonnegative.";
  }
  void aBrokenRuleKeepsTheRowInEditing() {
    QFETCH(QString, transmission);
    QFETCH(QString, shift);
    QFETCH(QString, message);
    TFilterTableModel model;
    const int row = model.Append();
    model.setData(model.index(row, TFilterTableModel::colTransmission), transmission);
    model.setData(model.index(row, TFilterTableModel::colShift), shift);
    QCOMPARE(ErrorOf([&] { model.Post(); }), message);
    QCOMPARE(model.IsEditing(), !message.isEmpty());
    QCOMPARE(model.rowCount(), 1);
    if (!message.isEmpty()) {
      // The operator's entries are still there to correct.
      QCOMPARE(model.index(row, TFilterTableModel::colShift).data().toString(), shift);
      QString text;
      QVERIFY(!model.TryPost(&text));
      QCOMPARE(text, message);
      model.setData(model.index(row, TFilterTableModel::colTransmission), "50");
      model.setData(model.index(row, TFilterTableModel::colShift), "3");
      QVERIFY(model.TryPost());
      QCOMPARE(model.Store(), (TFilterRecords{{0.5, 3}}));
    }
  }

  void editsStayOffTheTableUntilPostedAndCancelRestores() {
    TFilterTableModel model;
    model.Load({{1.0, 0}, {0.1, 120}});
    QVERIFY(model.setData(model.index(1, TFilterTableModel::colShift), "130"));
    QCOMPARE(model.index(1, TFilterTableModel::colShift).data().toString(), QString("130"));
    QCOMPARE(model.Table().Rows[1].Shift, 120);
    // Another row cannot be edited before this one is posted.
    QVERIFY(!model.setData(model.index(0, TFilterTableModel::colShift), "5"));
    // Text that is no number is refused and changes nothing.
    QVERIFY(!model.setData(model.index(1, TFilterTableModel::colShift), "12x"));
    QVERIFY(!model.setData(model.index(1, TFilterTableModel::colTransmission), "abc"));
    model.Cancel();
    QCOMPARE(model.index(1, TFilterTableModel::colShift).data().toString(), QString("120"));
    QVERIFY(!model.IsEditing());

    model.Append();
    QCOMPARE(model.rowCount(), 3);
    model.Cancel();
    QCOMPARE(model.rowCount(), 2);
  }

  void storeAndCheckPostTheRowInEditingFirst() {
    // The settings dialog and the adjustment window check and store without
    // knowing whether the grid still holds an edit: none may be dropped.
    TFilterTableModel model;
    model.Load({{1.0, 0}, {0.1, 120}});
    QVERIFY(model.setData(model.index(1, TFilterTableModel::colShift), "130"));
    QCOMPARE(model.Store(), (TFilterRecords{{1.0, 0}, {0.1, 130}}));
    QVERIFY(!model.IsEditing());

    QVERIFY(model.setData(model.index(1, TFilterTableModel::colShift), "140"));
    QCOMPARE(ErrorOf([&] { model.Check(); }), QString());
    QCOMPARE(model.Table().Rows[1].Shift, 140);
    QVERIFY(!model.IsEditing());

    // A new row is posted too, sorted in; one that breaks a record rule stops
    // both and stays in editing, with the row to correct made current.
    QSignalSpy requested(&model, &TFilterTableModel::CurrentRowRequested);
    const int row = model.Append();
    QVERIFY(model.setData(model.index(row, TFilterTableModel::colTransmission), "5"));
    QCOMPARE(ErrorOf([&] { model.Store(); }), QString("Filter wheel position is not specified."));
    QCOMPARE(ErrorOf([&] { model.Check(); }), QString("Filter wheel position is not specified."));
    QCOMPARE(requested.last().at(0).toInt(), row);
    QCOMPARE(model.EditingRow(), row);
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(model.setData(model.index(row, TFilterTableModel::colShift), "100"));
    // Posted, the row breaks the table's order: Check says so.
    QCOMPARE(ErrorOf([&] { model.Check(); }),
             QString("Position sequence must be monotone increasing."));
    QVERIFY(!model.IsEditing());
    QCOMPARE(model.CurrentRow(), 2);
    QVERIFY(model.setData(model.index(2, TFilterTableModel::colShift), "200"));
    QCOMPARE(model.Store(), (TFilterRecords{{1.0, 0}, {0.1, 140}, {0.05, 200}}));

    // A new row left empty is no edit: it is dropped, never a record of 0.
    model.Append();
    QCOMPARE(ErrorOf([&] { model.Check(); }), QString());
    QCOMPARE(model.rowCount(), 3);
    model.Append();
    QCOMPARE(model.Store().size(), 3);
    QCOMPARE(model.rowCount(), 3);
  }

  void openingAndClosingAnEditorKeepsEveryDigit() {
    // The editor gets the full value, not the grid's eight decimals, so an
    // unchanged cell written back does not round the calibration.
    TFilterTableModel model;
    const TFilterRecords table = {{1.0, 0}, {1.23456789e-7, 400}};
    model.Load(table);
    const QModelIndex cell = model.index(1, TFilterTableModel::colTransmission);
    QCOMPARE(cell.data(Qt::DisplayRole).toString(), QString("0.00001235"));
    QVERIFY(model.setData(cell, cell.data(Qt::EditRole)));
    model.Post();
    const TFilterRecords stored = model.Store();
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[1].Transmission, 1.23456789e-7);  // to 12 significant digits
    QCOMPARE(stored[1].Position, 400);
  }

  void appendingPostsTheRowInEditingFirst() {
    TFilterTableModel model;
    model.Load({{1.0, 0}, {0.1, 120}});
    // An edit is posted, not dropped, when a new row is started ...
    QVERIFY(model.setData(model.index(1, TFilterTableModel::colShift), "130"));
    const int row = model.Append();
    QCOMPARE(row, 2);
    QCOMPARE(model.Store()[1].Position, 130);
    model.Cancel();
    // ... and an edit that breaks a rule stops the append and stays to be corrected.
    QVERIFY(model.setData(model.index(1, TFilterTableModel::colShift), "-5"));
    QCOMPARE(ErrorOf([&] { model.Append(); }),
             QString("Filter wheel position must be nonnegative."));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.EditingRow(), 1);
    QCOMPARE(model.index(1, TFilterTableModel::colShift).data().toString(), QString("-5"));
  }

  void deletingRenumbersAndAnEmptyTableIsRefused() {
    TFilterTableModel model;
    model.Load({{1.0, 0}, {0.1, 120}, {0.01, 240}});
    QSignalSpy deleted(&model, &TFilterTableModel::Deleted);
    model.Delete(0);
    QCOMPARE(Column(model, TFilterTableModel::colId), (QStringList{"1", "2"}));
    QCOMPARE(Column(model, TFilterTableModel::colTransmission), (QStringList{"10", "1"}));
    model.Delete(1);
    model.Delete(0);
    QCOMPARE(deleted.count(), 3);
    QCOMPARE(ErrorOf([&] { model.Check(); }),
             QString("Filter calibration table must contain at least 1 record."));
  }

  void aHandEditedDeviceTableStopsTheLoadAtTheBadRecord() {
    TFilterTableModel model;
    QCOMPARE(ErrorOf([&] {
               model.Load({{1.0, 0}, {2.0, 100}});
             }),
             QString("Transmission can not exceed 100%."));
    QCOMPARE(model.rowCount(), 1);
  }

  void transmissionsShowUpToEightDecimalsInTheLocalesFormat() {
    QCOMPARE(TFilterTableModel::TransmissionText(0.00893), QString("0.00893"));
    QCOMPARE(TFilterTableModel::TransmissionText(100), QString("100"));
    QCOMPARE(TFilterTableModel::TransmissionText(0.000000001), QString("0"));
    QCOMPARE(TFilterTableModel::TransmissionText(12345.125), QString("12345.125"));
    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(TFilterTableModel::TransmissionText(12.5), QString("12,5"));
    TFilterTableModel model;
    const int row = model.Append();
    QVERIFY(model.setData(model.index(row, TFilterTableModel::colTransmission), "0,00091"));
    QVERIFY(model.setData(model.index(row, TFilterTableModel::colShift), "1200"));
    model.Post();
    QCOMPARE(model.Store()[0].Transmission, 0.0000091);
  }

  void theViewsCurrentCellFollowsAPostedRecord() {
    TFilterTableModel model;
    model.Load({{1.0, 0}, {0.1, 400}});
    QTableView view;
    view.setModel(&model);
    const int row = model.Append();
    model.setData(model.index(row, TFilterTableModel::colTransmission), "50");
    model.setData(model.index(row, TFilterTableModel::colShift), "200");
    view.setCurrentIndex(model.index(row, TFilterTableModel::colShift));
    QCOMPARE(model.Post(), 1);
    QCOMPARE(view.currentIndex().row(), 1);
    QCOMPARE(view.currentIndex().data().toString(), QString("200"));
  }
};

VELTRAVOR_TEST_MAIN(FilterTableModelTest)
#include "FilterTableModelTest.moc"
