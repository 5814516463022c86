// SPDX-License-Identifier: GPL-3.0-or-later
// The interval table's text form (settings key "tbInterval", the clipboard,
// veltravor-cli scan --table): any text gives a table whose text reads back
// to itself; a table that passes validation gives a strictly increasing plan
// inside the delay line.
#include "FuzzEntry.h"
#include "app/AppError.h"
#include "measurement/IntervalTable.h"
#include "measurement/ProjectData.h"

VELTRAVOR_FUZZ_TARGET(IntervalText) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
  static TProjectData project;  // 70001 pixels: made once
  project.Plan.clear();
  project.Interval.SetIntervalText(text);
  const QString once = project.Interval.GetIntervalText();
  TIntervalTable again;
  again.SetIntervalText(once);
  FUZZ_CHECK(again.GetIntervalText() == once);
  // The zero position comes from the first byte, so limits are met and missed.
  const int zero = size > 0 ? data[0] * 300 : 30000;
  try {
    project.BuildAdvancedPlan(zero);
  } catch (const EAppError &) {
    return 0;
  }
  for (qsizetype i = 0; i < project.Plan.size(); ++i) {
    FUZZ_CHECK(project.Plan[i] >= 0 && project.Plan[i] < MaxPixel);
    if (i > 0) FUZZ_CHECK(project.Plan[i] > project.Plan[i - 1]);
  }
  return 0;
}
