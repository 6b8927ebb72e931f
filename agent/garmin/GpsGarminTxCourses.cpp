// Sending courses: the course records (A1006), their laps (A1007) and their
// points (A1008), either from the courses of a course file or, for a set of
// tracks alone, one course per track.
#include <vector>

#include "garmin/CourseEncoders.h"
#include "garmin/GarminIds.h"
#include "garmin/RxCountedTransfer.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

bool IsSentTrack(const CGpsDataTrack* track) {
  return CGpsDataSet::HasIncludedSegment(track) && track->GetPoints().GetCount() > 0;
}

int CountSentTracks(const CGpsDataSet& set) {
  int count = 0;
  for (const CGpsDataTrack* track : set.GetTracks()) count += IsSentTrack(track) ? 1 : 0;
  return count;
}

}  // namespace

bool CGpsGarmin::TxD1006Course(const std::string& name, int index, int trackIndex) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxD1006Course(CGpsDataCourse*)");
  TxCourseFields fields;
  fields.index = static_cast<uint16_t>(index);
  fields.name = name;
  fields.trackIndex = static_cast<uint16_t>(trackIndex);
  uint8_t record[D1006_COURSE_SIZE];
  const size_t size = EncodeD1006Course(fields, record, sizeof record);
  LogWrite(LOG_INFO, "TxD1006Course(): APP_PID_COURSE");
  LogWrite(LOG_INFO, "Pid_Course (packet size = %u),", static_cast<unsigned>(size));
  LogWrite(LOG_INFO, "D1006_Course_Type");
  LogWrite(LOG_INFO, "{");
  LogWrite(LOG_INFO, "  index       = %u", static_cast<unsigned>(fields.index));
  LogWrite(LOG_INFO, "  unused      = %u", 0u);
  LogWrite(LOG_INFO, "  course_name = '%s'", reinterpret_cast<const char*>(record + 4));
  LogWrite(LOG_INFO, "  track_index = %u", static_cast<unsigned>(fields.trackIndex));
  LogWrite(LOG_INFO, "}");
  return _TxPacket(APP_PID_COURSE, record, static_cast<unsigned>(size));
}

bool CGpsGarmin::TxA1006Courses(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA1006Courses()");
  if (!IsProtocolSupported('D', 1006)) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA1006Course(): course type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_COURSE_PROTOCOL);
    return false;
  }
  // Only courses with an included track are sent, and only those are
  // announced: the receiver counts what arrives against the count.
  int sent = 0;
  for (const CGpsDataCourse* course : set->GetCourses()) {
    sent += CGpsDataSet::HasIncludedSegment(course->track) ? 1 : 0;
  }
  const uint16_t count = static_cast<uint16_t>(sent & 0xFFFF);
  if (count == 0) return true;
  LogWrite(LOG_INFO, "TxA1006Courses(): APP_PID_RECORDS %u packets to transmit",
           static_cast<unsigned>(count));
  if (!_TxRecords(count)) return false;
  int k = 0;
  for (const CGpsDataCourse* course : set->GetCourses()) {
    if (!CGpsDataSet::HasIncludedSegment(course->track)) continue;
    if (!TxD1006Course(course->track->ident, k, course->track->index)) return false;
    ++k;
  }
  LogWrite(LOG_INFO, "TxA1006Courses(): APP_PID_XFER_CMPLT");
  return _TxComplete(CMD_TRANSFER_COURSES);
}

bool CGpsGarmin::TxA1006CoursesFromTracks(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA1006CoursesFromTracks()");
  if (!IsProtocolSupported('D', 1006)) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA1006CoursesFromTracks(): course type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_COURSE_PROTOCOL);
    return false;
  }
  const uint16_t count = static_cast<uint16_t>(CountSentTracks(*set) & 0xFFFF);
  if (count == 0) return true;
  LogWrite(LOG_INFO, "TxA1006CoursesFromTracks(): APP_PID_RECORDS %u packets to transmit",
           static_cast<unsigned>(count));
  if (!_TxRecords(count)) return false;
  int k = 0;
  for (const CGpsDataTrack* track : set->GetTracks()) {
    if (!IsSentTrack(track)) continue;
    if (!TxD1006Course(track->ident, k++, track->index)) return false;
  }
  LogWrite(LOG_INFO, "TxA1006CoursesFromTracks(): APP_PID_XFER_CMPLT");
  return _TxComplete(CMD_TRANSFER_COURSES);
}

bool CGpsGarmin::_TxCourseLap(const TxCourseLapFields& fields) {
  uint8_t record[D1007_COURSE_LAP_SIZE];
  const size_t size = EncodeD1007CourseLap(fields, record, sizeof record);
  LogWrite(LOG_INFO, "TxD1007CourseLap(): APP_PID_COURSE_LAP");
  LogWrite(LOG_INFO, "Pid_Course_Lap (packet size = %u),", static_cast<unsigned>(size));
  LogWrite(LOG_INFO, "D1007_Course_Lap_Type");
  return _TxPacket(APP_PID_COURSE_LAP, record, static_cast<unsigned>(size));
}

bool CGpsGarmin::TxD1007CourseLap(const CGpsDataLap& lap, int courseIndex, int lapIndex) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxD1007CourseLap(1)");
  TxCourseLapFields fields;
  fields.courseIndex = static_cast<uint16_t>(courseIndex);
  fields.lapIndex = static_cast<uint16_t>(lapIndex);
  ApplyCourseLapValues(lap, fields);
  uint8_t record[D1007_COURSE_LAP_SIZE];
  const size_t size = EncodeD1007CourseLap(fields, record, sizeof record);
  LogWrite(LOG_INFO, "TxD1007CourseLap(): APP_PID_COURSE_LAP");
  LogWrite(LOG_INFO, "Pid_Course_Lap (packet size = %u),", static_cast<unsigned>(size));
  LogWrite(LOG_INFO, "D1007_Course_Lap_Type");
  LogWrite(LOG_INFO, "{");
  LogWrite(LOG_INFO, "  course_index    = %u", static_cast<unsigned>(fields.courseIndex));
  LogWrite(LOG_INFO, "  lap_index       = %u", static_cast<unsigned>(fields.lapIndex));
  LogWrite(LOG_INFO, "  total_time      = %u", fields.totalTime);
  LogWrite(LOG_INFO, "  total_distance  = %f", static_cast<double>(fields.totalDistance));
  LogWrite(LOG_INFO, "  begin.latitude  = %d", fields.beginLatitude);
  LogWrite(LOG_INFO, "  begin.longitude = %d", fields.beginLongitude);
  LogWrite(LOG_INFO, "  end.latitude    = %d", fields.endLatitude);
  LogWrite(LOG_INFO, "  end.longitude   = %d", fields.endLongitude);
  LogWrite(LOG_INFO, "  avg_heart_rate  = %u", static_cast<unsigned>(fields.avgHeartRate));
  LogWrite(LOG_INFO, "  max_heart_rate  = %u", static_cast<unsigned>(fields.maxHeartRate));
  LogWrite(LOG_INFO, "  intensity       = %u", static_cast<unsigned>(fields.intensity));
  LogWrite(LOG_INFO, "  avg_cadence     = %u", static_cast<unsigned>(fields.avgCadence));
  LogWrite(LOG_INFO, "}");
  return _TxPacket(APP_PID_COURSE_LAP, record, static_cast<unsigned>(size));
}

bool CGpsGarmin::TxD1007CourseLap(const CGpsDataTrack& track, const CGpsDataLap* lap, int courseIndex) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxD1007CourseLap(2)");
  TxCourseLapFields fields = SummariseTrackAsCourseLap(track);
  fields.courseIndex = static_cast<uint16_t>(courseIndex);
  fields.lapIndex = 0;
  if (lap != nullptr) ApplyCourseLapValues(*lap, fields);
  return _TxCourseLap(fields);
}

bool CGpsGarmin::TxA1007CourseLaps(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA1007CourseLaps()");
  if (!IsProtocolSupported('D', 1007)) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA1007CourseLaps(): course lap type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_COURSELAP_PROTOCOL);
    return false;
  }
  const uint16_t count = static_cast<uint16_t>(set->CountCourseLaps() & 0xFFFF);
  if (count == 0) return true;
  LogWrite(LOG_INFO, "TxA1007CourseLaps(): APP_PID_RECORDS %u packets to transmit",
           static_cast<unsigned>(count));
  if (!_TxRecords(count)) return false;
  int c = 0;
  for (const CGpsDataCourse* course : set->GetCourses()) {
    int n = 0;
    for (const CGpsDataLap* lap : course->GetLaps()) {
      if (!TxD1007CourseLap(*lap, c, n++)) return false;
    }
    ++c;
  }
  LogWrite(LOG_INFO, "TxA1007CourseLaps(): APP_PID_XFER_CMPLT");
  return _TxComplete(CMD_TRANSFER_COURSE_LAPS);
}

bool CGpsGarmin::TxA1007CourseLapsFromTracks(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA1007CourseLapsFromTracks()");
  if (!IsProtocolSupported('D', 1007)) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA1007CourseLapsFromTracks(): course lap type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_COURSELAP_PROTOCOL);
    return false;
  }
  if (!set->GetRuns().IsEmpty() && !set->GetLaps().IsEmpty()) {
    LogWrite(LOG_INFO, "TxA1007CourseLapsFromTracks(): sending existing laps");
    struct Selected {
      const CGpsDataLap* lap;
      int course;
      int index;
    };
    std::vector<Selected> laps;
    int c = 0;
    for (const CGpsDataRun* run : set->GetRuns()) {
      for (int i = run->firstLapIndex; i <= run->lastLapIndex; ++i) {
        const CGpsDataLap* lap = set->GetLap(i);
        if (lap != nullptr && lap->pending != 0) laps.push_back({lap, c, i - run->firstLapIndex});
      }
      ++c;
    }
    const uint16_t count = static_cast<uint16_t>(laps.size() & 0xFFFF);
    if (count == 0) return true;
    LogWrite(LOG_INFO, "TxA1007CourseLapsFromTracks(): APP_PID_RECORDS %u packets to transmit",
             static_cast<unsigned>(count));
    if (!_TxRecords(count)) return false;
    for (const Selected& selected : laps) {
      if (!TxD1007CourseLap(*selected.lap, selected.course, selected.index)) return false;
    }
  } else {
    const uint16_t count = static_cast<uint16_t>(CountSentTracks(*set) & 0xFFFF);
    if (count == 0) return true;
    LogWrite(LOG_INFO, "TxA1007CourseLapsFromTracks(): APP_PID_RECORDS %u packets to transmit",
             static_cast<unsigned>(count));
    if (!_TxRecords(count)) return false;
    int c = 0;
    for (const CGpsDataTrack* track : set->GetTracks()) {
      if (!IsSentTrack(track)) continue;
      if (!TxD1007CourseLap(*track, set->FindLapByTrack(track->index), c++)) return false;
    }
  }
  LogWrite(LOG_INFO, "TxA1007CourseLapsFromTracks(): APP_PID_XFER_CMPLT");
  return _TxComplete(CMD_TRANSFER_COURSE_LAPS);
}

bool CGpsGarmin::TxD1012CoursePoint(const CGpsDataCoursePoint& point, int courseIndex) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxD1012CoursePoint()");
  TxCoursePointFields fields;
  if (!FindCoursePointTime(point, fields.time) || fields.time == 0) {
    SetError(E_INVALIDARG, IDS_ERR_INTERNAL);
    return false;
  }
  fields.name = point.name;
  fields.courseIndex = static_cast<uint16_t>(courseIndex);
  fields.pointType = CoursePointTypeCode(point.pointType);
  uint8_t record[D1012_COURSE_POINT_SIZE];
  const size_t size = EncodeD1012CoursePoint(fields, record, sizeof record);
  LogWrite(LOG_INFO, "TxD1012CoursePoint(): APP_PID_COURSE_POINT");
  LogWrite(LOG_INFO, "Pid_Course_Point (packet size = %u),", static_cast<unsigned>(size));
  LogWrite(LOG_INFO, "D1012_Course_Point_Type");
  LogWrite(LOG_INFO, "{");
  LogWrite(LOG_INFO, "  name             = '%s'", reinterpret_cast<const char*>(record));
  LogWrite(LOG_INFO, "  unused1          = %u", 0u);
  LogWrite(LOG_INFO, "  course_index     = %u", static_cast<unsigned>(fields.courseIndex));
  LogWrite(LOG_INFO, "  unused2          = %u", 0u);
  LogWrite(LOG_INFO, "  track_point_time = %u", fields.time);
  LogWrite(LOG_INFO, "  point_type       = %u", static_cast<unsigned>(fields.pointType));
  LogWrite(LOG_INFO, "}");
  return _TxPacket(APP_PID_COURSE_POINT, record, static_cast<unsigned>(size));
}

bool CGpsGarmin::TxA1008CoursePoint(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA1008CoursePoint()");
  if (!IsProtocolSupported('D', 1012)) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA1008CoursePoint(): course point type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_COURSEPOINT_PROTOCOL);
    return false;
  }
  const uint16_t count = static_cast<uint16_t>(set->CountCoursePoints() & 0xFFFF);
  if (count == 0) return true;
  LogWrite(LOG_INFO, "TxA1008CoursePoint(): APP_PID_RECORDS %u packets to transmit",
           static_cast<unsigned>(count));
  if (!_TxRecords(count)) return false;
  int c = 0;
  for (const CGpsDataCourse* course : set->GetCourses()) {
    for (const CGpsDataCoursePoint* point : course->GetPoints()) {
      if (!TxD1012CoursePoint(*point, c)) return false;
    }
    ++c;
  }
  LogWrite(LOG_INFO, "TxA1008CoursePoint(): APP_PID_XFER_CMPLT");
  return _TxComplete(CMD_TRANSFER_COURSE_POINTS);
}
