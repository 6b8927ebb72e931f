// Receiver bytes into the lap decoders (D906, D1001, D1011), then the laps
// linked against a small track log: nothing read past the record, linking
// never crashes on what the decoders stored.
#include <cstdint>
#include <cstdlib>

#include "data/GpsDataSet.h"
#include "data/LapLinking.h"
#include "garmin/LapDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CGpsDataSet set;
  set.prefix = "fuzz";
  for (uint16_t type : {906, 1001, 1011}) {
    const LapLayout* layout = FindLapLayout(type);
    const EGarminDecode result = DecodeLap(*layout, data, size, set);
    if (size < layout->minimumSize && result != EGarminDecode::BadData) std::abort();
  }
  // A track numbered by the first input byte, with points around the laps' starts.
  const int index = size > 0 ? data[0] : 0;
  CGpsDataTrack* track = set.AddTrack("", index);
  for (const CGpsDataLap* lap : set.GetLaps()) {
    const LapLinkTimes times = GetLapLinkTimes(*lap);
    CGpsDataTrackPoint* point = track->AddPoint(0);
    if (point == nullptr) return 0;
    point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME,
                      static_cast<int>(static_cast<uint32_t>(times.start - 631065600)));
  }
  LinkD906LapGroups(set);
  for (const CGpsDataLap* lap : set.GetLaps()) {
    if (lap->pending == 0 && !lap->firstId.empty() && lap->trackIndex >= 253 && lap->trackIndex <= 254)
      std::abort();
  }
  return 0;
}
