// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/LinkLabel.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {
  QPalette link = palette();
  link.setColor(QPalette::WindowText, Qt::blue);
  setPalette(link);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}
