#include "data/GpsDataCourse.h"

#include <new>

CGpsDataCoursePoint* CGpsDataCourse::AddCoursePoint() {
  return m_points.Append(m_arena->New<CGpsDataCoursePoint>(m_arena));
}

bool CGpsDataCourse::AddLap(CGpsDataLap* lap) {
  if (lap == nullptr) return false;
  try {
    // Grow in blocks of ten, as courses carry few laps.
    if (m_laps.size() == m_laps.capacity()) m_laps.reserve(m_laps.size() + 10);
    m_laps.push_back(lap);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}
