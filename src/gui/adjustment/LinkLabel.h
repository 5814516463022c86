// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLabel>

// A label that acts as a link: blue, underlined, a hand cursor, and a click
// signal. Its text stays plain, so that the window's translation treats it as
// any caption.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(const QString &text, QWidget *parent = nullptr);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent *event) override;
};
