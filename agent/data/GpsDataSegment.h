// A run of consecutive points of a track, from first to last following the
// point list. Only included segments are written to documents and sent to
// receivers.
#pragma once

#include "data/GpsDataList.h"
#include "data/GpsDataTrackPoint.h"

class CGpsDataSegment : public CGpsDataItem<CGpsDataSegment> {
public:
  CGpsDataSegment() noexcept = default;

  CGpsDataTrackPoint* first = nullptr;  // null while the segment is empty
  CGpsDataTrackPoint* last = nullptr;   // null while the segment is empty
  int included = 1;
};
