#include "data/GpsDataTrack.h"

CGpsDataSegment* CGpsDataTrack::AddSegment() {
  return m_segments.Append(m_arena->New<CGpsDataSegment>());
}

CGpsDataTrackPoint* CGpsDataTrack::AddPoint(int newSegment) {
  CGpsDataTrackPoint* point = m_arena->New<CGpsDataTrackPoint>(m_arena);
  if (point == nullptr) return nullptr;
  AppendPoint(point, newSegment);
  return point;
}

bool CGpsDataTrack::AppendPoint(CGpsDataTrackPoint* point, int newSegment) {
  if (point == nullptr || point->m_track != nullptr) return false;
  point->m_track = this;
  point->m_number = ++m_pointCounter;
  m_points.Append(point);
  CGpsDataSegment* segment = m_segments.GetTail();
  if (newSegment != 0 || segment == nullptr) {
    // Without a segment of its own the point stays outside any segment.
    segment = AddSegment();
    if (segment == nullptr) return true;
    segment->first = point;
  } else if (segment->first == nullptr) {
    segment->first = point;
  }
  segment->last = point;
  return true;
}

bool CGpsDataTrack::HasIncludedSegment() const {
  for (const CGpsDataSegment* segment : m_segments) {
    if (segment->included != 0) return true;
  }
  return false;
}

void CGpsDataTrack::SetIncluded(int flag) {
  for (CGpsDataSegment* segment : m_segments) segment->included = flag;
}
