// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class TProjectData;

// Project files (.vtp): a plain sequence of tagged little-endian values, no
// header or checksum. Integers are written in their shortest form (0x02 int8,
// 0x03 int16, 0x04 int32), the transmission as 0x0F single, the note as 0x0C
// (4-byte length, UTF-8 bytes). The reader also takes 0x13 int64 where a single
// is expected and the text forms 0x06 (1-byte length), 0x12 (UTF-16) and 0x14
// (UTF-8); 8-bit text that is not valid UTF-8 is read as Windows-1251.
//
// Layout: zero position, initial shift, step, final shift, row count R, R x
// (shift, step), note, pixel count N, N x (index, signal, transmission, ampF,
// ampI).

// Decoder of tagged values over a byte buffer (not owned). Every length and
// count is checked against the bytes left before anything is allocated or
// looped over, so a corrupt file ends in "Stream read error" or "Invalid
// property value" and never in a large allocation or a long loop.
class TValueReader {
 public:
  TValueReader(const char *data, qint64 size) : FData(data), FSize(size) {}

  qint32 ReadInteger();
  float ReadSingle();
  QString ReadText();
  qint64 Remaining() const { return FSize - FPos; }

 private:
  const char *Take(qint64 bytes);
  quint8 ReadTag();
  [[noreturn]] static void InvalidValue();
  const char *FData;
  qint64 FSize;
  qint64 FPos = 0;
};

// Encoder of tagged values, appending to a byte array.
class TValueWriter {
 public:
  explicit TValueWriter(QByteArray &out) : FOut(out) {}
  void WriteInteger(qint32 value);
  void WriteSingle(float value);
  void WriteText(const QString &text);

 private:
  QByteArray &FOut;
};

// Messages of the value stream (as the stream layer words them; not
// translated).
extern const char *const StreamReadError;
extern const char *const InvalidPropertyValue;

// The file content of a project. The caller holds DataLock for reading, or no
// worker runs.
QByteArray EncodeProject(const TProjectData &data);

// One pixel entry as stored: index and values before any correction.
struct TStoredPixel {
  qint32 Index;
  qint32 Signal;
  float Transmission;
  qint32 AmpF;
  qint32 AmpI;
};

// What precedes the pixels.
struct TProjectHeader {
  qint32 ZeroPosition = 0;
  qint32 Left = 0, Step = 0, Right = 0;
  QList<QPair<qint32, qint32>> Rows;  // shift, step as stored (empty written as 0)
  QString Note;                       // lines separated by "\n"
};

// Reads a whole project stream: the header, then calls onPixel for every
// pixel entry in file order. Raises the two stream messages. onHeader runs
// before the first pixel is read; in a stream cut inside the interval rows or
// the note it runs before the error, with the complete rows read (and no
// note), and in one cut inside the pixels every complete entry before the cut
// reaches onPixel first.
void DecodeProject(const char *data, qint64 size,
                   const std::function<void(const TProjectHeader &)> &onHeader,
                   const std::function<void(const TStoredPixel &)> &onPixel);

// Writes the project file through QSaveFile, holding DataLock for reading from
// the first value to the completed file, so a save during a run holds a
// consistent set of points. On success the file becomes the project's file
// (ProjectName, ProjectFileName) and Modified is cleared; on failure the old
// file stays intact, nothing of the project changes, and EAppError is raised.
void SaveProject(TProjectData &data, const QString &fileName);

// Fills a new project (no worker) from a file, moving every pixel by
// zero - (stored zero position) so that it keeps its delay. Pixels that fall
// outside 0..70000 are dropped and reported once through NotifyWarning
// ("Some pixels (%) were deleted due to shift of delay line zero position.");
// returns their number. Sets ZeroPosition := zero, recomputes PixelCount,
// MaxValue and PeakIndex, names the project after the file, clears Modified.
// On an error the project keeps what was read (statistics recomputed) and
// EAppError is raised.
int LoadProject(TProjectData &data, const QString &fileName, int zero);
// The same from bytes in memory, without naming, Modified or the warning;
// returns the number of dropped pixels.
qint64 LoadProjectBytes(TProjectData &data, const char *bytes, qint64 size, int zero);

// The bytes of a file, read whole (not mapped: a mapped file that shrinks
// underneath, another program or a network share going away, would end the
// process with SIGBUS). Raises when it cannot be opened or read.
class TFileBytes {
 public:
  explicit TFileBytes(const QString &fileName);
  const char *Data() const { return FBytes.constData(); }
  qint64 Size() const { return FBytes.size(); }

 private:
  QByteArray FBytes;
};
