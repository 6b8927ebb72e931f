// A course read from a file: its track and laps (held in the set's lists) and
// its course points.
#pragma once

#include <string>
#include <vector>

#include "data/GpsDataCoursePoint.h"
#include "data/GpsDataLap.h"
#include "data/GpsDataList.h"

class CGpsDataTrack;

class CGpsDataCourse : public CGpsDataItem<CGpsDataCourse> {
public:
  explicit CGpsDataCourse(CGpsDataArena* arena) noexcept : m_arena(arena) {}

  // New course point appended to the points; nullptr when memory runs out.
  CGpsDataCoursePoint* AddCoursePoint();
  // Remembers one of the set's laps as a lap of the course, in file order.
  // False when lap is null or memory runs out.
  bool AddLap(CGpsDataLap* lap);

  const CGpsDataList<CGpsDataCoursePoint>& GetPoints() const { return m_points; }
  const std::vector<CGpsDataLap*>& GetLaps() const { return m_laps; }

  std::string name;
  CGpsDataTrack* track = nullptr;  // the track with the course's points; null until set

private:
  std::vector<CGpsDataLap*> m_laps;
  CGpsDataList<CGpsDataCoursePoint> m_points;
  CGpsDataArena* m_arena;
};
