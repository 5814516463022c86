// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz entry for the pulse report over project files: whatever a readable file
// holds (zero, negative, infinite or NaN transmissions, any gains, a single
// pixel, a flat curve), the report ends without a crash or a hang, and every
// number it gives is finite and in its range; undetermined figures are absent
// (null in JSON), never NaN. Built for libFuzzer by the CMakeLists.txt beside
// it (clang) as pulse_report_fuzz; the core test binary runs the same entry
// over the fixture files and mutations of them.
#include <QJsonDocument>

#include <cmath>
#include <cstdint>

#include "app/AppError.h"
#include "app/Notifier.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/PulseReport.h"

namespace {
class TQuietNotifier : public TNotifier {
 public:
  void Warning(const QString &) override {}
};

bool Finite(const std::optional<double> &v) {
  return !v || std::isfinite(*v);
}

bool Sound(const TPulseReport &r) {
  if (!Finite(r.PeakPositionFs) || !Finite(r.FwhmFs) || !Finite(r.Pedestal) ||
      !Finite(r.PedestalSpread) || !Finite(r.NoiseFloor) || !Finite(r.DynamicRangeDecades))
    return false;
  if (r.FwhmFs && *r.FwhmFs < 0) return false;
  if (r.NoiseFloor && !(*r.NoiseFloor > 0)) return false;
  for (const TPeakFit *f : {&r.Gaussian, &r.Sech2})
    if (f->Valid && !(std::isfinite(f->FwhmFs) && f->FwhmFs > 0 && std::isfinite(f->DurationFs) &&
                      std::isfinite(f->Residual) && std::isfinite(f->CenterFs)))
      return false;
  for (const TSatellite &s : r.Pulses)
    if (!(s.Contrast > 0 && std::isfinite(s.DelayFs) && Finite(s.WidthFs) && Finite(s.GhostOf)))
      return false;
  for (const TStitch &s : r.Stitches)
    if (!Finite(s.Ratio) || (s.Ratio && !(*s.Ratio > 0))) return false;
  for (const TFilterCheck &f : r.Filters)
    if (!Finite(f.MedianRatio) || !Finite(f.SuggestedTransmission)) return false;
  return true;
}
}  // namespace

// Returns false when the report broke one of its promises.
bool PulseReportFuzzOne(const uint8_t *data, size_t size) {
  static TQuietNotifier quiet;
  static TNotifier *previous = SetNotifier(&quiet);
  (void)previous;
  static TProjectData project;  // 70001 records: reused between runs
  const char *bytes = reinterpret_cast<const char *>(data);
  int zero = 0;
  try {
    TValueReader reader(bytes, qint64(size));
    zero = reader.ReadInteger();
    LoadProjectBytes(project, bytes, qint64(size), zero);
  } catch (const EAppError &) {
    return true;  // the reader's own business (its fuzzer checks the messages)
  }
  for (const TCorrelationKind kind :
       {TCorrelationKind::ThirdOrderCross, TCorrelationKind::SecondOrderAuto}) {
    const TPulseReport r = ComputePulseReport(project, zero, kind);
    if (r.Pixels != project.PixelCount || !Sound(r)) return false;
    // Both printed forms are built from every figure.
    if (QJsonDocument(PulseReportJson(r)).toJson().isEmpty() || PulseReportText(r).isEmpty())
      return false;
  }
  return true;
}

#ifdef VELTRAVOR_PULSE_REPORT_FUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!PulseReportFuzzOne(data, size)) __builtin_trap();
  return 0;
}
#endif
