// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/SerialPortLink.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A status for an errno of open(): no such device, or a device that is there
// but cannot be opened (busy, no permission, ...).
uint32_t OpenFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return LINK_DEVICE_NOT_FOUND;
    default:
      return LINK_DEVICE_NOT_OPENED;
  }
}

speed_t SpeedOf(uint32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
  }
}

// Waits until fd is ready for `events`, at most timeoutMs; EINTR restarts
// with the time left. Returns poll's revents, 0 on time-out, -1 on error.
int WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int n = ::poll(&p, 1, timeoutMs);
    if (n > 0) return p.revents;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}
}  // namespace

TSerialPortLink::TSerialPortLink(const QString &portPath) : FPortPath(portPath) {}

TSerialPortLink::~TSerialPortLink() {
  if (IsOpen()) ::close(FFd);
}

QString TSerialPortLink::NormalizeDescription(const QString &description) {
  QString text = description;
  text.replace(u'_', u' ');
  return text.simplified().toLower();
}

QString TSerialPortLink::FindPortByDescription(const QString &description) {
  const QString wanted = NormalizeDescription(description);
  for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
    if (NormalizeDescription(info.description()) == wanted) return info.systemLocation();
  return QString();
}

uint32_t TSerialPortLink::OpenEx(const QString &description, uint32_t) {
  if (IsOpen()) return LINK_DEVICE_NOT_OPENED;  // already in use by this link
  const QString path = FPortPath.isEmpty() ? FindPortByDescription(description) : FPortPath;
  if (path.isEmpty()) return LINK_DEVICE_NOT_FOUND;
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailure(errno);
  // One program at a time on the instrument.
  if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
    ::close(fd);
    return LINK_DEVICE_NOT_OPENED;
  }
  FFd = fd;
  FPortName = path;
  if (!ApplyTermios()) {
    ::close(FFd);
    FFd = -1;
    return LINK_DEVICE_NOT_OPENED;
  }
  SetLowLatency();
  return LINK_OK;
}

bool TSerialPortLink::ApplyTermios() {
  termios t{};
  if (::tcgetattr(FFd, &t) != 0) return false;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
  switch (FWordLength) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
  }
  if (FStopBits == 2) t.c_cflag |= CSTOPB;  // 0: one, 2: two stop bits
  if (FParity == 1) t.c_cflag |= PARENB | PARODD;
  if (FParity == 2) t.c_cflag |= PARENB;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(FBaud);
  if (speed == 0 || ::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
  return ::tcsetattr(FFd, TCSANOW, &t) == 0;
}

void TSerialPortLink::SetLowLatency() {
  // /sys/class/tty/ttyUSB0/device/latency_timer exists for FTDI ports; the
  // driver's default of 16 ms would hold every one-byte answer back. Where the
  // file is missing or not writable (another chip, no rights) nothing is done:
  // the udev rule shipped in dist/ sets it for the operator instead.
  const QString name = QFileInfo(QFileInfo(FPortName).canonicalFilePath()).fileName();
  if (name.isEmpty()) return;
  QFile timer("/sys/class/tty/" + name + "/device/latency_timer");
  if (timer.exists() && timer.open(QIODevice::WriteOnly)) timer.write("1");
}

uint32_t TSerialPortLink::SetBaudRate(uint32_t baud) {
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  if (SpeedOf(baud) == 0) return LINK_INVALID_PARAMETER;
  FBaud = baud;
  return ApplyTermios() ? LINK_OK : LINK_IO_ERROR;
}

uint32_t TSerialPortLink::SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                                 uint8_t parity) {
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  if (wordLength < 5 || wordLength > 8 || (stopBits != 0 && stopBits != 2) || parity > 2)
    return LINK_INVALID_PARAMETER;
  FWordLength = wordLength;
  FStopBits = stopBits;
  FParity = parity;
  return ApplyTermios() ? LINK_OK : LINK_IO_ERROR;
}

uint32_t TSerialPortLink::SetTimeouts(uint32_t, uint32_t writeMs) {
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  // Only the write blocks inside the link; reads never wait here beyond 1 ms.
  FWriteTimeoutMs = int(std::min<uint32_t>(writeMs, 3600000));
  return LINK_OK;
}

uint32_t TSerialPortLink::Purge(uint32_t mask) {
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  const bool rx = mask & 1, tx = mask & 2;
  if (!rx && !tx) return LINK_OK;
  return ::tcflush(FFd, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) == 0 ? LINK_OK
                                                                             : LINK_IO_ERROR;
}

uint32_t TSerialPortLink::Write(const uint8_t *buffer, uint32_t count, uint32_t *written) {
  *written = 0;
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  // The write time-out bounds the whole call; a short count tells the caller.
  const qint64 deadline = qint64(FWriteTimeoutMs);
  qint64 waited = 0;
  while (*written < count) {
    const ssize_t n = ::write(FFd, buffer + *written, count - *written);
    if (n > 0) {
      *written += uint32_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return LINK_IO_ERROR;
    if (waited >= deadline) break;
    const int r = WaitFor(FFd, POLLOUT, 10);
    if (r < 0 || (r & (POLLERR | POLLHUP | POLLNVAL))) return LINK_IO_ERROR;
    waited += 10;
  }
  return LINK_OK;
}

bool TSerialPortLink::SetCommMask(uint32_t) { return IsOpen(); }

uint32_t TSerialPortLink::GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) {
  *rxQueue = *txQueue = *eventStatus = 0;
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  int waiting = 0;
  if (::ioctl(FFd, FIONREAD, &waiting) != 0) return LINK_IO_ERROR;
  if (waiting == 0) {
    // Nothing there: sleep in poll until a byte comes, at most 1 ms, so that a
    // reader polling this call does not keep a core busy.
    const int r = WaitFor(FFd, POLLIN, 1);
    if (r < 0 || (r & (POLLERR | POLLNVAL))) return LINK_IO_ERROR;
    if (::ioctl(FFd, FIONREAD, &waiting) != 0) return LINK_IO_ERROR;
    // A hang-up with nothing left to read: the device is gone.
    if (waiting == 0 && (r & POLLHUP)) return LINK_IO_ERROR;
  }
  int pending = 0;
  if (::ioctl(FFd, TIOCOUTQ, &pending) == 0 && pending > 0) *txQueue = uint32_t(pending);
  *rxQueue = uint32_t(waiting);
  if (waiting > 0) *eventStatus = 1;
  return LINK_OK;
}

uint32_t TSerialPortLink::Read(uint8_t *buffer, uint32_t count, uint32_t *read) {
  *read = 0;
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  for (;;) {
    const ssize_t n = ::read(FFd, buffer, count);
    if (n >= 0) {
      *read = uint32_t(n);
      return LINK_OK;
    }
    if (errno == EINTR) continue;
    // Nothing there: a short read, as the driver reports it.
    if (errno == EAGAIN) return LINK_OK;
    return LINK_IO_ERROR;
  }
}

uint32_t TSerialPortLink::Close() {
  if (!IsOpen()) return LINK_INVALID_HANDLE;
  const int result = ::close(FFd);
  FFd = -1;
  return result == 0 ? LINK_OK : LINK_IO_ERROR;
}
