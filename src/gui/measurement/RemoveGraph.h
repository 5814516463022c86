// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;
class QWidget;

// The choice of added graphs to remove: one checkable line per graph (its
// full path without extension), OK and Cancel at the bottom right. Modal,
// resizable, placement kept under (Forms, TfmRemoveGraphTfmRemoveGraph).
// OK with nothing ticked raises "Select graph." and the dialog stays.
// Main thread only.
class TfmRemoveGraph : public QDialog {
  Q_OBJECT

 public:
  explicit TfmRemoveGraph(const QStringList &lines, QWidget *parent = nullptr);

  QListWidget *ListBox = nullptr;
  QWidget *Panel1 = nullptr;
  QPushButton *btOK = nullptr;
  QPushButton *btCancel = nullptr;

  // The texts of the ticked lines, in list order.
  QStringList Checked() const;
  void SetChecked(int line, bool checked);

  void btOKClick();
  void btCancelClick();

  void done(int result) override;
};
