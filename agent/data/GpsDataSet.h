// Every kind of activity data the agent handles, held device-independently:
// one set per GPS device object, and one per import. Records are created only
// through the set and its records, live in the set's arena and are destroyed
// only all together, by ClearRecords or Clear, so every record pointer handed
// out stays valid until then.
#pragma once

#include <string>

#include "data/GpsDataArena.h"
#include "data/GpsDataCourse.h"
#include "data/GpsDataLap.h"
#include "data/GpsDataLimits.h"
#include "data/GpsDataList.h"
#include "data/GpsDataOccurrence.h"
#include "data/GpsDataProfile.h"
#include "data/GpsDataRun.h"
#include "data/GpsDataTrack.h"
#include "data/GpsDataWorkout.h"

class CGpsDataSet {
public:
  CGpsDataSet() = default;
  ~CGpsDataSet();
  CGpsDataSet(const CGpsDataSet&) = delete;
  CGpsDataSet& operator=(const CGpsDataSet&) = delete;

  // Creation: each returns the new record, appended to its list, or nullptr
  // with nothing changed when memory runs out.
  CGpsDataCourse* AddCourse();
  // A track with ident and index, already holding one empty segment. Its id is
  // "<prefix>-<index>" for an index of 0 or more, otherwise
  // "<prefix>-<trackCounter>"; trackCounter grows by one either way.
  CGpsDataTrack* AddTrack(const std::string& ident, int index);
  CGpsDataLap* AddLap();
  CGpsDataRun* AddRun();
  CGpsDataWorkout* AddWorkout();
  CGpsDataOccurrence* AddOccurrence();
  CGpsDataProfile* AddProfile();
  // Replaces the limits object by a new one.
  CGpsDataLimits* NewLimits();
  // A track point that belongs to no track yet, for CGpsDataTrack::AppendPoint.
  // A point never appended is released with the other records.
  CGpsDataTrackPoint* NewPoint();

  const CGpsDataList<CGpsDataCourse>& GetCourses() const { return m_courses; }
  const CGpsDataList<CGpsDataTrack>& GetTracks() const { return m_tracks; }
  const CGpsDataList<CGpsDataLap>& GetLaps() const { return m_laps; }
  const CGpsDataList<CGpsDataRun>& GetRuns() const { return m_runs; }
  const CGpsDataList<CGpsDataWorkout>& GetWorkouts() const { return m_workouts; }
  const CGpsDataList<CGpsDataOccurrence>& GetOccurrences() const { return m_occurrences; }
  const CGpsDataList<CGpsDataProfile>& GetProfiles() const { return m_profiles; }
  CGpsDataLimits* GetLimits() const { return m_limits; }
  int GetTrackCounter() const { return m_trackCounter; }

  // Queries; nullptr or empty text when nothing matches.
  CGpsDataTrack* FindTrack(int index) const;
  CGpsDataLap* GetLap(int n) const;
  CGpsDataLap* FindLapByTrack(int trackIndex) const;
  // Compares the first text of the profile's name pair, byte for byte.
  CGpsDataProfile* FindProfileByName(const std::string& name) const;
  // An empty id finds nothing.
  CGpsDataProfile* FindProfileById(const std::string& id) const;
  // The id of the n-th (0-based) zone of quantity in the profile named name.
  std::string GetProfileZoneId(const std::string& name, int quantity, int n) const;

  int CountCoursesWithTrack() const;
  int CountCoursePoints() const;
  int CountTrackPoints() const;
  int CountCourseLaps() const;

  // Segment flags of a track; a null track has no included segment.
  static bool HasIncludedSegment(const CGpsDataTrack* track);
  static void SetIncluded(CGpsDataTrack* track, int flag);

  // Destroys every record and the limits and restarts the track numbering;
  // the six texts stay.
  void ClearRecords();
  // The same, and empties the six texts.
  void Clear();

  // Heap bytes held by the records' arena (for measurements of memory use).
  size_t GetReservedBytes() const { return m_arena.GetReservedBytes(); }
  // Lets tests make record creation fail once the arena holds this many bytes.
  void SetArenaLimitForTests(size_t bytes) { m_arena.SetLimitForTests(bytes); }

  std::string prefix;      // identifies the data source: prefix of the track ids, the device id in documents
  std::string deviceName;  // first part of the device description
  std::string deviceDescription;  // second part of the device description
  std::string serialNumber;
  std::string productId;  // decimal product ID
  std::string firmwareVersion;

private:
  CGpsDataArena m_arena;
  CGpsDataList<CGpsDataCourse> m_courses;
  CGpsDataList<CGpsDataTrack> m_tracks;
  CGpsDataList<CGpsDataLap> m_laps;
  CGpsDataList<CGpsDataRun> m_runs;
  CGpsDataList<CGpsDataWorkout> m_workouts;
  CGpsDataList<CGpsDataOccurrence> m_occurrences;
  CGpsDataList<CGpsDataProfile> m_profiles;
  CGpsDataLimits* m_limits = nullptr;
  int m_trackCounter = 0;
};
