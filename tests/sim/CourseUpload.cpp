#include "sim/CourseUpload.h"

#include "sim/ByteReader.h"

namespace {

// A text field of width bytes, up to its first zero.
bool GetFixedText(CSimByteReader& reader, size_t width, std::string& text) {
  text.clear();
  bool ended = false;
  for (size_t i = 0; i < width; ++i) {
    uint8_t byte = 0;
    if (!reader.GetU8(byte)) return false;
    if (byte == 0) ended = true;
    if (!ended) text.push_back(static_cast<char>(byte));
  }
  return true;
}

}  // namespace

bool DecodeSimCourse(const std::vector<uint8_t>& data, SimCourse& course) {
  CSimByteReader reader(data);
  uint16_t unused = 0;
  return reader.GetU16(course.index) && reader.GetU16(unused) && GetFixedText(reader, 16, course.name) &&
         reader.GetU16(course.trackIndex);
}

bool DecodeSimCourseLap(const std::vector<uint8_t>& data, SimCourseLap& lap) {
  CSimByteReader reader(data);
  return reader.GetU16(lap.courseIndex) && reader.GetU16(lap.lapIndex) && reader.GetU32(lap.totalTime) &&
         reader.GetFloat(lap.totalDistance) && reader.GetS32(lap.beginLat) && reader.GetS32(lap.beginLon) &&
         reader.GetS32(lap.endLat) && reader.GetS32(lap.endLon) && reader.GetU8(lap.avgHeartRate) &&
         reader.GetU8(lap.maxHeartRate) && reader.GetU8(lap.intensity) && reader.GetU8(lap.avgCadence);
}

bool DecodeSimCoursePoint(const std::vector<uint8_t>& data, SimCoursePoint& point) {
  CSimByteReader reader(data);
  uint8_t unused1 = 0;
  uint16_t unused2 = 0;
  return GetFixedText(reader, 11, point.name) && reader.GetU8(unused1) && reader.GetU16(point.courseIndex) &&
         reader.GetU16(unused2) && reader.GetU32(point.time) && reader.GetU8(point.type);
}

void CSimUploads::_Begin(uint16_t announced) {
  m_active = true;
  m_announced = announced;
  m_received = 0;
  m_pendingCourses.clear();
  m_pendingLaps.clear();
  m_pendingPoints.clear();
  m_trackLog.Begin(announced);
  m_courseTracks.Begin(announced);
}

void CSimUploads::_Finish(uint16_t command) {
  if (!m_active) return;
  m_active = false;
  m_transfers.push_back({command, m_announced, m_received});
  switch (command) {
    case SIM_CMD_TRANSFER_TRK:
      m_trackLog.Finish();
      break;
    case SIM_CMD_TRANSFER_COURSE_TRACKS:
      m_courseTracks.Finish();
      break;
    case SIM_CMD_TRANSFER_COURSES:
      m_courses.insert(m_courses.end(), m_pendingCourses.begin(), m_pendingCourses.end());
      break;
    case SIM_CMD_TRANSFER_COURSE_LAPS:
      m_laps.insert(m_laps.end(), m_pendingLaps.begin(), m_pendingLaps.end());
      break;
    case SIM_CMD_TRANSFER_COURSE_POINTS:
      m_points.insert(m_points.end(), m_pendingPoints.begin(), m_pendingPoints.end());
      break;
    default:
      break;
  }
}

bool CSimUploads::Add(const SimPacket& packet) {
  const auto value16 = [&] {
    return packet.data.size() >= 2 ? static_cast<uint16_t>(packet.data[0] | (packet.data[1] << 8))
                                   : uint16_t{0};
  };
  switch (packet.id) {
    case SIM_PID_RECORDS:
      _Begin(value16());
      return true;
    case SIM_PID_XFER_CMPLT:
      _Finish(value16());
      return true;
    default:
      break;
  }
  if (!m_active) return false;
  ++m_received;
  bool decoded = false;
  switch (packet.id) {
    case SIM_PID_TRK_HDR:
      return m_trackLog.AddHeader(packet.data, m_headerType);
    case SIM_PID_TRK_DATA:
      return m_trackLog.AddPoint(packet.data, m_pointType);
    case SIM_PID_COURSE_TRK_HDR:
      return m_courseTracks.AddHeader(packet.data, m_headerType);
    case SIM_PID_COURSE_TRK_DATA:
      return m_courseTracks.AddPoint(packet.data, m_pointType);
    case SIM_PID_COURSE: {
      SimCourse course;
      decoded = DecodeSimCourse(packet.data, course);
      if (decoded) m_pendingCourses.push_back(course);
      break;
    }
    case SIM_PID_COURSE_LAP: {
      SimCourseLap lap;
      decoded = DecodeSimCourseLap(packet.data, lap);
      if (decoded) m_pendingLaps.push_back(lap);
      break;
    }
    case SIM_PID_COURSE_POINT: {
      SimCoursePoint point;
      decoded = DecodeSimCoursePoint(packet.data, point);
      if (decoded) m_pendingPoints.push_back(point);
      break;
    }
    default:
      --m_received;
      return false;
  }
  if (!decoded) ++m_badRecords;
  return decoded;
}
