// Courses a host sends to the simulated receiver: course records (D1006),
// course laps (D1007), course points (D1012) and course tracks, each kept
// once its transfer is complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimPacket.h"
#include "sim/TrackUpload.h"

struct SimCourse {
  uint16_t index = 0;
  std::string name;
  uint16_t trackIndex = 0;
};

struct SimCourseLap {
  uint16_t courseIndex = 0;
  uint16_t lapIndex = 0;
  uint32_t totalTime = 0;  // hundredths of a second
  float totalDistance = 0.0f;
  int32_t beginLat = 0;  // semicircles
  int32_t beginLon = 0;
  int32_t endLat = 0;
  int32_t endLon = 0;
  uint8_t avgHeartRate = 0;
  uint8_t maxHeartRate = 0;
  uint8_t intensity = 0;
  uint8_t avgCadence = 0;
};

struct SimCoursePoint {
  std::string name;
  uint16_t courseIndex = 0;
  uint32_t time = 0;  // device time
  uint8_t type = 0;
};

// False when the record is shorter than its type.
bool DecodeSimCourse(const std::vector<uint8_t>& data, SimCourse& course);
bool DecodeSimCourseLap(const std::vector<uint8_t>& data, SimCourseLap& lap);
bool DecodeSimCoursePoint(const std::vector<uint8_t>& data, SimCoursePoint& point);

// Everything a host uploads: track logs and the four course transfers. A
// transfer counts once the host completes it with its own command; an
// upload the host abandons leaves nothing behind, and the next one starts
// afresh.
class CSimUploads {
public:
  CSimUploads(uint16_t pointType, uint16_t headerType) : m_pointType(pointType), m_headerType(headerType) {}

  // Takes one host packet (ids as on USB); false when it is no upload packet
  // or its record did not decode.
  bool Add(const SimPacket& packet);

  const std::vector<SimTrack>& Tracks() const { return m_trackLog.Finished(); }
  const std::vector<SimTrack>& CourseTracks() const { return m_courseTracks.Finished(); }
  const std::vector<SimCourse>& Courses() const { return m_courses; }
  const std::vector<SimCourseLap>& CourseLaps() const { return m_laps; }
  const std::vector<SimCoursePoint>& CoursePoints() const { return m_points; }
  // Per completed transfer: its command, the count announced and the records received.
  struct Transfer {
    uint16_t command = 0;
    unsigned announced = 0;
    unsigned received = 0;
    bool operator==(const Transfer&) const = default;
  };
  const std::vector<Transfer>& Transfers() const { return m_transfers; }
  unsigned BadRecords() const { return m_badRecords + m_trackLog.BadRecords() + m_courseTracks.BadRecords(); }

private:
  void _Begin(uint16_t announced);
  void _Finish(uint16_t command);

  uint16_t m_pointType;
  uint16_t m_headerType;
  bool m_active = false;
  uint16_t m_announced = 0;
  unsigned m_received = 0;
  CSimTrackUpload m_trackLog;
  CSimTrackUpload m_courseTracks;
  std::vector<SimCourse> m_pendingCourses;
  std::vector<SimCourseLap> m_pendingLaps;
  std::vector<SimCoursePoint> m_pendingPoints;
  std::vector<SimCourse> m_courses;
  std::vector<SimCourseLap> m_laps;
  std::vector<SimCoursePoint> m_points;
  std::vector<Transfer> m_transfers;
  unsigned m_badRecords = 0;
};
