// Receiver bytes into the track decoders: every point type and every header
// type on the same input, then the track log transfer fed packet by packet.
#include <cstdint>
#include <cstdlib>

#include "data/GpsDataSet.h"
#include "garmin/TrackDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CGpsDataSet set;
  set.prefix = "fuzz";
  CGpsDataTrack* track = set.AddTrack("", -1);
  if (track == nullptr) return 0;
  for (uint16_t type : {300, 301, 302, 303, 304}) {
    const TrackPointLayout* layout = FindTrackPointLayout(type);
    const EGarminDecode result = DecodeTrackPoint(*layout, data, size, *track);
    if (size < layout->minimumSize && result != EGarminDecode::BadData) std::abort();
  }
  for (uint16_t type : {310, 311, 312}) DecodeTrackHeader(type, data, size, set);
  // Every stored ident holds only the characters an ident may keep.
  for (const CGpsDataTrack* t : set.GetTracks()) {
    if (CutTrackIdent(t->ident) != t->ident) std::abort();
  }
  return 0;
}
