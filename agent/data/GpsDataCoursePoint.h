// A course point: a named place along a course with a time, an elevation and
// a position as measurements.
#pragma once

#include <string>

#include "data/GpsDataList.h"
#include "data/GpsDataValues.h"

class CGpsDataCoursePoint : public CGpsDataItem<CGpsDataCoursePoint>, public CGpsDataValues {
public:
  explicit CGpsDataCoursePoint(CGpsDataArena* arena) noexcept : CGpsDataValues(arena) {}

  std::string name;
  std::string pointType;  // the type name as read, e.g. "Summit" or "Left"
};
