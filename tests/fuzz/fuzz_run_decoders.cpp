// Receiver bytes into the run decoders (D1000, D1009, D1010), then each run
// linked over a set with a few laps and tracks, whatever its indexes say.
#include <cstdint>
#include <cstdlib>

#include "data/GpsDataSet.h"
#include "data/LapLinking.h"
#include "garmin/RunDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CGpsDataSet set;
  set.prefix = "fuzz";
  for (uint16_t type : {1000, 1009, 1010}) DecodeRun(type, data, size, set);
  if (size < D1009_MIN_SIZE && set.GetRuns().GetCount() != 0) std::abort();
  for (int i = 0; i < 3; ++i) {
    CGpsDataTrack* track = set.AddTrack("", i);
    CGpsDataLap* lap = set.AddLap();
    if (track == nullptr || lap == nullptr) return 0;
    lap->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, 1000 * i + 5);
    for (int p = 0; p < 4; ++p) {
      CGpsDataTrackPoint* point = track->AddPoint(0);
      if (point != nullptr)
        point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1000 * i + p * 3);
    }
  }
  for (const CGpsDataRun* run : set.GetRuns()) LinkRunLaps(set, *run);
  return 0;
}
