// A track: its identity, its points in time order and the segments that cover
// them.
#pragma once

#include <string>

#include "data/GpsDataArena.h"
#include "data/GpsDataList.h"
#include "data/GpsDataSegment.h"
#include "data/GpsDataTrackPoint.h"

class CGpsDataTrack : public CGpsDataItem<CGpsDataTrack> {
public:
  CGpsDataTrack(CGpsDataArena* arena, int trackIndex) noexcept : index(trackIndex), m_arena(arena) {}

  // The document identifier "<prefix>-<number>", fixed when the set creates the
  // track; the ids of its points are built from it.
  const std::string& GetId() const { return m_id; }

  // New segment (empty, included) appended to the segments; nullptr when
  // memory runs out.
  CGpsDataSegment* AddSegment();

  // New point numbered after the last one and appended to the points. It opens
  // a new segment when newSegment is non-zero or the track has no segment;
  // otherwise it extends the last segment. If the new segment cannot be made
  // the point stays outside any segment. nullptr when memory runs out.
  CGpsDataTrackPoint* AddPoint(int newSegment);

  // The same for a point made beforehand with CGpsDataSet::NewPoint (a reader
  // that decides only at its end whether a point is kept). False, with nothing
  // changed, for a null point or one that already belongs to a track.
  bool AppendPoint(CGpsDataTrackPoint* point, int newSegment);

  const CGpsDataList<CGpsDataTrackPoint>& GetPoints() const { return m_points; }
  const CGpsDataList<CGpsDataSegment>& GetSegments() const { return m_segments; }
  int GetPointCounter() const { return m_pointCounter; }

  // True when at least one segment is included.
  bool HasIncludedSegment() const;
  // Stores flag into every segment (the user includes or excludes the activity).
  void SetIncluded(int flag);

  int index;                      // the device's track index, or the reader's number
  std::string ident;              // the track's own name
  std::string activityName;       // the sport code as decimal text
  std::string activityNameSpace;  // codeSpace of activityName
  std::string profile;            // id of the profile used for this activity; empty if none

private:
  friend class CGpsDataSet;

  CGpsDataList<CGpsDataTrackPoint> m_points;
  CGpsDataList<CGpsDataSegment> m_segments;
  int m_pointCounter = 0;
  std::string m_id;
  CGpsDataArena* m_arena;
};
