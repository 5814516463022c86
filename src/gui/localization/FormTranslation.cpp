// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/FormTranslation.h"

#include <QAbstractButton>
#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "app/Globals.h"
#include "localization/Translator.h"

namespace {
// Entries of the recent-files list: their captions are file names.
bool IsRecentFileEntry(const QObject *object) {
  const QString name = object->objectName();
  return name.size() == 6 && name.startsWith(QLatin1String("mnMRU")) && name[5] >= u'1' &&
         name[5] <= u'5';
}

// Another window shown inside (or parented to) the one being walked: it
// translates itself in its own creation handler.
bool IsOtherWindow(const QObject *object) {
  const auto *widget = qobject_cast<const QWidget *>(object);
  if (!widget) return false;
  if (qobject_cast<const QMdiSubWindow *>(widget)) return true;
  if (QByteArray(widget->metaObject()->className()).startsWith("Tfm")) return true;
  // Menus are popups and floating tool bars are tools: both stay part of it.
  switch (widget->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::SubWindow:
      return true;
    default:
      return false;
  }
}

// The action that stands for a menu in its parent menu or bar: its text is
// the menu's title, which the menu itself translates.
bool IsMenuAction(const QAction *action) {
  const auto *menu = qobject_cast<const QMenu *>(action->parent());
  return menu && menu->menuAction() == action;
}

// A plain container (QFrame or QWidget itself, not a derived control): the
// panel of the window's design. Edits, lists and other frames keep their hints.
bool IsPanel(const QWidget *widget) {
  const QMetaObject *meta = widget->metaObject();
  return meta == &QFrame::staticMetaObject || meta == &QWidget::staticMetaObject;
}

class TFormWalk {
 public:
  TFormWalk(QWidget *root, bool forward, bool addMissing)
      : FRoot(root), FForward(forward), FAddMissing(addMissing) {}

  void Run() {
    // The window's own caption and hint; the hint is read before the caption
    // changes.
    const QString hint = FRoot->toolTip();
    Set(FRoot->windowTitle(), [this](const QString &t) { FRoot->setWindowTitle(t); });
    Set(hint, [this](const QString &t) { FRoot->setToolTip(t); });
    FVisited.insert(FRoot);
    for (QObject *child : FRoot->children()) Visit(child);
  }

 private:
  QString Tr(const QString &text) const {
    return Translator->Translate(text, FForward, FAddMissing);
  }

  template <typename Setter>
  void Set(const QString &text, Setter setter) const {
    const QString translated = Tr(text);
    if (translated != text) setter(translated);
  }

  // Caption and hint of a widget: the hint is read first, then the caption is
  // translated, then the hint.
  template <typename Getter, typename Setter>
  void CaptionAndHint(QWidget *widget, Getter caption, Setter setCaption) const {
    const QString hint = widget->toolTip();
    Set(caption(), setCaption);
    Set(hint, [widget](const QString &t) { widget->setToolTip(t); });
  }

  void Visit(QObject *object) {
    if (FVisited.contains(object)) return;
    FVisited.insert(object);
    if (IsOtherWindow(object)) return;
    if (!IsRecentFileEntry(object)) Apply(object);
    for (QObject *child : object->children()) Visit(child);
    // Actions and submenus placed in a menu or tool bar without an owner of
    // their own belong to this window as well.
    if (auto *widget = qobject_cast<QWidget *>(object);
        widget && (qobject_cast<QMenu *>(widget) || qobject_cast<QMenuBar *>(widget) ||
                   qobject_cast<QToolBar *>(widget))) {
      for (QAction *action : widget->actions()) {
        if (IsMenuAction(action)) {
          QObject *menu = action->parent();
          if (!menu->parent()) Visit(menu);
        } else if (!action->parent()) {
          Visit(action);
        }
      }
    }
  }

  void Apply(QObject *object) {
    if (auto *action = qobject_cast<QAction *>(object)) {
      if (!IsMenuAction(action)) TranslateAction(action);
      return;
    }
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget) return;
    if (auto *menu = qobject_cast<QMenu *>(widget)) {
      CaptionAndHint(
          menu, [menu] { return menu->title(); }, [menu](const QString &t) { menu->setTitle(t); });
    } else if (auto *label = qobject_cast<QLabel *>(widget)) {
      // Also the panels of a status bar; the bar's own hint stays.
      CaptionAndHint(
          label, [label] { return label->text(); },
          [label](const QString &t) { label->setText(t); });
    } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
      CaptionAndHint(
          group, [group] { return group->title(); },
          [group](const QString &t) { group->setTitle(t); });
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
      // A tool button showing an action mirrors the action's texts.
      if (auto *tool = qobject_cast<QToolButton *>(button); tool && tool->defaultAction()) return;
      CaptionAndHint(
          button, [button] { return button->text(); },
          [button](const QString &t) { button->setText(t); });
    } else if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) {
        const QString hint = tabs->tabToolTip(i);
        Set(tabs->tabText(i), [tabs, i](const QString &t) { tabs->setTabText(i, t); });
        Set(hint, [tabs, i](const QString &t) { tabs->setTabToolTip(i, t); });
      }
    } else if (auto *table = qobject_cast<QTableView *>(widget)) {
      TranslateGrid(table, table->horizontalHeader());
    } else if (auto *tree = qobject_cast<QTreeView *>(widget)) {
      TranslateGrid(tree, tree->header());
    } else if (IsPanel(widget)) {
      // A panel's caption is shown by a label on it; its hint is its own.
      Set(widget->toolTip(), [widget](const QString &t) { widget->setToolTip(t); });
    }
  }

  void TranslateAction(QAction *action) const {
    // QAction reports its text as tool tip while none is set: only a tool tip
    // of its own is a hint (an implicit one follows the translated text).
    QAction probe;
    probe.setText(action->text());
    probe.setIconText(action->iconText());
    const QString hint = action->toolTip();
    const QString text = action->text();
    const bool statusIsHint = !action->statusTip().isEmpty() && action->statusTip() == hint;
    Set(text, [action](const QString &t) { action->setText(t); });
    // A tool tip of its own that reads like the text stays when the text
    // changes; an implicit one follows the text.
    const bool ownHint =
        hint != probe.toolTip() || (action->text() != text && action->toolTip() == hint);
    if (!ownHint && !statusIsHint) return;
    const QString translated = Tr(hint);
    if (translated == hint) return;
    if (ownHint) action->setToolTip(translated);
    if (statusIsHint) action->setStatusTip(translated);
  }

  // The grid's hint, then the captions of its visible columns. A hidden
  // column keeps its caption; a model shown by two views is done once.
  void TranslateGrid(QAbstractItemView *view, QHeaderView *header) {
    Set(view->toolTip(), [view](const QString &t) { view->setToolTip(t); });
    QAbstractItemModel *model = view->model();
    if (!model || !header || FModels.contains(model)) return;
    FModels.insert(model);
    for (int column = 0; column < model->columnCount(); ++column) {
      if (header->isSectionHidden(column)) continue;
      const QVariant caption = model->headerData(column, Qt::Horizontal, Qt::DisplayRole);
      if (caption.typeId() != QMetaType::QString) continue;
      Set(caption.toString(), [model, column](const QString &t) {
        model->setHeaderData(column, Qt::Horizontal, t, Qt::EditRole);
      });
    }
  }

  QWidget *const FRoot;
  const bool FForward, FAddMissing;
  QSet<const QObject *> FVisited;
  QSet<const QAbstractItemModel *> FModels;
};
}  // namespace

void TranslateForm(QWidget *root, bool forward, bool addMissing) {
  if (!root || !Translator) return;
  TFormWalk(root, forward, addMissing).Run();
}

void SwitchLanguage(const QString &newName, const QList<QWidget *> &windows) {
  if (!Translator) return;
  for (QWidget *window : windows)
    if (window) TranslateForm(window, false, false);
  Translator->SetLanguage(newName);
  for (QWidget *window : windows)
    if (window) TranslateForm(window, true, false);
}
