// SPDX-License-Identifier: GPL-3.0-or-later
// Window captions as an X server shows them. Offscreen, a window's title is
// what the program set; under X11 Qt may add to it on its way to the server,
// so this program starts its own Xvfb and reads the titles back from the
// server with xdotool. Without Xvfb or xdotool every test is skipped.

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "ScriptedLink.h"
#include "TestEnvironment.h"
#include "app/About.h"
#include "app/AppIdentity.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/Paths.h"

namespace {
// The private X server of this test program, stopped at exit.
class TXServer {
 public:
  // Starts Xvfb on a free display and points DISPLAY at it; false when there
  // is no Xvfb or it does not come up within 20 s.
  bool Start() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return Fail("no Xvfb on the PATH");
    int fds[2];
    if (pipe(fds) != 0) return Fail("no pipe");
    const std::string program = xvfb.toStdString();
    const std::string fd = std::to_string(fds[1]);
    FPid = fork();
    if (FPid == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      // Xvfb picks a free display and writes its number to the pipe.
      execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
            "-nolisten", "tcp", static_cast<char *>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (FPid < 0) {
      close(fds[0]);
      return Fail("fork failed");
    }
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return Fail("Xvfb did not start");
    qputenv("DISPLAY", QByteArray(":") + number.c_str());
    return true;
  }
  ~TXServer() {
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  QString Why;

 private:
  bool Fail(const char *why) {
    Why = QString::fromLatin1(why);
    return false;
  }
  pid_t FPid = -1;
};

TXServer *XServer = nullptr;
bool OnX11 = false;

// The title of a top-level window as the X server holds it (_NET_WM_NAME).
QString ServerTitle(QWidget *window) {
  QProcess xdotool;
  xdotool.start(QStringLiteral("xdotool"),
                {QStringLiteral("getwindowname"), QString::number(window->winId())});
  if (!xdotool.waitForFinished(10000) || xdotool.exitCode() != 0) return QStringLiteral("<none>");
  return QString::fromUtf8(xdotool.readAllStandardOutput()).chopped(1);
}
}  // namespace

class X11CaptionsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfmMain> FMain;

  void StartMain(bool simulator) {
    TStartOptions options;
    options.Simulator = simulator;
    options.CreateLink = [](const QString &) { return std::make_unique<TScriptedLink>(); };
    FMain = std::make_unique<TfmMain>(options);
    FMain->tmStartActions->stop();  // no device search here
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }

 private slots:
  void initTestCase() {
    if (!OnX11) QSKIP(qPrintable("no X server: " + XServer->Why));
    QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
      QSKIP("no xdotool to read the titles back");
  }
  void cleanup() { FMain.reset(); }

  void mainWindowCaptionsReadAsSet() {
    for (const bool simulator : {false, true}) {
      StartMain(simulator);
      const QString caption = simulator ? "Veltravor [simulator]" : "Veltravor";
      QCOMPARE(FMain->windowTitle(), caption);
      QTRY_COMPARE(ServerTitle(FMain.get()), caption);
      FMain.reset();
    }
  }

  void dialogAndBoxCaptionsReadAsSet() {
    StartMain(false);
    TfmAbout about(FMain.get());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTRY_COMPARE(ServerTitle(&about), QString("About program"));
    about.close();

    // Message boxes show the application title.
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), "text",
                    QMessageBox::Ok, FMain.get());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTRY_COMPARE(ServerTitle(&box), QString("Veltravor"));
  }
};

int main(int argc, char **argv) {
  SetUpTestEnvironment();
  TXServer server;
  XServer = &server;
  OnX11 = server.Start();
  qputenv("QT_QPA_PLATFORM", OnX11 ? "xcb" : "offscreen");
  QApplication app(argc, argv);
  SetApplicationIdentity();
  X11CaptionsTest tc;
  return QTest::qExec(&tc, argc, argv);
}

#include "X11CaptionsTest.moc"
