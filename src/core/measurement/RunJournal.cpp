// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/RunJournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadLocker>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

#include "app/AppError.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "measurement/ProjectFile.h"

namespace {
constexpr char Signature[8] = {'V', 'T', 'J', 'R', 'N', 'L', '1', '\n'};
constexpr char KindHeader = 'H';
constexpr char KindPoint = 'P';
constexpr quint16 HeaderVersion = 1;
// Point body: kind, index (4), signal (2), transmission bits (4), ampF, ampI.
constexpr qint64 PointBodySize = 13;
// Length and checksum around every body.
constexpr qint64 RecordFrame = 8;
// The header may carry a whole pixel table (70001 entries of at most 21
// bytes) plus a note; anything far larger is a damaged length.
constexpr qint64 MaxHeaderBody = 64 * 1024 * 1024;
// The background flush waits this long after a flush before the next one, so
// a fast run costs a few syncs a second, and a point is on the disk well
// within a second.
constexpr auto FlushPause = std::chrono::milliseconds(200);

const std::array<quint32, 256> &CrcTable() {
  static const std::array<quint32, 256> table = [] {
    std::array<quint32, 256> t{};
    for (quint32 i = 0; i < 256; ++i) {
      quint32 c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

// CRC-32 (IEEE 802.3, as zlib computes it).
quint32 Crc32(const char *data, qint64 size) {
  const auto &table = CrcTable();
  quint32 c = 0xFFFFFFFFu;
  for (qint64 i = 0; i < size; ++i) c = table[(c ^ quint8(data[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void AppendRecord(QByteArray &out, const QByteArray &body) {
  char frame[4];
  qToLittleEndian<quint32>(quint32(body.size()), frame);
  out.append(frame, 4);
  out.append(body);
  qToLittleEndian<quint32>(Crc32(body.constData(), body.size()), frame);
  out.append(frame, 4);
}

void AppendU32(QByteArray &out, quint32 v) {
  char b[4];
  qToLittleEndian<quint32>(v, b);
  out.append(b, 4);
}

void AppendText(QByteArray &out, const QString &text) {
  const QByteArray utf8 = text.toUtf8();
  AppendU32(out, quint32(utf8.size()));
  out.append(utf8);
}

QByteArray PointRecord(int index, const TPixel &pixel) {
  char body[PointBodySize];
  body[0] = KindPoint;
  qToLittleEndian<qint32>(index, body + 1);
  qToLittleEndian<quint16>(pixel.Signal, body + 5);
  quint32 bits;
  std::memcpy(&bits, &pixel.Transmission, sizeof bits);
  qToLittleEndian<quint32>(bits, body + 7);
  body[11] = char(pixel.AmpF);
  body[12] = char(pixel.AmpI);
  QByteArray out;
  out.reserve(PointBodySize + RecordFrame);
  AppendRecord(out, QByteArray(body, PointBodySize));
  return out;
}

// Reads the fields of the header body; false when it is malformed.
class TBodyReader {
 public:
  TBodyReader(const char *data, qint64 size) : FData(data), FSize(size) {}
  bool Take(qint64 n, const char *&p) {
    if (n < 0 || n > FSize - FPos) return false;
    p = FData + FPos;
    FPos += n;
    return true;
  }
  template <typename T>
  bool Number(T &value) {
    const char *p;
    if (!Take(sizeof(T), p)) return false;
    value = qFromLittleEndian<T>(p);
    return true;
  }
  bool Bytes(QByteArray &value) {
    quint32 n;
    const char *p;
    if (!Number(n) || !Take(n, p)) return false;
    value = QByteArray(p, n);
    return true;
  }
  bool AtEnd() const { return FPos == FSize; }

 private:
  const char *FData;
  qint64 FSize;
  qint64 FPos = 0;
};

bool WriteAllBytes(int fd, const char *data, qint64 size, QString &error) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size_t(size));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = QString::fromLocal8Bit(std::strerror(errno));
      return false;
    }
    data += n;
    size -= n;
  }
  return true;
}

QString NativeName(const QString &fileName) {
  return QDir::toNativeSeparators(fileName);
}
}  // namespace

// ---------------------------------------------------------------- reading

TJournalContents ReadJournalBytes(const char *data, qint64 size) {
  if (size < qint64(sizeof Signature) || std::memcmp(data, Signature, sizeof Signature) != 0)
    RaiseError("The file is not a run journal.");
  qint64 pos = sizeof Signature;

  // One framed record at pos, or false when it is cut short or damaged.
  auto record = [&](qint64 maxBody, const char *&body, qint64 &bodySize) {
    if (size - pos < RecordFrame) return false;
    const qint64 n = qFromLittleEndian<quint32>(data + pos);
    if (n < 1 || n > maxBody || n > size - pos - RecordFrame) return false;
    body = data + pos + 4;
    bodySize = n;
    if (qFromLittleEndian<quint32>(body + n) != Crc32(body, n)) return false;
    pos += n + RecordFrame;
    return true;
  };

  TJournalContents j;
  const char *body;
  qint64 bodySize;
  if (!record(MaxHeaderBody, body, bodySize) || body[0] != KindHeader)
    RaiseError("The run journal's header is damaged.");
  {
    TBodyReader r(body + 1, bodySize - 1);
    quint16 version;
    qint64 startMs;
    quint8 flags;
    QByteArray name, fileName;
    if (!r.Number(version) || version != HeaderVersion || !r.Number(startMs) || !r.Number(flags) ||
        !r.Bytes(name) || !r.Bytes(fileName) || !r.Bytes(j.Project) || !r.AtEnd())
      RaiseError("The run journal's header is damaged.");
    j.StartTime = QDateTime::fromMSecsSinceEpoch(startMs, Qt::UTC);
    j.AdvancedMode = flags & 1;
    j.ProjectName = QString::fromUtf8(name);
    j.ProjectFileName = QString::fromUtf8(fileName);
  }

  while (pos < size) {
    if (!record(PointBodySize, body, bodySize) || bodySize != PointBodySize ||
        body[0] != KindPoint) {
      j.Damaged = true;
      j.DamagedAt = pos;
      break;
    }
    TJournalPoint p;
    p.Index = qFromLittleEndian<qint32>(body + 1);
    p.Pixel.Signal = qFromLittleEndian<quint16>(body + 5);
    const quint32 bits = qFromLittleEndian<quint32>(body + 7);
    std::memcpy(&p.Pixel.Transmission, &bits, sizeof bits);
    p.Pixel.AmpF = quint8(body[11]);
    p.Pixel.AmpI = quint8(body[12]);
    j.Points.append(p);
  }
  return j;
}

TJournalContents ReadJournal(const QString &fileName) {
  const TFileBytes bytes(fileName);
  return ReadJournalBytes(bytes.Data(), bytes.Size());
}

TJournalRecovery RecoverJournal(const TJournalContents &journal, TProjectData &data, int zero) {
  TJournalRecovery result;
  result.Damaged = journal.Damaged;
  // The journal's own zero position, under which its points were taken.
  qint32 journalZero;
  try {
    TValueReader reader(journal.Project.constData(), journal.Project.size());
    journalZero = reader.ReadInteger();
    result.Dropped =
        LoadProjectBytes(data, journal.Project.constData(), journal.Project.size(), zero);
  } catch (const EAppError &) {
    RaiseError("The run journal's header is damaged.");
  }
  const qint64 shift = qint64(zero) - journalZero;
  for (const TJournalPoint &p : journal.Points) {
    const qint64 index = p.Index + shift;
    if (index < 0 || index > MaxPixel) {
      ++result.Dropped;
      continue;
    }
    TPixel &px = data.Pixels[size_t(index)];
    px = p.Pixel;
    px.Plotted = false;
    ++result.Points;
  }
  data.RecomputeStatistics();
  data.AdvancedMode = journal.AdvancedMode;
  data.ProjectName = journal.ProjectName;
  data.ProjectFileName = journal.ProjectFileName;
  data.Modified = true;
  return result;
}

QList<TJournalInfo> FindJournals(const QString &folder) {
  QList<TJournalInfo> result;
  const QFileInfoList files =
      QDir(folder).entryInfoList({"*.vtj"}, QDir::Files | QDir::Readable, QDir::Name);
  for (const QFileInfo &file : files) {
    const QByteArray path = QFile::encodeName(file.absoluteFilePath());
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    // A run under way holds an exclusive lock on its journal.
    const bool live = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    if (live) continue;
    TJournalInfo info;
    info.FileName = file.absoluteFilePath();
    try {
      const TJournalContents j = ReadJournal(info.FileName);
      info.ProjectName = j.ProjectName;
      info.StartTime = j.StartTime;
      info.Points = int(j.Points.size());
      info.Damaged = j.Damaged;
    } catch (const std::exception &) {
      info.Damaged = true;
    }
    result.append(info);
  }
  std::stable_sort(result.begin(), result.end(), [](const TJournalInfo &a, const TJournalInfo &b) {
    return a.StartTime < b.StartTime;
  });
  return result;
}

// ---------------------------------------------------------------- writing

struct TRunJournal::TState {
  int Fd = -1;
  std::mutex Mutex;  // guards everything below and the file offset
  std::condition_variable Wake;
  bool Dirty = false;
  bool Stop = false;
  QString Error;
  int Points = 0;
  std::thread Flusher;

  void Sync() {
    if (::fdatasync(Fd) != 0) {
      const QString error = QString::fromLocal8Bit(std::strerror(errno));
      std::lock_guard lock(Mutex);
      if (Error.isEmpty()) Error = error;
    }
  }

  void RunFlusher() {
    std::unique_lock lock(Mutex);
    for (;;) {
      Wake.wait(lock, [&] { return Dirty || Stop; });
      if (!Dirty) return;
      Dirty = false;
      lock.unlock();
      Sync();
      lock.lock();
      Wake.wait_for(lock, FlushPause, [&] { return Stop; });
    }
  }

  void Shutdown() {
    if (Flusher.joinable()) {
      {
        std::lock_guard lock(Mutex);
        Stop = true;
      }
      Wake.notify_all();
      Flusher.join();
    }
  }
};

QString TRunJournal::Folder(bool simulated) {
  const QString state = QFileInfo(TPaths::EventLogFile()).absolutePath();
  return state + (simulated ? "/journals-simulator" : "/journals");
}

std::unique_ptr<TRunJournal> TRunJournal::Begin(const TProjectData &data, const QString &folder) {
  if (!QDir().mkpath(folder))
    RaiseError("Cannot create the run journal in \"%\".", QStringList{NativeName(folder)});

  QByteArray header;
  header.append(KindHeader);
  char b[8];
  qToLittleEndian<quint16>(HeaderVersion, b);
  header.append(b, 2);
  const QDateTime start = data.StartTime.isValid() ? data.StartTime : QDateTime::currentDateTime();
  qToLittleEndian<qint64>(start.toMSecsSinceEpoch(), b);
  header.append(b, 8);
  header.append(char(data.AdvancedMode ? 1 : 0));
  AppendText(header, data.ProjectName);
  AppendText(header, data.ProjectFileName);
  const QByteArray project = EncodeProject(data);
  AppendU32(header, quint32(project.size()));
  header.append(project);
  QByteArray bytes(Signature, sizeof Signature);
  AppendRecord(bytes, header);

  std::unique_ptr<TRunJournal> journal(new TRunJournal);
  journal->F = std::make_unique<TState>();
  const QString stamp = start.toUTC().toString("yyyyMMdd-HHmmss-zzz");
  const qint64 pid = QCoreApplication::applicationPid();
  QString error;
  int fd = -1;
  for (int n = 0; n < 1000 && fd < 0; ++n) {
    journal->FFileName = QString("%1/run-%2-%3%4.vtj")
                             .arg(folder, stamp)
                             .arg(pid)
                             .arg(n ? QString("-%1").arg(n) : QString());
    fd = ::open(QFile::encodeName(journal->FFileName).constData(),
                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0)
    RaiseError(
        "Cannot create the run journal \"%\". %",
        QStringList{NativeName(journal->FFileName), QString::fromLocal8Bit(std::strerror(errno))});
  journal->F->Fd = fd;
  // Held until the file is closed (the kernel drops it when the process dies):
  // tells FindJournals that the run is still under way. Blocking, because a
  // FindJournals of another process may hold its shared lock for a moment.
  ::flock(fd, LOCK_EX);
  if (!WriteAllBytes(fd, bytes.constData(), bytes.size(), error) || ::fdatasync(fd) != 0) {
    if (error.isEmpty()) error = QString::fromLocal8Bit(std::strerror(errno));
    journal->Remove();
    RaiseError("Cannot write the run journal \"%\". %",
               QStringList{NativeName(journal->FFileName), error});
  }
  // The new name must survive a power cut as well as the bytes.
  const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  TState *state = journal->F.get();
  state->Flusher = std::thread([state] { state->RunFlusher(); });
  return journal;
}

TRunJournal::~TRunJournal() {
  if (!F || F->Fd < 0) return;
  F->Shutdown();
  F->Sync();
  ::close(F->Fd);
}

void TRunJournal::Append(int index, const TPixel &pixel) {
  const QByteArray record = PointRecord(index, pixel);
  {
    std::lock_guard lock(F->Mutex);
    if (F->Fd < 0 || !F->Error.isEmpty()) return;
    QString error;
    if (!WriteAllBytes(F->Fd, record.constData(), record.size(), error)) {
      F->Error = error;
      return;
    }
    ++F->Points;
    F->Dirty = true;
  }
  F->Wake.notify_one();
}

void TRunJournal::Flush() {
  {
    std::lock_guard lock(F->Mutex);
    if (F->Fd < 0) return;
    F->Dirty = false;
  }
  F->Sync();
}

void TRunJournal::Remove() {
  if (!F || F->Fd < 0) return;
  F->Shutdown();
  // Unlinked while still locked, so no other process sees it unlocked first.
  ::unlink(QFile::encodeName(FFileName).constData());
  ::close(F->Fd);
  F->Fd = -1;
}

bool TRunJournal::Failed() const {
  std::lock_guard lock(F->Mutex);
  return !F->Error.isEmpty();
}

QString TRunJournal::ErrorText() const {
  std::lock_guard lock(F->Mutex);
  return F->Error;
}

int TRunJournal::Points() const {
  std::lock_guard lock(F->Mutex);
  return F->Points;
}

std::function<void(int, const TPixel &)> TRunJournal::Sink() {
  return [this](int index, const TPixel &pixel) { Append(index, pixel); };
}
