// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDateTime>
#include <QList>
#include <QReadWriteLock>
#include <QString>

#include <atomic>
#include <vector>

#include "app/Rounding.h"
#include "measurement/IntervalTable.h"

// Femtoseconds of delay per carriage motor step. Exactly this decimal value
// (not 50/3): stored delays and exported numbers depend on it.
constexpr double FsPerStep = 16.6666666;
// Highest pixel index (carriage position in motor steps); the pixel table
// holds MaxPixel + 1 records.
constexpr int MaxPixel = 70000;
constexpr int PixelTotal = MaxPixel + 1;
// Unmeasured positions after which a drawn curve is broken.
constexpr int GapLength = 20;
// RangeMin/RangeMax of a project without data (fsec).
constexpr double EmptyRangeMin = 1166666.662;
constexpr double EmptyRangeMax = -1166666.662;

// One carriage position of a project. All zero when never measured.
struct TPixel {
  quint16 Signal = 0;        // averaged converter value, 0..1023
  float Transmission = 0;    // filter transmission in force, fraction (1 = none)
  quint8 AmpF = 0;           // photo gain 1 or 16; 0 = not measured
  quint8 AmpI = 0;           // input gain 1..64
  bool Plotted = false;      // already added to the project's own series

  bool Measured() const { return AmpF != 0; }
};

// Delay of carriage position index in fsec under zero position zero.
double DelayOf(int index, int zero);
// Carriage position of a delay in fsec: Round(delayFs / FsPerStep) + zero.
qint64 PositionOf(double delayFs, int zero);

// Raise "Left interval limit is % fsec." when delay fs lies before carriage
// position 0, and "Right interval limit is % fsec." when it lies beyond
// position 70000 (the reported number uses the delay line length "DL_STEPS"
// of the settings). Compared unrounded.
void CheckLeftLimit(int fs, int zero);
void CheckRightLimit(int fs, int zero);

// The data of one measurement project: pixels, run statistics, scan plan,
// interval and note. Owned by the project window (or the CLI).
//
// Threads: while a run is under way the scan worker writes Pixels and the run
// statistics (PixelCount, MaxValue, PeakIndex, FullRedraw, Modified,
// PercentDone, EstimatedTime) holding DataLock for writing; main-thread code
// that reads them during a run holds DataLock for reading. Everything else is
// main-thread only. Plan is filled before the worker starts and emptied by the
// worker as its last act.
class TProjectData {
 public:
  TProjectData();
  TProjectData(const TProjectData &) = delete;
  TProjectData &operator=(const TProjectData &) = delete;

  // Value of a measured pixel: Signal / AmpF / AmpI / Transmission in double,
  // rounded to single. Raises (untranslated) for an index outside 0..70000.
  float getValue(int index) const;

  // Appends the unmeasured positions of one interval to Plan: multiples of
  // step from Round(leftFs / FsPerStep) + zero (at least 0, after Plan's last
  // entry) while below 70000 and not beyond rightFs / FsPerStep + zero.
  void AddInterval(int leftFs, int rightFs, int step, int zero);
  // Plan construction at the start of a run, in the mode AdvancedMode selects.
  // Standard: Left..Right by Step; advanced: validates Interval first. Plan may
  // come out empty (everything measured already).
  void BuildPlan(int zero);
  void BuildStandardPlan(int zero);
  void BuildAdvancedPlan(int zero);

  // Moves every pixel record by count positions (data moved past either end
  // are lost) and adds count to PeakIndex. Takes DataLock for writing, so it is
  // safe while a worker stores points; the caller must not hold DataLock.
  void ShiftPixels(int count);

  // PixelCount, MaxValue and PeakIndex from the pixels (lowest index wins among
  // equal maxima). Caller holds DataLock or no worker runs.
  void RecomputeStatistics();
  // Index of the first / last measured pixel, -1 when there is none.
  int FirstMeasured() const;
  int LastMeasured() const;

  // Time axis of a run about to start (Plan built): from the first measured
  // pixel at or before the plan's first position (or that position) to the
  // last measured pixel at or after its last position (or that position).
  void SetRangeForPlan(int zero);
  // Own data range from the first and last measured pixel; false (range
  // unchanged) when nothing is measured.
  bool SetRangeFromData(int zero);
  // Whether, after a run, the operator is asked to move the delay line zero
  // to the peak: a peak between positions 20000 and 40000 whose measured
  // neighbours on both sides do not enclose the zero position strictly.
  bool ZeroProposalApplies(int zero) const;

  // Interval of the next run (interval controls of the window).
  int Left = -100;   // fsec
  int Right = 100;   // fsec
  int Step = 1;      // motor steps
  bool AdvancedMode = false;
  TIntervalTable Interval;
  QString Note;  // lines separated by "\n"

  QString ProjectName;
  QString ProjectFileName;
  int ZeroPosition = 0;  // zero position the pixel indices were taken under

  std::vector<TPixel> Pixels;  // PixelTotal records, never resized
  QList<int> Plan;             // positions of the current run, increasing

  int PixelCount = 0;
  float MaxValue = 0;
  int PeakIndex = -1;
  float PeakWidth = 0;  // fsec; 0 when it cannot be determined
  bool FullRedraw = false;
  quint8 PercentDone = 0;
  double EstimatedTime = 0;  // remaining time of the run in days; 0 before the first point
  QDateTime StartTime;              // when the current run was started
  double RangeMin = EmptyRangeMin;  // fsec, own data range for the time axis
  double RangeMax = EmptyRangeMax;
  bool Running = false;
  // Set by the worker under DataLock, cleared by saving and loading; atomic
  // because the window reads it at any time.
  std::atomic<bool> Modified{false};

  mutable QReadWriteLock DataLock;
};
