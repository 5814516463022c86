// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

#include <vector>

// A curve added to a project window from another project file, for
// comparison. Values are normalised to the file's own peak and placed with the
// file's own zero position, so the curve keeps the delays it was saved with.
// Main thread only; owned by the project window's graph list.
class TGraph {
 public:
  TGraph();

  // Reads the pixels of a project file (the rest of the file is skipped).
  // Entries with an index outside 0..70000, and entries whose value is not a
  // finite number, are ignored. Raises the file layer's errors; on an error
  // the graph is left as it was.
  void LoadFromFile(const QString &fileName);
  void LoadFromBytes(const char *bytes, qint64 size);

  // Normalised value at time shift x (fsec) as the read-out shows it; empty
  // where there is no value within 20 positions on both sides.
  QString ValueTextAt(double x) const;

  // Indices a with a value greater than 0 followed by GapLength positions
  // without one: the chart breaks the graph's line after each. Unlike the own
  // curve, a value of exactly 0 counts as missing here. Ascending.
  QList<int> BreakPositions() const;

  // Index of the chart series the window draws it in (1..6 for
  // Series2..Series7); -1 until the window assigns one.
  int SeriesIndex = -1;
  int ZeroPosition = 0;
  std::vector<float> Values;  // 70001 entries; -1 = no value, else value / peak
  float MinX = 1.0f;          // fsec of the first and last value; MinX > MaxX: none
  float MaxX = -1.0f;
};
