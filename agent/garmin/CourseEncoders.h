// The course records a host sends: D1006 course, D1007 course lap and D1012
// course point, and how their fields are found in the data set's laps,
// tracks and course points. Link-free, so they are tested from byte tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CGpsDataCoursePoint;
class CGpsDataLap;
class CGpsDataTrack;

constexpr size_t D1006_COURSE_SIZE = 22;
constexpr size_t D1007_COURSE_LAP_SIZE = 32;
constexpr size_t D1012_COURSE_POINT_SIZE = 21;
// Text bytes of the course name and of the course point name, before their NUL.
constexpr size_t COURSE_NAME_MAX_LENGTH = 15;
constexpr size_t COURSE_POINT_NAME_MAX_LENGTH = 10;

struct TxCourseFields {
  uint16_t index = 0;
  std::string name;
  uint16_t trackIndex = 0;
};

// Every field starts at 0, positions too; a field is filled only from a value found.
struct TxCourseLapFields {
  uint16_t courseIndex = 0;
  uint16_t lapIndex = 0;
  uint32_t totalTime = 0;  // hundredths of a second
  float totalDistance = 0.0f;
  int32_t beginLatitude = 0;
  int32_t beginLongitude = 0;
  int32_t endLatitude = 0;
  int32_t endLongitude = 0;
  uint8_t avgHeartRate = 0;
  uint8_t maxHeartRate = 0;
  uint8_t intensity = 0;
  uint8_t avgCadence = 0;
};

struct TxCoursePointFields {
  std::string name;
  uint16_t courseIndex = 0;
  uint32_t time = 0;  // device time
  uint8_t pointType = 0;
};

// Fills the fields the lap has: duration, distance, begin and end
// positions, heart rates and cadence. Fields it lacks keep their value.
void ApplyCourseLapValues(const CGpsDataLap& lap, TxCourseLapFields& fields);
// A lap summing up all points of the track: time from the first to the last
// time, the first and last positions, maximum and average heart rate,
// average cadence (averages over every point) and the distance covered,
// the last distance value less the first, since point distances count from
// the start of the track.
TxCourseLapFields SummariseTrackAsCourseLap(const CGpsDataTrack& track);

// The code of a course point type text ("Summit" 1 ... "First Aid" 9),
// compared without regard to case; 0 for any other text.
uint8_t CoursePointTypeCode(const std::string& text);
// The first instant time of the point, in device time; false when it has none.
bool FindCoursePointTime(const CGpsDataCoursePoint& point, uint32_t& time);

// Each writes its record into out and returns its size, or 0 when out is too small.
size_t EncodeD1006Course(const TxCourseFields& fields, uint8_t* out, size_t capacity);
size_t EncodeD1007CourseLap(const TxCourseLapFields& fields, uint8_t* out, size_t capacity);
size_t EncodeD1012CoursePoint(const TxCoursePointFields& fields, uint8_t* out, size_t capacity);
