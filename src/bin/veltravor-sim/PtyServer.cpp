// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyServer.h"

#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "simulator/SimulatorFiles.h"

namespace {
// Self-pipe: the signal handler writes one byte, the poll loop wakes up.
int SignalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (SignalPipe[1] >= 0) (void)!write(SignalPipe[1], &byte, 1);
  errno = saved;
}

bool InstallSignals(QString *error) {
  if (SignalPipe[0] < 0) {
    if (pipe(SignalPipe) != 0) {
      *error = QString("pipe: %1").arg(strerror(errno));
      return false;
    }
    for (int fd : SignalPipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: poll returns at once
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

QString SystemError(const char *what) { return QString("%1: %2").arg(what, strerror(errno)); }

QString LinkTarget(const QString &path) {
  char buffer[PATH_MAX];
  const ssize_t n = readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer - 1);
  if (n < 0) return {};
  return QString::fromLocal8Bit(buffer, n);
}
}  // namespace

TPtyServer::TPtyServer(const TSimulatorConfig &config)
    : FConfig(ResolvePowerOnPositions(config)), FInstrument(FConfig) {}

TPtyServer::~TPtyServer() { Shutdown(); }

bool TPtyServer::Open(const QString &linkPath, QString *error) {
  if (!InstallSignals(error)) return false;
  FLinkPath = linkPath;
  const QByteArray link = QFile::encodeName(linkPath);

  struct stat info {};
  if (lstat(link.constData(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      *error = QString("%1 exists and is not a symbolic link").arg(linkPath);
      return false;
    }
    struct stat target {};
    if (stat(link.constData(), &target) == 0) {
      *error = QString("%1 already points to %2; another simulator may be serving it")
                   .arg(linkPath, LinkTarget(linkPath));
      return false;
    }
    unlink(link.constData());  // left by a run that did not end cleanly
  }

  FMaster = posix_openpt(O_RDWR | O_NOCTTY);
  if (FMaster < 0) {
    *error = SystemError("posix_openpt");
    return false;
  }
  if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) {
    *error = SystemError("grantpt/unlockpt");
    return false;
  }
  const char *name = ptsname(FMaster);
  if (!name) {
    *error = SystemError("ptsname");
    return false;
  }
  FSlaveName = QString::fromLocal8Bit(name);
  FSlave = open(name, O_RDWR | O_NOCTTY);
  if (FSlave < 0) {
    *error = SystemError("open slave");
    return false;
  }
  // Raw bytes both ways until the client sets its own line: no echo, no
  // line editing, no CR/LF translation.
  termios tio {};
  tcgetattr(FSlave, &tio);
  cfmakeraw(&tio);
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  tcsetattr(FSlave, TCSANOW, &tio);
  fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);

  if (symlink(name, link.constData()) != 0) {
    *error = SystemError(qPrintable(QString("symlink %1").arg(linkPath)));
    return false;
  }
  FLinkMade = true;
  return true;
}

int TPtyServer::Run() {
  using Clock = std::chrono::steady_clock;
  const auto origin = Clock::now();
  const double speed = FConfig.Speed;
  auto modelNow = [&]() -> TSimTicks {
    const double s = std::chrono::duration<double>(Clock::now() - origin).count();
    return static_cast<TSimTicks>(std::floor(s / speed * SimTicksPerSecond));
  };
  auto advance = [&]() {
    if (speed > 0)
      FInstrument.AdvanceTo(modelNow());
    else
      FInstrument.RunUntilIdle();
  };

  QByteArray output;  // answers the terminal has not taken yet
  for (;;) {
    advance();
    if (FInstrument.LinkDropped()) {
      QTextStream(stderr) << "veltravor-sim: link dropped after command "
                          << FInstrument.CommandCount() << "\n";
      return 0;
    }
    if (const size_t n = FInstrument.Available()) {
      QByteArray bytes(static_cast<qsizetype>(n), '\0');
      FInstrument.Receive(reinterpret_cast<uint8_t *>(bytes.data()), n);
      output += bytes;
    }
    while (!output.isEmpty()) {
      const ssize_t w = write(FMaster, output.constData(), output.size());
      if (w <= 0) break;  // the terminal's queue is full: retry when writable
      output.remove(0, w);
    }
    KeepState(false);

    int timeoutMs = 200;
    if (speed > 0) {
      if (const auto next = FInstrument.NextEventTime()) {
        const double waitS = static_cast<double>(*next - FInstrument.Now()) / SimTicksPerSecond * speed;
        timeoutMs = std::clamp(static_cast<int>(std::ceil(waitS * 1000)), 0, timeoutMs);
      }
    }
    pollfd fds[2] = {{FMaster, static_cast<short>(POLLIN | (output.isEmpty() ? 0 : POLLOUT)), 0},
                     {SignalPipe[0], POLLIN, 0}};
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0 && errno != EINTR) {
      QTextStream(stderr) << "veltravor-sim: " << SystemError("poll") << "\n";
      return 1;
    }
    if (fds[1].revents & POLLIN) return 0;
    if (fds[0].revents & POLLIN) {
      uint8_t buffer[256];
      const ssize_t r = read(FMaster, buffer, sizeof buffer);
      if (r > 0) {
        advance();
        FInstrument.Send(buffer, static_cast<size_t>(r));
      }
    }
  }
}

void TPtyServer::KeepState(bool force) {
  if (!FConfig.KeepState) return;
  if (!force && !FInstrument.Idle()) return;
  const std::pair<int, int> now{FInstrument.CarriagePosition(), FInstrument.WheelPosition()};
  if (!force && FSavedPositions == now) return;
  QString error;
  if (SaveSimulatorState({now.first, now.second}, &error))
    FSavedPositions = now;
  else
    QTextStream(stderr) << "veltravor-sim: " << error << "\n";
}

void TPtyServer::Shutdown() {
  if (FLinkMade) {
    // Only our own link: another server may have taken the path since.
    if (LinkTarget(FLinkPath) == FSlaveName) unlink(QFile::encodeName(FLinkPath).constData());
    FLinkMade = false;
  }
  if (FMaster >= 0 || FSlave >= 0) KeepState(true);
  if (FSlave >= 0) close(FSlave);
  if (FMaster >= 0) close(FMaster);
  FSlave = FMaster = -1;
}
