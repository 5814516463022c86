// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "measurement/ProjectData.h"

// The run journal: a file in the state folder that holds, while a project
// runs, everything needed to rebuild it after a crash, a kill or a power cut.
//
// File: the 8-byte signature "VTJRNL1\n", then records. A record is a 4-byte
// little-endian body length, the body, and the CRC-32 of the body (4 bytes,
// little-endian). The first record is the header (body starts with 'H'): the
// start time, the advanced-mode switch, the project's name and file name, and
// the project as it stood when the run started, in the project-file encoding
// (zero position, interval, table, note and every earlier point). Every
// further record is one stored point (body 'P', index, signal, transmission,
// ampF, ampI; indices under the header's zero position). A later point for
// the same index replaces the earlier one, as in the pixel table.
//
// A record whose length, checksum or kind is wrong, or that is cut short, ends
// the readable part: every complete point before it is recovered and the
// damage is reported (Damaged), never an error.
//
// Typical use by a project's run (window or CLI):
//   auto journal = TRunJournal::Begin(data, TRunJournal::Folder(simulated));
//   worker.OnPointStored = journal->Sink();  // worker thread, after DataLock
//   ... run ...
//   journal->Remove();  // once the points are safe in a project file

// One journalled point, as stored.
struct TJournalPoint {
  qint32 Index = 0;
  TPixel Pixel;
};

// What a journal holds.
struct TJournalContents {
  QDateTime StartTime;  // UTC
  bool AdvancedMode = false;
  QString ProjectName;
  QString ProjectFileName;  // empty for a project never saved
  QByteArray Project;       // project-file encoding of the data at the run's start
  QList<TJournalPoint> Points;
  // The file ends in bytes that are no complete, intact record (a cut or
  // damaged tail); DamagedAt is their offset in the file, -1 when intact.
  bool Damaged = false;
  qint64 DamagedAt = -1;
};

// Reads journal bytes. Raises EAppError ("The file is not a run journal.",
// "The run journal's header is damaged.") when nothing can be recovered: the
// signature or the header record is missing or broken. A damaged tail is
// reported through Damaged.
TJournalContents ReadJournalBytes(const char *data, qint64 size);
TJournalContents ReadJournal(const QString &fileName);

// Rebuilds a project from a journal: the earlier data, then every journalled
// point, moved by zero - (the journal's zero position) so that they keep their
// delay (points that fall outside 0..70000 are dropped and counted). The
// project gets the journal's name and file name, ZeroPosition := zero, its
// statistics, and Modified := true: nothing of it is saved yet. data must be
// a project no worker runs on. Raises as ReadJournalBytes and for a header
// whose project encoding is unreadable.
struct TJournalRecovery {
  int Points = 0;      // journalled points applied
  qint64 Dropped = 0;  // earlier and journalled points outside 0..70000
  bool Damaged = false;
};
TJournalRecovery RecoverJournal(const TJournalContents &journal, TProjectData &data, int zero);

// A journal on disk, found by FindJournals: one whose run is not under way in
// any process (its writer holds a lock on it while it lives).
struct TJournalInfo {
  QString FileName;
  QString ProjectName;
  QDateTime StartTime;  // UTC
  int Points = 0;
  bool Damaged = false;
};
// The journals of unfinished runs in folder, oldest first. Files that cannot
// be read as a journal at all are listed with an invalid StartTime and no
// points, so that the operator still decides about them.
QList<TJournalInfo> FindJournals(const QString &folder);

// The journal writer of one run. Thread: Append may run on the worker thread
// while the owner's thread calls Flush; everything else from the owner's
// thread. Data written by Append are handed to the system at once (a crash of
// the process loses nothing) and reach the disk within about a quarter of a
// second (fdatasync on a background thread).
class TRunJournal {
 public:
  ~TRunJournal();  // flushes and closes; the file stays
  TRunJournal(const TRunJournal &) = delete;
  TRunJournal &operator=(const TRunJournal &) = delete;

  // The journal folder: the state folder's "journals", or "journals-simulator"
  // for runs on the simulated instrument (the two are never mixed up).
  static QString Folder(bool simulated);

  // Creates a new journal in folder (created when missing) for a run of data,
  // which is about to start: its ZeroPosition is the zero position of the
  // run. The header (with every point data holds) is on the disk when this
  // returns. data must not be written meanwhile (no worker yet, or DataLock
  // held by the caller for reading). Raises EAppError when the file cannot be
  // created or written.
  static std::unique_ptr<TRunJournal> Begin(const TProjectData &data, const QString &folder);

  // Appends one stored point. Never raises: a write failure is remembered
  // (Failed, ErrorText) and later points are not written.
  void Append(int index, const TPixel &pixel);
  // The points written so far reach the disk before this returns.
  void Flush();
  // Closes and deletes the file. Called when every point is safe elsewhere.
  void Remove();

  QString FileName() const { return FFileName; }
  bool Failed() const;
  QString ErrorText() const;
  int Points() const;

  // The hook for TWorkingThread::OnPointStored: appends to this journal,
  // which must outlive the run.
  std::function<void(int, const TPixel &)> Sink();

 private:
  TRunJournal() = default;
  struct TState;
  std::unique_ptr<TState> F;
  QString FFileName;
};
