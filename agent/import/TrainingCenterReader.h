// Training-centre databases: history files of both generations (runs with
// their laps and tracks, single-sport and multisport) and course files
// (courses with laps, a track and course points). The data set is filled as
// a receiver's download fills it, runs linked to their laps and tracks.
//
// First generation: "Running", "Biking", "Other" and "MultiSportSession"
// hold "Run" elements. Second generation (.tcx): "Activity Sport=..."
// elements; each is one run whose laps carry their start time and whose
// values are stored exactly as a received activity stores them, so that its
// exchange document is the one the receiver's download would give.
#pragma once

#include <string>

#include "import/XmlFileReader.h"

class CGpsDataCourse;
class CGpsDataCoursePoint;
class CGpsDataLap;
class CGpsDataRun;
class CGpsDataValue;

class CTrainingCenterReader : public CXmlFileReader {
protected:
  void SetHandlers() override;
  void OnStartElement(const char* name, const char** attributes) override;
  void OnEndElement(const char* name) override;
  void OnCharacterData(const char* characters, int length) override;

private:
  // The values of a second-generation lap, added at its end in the order a
  // received lap holds them.
  struct CLapValues {
    bool hasTotalTime = false, hasDistance = false, hasCalories = false, hasAverageHeartRate = false;
    bool hasMaximumHeartRate = false, hasMaximumSpeed = false, hasCadence = false;
    float totalTime = 0, distance = 0, maximumSpeed = 0;
    int calories = 0, averageHeartRate = 0, maximumHeartRate = 0, cadence = 0;
  };

  void _StartCourse();
  void _StartActivityElement(const char* name, const char** attributes);
  void _StartRun(bool secondGeneration, const char** attributes);
  void _StartLap(const char** attributes);
  void _EndRun();
  void _EndLap();
  void _EndTrackpoint();
  // A value element that ends as a direct child of its record (depth is
  // the element's own depth).
  void _StoreValue(const char* name, int depth, const std::string& text);
  void _StoreLapValue(const char* name, const std::string& text);
  void _StorePointValue(const char* name, const std::string& text);
  void _StoreCoursePointValue(const char* name, const std::string& text);
  // A coordinate of the open position; the pair goes to its owner once
  // both are read.
  void _StoreCoordinate(const char* name, const std::string& text);
  void _StorePositionPair();
  bool _DirectChild(int openDepth, int depth) const { return openDepth >= 0 && depth == openDepth + 1; }
  void _Check(const void* created);

  CGpsDataCourse* m_course = nullptr;
  CGpsDataCoursePoint* m_coursePoint = nullptr;
  CGpsDataRun* m_run = nullptr;
  CGpsDataLap* m_lap = nullptr;
  CGpsDataTrack* m_track = nullptr;
  CGpsDataTrackPoint* m_pending = nullptr;  // not in a track until its end
  CGpsDataValue* m_pendingDistance = nullptr;
  int m_pendingNewSegment = 0;
  bool m_hasTime = false;
  bool m_hasAltitude = false;
  bool m_hasPosition = false;
  int m_newSegment = 1;
  int m_trackNumber = 0;
  int m_depth = 0;
  int m_courseDepth = -1;
  int m_coursePointDepth = -1;
  int m_activityDepth = -1;
  int m_runDepth = -1;
  int m_lapDepth = -1;
  int m_trackDepth = -1;
  int m_trackpointDepth = -1;
  int m_positionDepth = -1;
  int m_beginPositionDepth = -1;
  int m_endPositionDepth = -1;
  int m_sessionDepth = -1;
  // A heart rate written as <Value> inside its element (second generation).
  int m_heartRateDepth = -1;
  std::string m_heartRateName;
  bool m_heartRateValueSeen = false;
  std::string m_activityName;
  int m_sport = 0;
  int m_program = 0;
  int m_multisport = 0;
  int m_lapCounter = 0;
  double m_latitude = 0;
  double m_longitude = 0;
  bool m_hasLatitude = false;
  bool m_hasLongitude = false;
  bool m_secondGeneration = false;  // the current run is an "Activity"
  CLapValues m_lapValues;
  CGpsDataRun* m_sessionRun = nullptr;  // the last run of the open multisport session
};
