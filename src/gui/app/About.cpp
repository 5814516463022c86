// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/About.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "app/DesktopOpen.h"
#include "localization/FormTranslation.h"

TfmAbout::TfmAbout(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmAbout"));
  setWindowTitle(QStringLiteral("About program"));
  setModal(true);

  lbIcon = new QLabel(this);
  lbIcon->setObjectName(QStringLiteral("lbIcon"));
  lbIcon->setPixmap(QIcon(QStringLiteral(":/icons/veltravor.svg")).pixmap(64, 64));
  lbIcon->setAlignment(Qt::AlignTop);

  lbProduct = new QLabel(QStringLiteral("Veltravor"), this);
  lbProduct->setObjectName(QStringLiteral("lbProduct"));
  QFont bold = lbProduct->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.5);
  lbProduct->setFont(bold);

  lbVersion = new QLabel(QStringLiteral("Version:"), this);
  lbVersion->setObjectName(QStringLiteral("lbVersion"));
  lbVersionNumber = new QLabel(this);
  lbVersionNumber->setObjectName(QStringLiteral("lbVersionNumber"));
  lbFirm = new QLabel(this);
  lbFirm->setObjectName(QStringLiteral("lbFirm"));
  lbWebSite = new QLabel(this);
  lbWebSite->setObjectName(QStringLiteral("lbWebSite"));
  QPalette link = lbWebSite->palette();
  link.setColor(QPalette::WindowText, Qt::blue);
  lbWebSite->setPalette(link);
  QFont underlined = lbWebSite->font();
  underlined.setUnderline(true);
  lbWebSite->setFont(underlined);
  lbWebSite->setCursor(Qt::PointingHandCursor);
  lbWebSite->installEventFilter(this);

  // Free software under the GPL, as the chart library it links requires.
  lbLicense = new QLabel(
      QStringLiteral("Free software under the GNU General Public License, version 3 or later. "
                     "There is no warranty."),
      this);
  lbLicense->setObjectName(QStringLiteral("lbLicense"));
  lbLicense->setWordWrap(true);

  btClose = new QPushButton(QStringLiteral("Close"), this);
  btClose->setObjectName(QStringLiteral("btClose"));
  btClose->setDefault(true);
  connect(btClose, &QPushButton::clicked, this, &QDialog::reject);

  auto *text = new QGridLayout;
  text->addWidget(lbProduct, 0, 0, 1, 2);
  text->addWidget(lbVersion, 1, 0);
  text->addWidget(lbVersionNumber, 1, 1);
  text->addWidget(lbFirm, 2, 0, 1, 2);
  text->addWidget(lbWebSite, 3, 0, 1, 2);
  text->addWidget(lbLicense, 4, 0, 1, 2);
  text->setColumnStretch(1, 1);
  text->setVerticalSpacing(6);
  auto *top = new QHBoxLayout;
  top->addWidget(lbIcon);
  top->addSpacing(12);
  top->addLayout(text, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btClose);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);

  // Translated first; the values below are names and numbers, never translated.
  TranslateForm(this, true, true);
  lbWebSite->setText(WebSite());
  lbFirm->setText(FirmName());
  lbVersionNumber->setText(VersionText());

  // Wide enough that the license wraps to two lines at most.
  lbLicense->setMinimumWidth(lbLicense->fontMetrics().horizontalAdvance(lbLicense->text()) / 2);
  setFixedSize(qMax(320, sizeHint().width()), sizeHint().height());
  if (QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

bool TfmAbout::eventFilter(QObject *watched, QEvent *event) {
  if (watched == lbWebSite && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
    OpenWithDesktop(QUrl(lbWebSite->text()));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
