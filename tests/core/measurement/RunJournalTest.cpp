// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

#include "MeasurementTestSupport.h"
#include "app/AppError.h"
#include "device/Device.h"
#include "measurement/ProjectFile.h"
#include "measurement/RunJournal.h"
#include "measurement/WorkingThread.h"
#include "settings/FilterTable.h"
#include "simulator/SimulatorLink.h"
#include "simulator/SimulatorOptics.h"

namespace {
// Length of one point record on disk: frame (8) + body (13).
constexpr qsizetype PointRecordSize = 21;

bool SamePixel(const TPixel &a, const TPixel &b) {
  return a.Signal == b.Signal && a.AmpF == b.AmpF && a.AmpI == b.AmpI &&
         std::memcmp(&a.Transmission, &b.Transmission, sizeof(float)) == 0;
}

// Every measured pixel of a equals b's and vice versa.
void ExpectSamePixels(const TProjectData &a, const TProjectData &b) {
  int differ = 0;
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &p = a.Pixels[i], &q = b.Pixels[i];
    if (p.Measured() != q.Measured() || (p.Measured() && !SamePixel(p, q))) {
      if (++differ <= 5) ADD_FAILURE() << "pixel " << i << " differs";
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(a.PixelCount, b.PixelCount);
  EXPECT_EQ(a.PeakIndex, b.PeakIndex);
}

// A project that has been saved before and holds two earlier points.
void FillEarlierProject(TProjectData &data) {
  data.ProjectName = "Pump 3";
  data.ProjectFileName = "/data/pump 3.vtp";
  data.ZeroPosition = 30000;
  data.Left = -500;
  data.Right = 700;
  data.Step = 2;
  data.AdvancedMode = true;
  data.Interval.SetIntervalText("-500;10;0;2;500;;");
  data.Note = QString::fromUtf8("line 1\nфильтр 2");
  data.StartTime = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
  SetPixel(data, 29000, 300, 0.5f, 16, 2);
  SetPixel(data, 31000, 700, 1, 1, 64);
  data.RecomputeStatistics();
}

QByteArray FileBytes(const QString &name) {
  return ReadFileBytes(name);
}

class RunJournal : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
  QString Folder() const { return FDir.path() + "/journals"; }
  QTemporaryDir FDir;
};
}  // namespace

TEST_F(RunJournal, EveryPointTheWorkerStoresIsJournalledAndRebuildsTheProject) {
  TSimulatorConfig config;
  config.Speed = 0;
  config.KeepState = false;
  config.Carriage = 29950;
  config.Wheel = 0;
  auto link = CreateSimulatorLink(config);
  TDevice device(link.get());
  device.FilterTable = ParseFilterTable(SimulatorOptics::FilterTableText);
  device.CarriagePosition = 29950;
  device.Initialize();

  TProjectData project;
  FillEarlierProject(project);
  // A point of the earlier data that this run measures again: the journal's
  // value must win on recovery, as it does in the pixel table.
  SetPixel(project, 30000, 1, 1, 1, 1);
  project.RecomputeStatistics();
  for (int p = 29950; p <= 30050; p += 2) project.Plan.append(p);

  auto journal = TRunJournal::Begin(project, Folder());
  TWorkingThread worker(&project, &device);
  // The hook runs after DataLock is released: drawing and saving never wait
  // for the disk.
  int lockedInHook = 0;
  worker.OnPointStored = [&, sink = journal->Sink()](int index, const TPixel &pixel) {
    if (project.DataLock.tryLockForWrite())
      project.DataLock.unlock();
    else
      ++lockedInHook;
    sink(index, pixel);
  };
  worker.start();
  ASSERT_TRUE(worker.wait(QDeadlineTimer(60000)));
  ASSERT_TRUE(worker.ErrorText.isEmpty()) << worker.ErrorText.toStdString();
  EXPECT_EQ(lockedInHook, 0);
  EXPECT_EQ(journal->Points(), 51);
  EXPECT_FALSE(journal->Failed());
  journal->Flush();

  const TJournalContents contents = ReadJournal(journal->FileName());
  EXPECT_FALSE(contents.Damaged);
  ASSERT_EQ(contents.Points.size(), 51);
  for (const TJournalPoint &p : contents.Points)
    EXPECT_TRUE(SamePixel(p.Pixel, project.Pixels[p.Index])) << p.Index;
  EXPECT_EQ(contents.StartTime, project.StartTime);
  EXPECT_EQ(contents.ProjectName, "Pump 3");

  TProjectData recovered;
  const TJournalRecovery r = RecoverJournal(contents, recovered, 30000);
  EXPECT_EQ(r.Points, 51);
  EXPECT_FALSE(r.Damaged);
  ExpectSamePixels(recovered, project);
  EXPECT_EQ(recovered.ProjectName, "Pump 3");
  EXPECT_EQ(recovered.ProjectFileName, "/data/pump 3.vtp");
  EXPECT_TRUE(recovered.AdvancedMode);
  EXPECT_EQ(recovered.Interval.GetIntervalText(), "-500;10;0;2;500;;");
  EXPECT_EQ(recovered.Note, project.Note);
  EXPECT_EQ(recovered.Left, -500);
  EXPECT_EQ(recovered.Right, 700);
  EXPECT_EQ(recovered.Step, 2);
  EXPECT_EQ(recovered.ZeroPosition, 30000);
  EXPECT_TRUE(recovered.Modified);  // nothing of it is saved yet

  const QString fileName = journal->FileName();
  journal->Remove();
  EXPECT_FALSE(QFile::exists(fileName));
  EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty());
}

TEST_F(RunJournal, ACutOrDamagedTailRecoversEveryCompletePointBeforeIt) {
  TProjectData project;
  FillEarlierProject(project);
  QString fileName;
  {
    auto journal = TRunJournal::Begin(project, Folder());
    fileName = journal->FileName();
    for (int k = 0; k < 10; ++k) {
      TPixel p;
      p.Signal = quint16(100 + k);
      p.Transmission = 0.0923f;
      p.AmpF = 16;
      p.AmpI = quint8(1 << (k % 7));
      journal->Append(30000 + k, p);
    }
  }  // closed, not removed: as after a crash
  const QByteArray whole = FileBytes(fileName);
  const qsizetype headerEnd = whole.size() - 10 * PointRecordSize;
  ASSERT_EQ(ReadJournalBytes(whole.constData(), whole.size()).Points.size(), 10);

  // Every cut after the header: the complete records before it, damaged
  // exactly when the cut falls inside a record.
  for (qsizetype cut = headerEnd; cut <= whole.size(); ++cut) {
    const TJournalContents j = ReadJournalBytes(whole.constData(), cut);
    const qsizetype complete = (cut - headerEnd) / PointRecordSize;
    ASSERT_EQ(j.Points.size(), complete) << "cut at " << cut;
    EXPECT_EQ(j.Damaged, (cut - headerEnd) % PointRecordSize != 0) << "cut at " << cut;
    if (j.Damaged) {
      EXPECT_EQ(j.DamagedAt, headerEnd + complete * PointRecordSize);
    }
  }

  // One flipped bit anywhere in point 6 (its length, body or checksum): points
  // 0..5 come back, the damage is reported, nothing after it is trusted.
  for (qsizetype at = headerEnd + 6 * PointRecordSize; at < headerEnd + 7 * PointRecordSize; ++at) {
    QByteArray bytes = whole;
    bytes[at] = char(bytes[at] ^ 0x10);
    const TJournalContents j = ReadJournalBytes(bytes.constData(), bytes.size());
    EXPECT_EQ(j.Points.size(), 6) << "flip at " << at;
    EXPECT_TRUE(j.Damaged);
    TProjectData recovered;
    const TJournalRecovery r = RecoverJournal(j, recovered, 30000);
    EXPECT_TRUE(r.Damaged);
    EXPECT_EQ(r.Points, 6);
    EXPECT_EQ(recovered.Pixels[30005].Signal, 105);
    EXPECT_FALSE(recovered.Pixels[30006].Measured());
    EXPECT_EQ(recovered.Pixels[29000].Signal, 300);  // the earlier data too
  }

  // Without an intact header nothing can be rebuilt: a clear error.
  const struct {
    QByteArray Bytes;
    const char *Message;
  } broken[] = {
      {QByteArray(), "The file is not a run journal."},
      {QByteArray("VTJRNL1"), "The file is not a run journal."},
      {ReadFileBytes(QStringLiteral(VELTRAVOR_TEST_DATA "/measurement/example.vtp")),
       "The file is not a run journal."},
      {whole.left(headerEnd - 1), "The run journal's header is damaged."},
      {QByteArray(whole).replace(12, 1, "X"), "The run journal's header is damaged."},
  };
  for (const auto &b : broken) {
    try {
      ReadJournalBytes(b.Bytes.constData(), b.Bytes.size());
      ADD_FAILURE() << "no error for " << b.Message;
    } catch (const EAppError &e) {
      EXPECT_EQ(e.Message(), b.Message);
    }
  }
}

TEST_F(RunJournal, RecoveryUnderAnotherZeroPositionKeepsDelaysAndCountsWhatFallsOut) {
  TProjectData project;
  project.ZeroPosition = 1000;
  SetPixel(project, 10, 50);  // earlier point near the lower end
  SetPixel(project, 3, 60);   // earlier point that falls out
  auto journal = TRunJournal::Begin(project, Folder());
  TPixel p;
  p.Signal = 500;
  p.Transmission = 1;
  p.AmpF = 1;
  p.AmpI = 1;
  journal->Append(5, p);     // falls out
  journal->Append(2000, p);  // kept at 1992
  journal->Flush();

  TProjectData recovered;
  const TJournalRecovery r = RecoverJournal(ReadJournal(journal->FileName()), recovered, 992);
  EXPECT_EQ(r.Dropped, 2);
  EXPECT_EQ(r.Points, 1);
  EXPECT_EQ(recovered.ZeroPosition, 992);
  EXPECT_EQ(recovered.Pixels[2].Signal, 50);
  EXPECT_EQ(recovered.Pixels[1992].Signal, 500);
  EXPECT_EQ(recovered.PixelCount, 2);
  journal->Remove();
}

TEST_F(RunJournal, FindingListsOnlyJournalsWhoseRunIsNoLongerUnderWay) {
  TProjectData project;
  FillEarlierProject(project);
  auto live = TRunJournal::Begin(project, Folder());
  TPixel p;
  p.Signal = 1;
  p.Transmission = 1;
  p.AmpF = 1;
  p.AmpI = 1;
  live->Append(30001, p);
  // A run under way (here or in another process) is never offered.
  EXPECT_TRUE(FindJournals(Folder()).isEmpty());

  project.ProjectName = "Older";
  project.StartTime = project.StartTime.addDays(-1);
  const QString older = TRunJournal::Begin(project, Folder())->FileName();  // closed at once
  WriteTempFile(FDir, "journals/junk.vtj", "not a journal");
  const QString finished = live->FileName();
  live.reset();  // the process ends without removing it, as a crash would

  const QList<TJournalInfo> found = FindJournals(Folder());
  ASSERT_EQ(found.size(), 3);
  // A file that is no journal at all is still listed, so the operator decides.
  EXPECT_TRUE(found[0].FileName.endsWith("junk.vtj"));
  EXPECT_TRUE(found[0].Damaged);
  EXPECT_FALSE(found[0].StartTime.isValid());
  EXPECT_EQ(found[1].FileName, older);
  EXPECT_EQ(found[1].ProjectName, "Older");
  EXPECT_EQ(found[1].Points, 0);
  EXPECT_EQ(found[2].FileName, finished);
  EXPECT_EQ(found[2].ProjectName, "Pump 3");
  EXPECT_EQ(found[2].Points, 1);
  EXPECT_EQ(found[2].StartTime, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
  EXPECT_FALSE(found[2].Damaged);

  // The simulated instrument's runs are kept apart from the instrument's.
  EXPECT_NE(TRunJournal::Folder(true), TRunJournal::Folder(false));
}
