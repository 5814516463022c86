// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QFrame>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

class QAction;
class QFontMetrics;

// A picture on a window button: paints its pixmap at its top left. A class
// of its own rather than a label or a plain panel, so that translating the
// main window leaves the window captions in its hints alone.
class TWindowPanelPicture : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  void SetPixmap(const QPixmap &pixmap);
  const QPixmap &Pixmap() const { return FPixmap; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  QPixmap FPixmap;
};


// The strip at the bottom of the main window with one button per open child
// window, in the order the windows were opened, and one checkable entry per
// window at the end of the Window menu. The button of the active window is
// drawn bold, stippled and lowered. Child windows call Add when created,
// SetActive when activated, UpdateCaptions after a caption change and Delete
// when they close. Main thread only.
//
// The strip owns its button panels, face and icon pictures and menu entries;
// it does not own the windows. A window destroyed without Delete is dropped
// silently, so the strip never keeps a dangling window.
class TWindowPanel : public QFrame {
  Q_OBJECT

 public:
  // Sizes in pixels: a push button of the platform's default size is 75 x 25.
  static constexpr int ButtonHeight = 25;
  static constexpr int MaxButtonWidth = 3 * 75;
  // Left edge of the caption on a button face: 4 margin + 16 icon + 2 gap.
  static constexpr int TextLeft = 22;
  static constexpr int IconSize = 16;

  explicit TWindowPanel(QWidget *parent = nullptr);
  ~TWindowPanel() override;

  // The submenu that receives one entry per window (not owned).
  void SetWindowMenu(QMenu *menu);
  QMenu *WindowMenu() const { return FWindowMenu; }

  // Icon for windows that have none of their own; copied.
  void SetDefaultIcon(const QIcon &icon) { FDefaultIcon = icon; }
  QIcon DefaultIcon() const { return FDefaultIcon; }

  // Programming errors raise std::logic_error with fixed English texts.
  void Add(QWidget *fm);
  void Delete(QWidget *fm);
  // An unregistered window is ignored.
  void SetActive(QWidget *fm);
  void UpdateCaptions();

  // The longest form of text that fits maxWidth pixels in metrics: the text
  // itself, or its beginning followed by "...", or that beginning eaten from
  // the end (dots first) down to nothing.
  static QString FitText(const QFontMetrics &metrics, int maxWidth, const QString &text);

  // Read access for the main window's commands and for tests.
  int Count() const { return FForms.size(); }
  int IndexOf(QWidget *fm) const { return FForms.indexOf(fm); }
  QWidget *Form(int i) const { return FForms.at(i); }
  QWidget *ActiveForm() const { return FActiveForm; }
  QFrame *ButtonPanel(int i) const { return FPanels.at(i); }
  TWindowPanelPicture *FacePicture(int i) const { return FImages.at(i); }
  TWindowPanelPicture *IconPicture(int i) const { return FIcons.at(i); }
  QAction *MenuEntry(int i) const { return FButtons.at(i); }
  // The caption as drawn on button i (after FitText).
  QString FaceText(int i) const { return FFaceTexts.at(i); }

  // Brings fm to the front: its MDI sub-window, or fm itself.
  static void ShowForm(QWidget *fm);

 protected:
  void resizeEvent(QResizeEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void RemoveAt(int index);
  void PlaceSeparator();
  void LayoutButtons();
  void PaintFace(int index);
  QIcon IconFor(QWidget *fm) const;
  void MenuEntryTriggered(QAction *entry);
  void FormDestroyed(QObject *fm);

  // Parallel lists: index i of each belongs to the same window.
  QList<QWidget *> FForms;
  QList<QFrame *> FPanels;
  QList<TWindowPanelPicture *> FImages;
  QList<TWindowPanelPicture *> FIcons;
  QList<QAction *> FButtons;
  QList<QString> FFaceTexts;

  // Owner of the Window-menu entries, outside the widget tree: the entries
  // show window captions, which are never translated as the main window's.
  QObject FEntryOwner;
  QPointer<QMenu> FWindowMenu;
  QAction *FSeparator = nullptr;  // above the first window entry while there is one
  QIcon FDefaultIcon;
  QWidget *FActiveForm = nullptr;
};
