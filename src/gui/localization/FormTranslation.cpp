#include "localization/FormTranslation.h"

void TranslateForm(QWidget *, bool, bool) {}

void SwitchLanguage(const QString &, const QList<QWidget *> &) {}
