// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowpanel/WindowPanel.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <stdexcept>

namespace {
constexpr int Margin = 2;  // between buttons and at the strip's left and top edge, pixels

void SetRaised(QFrame *panel, bool raised) {
  panel->setFrameShadow(raised ? QFrame::Raised : QFrame::Sunken);
}

// A window caption as a menu entry's text: "&" in a file name would turn into
// a mnemonic and vanish from the entry.
QString EntryText(const QString &caption) {
  QString text = caption;
  text.replace(u'&', QStringLiteral("&&"));
  return text;
}
}  // namespace

void TWindowPanelPicture::SetPixmap(const QPixmap &pixmap) {
  FPixmap = pixmap;
  update();
}

void TWindowPanelPicture::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, FPixmap);
}

TWindowPanel::TWindowPanel(QWidget *parent) : QFrame(parent) {
  setObjectName(QStringLiteral("WindowPanel"));
  setFrameShape(QFrame::NoFrame);
  setFixedHeight(ButtonHeight + 2 * Margin);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

TWindowPanel::~TWindowPanel() {
  // The pictures and panels go with the strip as its children; the menu entries
  // are freed here so that they leave the Window menu with the strip.
  qDeleteAll(FButtons);
  FButtons.clear();
  delete FSeparator;
}

void TWindowPanel::SetWindowMenu(QMenu *menu) {
  if (FWindowMenu == menu) return;
  if (FWindowMenu) {
    for (QAction *entry : FButtons) FWindowMenu->removeAction(entry);
    if (FSeparator) FWindowMenu->removeAction(FSeparator);
  }
  FWindowMenu = menu;
  if (FWindowMenu) {
    for (QAction *entry : FButtons) FWindowMenu->addAction(entry);
    PlaceSeparator();
  }
}

void TWindowPanel::Add(QWidget *fm) {
  if (!fm) throw std::logic_error("fm is nil (TWindowPanel.Add).");
  if (FForms.contains(fm)) throw std::logic_error("fm is already added (TWindowPanel.Add).");

  FForms.append(fm);
  connect(fm, &QObject::destroyed, this, &TWindowPanel::FormDestroyed);

  auto *panel = new QFrame;
  panel->setFrameShape(QFrame::Panel);
  panel->setLineWidth(1);
  SetRaised(panel, true);
  FPanels.append(panel);

  auto *face = new TWindowPanelPicture(panel);
  face->setObjectName(QStringLiteral("FacePicture"));
  face->installEventFilter(this);
  FImages.append(face);

  auto *icon = new TWindowPanelPicture(panel);
  icon->setObjectName(QStringLiteral("IconPicture"));
  icon->setGeometry(4, (ButtonHeight - IconSize) / 2, IconSize, IconSize);
  icon->SetPixmap(IconFor(fm).pixmap(IconSize, IconSize));
  icon->installEventFilter(this);
  FIcons.append(icon);
  FFaceTexts.append(QString());

  panel->setParent(this);
  LayoutButtons();
  icon->raise();
  icon->update();

  auto *entry = new QAction(EntryText(fm->windowTitle()), &FEntryOwner);
  entry->setCheckable(true);
  connect(entry, &QAction::triggered, this, [this, entry] { MenuEntryTriggered(entry); });
  FButtons.append(entry);
  if (FWindowMenu) FWindowMenu->addAction(entry);
  PlaceSeparator();
}

void TWindowPanel::Delete(QWidget *fm) {
  const int index = FForms.indexOf(fm);
  if (index < 0) throw std::logic_error("fm is not in FForms (TWindowPanel.Delete).");
  disconnect(fm, &QObject::destroyed, this, &TWindowPanel::FormDestroyed);
  RemoveAt(index);
}

void TWindowPanel::FormDestroyed(QObject *fm) {
  // Compared by address only: the window is half destroyed here.
  for (int i = 0; i < FForms.size(); ++i) {
    if (static_cast<QObject *>(FForms[i]) == fm) {
      RemoveAt(i);
      return;
    }
  }
}

void TWindowPanel::RemoveAt(int index) {
  if (FForms[index] == FActiveForm) FActiveForm = nullptr;
  delete FPanels[index];  // with its face and icon pictures
  delete FButtons[index];  // leaves the Window menu
  FForms.removeAt(index);
  FPanels.removeAt(index);
  FImages.removeAt(index);
  FIcons.removeAt(index);
  FButtons.removeAt(index);
  FFaceTexts.removeAt(index);
  PlaceSeparator();
  LayoutButtons();
}

// The first window entry begins a group: one separator line under the Window
// menu's fixed entries, moved to the new first entry when the first closes.
void TWindowPanel::PlaceSeparator() {
  if (FButtons.isEmpty() || !FWindowMenu) {
    delete FSeparator;
    FSeparator = nullptr;
    return;
  }
  if (!FSeparator) {
    FSeparator = new QAction(&FEntryOwner);
    FSeparator->setSeparator(true);
  }
  FWindowMenu->removeAction(FSeparator);
  FWindowMenu->insertAction(FButtons.first(), FSeparator);
}

void TWindowPanel::SetActive(QWidget *fm) {
  const int index = FForms.indexOf(fm);
  if (index < 0) return;
  for (int i = 0; i < FForms.size(); ++i) {
    FButtons[i]->setChecked(i == index);
    SetRaised(FPanels[i], i != index);
  }
  FActiveForm = fm;
  LayoutButtons();
}

void TWindowPanel::UpdateCaptions() {
  for (int i = 0; i < FForms.size(); ++i) FButtons[i]->setText(EntryText(FForms[i]->windowTitle()));
  LayoutButtons();
}

void TWindowPanel::MenuEntryTriggered(QAction *entry) {
  const int index = FButtons.indexOf(entry);
  if (index < 0) return;
  for (int i = 0; i < FButtons.size(); ++i) FButtons[i]->setChecked(i == index);
  // The pressed look on the strip follows when the window reports its activation.
  ShowForm(FForms[index]);
}

void TWindowPanel::ShowForm(QWidget *fm) {
  if (auto *sub = qobject_cast<QMdiSubWindow *>(fm->parentWidget())) {
    sub->show();
    sub->raise();
    if (QMdiArea *area = sub->mdiArea()) area->setActiveSubWindow(sub);
    return;
  }
  fm->show();
  fm->raise();
  fm->activateWindow();
}

QIcon TWindowPanel::IconFor(QWidget *fm) const {
  // windowIcon() falls back to the parent's or application's icon; only an icon
  // set on the window itself counts as its own.
  if (fm->testAttribute(Qt::WA_SetWindowIcon) && !fm->windowIcon().isNull())
    return fm->windowIcon();
  if (!FDefaultIcon.isNull()) return FDefaultIcon;
  return QApplication::windowIcon();
}

bool TWindowPanel::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
    for (int i = 0; i < FForms.size(); ++i) {
      if (watched == FImages[i] || watched == FIcons[i]) {
        ShowForm(FForms[i]);
        return true;
      }
    }
  }
  return QFrame::eventFilter(watched, event);
}

void TWindowPanel::resizeEvent(QResizeEvent *event) {
  LayoutButtons();
  QFrame::resizeEvent(event);
}

void TWindowPanel::LayoutButtons() {
  setFixedHeight(ButtonHeight + 2 * Margin);
  const int n = FForms.size();
  if (n == 0) {
    update();
    return;
  }
  // Whole part, toward zero; a strip narrower than its margins gives empty buttons.
  const int w = qMax(0, qMin((width() - 2 * n - 2) / n, MaxButtonWidth));
  for (int i = 0; i < n; ++i) {
    QFrame *panel = FPanels[i];
    panel->setGeometry((w + Margin) * i + Margin, Margin, w, ButtonHeight);
    panel->setVisible(true);
    const QString caption = FForms[i]->windowTitle();
    FImages[i]->setToolTip(caption);
    FIcons[i]->setToolTip(caption);
    FImages[i]->setGeometry(panel->contentsRect());
    PaintFace(i);
  }
  update();
}

void TWindowPanel::PaintFace(int index) {
  TWindowPanelPicture *face = FImages[index];
  const QSize size = face->size();
  const bool active = FForms[index] == FActiveForm;
  QFont font = this->font();
  font.setBold(active);
  // Plain black pixels keep the caption intact under the stipple.
  font.setStyleStrategy(QFont::NoAntialias);
  const QFontMetrics metrics(font);
  const QString text =
      FitText(metrics, size.width() - TextLeft, FForms[index]->windowTitle());
  FFaceTexts[index] = text;
  if (size.isEmpty()) {
    face->SetPixmap(QPixmap());
    return;
  }

  QImage image(size, QImage::Format_RGB32);
  image.fill(palette().color(QPalette::Button));
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Vertically centred on the height of a line of this font.
    const int y = (size.height() - metrics.height()) / 2;
    painter.drawText(QRect(TextLeft, y, qMax(0, size.width() - TextLeft), size.height() - y),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  }
  if (active) {
    // 50 % checkerboard over everything but the black caption.
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    for (int y = 0; y < image.height(); ++y) {
      auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
      for (int x = (y + 1) % 2; x < image.width(); x += 2)
        if ((line[x] & 0xFFFFFF) != (black & 0xFFFFFF)) line[x] = white;
    }
  }
  face->SetPixmap(QPixmap::fromImage(image));
}

QString TWindowPanel::FitText(const QFontMetrics &metrics, int maxWidth, const QString &text) {
  const auto fits = [&](const QString &t) { return metrics.horizontalAdvance(t) <= maxWidth; };
  if (fits(text)) return text;
  QString result = text + QStringLiteral("...");
  while (result.size() > 4 && !fits(result)) result.remove(result.size() - 4, 1);
  while (!result.isEmpty() && !fits(result)) result.chop(1);
  return result;
}
