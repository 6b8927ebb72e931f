#include "data/GpsDataTrackPoint.h"

#include "data/GpsDataTrack.h"

std::string CGpsDataTrackPoint::GetId() const {
  if (m_track == nullptr) return std::string();
  return m_track->GetId() + "-" + std::to_string(m_number);
}
