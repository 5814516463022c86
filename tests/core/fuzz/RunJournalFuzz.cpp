// SPDX-License-Identifier: GPL-3.0-or-later
// Run journals: any bytes end in a recovered project or in one of the two
// journal messages, never in a crash or a hang; a damaged tail is reported
// with its offset, and the recovered project's statistics match its pixels.
#include <cstring>

#include "FuzzEntry.h"
#include "app/AppError.h"
#include "measurement/ProjectData.h"
#include "measurement/RunJournal.h"

#if defined(__clang__)
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define NO_COVERAGE
#endif

namespace {
NO_COVERAGE int CountMeasured(const TProjectData &data) {
  int n = 0;
  for (const TPixel &p : data.Pixels) n += p.Measured() ? 1 : 0;
  return n;
}
}  // namespace

VELTRAVOR_FUZZ_TARGET(RunJournal) {
  static TProjectData project;  // 70001 pixels: made once
  TJournalContents journal;
  try {
    journal = ReadJournalBytes(reinterpret_cast<const char *>(data), qint64(size));
  } catch (const EAppError &e) {
    FUZZ_CHECK(e.Message() == "The file is not a run journal." ||
               e.Message() == "The run journal's header is damaged.");
    return 0;
  }
  FUZZ_CHECK(journal.Damaged == (journal.DamagedAt >= 0));
  FUZZ_CHECK(journal.DamagedAt < qint64(size));
  try {
    const TJournalRecovery r = RecoverJournal(journal, project, 30000);
    FUZZ_CHECK(r.Points + r.Dropped >= journal.Points.size());
    FUZZ_CHECK(project.PixelCount == CountMeasured(project));
    FUZZ_CHECK(project.Modified);
  } catch (const EAppError &e) {
    FUZZ_CHECK(e.Message() == "The run journal's header is damaged.");
  }
  return 0;
}
