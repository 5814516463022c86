#pragma once
#include <QList>
#include <QString>

class QWidget;

// Translates the captions and hints of a window and of the components placed
// on it, in place. Child windows shown inside it (MDI children) are separate
// windows and are not walked.
void TranslateForm(QWidget *root, bool forward, bool addMissing);

// Changes the interface language while windows are open: every window back to
// English (reverse lookup), select the language, every window into it.
void SwitchLanguage(const QString &newName, const QList<QWidget *> &windows);
