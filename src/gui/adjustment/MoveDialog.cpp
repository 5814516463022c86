// SPDX-License-Identifier: GPL-3.0-or-later
#include "adjustment/MoveDialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include "localization/FormTranslation.h"

TMoveDialog::TMoveDialog(QWidget *parent) : QDialog(parent) {
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  FRows = new QVBoxLayout(this);
  FRows->setContentsMargins(16, 16, 16, 12);
  FRows->setSpacing(4);
}

QSpinBox *TMoveDialog::AddField(const char *name, const QString &caption, int minimum, int maximum,
                                int value) {
  auto *label = new QLabel(caption, this);
  label->setObjectName(QStringLiteral("lb") + QString::fromLatin1(name).mid(2));
  auto *field = new QSpinBox(this);
  field->setObjectName(QString::fromLatin1(name));
  field->setRange(minimum, maximum);
  field->setValue(value);
  field->setAlignment(Qt::AlignRight);
  field->installEventFilter(this);
  label->setBuddy(field);
  if (!FFields.isEmpty()) FRows->addSpacing(8);
  FRows->addWidget(label);
  FRows->addWidget(field);
  FFields << field;
  return field;
}

void TMoveDialog::FinishCreate() {
  btOk = new QPushButton(QStringLiteral("OK"), this);
  btOk->setObjectName(QStringLiteral("btOk"));
  btCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  // Enter is handled by the fields themselves; no button takes it over.
  for (QPushButton *button : {btOk, btCancel}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  connect(btOk, &QPushButton::clicked, this, &TMoveDialog::btOkClick);
  connect(btCancel, &QPushButton::clicked, this, &TMoveDialog::btCancelClick);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btOk);
  buttons->addSpacing(8);
  buttons->addWidget(btCancel);
  FRows->addSpacing(16);
  FRows->addLayout(buttons);

  TranslateForm(this, true, true);

  setFixedSize(qMax(260, sizeHint().width()), sizeHint().height());
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  if (edPosition) {
    edPosition->setFocus();
    edPosition->selectAll();
  }
}

bool TMoveDialog::HandleKey(QObject *watched, QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape) {
    btCancelClick();
    return true;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      FFields.contains(watched)) {
    // The typed text becomes the field's value before the caller reads it.
    static_cast<QSpinBox *>(watched)->interpretText();
    btOkClick();
    return true;
  }
  return false;
}

bool TMoveDialog::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress && HandleKey(watched, static_cast<QKeyEvent *>(event)))
    return true;
  return QDialog::eventFilter(watched, event);
}

void TMoveDialog::keyPressEvent(QKeyEvent *event) {
  if (HandleKey(this, event)) return;
  QDialog::keyPressEvent(event);
}
