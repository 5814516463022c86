#include "app/ErrorGuard.h"

#include <QApplication>
#include <QMessageBox>

#include "app/AppError.h"
#include "app/Messages.h"

void ShowErrorBox(const QString &message) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                  DisplayedErrorText(message), QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void RunGuarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const std::exception &e) {
    ShowErrorBox(ExceptionMessage(e));
  } catch (...) {
    ShowErrorBox(Translate("Unknown error"));
  }
}
