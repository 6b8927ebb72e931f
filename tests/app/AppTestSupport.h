// What the page tests share: activity data built in a few lines, and a page
// loaded into the in-memory element map.
#pragma once

#include <time.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/PageResources.h"
#include "data/GpsDataSet.h"
#include "data/GpsDataTrack.h"
#include "data/GpsDataTrackPoint.h"
#include "data/GpsUnits.h"
#include "platform/HtmlViewMemory.h"
#include "support/TestEnv.h"

namespace qvtest {

// Points given as Unix times; nullopt is a point without time. Positions run
// along a line so that routes have a shape.
inline CGpsDataTrack* AddTrack(CGpsDataSet& set, const std::string& ident,
                               const std::vector<std::vector<std::optional<int64_t>>>& segments) {
  CGpsDataTrack* track = set.AddTrack(ident, -1);
  bool first = true;
  int n = 0;
  for (const auto& segment : segments) {
    bool newSegment = !first;
    for (const auto& time : segment) {
      CGpsDataTrackPoint* point = track->AddPoint(newSegment ? 1 : 0);
      newSegment = false;
      if (time) point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, static_cast<int>(*time));
      point->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, 600000000 + n * 1000,
                        100000000 + n * 2000);
      ++n;
    }
    first = false;
  }
  return track;
}

// Local times print in UTC while the object lives.
class CUtcClock {
public:
  CUtcClock() { tzset(); }
  ~CUtcClock() { tzset(); }

private:
  CScopedEnv m_tz{"TZ", std::string("UTC")};
};

inline CHtmlViewMemory LoadedPage(unsigned page) {
  CHtmlViewMemory view(PageResources());
  view.LoadPage(page);
  return view;
}

}  // namespace qvtest
