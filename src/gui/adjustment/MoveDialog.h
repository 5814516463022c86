// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;
class QVBoxLayout;

// What the two move dialogs share: a modal dialog with a fixed border,
// centred on the screen, with rows of a caption and an integer field above a
// right-aligned OK / Cancel row. The dialog sees keys before its fields:
// Escape answers Cancel anywhere, Enter in a position field answers OK.
// The dialogs never drive the device; the caller reads edPosition after OK.
// Main thread only.
class TMoveDialog : public QDialog {
  Q_OBJECT

 public:
  QSpinBox *edPosition = nullptr;
  QPushButton *btOk = nullptr;
  QPushButton *btCancel = nullptr;

  void btOkClick() { done(Accepted); }
  void btCancelClick() { done(Rejected); }

 protected:
  explicit TMoveDialog(QWidget *parent);
  // A captioned integer field, added as the next row.
  QSpinBox *AddField(const char *name, const QString &caption, int minimum, int maximum, int value);
  // Lays out the buttons, translates the dialog, fixes its size and centres it.
  void FinishCreate();

  bool eventFilter(QObject *watched, QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

 private:
  // Escape anywhere (FormKeyDown); Enter in a position field (edPositionKeyDown).
  bool HandleKey(QObject *watched, QKeyEvent *event);

  QVBoxLayout *FRows = nullptr;
  QList<QSpinBox *> FFields;
};
