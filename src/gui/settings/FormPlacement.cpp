// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FormPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <limits>

#include "app/Globals.h"
#include "app/Rounding.h"
#include "settings/SettingsStorage.h"

namespace {
// An MDI subwindow has no normalGeometry of its own: remember its rectangle
// while it is in the normal state so that a maximized child saves the
// rectangle it returns to.
class TNormalGeometryTracker : public QObject {
 public:
  explicit TNormalGeometryTracker(QMdiSubWindow *sub) : QObject(sub), FSub(sub) {
    setObjectName(Name);
    FNormal = sub->geometry();
    sub->installEventFilter(this);
  }
  QRect Normal() const {
    return FSub->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized) ? FNormal
                                                                              : FSub->geometry();
  }
  void SetNormal(const QRect &r) { FNormal = r; }
  static constexpr const char *Name = "FNormalGeometryTracker";

 protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
        !(FSub->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
      FNormal = FSub->geometry();
    return false;
  }

 private:
  QMdiSubWindow *FSub;
  QRect FNormal;
};

QMdiSubWindow *SubWindowOf(QWidget *form) {
  return qobject_cast<QMdiSubWindow *>(form->parentWidget());
}

TNormalGeometryTracker *TrackerOf(QMdiSubWindow *sub) {
  // No Q_OBJECT here, so find it by name rather than by qobject_cast.
  QObject *child = sub->findChild<QObject *>(TNormalGeometryTracker::Name,
                                             Qt::FindDirectChildrenOnly);
  if (auto *tracker = dynamic_cast<TNormalGeometryTracker *>(child)) return tracker;
  return new TNormalGeometryTracker(sub);
}

QSize ScreenSize(QWidget *form) {
  QScreen *screen = form->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(1024, 768);
}

TKeyPath PathOf(QWidget *form, const QString &suffix) {
  return {"Forms", QString::fromLatin1(form->metaObject()->className()) + suffix};
}

// A quotient outside the int range (a damaged file) counts as not stored: 0.
int Scaled(qint64 value, int current, qint64 saved) {
  const double scaled = RoundHalfEven(double(value) * current / double(saved));
  if (!(scaled >= std::numeric_limits<int>::min() && scaled <= std::numeric_limits<int>::max()))
    return 0;
  return static_cast<int>(scaled);
}
}  // namespace

void SaveFormPlacement(QWidget *form, const QString &suffix) {
  if (!AppSettings || !form) return;
  QRect normal;
  Qt::WindowStates state;
  if (QMdiSubWindow *sub = SubWindowOf(form)) {
    normal = TrackerOf(sub)->Normal();
    state = sub->windowState();
  } else {
    normal = form->normalGeometry();
    if (!normal.isValid()) normal = form->geometry();
    state = form->windowState();
  }
  const int stateCode =
      state & Qt::WindowMinimized ? 1 : (state & Qt::WindowMaximized ? 2 : 0);
  const QSize screen = ScreenSize(form);
  const TKeyPath path = PathOf(form, suffix);
  AppSettings->AddParam(path, "Left", normal.left());
  AppSettings->AddParam(path, "Top", normal.top());
  AppSettings->AddParam(path, "Width", normal.width());
  AppSettings->AddParam(path, "Height", normal.height());
  AppSettings->AddParam(path, "State", stateCode);
  AppSettings->AddParam(path, "ScreenWidth", screen.width());
  AppSettings->AddParam(path, "ScreenHeight", screen.height());
}

void RestoreFormPlacement(QWidget *form, const QString &suffix) {
  if (!AppSettings || !form) return;
  const TKeyPath path = PathOf(form, suffix);
  const QSize screen = ScreenSize(form);
  qint64 savedWidth = AppSettings->ReadInt64(path, "ScreenWidth", screen.width());
  qint64 savedHeight = AppSettings->ReadInt64(path, "ScreenHeight", screen.height());
  // A stored screen size of 0 (or less) cannot scale anything: use the current one.
  if (savedWidth <= 0) savedWidth = screen.width();
  if (savedHeight <= 0) savedHeight = screen.height();

  int width = Scaled(AppSettings->ReadInt64(path, "Width", 0), screen.width(), savedWidth);
  int height = Scaled(AppSettings->ReadInt64(path, "Height", 0), screen.height(), savedHeight);
  int left = Scaled(AppSettings->ReadInt64(path, "Left", 0), screen.width(), savedWidth);
  int top = Scaled(AppSettings->ReadInt64(path, "Top", 0), screen.height(), savedHeight);

  QMdiSubWindow *sub = SubWindowOf(form);
  if (width <= 0 || height <= 0) {
    if (sub) {
      QMdiArea *area = sub->mdiArea();
      const QSize free = area ? area->viewport()->size() : QSize(404, 304);
      left = 0;
      top = 0;
      width = free.width() - 4;
      height = free.height() - 4;
    } else {
      left = screen.width() / 8;
      top = screen.height() / 8;
      width = (3 * screen.width()) / 4;
      height = (3 * screen.height()) / 4;
    }
  }
  const QRect rect(left, top, width, height);
  const int state = AppSettings->ReadInt(path, "State", 0);
  if (sub) {
    sub->setGeometry(rect);
    TrackerOf(sub)->SetNormal(rect);
    if (state == 2) sub->setWindowState(sub->windowState() | Qt::WindowMaximized);
  } else {
    form->setGeometry(rect);  // also marks the window as placed by the program
    form->setAttribute(Qt::WA_Moved);
    if (state == 2) form->setWindowState(form->windowState() | Qt::WindowMaximized);
  }
}
