// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QString>

#include <functional>

#include "measurement/PulseReport.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

// The readable table of a report in the operator's language (the command
// line's is English): labels and units translated, numbers as they are.
// The notes of what could not be determined stay in English.
QString PulseReportWindowText(const TPulseReport &report);

// The pulse report of a project: the readable table, Copy (the text to the
// clipboard) and Save (JSON when the chosen name ends in ".json", the text
// otherwise, through QSaveFile). "Second-order autocorrelation" recomputes the
// durations with that correlation's deconvolution factors. Modal, resizable;
// the report is computed by the caller's function (which reads the pixels
// under the project's lock). Main thread only.
class TfmPulseReport : public QDialog {
  Q_OBJECT

 public:
  using TCompute = std::function<TPulseReport(TCorrelationKind kind)>;
  TfmPulseReport(const QString &projectName, TCompute compute, QWidget *parent = nullptr);

  QPlainTextEdit *edReport = nullptr;
  QCheckBox *chbAutocorrelation = nullptr;
  QPushButton *btCopy = nullptr;
  QPushButton *btSave = nullptr;
  QPushButton *btClose = nullptr;

  const TPulseReport &Report() const { return FReport; }
  QString ReportText() const;

  void chbAutocorrelationChange();
  void btCopyClick();
  void btSaveClick();
  // Writes the report to fileName: JSON for ".json" (any letter case), text
  // otherwise. Raises on failure; an existing file then stays as it was.
  void SaveReport(const QString &fileName);

 private:
  void Compute();

  QString FProjectName;
  TCompute FCompute;
  TPulseReport FReport;
};
