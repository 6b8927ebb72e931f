#include "data/GpsDataSet.h"

#include <new>

CGpsDataSet::~CGpsDataSet() {
  ClearRecords();
}

CGpsDataCourse* CGpsDataSet::AddCourse() {
  return m_courses.Append(m_arena.New<CGpsDataCourse>(&m_arena));
}

CGpsDataTrack* CGpsDataSet::AddTrack(const std::string& ident, int index) {
  CGpsDataTrack* track = m_arena.New<CGpsDataTrack>(&m_arena, index);
  if (track == nullptr) return nullptr;
  int number = index >= 0 ? index : m_trackCounter + 1;
  try {
    track->ident = ident;
    track->m_id = prefix + "-" + std::to_string(number);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  // A track always begins with one empty segment.
  if (track->AddSegment() == nullptr) return nullptr;
  ++m_trackCounter;
  return m_tracks.Append(track);
}

CGpsDataLap* CGpsDataSet::AddLap() {
  return m_laps.Append(m_arena.New<CGpsDataLap>(&m_arena));
}

CGpsDataRun* CGpsDataSet::AddRun() {
  return m_runs.Append(m_arena.New<CGpsDataRun>());
}

CGpsDataWorkout* CGpsDataSet::AddWorkout() {
  return m_workouts.Append(m_arena.New<CGpsDataWorkout>(&m_arena));
}

CGpsDataOccurrence* CGpsDataSet::AddOccurrence() {
  return m_occurrences.Append(m_arena.New<CGpsDataOccurrence>());
}

CGpsDataProfile* CGpsDataSet::AddProfile() {
  return m_profiles.Append(m_arena.New<CGpsDataProfile>(&m_arena));
}

CGpsDataLimits* CGpsDataSet::NewLimits() {
  // The previous object needs no destruction; its storage goes with the arena.
  CGpsDataLimits* limits = m_arena.New<CGpsDataLimits>();
  if (limits != nullptr) m_limits = limits;
  return limits;
}

CGpsDataTrackPoint* CGpsDataSet::NewPoint() {
  return m_arena.New<CGpsDataTrackPoint>(&m_arena);
}

CGpsDataTrack* CGpsDataSet::FindTrack(int index) const {
  for (CGpsDataTrack* track : m_tracks) {
    if (track->index == index) return track;
  }
  return nullptr;
}

CGpsDataLap* CGpsDataSet::GetLap(int n) const {
  if (n < 0 || n >= m_laps.GetCount()) return nullptr;
  CGpsDataLap* lap = m_laps.GetHead();
  for (int i = 0; i < n; ++i) lap = lap->GetNext();
  return lap;
}

CGpsDataLap* CGpsDataSet::FindLapByTrack(int trackIndex) const {
  for (CGpsDataLap* lap : m_laps) {
    if (lap->trackIndex == trackIndex) return lap;
  }
  return nullptr;
}

CGpsDataProfile* CGpsDataSet::FindProfileByName(const std::string& name) const {
  for (CGpsDataProfile* profile : m_profiles) {
    if (profile->namePair.name == name) return profile;
  }
  return nullptr;
}

CGpsDataProfile* CGpsDataSet::FindProfileById(const std::string& id) const {
  if (id.empty()) return nullptr;
  for (CGpsDataProfile* profile : m_profiles) {
    if (profile->id == id) return profile;
  }
  return nullptr;
}

std::string CGpsDataSet::GetProfileZoneId(const std::string& name, int quantity, int n) const {
  const CGpsDataProfile* profile = FindProfileByName(name);
  if (profile == nullptr || n < 0) return std::string();
  int seen = 0;
  for (const CGpsDataValue* value : profile->GetValues()) {
    if (value->GetQuantity() != quantity || value->GetModifier() != MODIFIER_ZONE) continue;
    if (seen++ == n) return value->GetId();
  }
  return std::string();
}

int CGpsDataSet::CountCoursesWithTrack() const {
  int count = 0;
  for (const CGpsDataCourse* course : m_courses) count += course->track != nullptr ? 1 : 0;
  return count;
}

int CGpsDataSet::CountCoursePoints() const {
  int count = 0;
  for (const CGpsDataCourse* course : m_courses) count += course->GetPoints().GetCount();
  return count;
}

int CGpsDataSet::CountTrackPoints() const {
  int count = 0;
  for (const CGpsDataTrack* track : m_tracks) count += track->GetPoints().GetCount();
  return count;
}

int CGpsDataSet::CountCourseLaps() const {
  int count = 0;
  for (const CGpsDataCourse* course : m_courses) count += static_cast<int>(course->GetLaps().size());
  return count;
}

bool CGpsDataSet::HasIncludedSegment(const CGpsDataTrack* track) {
  return track != nullptr && track->HasIncludedSegment();
}

void CGpsDataSet::SetIncluded(CGpsDataTrack* track, int flag) {
  if (track != nullptr) track->SetIncluded(flag);
}

void CGpsDataSet::ClearRecords() {
  m_courses.Reset();
  m_tracks.Reset();
  m_laps.Reset();
  m_runs.Reset();
  m_workouts.Reset();
  m_occurrences.Reset();
  m_profiles.Reset();
  m_limits = nullptr;
  m_trackCounter = 0;
  m_arena.Release();
}

void CGpsDataSet::Clear() {
  ClearRecords();
  prefix.clear();
  deviceName.clear();
  deviceDescription.clear();
  serialNumber.clear();
  productId.clear();
  firmwareVersion.clear();
}
