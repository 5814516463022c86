// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz entry for the project-file reader: any bytes must end in a loaded
// project or in one of the two stream messages, never in a crash, a hang or a
// large allocation; a loaded project must save and load back unchanged.
// Built for libFuzzer by the CMakeLists.txt beside it (clang); the core test
// binary also runs it over the fixture files.
#include <cstdint>
#include <cstring>

#include "app/AppError.h"
#include "app/Notifier.h"
#include "measurement/Graph.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"

// A plain loop over all pixels teaches the fuzzer nothing and costs most of
// a run when its comparisons are traced.
#if defined(__clang__)
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define NO_COVERAGE
#endif

namespace {
class TSilentNotifier : public TNotifier {
 public:
  void Warning(const QString &) override {}
};

bool StreamMessage(const EAppError &e) {
  return e.Message() == QLatin1String(StreamReadError) ||
         e.Message() == QLatin1String(InvalidPropertyValue);
}

NO_COVERAGE bool SamePixels(const TProjectData &a, const TProjectData &b) {
  for (int i = 0; i <= MaxPixel; ++i) {
    const TPixel &p = a.Pixels[i], &q = b.Pixels[i];
    // An entry stored with photo gain 0 is no measurement and is not saved.
    if (!p.Measured() && !q.Measured()) continue;
    if (p.Signal != q.Signal || p.AmpF != q.AmpF || p.AmpI != q.AmpI ||
        std::memcmp(&p.Transmission, &q.Transmission, sizeof(float)) != 0)
      return false;
  }
  return a.PixelCount == b.PixelCount && a.PeakIndex == b.PeakIndex &&
         std::memcmp(&a.MaxValue, &b.MaxValue, sizeof(float)) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static TSilentNotifier silent;
  static TNotifier *previous = SetNotifier(&silent);
  (void)previous;
  // Reused between runs: a project's pixel table is 70001 records.
  static TProjectData project;
  static TProjectData again;
  const char *bytes = reinterpret_cast<const char *>(data);
  bool loaded = false;
  try {
    LoadProjectBytes(project, bytes, qint64(size), 30000);
    loaded = true;
  } catch (const EAppError &e) {
    if (!StreamMessage(e)) __builtin_trap();
  }
  if (loaded) {
    const QByteArray saved = EncodeProject(project);
    LoadProjectBytes(again, saved.constData(), saved.size(), 30000);
    // A note text that UTF-8 cannot hold (a lone surrogate of a UTF-16 note)
    // is replaced when saved; from then on the file stays the same.
    if (!SamePixels(project, again) || EncodeProject(again) != saved) __builtin_trap();
  }
  // Added graphs share the decoder, so only a readable file tells more.
  if (loaded) {
    static TGraph graph;
    graph.LoadFromBytes(bytes, qint64(size));
    // Normalised to the peak: nothing above 1, no NaN (negative means none).
    for (float v : graph.Values)
      if (!(v <= 1)) __builtin_trap();
  }
  return 0;
}
