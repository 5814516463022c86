// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The about box: product name, version, maker, web address and license. Modal,
// centred on the screen, fixed size; Close or Esc closes it.
class TfmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfmAbout(QWidget *parent = nullptr);

  static QString VersionText() { return QStringLiteral("1.7"); }
  static QString FirmName() { return QStringLiteral("Veltravor Laboratory Software"); }
  static QString WebSite() { return QStringLiteral("https://veltravor.example.org"); }

  QLabel *lbIcon = nullptr, *lbProduct = nullptr, *lbVersion = nullptr, *lbVersionNumber = nullptr,
         *lbFirm = nullptr, *lbWebSite = nullptr, *lbLicense = nullptr;
  QPushButton *btClose = nullptr;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};
