// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QToolButton;
class TFilterTableModel;
class TFilterCaptions;

// The settings dialog: thresholds, averaging, signal shift, delay line,
// motor periods, the filter calibration table, logging and the interface
// language. Shows the device's values and those of the settings store; Apply
// and OK check them and write them to the device and the store, and save the
// settings file. Created when needed, shown modally (ExecModalDialog) and
// destroyed. Main thread only.
class TfmSettings : public QDialog {
  Q_OBJECT

 public:
  explicit TfmSettings(QWidget *parent = nullptr);
  ~TfmSettings() override;

  // Set by any change of a control or of the filter table; cleared after
  // loading and after a successful apply.
  bool Modified = false;

  // Checks the values and writes them to the device object and the settings
  // store, then saves the settings file. Raises when a project runs (nothing
  // is applied) or when the filter table breaks a rule (a language change and
  // the logging switch are applied already, nothing else).
  void ApplySettings();

  // Controls, by group.
  QGroupBox *grOptions = nullptr, *grThreshold = nullptr, *grAveraging = nullptr,
            *grDelayLine = nullptr, *grOpticFilter = nullptr;
  QLineEdit *edLanguage = nullptr;
  QToolButton *btLanguage = nullptr;  // opens the language list
  QCheckBox *chbLog = nullptr;
  QSpinBox *edLow = nullptr, *edHigh = nullptr, *edSignalShift = nullptr, *edDLSteps = nullptr,
           *edZero = nullptr, *edDLPeriod = nullptr, *edFilterPeriod = nullptr;
  QComboBox *edAvg = nullptr;
  QTableView *grFilter = nullptr;
  TFilterTableModel *tbFilter = nullptr;
  QToolButton *btInsert = nullptr, *btDelete = nullptr;
  QPushButton *btOk = nullptr, *btCancel = nullptr, *btApply = nullptr;

  // The button handlers (each runs under the central error guard).
  void btInsertClick();
  void btDeleteClick();
  void edLanguageButtonClick();
  void btApplyClick();
  void btOkClick();

  // Every way of closing (OK, Cancel, Escape, the close box) passes here:
  // the dialog closes only when FormClose lets it.
  void done(int result) override;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  TfmSettings *FPreviousInstance = nullptr;
  void CreateComponents();
  void FormCreate();
  void LoadValues();
  // False when the dialog stays open (an error was shown, or Cancel).
  bool FormClose();
  void Change();
  // Writes the open cell editor into its row and posts the row being edited
  // or inserted (a new row where nothing was entered is dropped). Raises with
  // the record rules' message; the row stays in editing then.
  void PostPendingRow();
  // The grid's current row moved: a row left in editing is posted first.
  void GridRowChanged(int row);
  // Makes row the grid's current row, in column (-1: the current column).
  void ShowFilterRow(int row, int column = -1);

  TFilterCaptions *FCaptions = nullptr;
  bool FMovingRow = false;  // the dialog itself moves the grid's current row
};

// The open settings dialog, or null.
extern TfmSettings *fmSettings;
