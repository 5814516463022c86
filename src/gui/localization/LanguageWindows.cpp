// SPDX-License-Identifier: GPL-3.0-or-later
#include "localization/LanguageWindows.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/Main.h"
#include "localization/FormTranslation.h"
#include "localization/LanguageList.h"
#include "localization/TranslationEditor.h"
#include "settings/Settings.h"
#include "windowpanel/WindowPanel.h"

QList<QWidget *> LanguageSwitchWindows() {
  QList<QWidget *> windows;
  for (QWidget *fm :
       {static_cast<QWidget *>(fmMain), static_cast<QWidget *>(fmSettings),
        static_cast<QWidget *>(fmLanguageList), static_cast<QWidget *>(fmTranslationEditor)})
    if (fm) windows << fm;
  if (fmMain && fmMain->MdiArea)
    for (QMdiSubWindow *sub : fmMain->MdiArea->subWindowList(QMdiArea::CreationOrder))
      if (sub->widget()) windows << sub->widget();
  return windows;
}

void SwitchLanguageEverywhere(const QString &name) {
  SwitchLanguage(name, LanguageSwitchWindows());
  if (fmMain && fmMain->WindowPanel) {
    // The panel shows the children's captions, which have just changed.
    try {
      fmMain->WindowPanel->UpdateCaptions();
    } catch (const std::exception &) {
    }
  }
}
