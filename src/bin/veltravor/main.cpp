#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("veltravor");
  QApplication::setApplicationDisplayName("Veltravor");
  QMainWindow window;
  window.setWindowTitle("Veltravor");
  window.show();
  return app.exec();
}
