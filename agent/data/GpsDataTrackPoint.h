// One point of a track log. Its numbers (time, position, elevation, distance,
// heart rate, cadence) are measurements.
#pragma once

#include <string>

#include "data/GpsDataList.h"
#include "data/GpsDataValues.h"

class CGpsDataTrack;

class CGpsDataTrackPoint : public CGpsDataItem<CGpsDataTrackPoint>, public CGpsDataValues {
public:
  explicit CGpsDataTrackPoint(CGpsDataArena* arena) noexcept : CGpsDataValues(arena) {}

  // "<track id>-<number>"; the first point of a track is number 1. Empty while
  // the point belongs to no track. Built on demand from the track's id, which
  // never changes after the track is created, so that the many points of a
  // track log do not each carry a copy of it.
  std::string GetId() const;
  int GetNumber() const { return m_number; }
  CGpsDataTrack* GetTrack() const { return m_track; }

private:
  friend class CGpsDataTrack;
  CGpsDataTrack* m_track = nullptr;
  int m_number = 0;
};

// A track point owns nothing that the arena would have to destroy.
template <>
struct ArenaNeedsDestroy<CGpsDataTrackPoint> : std::false_type {};
