#include "sim/TrackUpload.h"

#include "sim/ByteReader.h"

namespace {

constexpr int64_t kDeviceEpochOffset = 631065600;

std::optional<float> ValidFloat(float value) {
  if (static_cast<double>(value) >= 1.0e24) return std::nullopt;
  return value;
}

double SemicirclesToDegrees(int32_t semicircles) {
  return semicircles * (180.0 / 2147483648.0);
}

}  // namespace

bool DecodeSimTrackPoint(const std::vector<uint8_t>& data, uint16_t type, SimTrackPoint& point) {
  CSimByteReader reader(data);
  int32_t lat = 0, lon = 0;
  uint32_t time = 0;
  if (!reader.GetS32(lat) || !reader.GetS32(lon) || !reader.GetU32(time)) return false;
  point = SimTrackPoint{};
  point.hasPosition = !(lat == 0x7FFFFFFF && lon == 0x7FFFFFFF);
  if (point.hasPosition) {
    point.lat = SemicirclesToDegrees(lat);
    point.lon = SemicirclesToDegrees(lon);
  }
  if (time != 0 && time != 0x7FFFFFFF && time != 0xFFFFFFFF) point.time = int64_t{time} + kDeviceEpochOffset;
  float alt = 0, dpth = 0, temp = 0, distance = 0;
  uint8_t flag = 0, heartRate = 0, cadence = 0, sensor = 0;
  switch (type) {
    case 300:
      if (!reader.GetU8(flag)) return false;
      break;
    case 301:
    case 302:
      if (!reader.GetFloat(alt) || !reader.GetFloat(dpth)) return false;
      if (type == 302 && !reader.GetFloat(temp)) return false;
      if (!reader.GetU8(flag)) return false;
      point.alt = ValidFloat(alt);
      point.dpth = ValidFloat(dpth);
      if (type == 302) point.temp = ValidFloat(temp);
      break;
    case 303:
      if (!reader.GetFloat(alt) || !reader.GetU8(heartRate)) return false;
      point.alt = ValidFloat(alt);
      break;
    case 304:
      if (!reader.GetFloat(alt) || !reader.GetFloat(distance) || !reader.GetU8(heartRate) ||
          !reader.GetU8(cadence) || !reader.GetU8(sensor)) {
        return false;
      }
      point.alt = ValidFloat(alt);
      point.distance = ValidFloat(distance);
      if (cadence != 0xFF) point.cadence = cadence;
      point.sensor = sensor != 0;
      break;
    default:
      return false;
  }
  point.newTrk = flag != 0;
  if (heartRate != 0 && heartRate != 0xFF) point.heartRate = heartRate;
  return true;
}

bool DecodeSimTrackHeader(const std::vector<uint8_t>& data, uint16_t type, SimTrack& track) {
  CSimByteReader reader(data);
  track = SimTrack{};
  if (type == 311) return reader.GetU16(track.index);
  uint8_t display = 0;
  if (!reader.GetU8(display) || !reader.GetU8(track.color) || !reader.GetString(track.ident)) return false;
  track.display = display != 0;
  return true;
}

void CSimTrackUpload::Begin(uint16_t announced) {
  m_active = true;
  m_sawHeader = false;
  m_announced = announced;
  m_received = 0;
  m_pending.clear();
}

bool CSimTrackUpload::AddHeader(const std::vector<uint8_t>& data, uint16_t type) {
  if (!m_active) return false;
  ++m_received;
  SimTrack track;
  if (!DecodeSimTrackHeader(data, type, track)) {
    ++m_badRecords;
    return false;
  }
  m_sawHeader = true;
  m_pending.push_back(std::move(track));
  return true;
}

bool CSimTrackUpload::AddPoint(const std::vector<uint8_t>& data, uint16_t type) {
  if (!m_active) return false;
  ++m_received;
  SimTrackPoint point;
  if (!DecodeSimTrackPoint(data, type, point)) {
    ++m_badRecords;
    return false;
  }
  // Without headers, the new-track flag is what separates the tracks.
  if (m_pending.empty() || (!m_sawHeader && point.newTrk)) m_pending.emplace_back();
  m_pending.back().points.push_back(point);
  return true;
}

void CSimTrackUpload::Finish() {
  if (!m_active) return;
  m_active = false;
  m_announcedTotal += m_announced;
  m_receivedTotal += m_received;
  for (SimTrack& track : m_pending) m_finished.push_back(std::move(track));
  m_pending.clear();
}
