#include "sim/Receiver.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <numbers>

#include "sim/ByteWriter.h"
#include "sim/RecordEncoders.h"

namespace {

// Seconds between the Unix epoch and the device epoch 1989-12-31 00:00 UTC.
constexpr int64_t kDeviceEpochOffset = 631065600;
// The "no value" markers of the track records.
constexpr float kInvalidFloat = 1.0e25f;
constexpr int32_t kInvalidSemicircle = 0x7FFFFFFF;
constexpr uint32_t kInvalidTime = 0xFFFFFFFF;

// Ids of the fitness records; 16 bits, so only USB carries them whole.
constexpr uint16_t kPidLap = 149;
constexpr uint16_t kPidRun = 990;
constexpr uint16_t kPidWorkout = 991;
constexpr uint16_t kPidWorkoutOccurrence = 992;
constexpr uint16_t kPidUserProfile = 993;
constexpr uint16_t kPidWorkoutLimits = 994;

SimPacket MakePacket(uint16_t id, CSimByteWriter& writer) {
  return SimPacket{id, writer.Take()};
}

SimPacket MakeRecords(uint16_t count) {
  CSimByteWriter writer;
  writer.PutU16(count);
  return MakePacket(SIM_PID_RECORDS, writer);
}

SimPacket MakeXferComplete(uint16_t command) {
  CSimByteWriter writer;
  writer.PutU16(command);
  return MakePacket(SIM_PID_XFER_CMPLT, writer);
}

}  // namespace

int32_t SimDegreesToSemicircles(double degrees) {
  const long long value = std::llround(degrees * (2147483648.0 / 180.0));
  // 180 degrees wraps to -180, the same meridian.
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

uint32_t SimUnixToDeviceTime(int64_t unixSeconds) {
  return static_cast<uint32_t>(unixSeconds - kDeviceEpochOffset);
}

CSimReceiver::CSimReceiver(const CSimScenario& scenario)
    : m_scenario(scenario),
      m_faults(scenario.faults),
      m_upload(scenario.EffectiveTrackPointType(), scenario.EffectiveTrackHeaderType()) {}

void CSimReceiver::SetFaults(const SimFaults& faults) {
  std::lock_guard lock(m_mutex);
  m_faults = faults;
  m_productRequests = 0;
  m_hostPackets = 0;
  m_silencedByFault = false;
}

SimFaults CSimReceiver::Faults() const {
  std::lock_guard lock(m_mutex);
  return m_faults;
}

bool CSimReceiver::IsSilent() const {
  std::lock_guard lock(m_mutex);
  return m_faults.silent || m_poweredOff || m_silencedByFault;
}

bool CSimReceiver::IsPoweredOff() const {
  std::lock_guard lock(m_mutex);
  return m_poweredOff;
}

void CSimReceiver::PowerOn() {
  std::lock_guard lock(m_mutex);
  m_poweredOff = false;
  m_productRequests = 0;
}

SimReply CSimReceiver::HandleHostPacket(const SimPacket& received, SimLink link) {
  if (IsSilent()) return SimReply{false, false, false, {}};
  {
    std::lock_guard lock(m_mutex);
    ++m_hostPackets;
    if (m_faults.silentFromHostPacket != 0 && m_hostPackets >= m_faults.silentFromHostPacket) {
      m_silencedByFault = true;
      return SimReply{false, false, false, {}};
    }
    if (m_faults.powerOffAtHostPacket == m_hostPackets) {
      m_poweredOff = true;
      return SimReply{false, true, link == SimLink::Usb, {}};
    }
  }
  SimPacket packet = received;
  // The serial wire carries the low byte of an id; the host sends these
  // only in course uploads, so they stand for the course packets.
  if (link == SimLink::Serial && packet.id >= (SIM_PID_COURSE & 0xFF) &&
      packet.id <= (SIM_PID_COURSE_TRK_DATA & 0xFF)) {
    packet.id = static_cast<uint16_t>(packet.id - (SIM_PID_COURSE & 0xFF) + SIM_PID_COURSE);
  }
  switch (packet.id) {
    case SIM_PID_PRODUCT_RQST:
      return _HandleProductRequest();
    case SIM_PID_COMMAND_DATA:
      // A command without its id is acknowledged like any packet and otherwise ignored.
      if (packet.data.size() < 2) return SimReply{};
      return _HandleCommand(static_cast<uint16_t>(packet.data[0] | (packet.data[1] << 8)), link);
    case SIM_PID_RECORDS:
    case SIM_PID_TRK_HDR:
    case SIM_PID_TRK_DATA:
    case SIM_PID_XFER_CMPLT:
    case SIM_PID_COURSE:
    case SIM_PID_COURSE_LAP:
    case SIM_PID_COURSE_POINT:
    case SIM_PID_COURSE_TRK_HDR:
    case SIM_PID_COURSE_TRK_DATA:
      _HandleUpload(packet);
      return SimReply{};
    default:
      // Anything unknown is acknowledged and otherwise ignored.
      return SimReply{};
  }
}

void CSimReceiver::_HandleUpload(const SimPacket& packet) {
  std::lock_guard lock(m_mutex);
  m_upload.Add(packet);
}

std::vector<SimTrack> CSimReceiver::UploadedTracks() const {
  std::lock_guard lock(m_mutex);
  return m_upload.Tracks();
}

std::vector<SimTrack> CSimReceiver::UploadedCourseTracks() const {
  std::lock_guard lock(m_mutex);
  return m_upload.CourseTracks();
}

std::vector<SimCourse> CSimReceiver::UploadedCourses() const {
  std::lock_guard lock(m_mutex);
  return m_upload.Courses();
}

std::vector<SimCourseLap> CSimReceiver::UploadedCourseLaps() const {
  std::lock_guard lock(m_mutex);
  return m_upload.CourseLaps();
}

std::vector<SimCoursePoint> CSimReceiver::UploadedCoursePoints() const {
  std::lock_guard lock(m_mutex);
  return m_upload.CoursePoints();
}

std::vector<CSimUploads::Transfer> CSimReceiver::UploadTransfers() const {
  std::lock_guard lock(m_mutex);
  return m_upload.Transfers();
}

SimReply CSimReceiver::_HandleProductRequest() {
  SimFaults faults;
  unsigned requestNumber = 0;
  {
    std::lock_guard lock(m_mutex);
    faults = m_faults;
    requestNumber = ++m_productRequests;
  }
  if (faults.answerSecondProductRequestOnly && requestNumber == 1) return SimReply{false, false, false, {}};
  SimReply reply;
  reply.packets.push_back(BuildProductData());
  if (faults.packet248BeforeProtocolArray) {
    CSimByteWriter writer;
    writer.PutString("SIM EXTENDED DATA");
    reply.packets.push_back(MakePacket(SIM_PID_EXTENDED_PRODUCT, writer));
  }
  if (m_scenario.protocols) reply.packets.push_back(BuildProtocolArray());
  return reply;
}

std::vector<SimPacket> CSimReceiver::_EmptyTransfer(uint16_t command) {
  return {MakeRecords(0), MakeXferComplete(command)};
}

SimReply CSimReceiver::_HandleCommand(uint16_t command, SimLink link) {
  const bool usb = link == SimLink::Usb;
  SimReply reply;
  switch (command) {
    case SIM_CMD_ABORT_TRANSFER:
      reply.abortTransfer = true;
      break;
    case SIM_CMD_TRANSFER_POSN: {
      // D700: latitude and longitude in radians.
      CSimByteWriter writer;
      writer.PutDouble(m_scenario.positionLat * std::numbers::pi / 180.0);
      writer.PutDouble(m_scenario.positionLon * std::numbers::pi / 180.0);
      reply.packets.push_back(MakePacket(SIM_PID_POSITION, writer));
      break;
    }
    case SIM_CMD_TRANSFER_TIME: {
      // D600: month, day, year, hour, minute, second (UTC).
      int64_t now = m_scenario.deviceClock;
      if (now == 0)
        now = std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
      const time_t seconds = static_cast<time_t>(now);
      struct tm utc {};
      gmtime_r(&seconds, &utc);
      CSimByteWriter writer;
      writer.PutU8(static_cast<uint8_t>(utc.tm_mon + 1));
      writer.PutU8(static_cast<uint8_t>(utc.tm_mday));
      writer.PutU16(static_cast<uint16_t>(utc.tm_year + 1900));
      writer.PutS16(static_cast<int16_t>(utc.tm_hour));
      writer.PutU8(static_cast<uint8_t>(utc.tm_min));
      writer.PutU8(static_cast<uint8_t>(utc.tm_sec));
      reply.packets.push_back(MakePacket(SIM_PID_DATE_TIME, writer));
      break;
    }
    case SIM_CMD_TRANSFER_TRK:
      reply.packets = BuildTrackTransfer();
      break;
    case SIM_CMD_TURN_OFF_PWR: {
      std::lock_guard lock(m_mutex);
      reply.acknowledge = m_faults.powerOffAck;
      reply.abortTransfer = true;
      m_poweredOff = true;
      break;
    }
    case SIM_CMD_TRANSFER_SERIAL_NUM:
      if (!m_scenario.serialNumber) {
        // A receiver without a unit number lets the request go by unanswered.
        reply.acknowledge = false;
      } else {
        CSimByteWriter writer;
        writer.PutU32(*m_scenario.serialNumber);
        reply.packets.push_back(MakePacket(SIM_PID_SERIAL_NUM, writer));
      }
      break;
    case SIM_CMD_TRANSFER_LAPS:
      reply.packets = BuildLapTransfer();
      break;
    case SIM_CMD_TRANSFER_RUNS:
      reply.packets = usb ? BuildRunTransfer() : _EmptyTransfer(command);
      break;
    case SIM_CMD_TRANSFER_WORKOUTS:
      reply.packets = usb ? BuildWorkoutTransfer() : _EmptyTransfer(command);
      break;
    case SIM_CMD_TRANSFER_WORKOUT_OCCURRENCES:
      reply.packets = BuildOccurrenceTransfer();
      break;
    case SIM_CMD_TRANSFER_USER_PROFILE:
      // Without a profile, or over serial, the request is only acknowledged.
      if (usb && m_scenario.profile) {
        reply.packets.push_back(SimPacket{kPidUserProfile, EncodeSimProfile(*m_scenario.profile)});
      }
      break;
    case SIM_CMD_TRANSFER_WORKOUT_LIMITS:
      if (m_scenario.limits) {
        reply.packets.push_back(SimPacket{kPidWorkoutLimits, EncodeSimLimits(*m_scenario.limits)});
      } else {
        reply.packets = _EmptyTransfer(command);
      }
      break;
    case SIM_CMD_TRANSFER_RTE:
    case SIM_CMD_TRANSFER_WPT:
    case SIM_CMD_TRANSFER_COURSES:
    case SIM_CMD_TRANSFER_COURSE_LAPS:
    case SIM_CMD_TRANSFER_COURSE_POINTS:
    case SIM_CMD_TRANSFER_COURSE_TRACKS:
      reply.packets = _EmptyTransfer(command);
      break;
    default:
      // PVT start and stop and unknown commands: acknowledged, nothing more.
      break;
  }
  return reply;
}

SimPacket CSimReceiver::BuildProductData() const {
  CSimByteWriter writer;
  writer.PutU16(m_scenario.productId);
  writer.PutS16(m_scenario.softwareVersion);
  if (m_scenario.descriptions.empty()) writer.PutString("");
  for (const std::string& text : m_scenario.descriptions) writer.PutString(text);
  return MakePacket(SIM_PID_PRODUCT_DATA, writer);
}

SimPacket CSimReceiver::BuildProtocolArray() const {
  CSimByteWriter writer;
  if (m_scenario.protocols) {
    for (const SimProtocolTag& tag : *m_scenario.protocols) {
      writer.PutU8(static_cast<uint8_t>(tag.letter));
      writer.PutU16(tag.number);
    }
  }
  return MakePacket(SIM_PID_PROTOCOL_ARRAY, writer);
}

SimPacket CSimReceiver::BuildTrackPoint(const SimTrackPoint& point, uint16_t type, bool newTrack) const {
  CSimByteWriter writer;
  writer.PutS32(point.hasPosition ? SimDegreesToSemicircles(point.lat) : kInvalidSemicircle);
  writer.PutS32(point.hasPosition ? SimDegreesToSemicircles(point.lon) : kInvalidSemicircle);
  writer.PutU32(point.time ? SimUnixToDeviceTime(*point.time) : kInvalidTime);
  const uint8_t newTrk = (newTrack || point.newTrk) ? 1 : 0;
  switch (type) {
    case 300:
      writer.PutU8(newTrk);
      break;
    case 301:
    case 302:
      writer.PutFloat(point.alt.value_or(kInvalidFloat));
      writer.PutFloat(point.dpth.value_or(kInvalidFloat));
      if (type == 302) writer.PutFloat(point.temp.value_or(kInvalidFloat));
      writer.PutU8(newTrk);
      break;
    case 303:
      writer.PutFloat(point.alt.value_or(kInvalidFloat));
      writer.PutU8(point.heartRate.value_or(0));
      break;
    default:  // 304
      writer.PutFloat(point.alt.value_or(kInvalidFloat));
      writer.PutFloat(point.distance.value_or(kInvalidFloat));
      writer.PutU8(point.heartRate.value_or(0));
      writer.PutU8(point.cadence.value_or(0xFF));
      writer.PutU8(point.sensor ? 1 : 0);
      break;
  }
  return MakePacket(SIM_PID_TRK_DATA, writer);
}

SimPacket CSimReceiver::BuildTrackHeader(const SimTrack& track, uint16_t type) const {
  CSimByteWriter writer;
  if (type == 311) {
    writer.PutU16(track.index);
  } else {
    writer.PutU8(track.display ? 1 : 0);
    writer.PutU8(track.color);
    writer.PutString(track.ident);
  }
  return MakePacket(SIM_PID_TRK_HDR, writer);
}

std::vector<SimPacket> CSimReceiver::BuildTrackTransfer() const {
  const uint16_t protocol = m_scenario.EffectiveTrackProtocol();
  const uint16_t pointType = m_scenario.EffectiveTrackPointType();
  const uint16_t headerType = m_scenario.EffectiveTrackHeaderType();
  std::vector<SimPacket> data;
  for (const SimTrack& track : m_scenario.tracks) {
    if (protocol != 300 && track.header) data.push_back(BuildTrackHeader(track, headerType));
    bool first = true;
    for (const SimTrackPoint& point : track.points) {
      // Without headers, the new-track flag is what separates the tracks.
      data.push_back(BuildTrackPoint(point, pointType, first && protocol == 300));
      first = false;
    }
  }
  return _CountedTransfer("tracks", SIM_CMD_TRANSFER_TRK, std::move(data));
}

std::vector<SimPacket> CSimReceiver::BuildLapTransfer() const {
  const uint16_t type = m_scenario.EffectiveLapType();
  std::vector<SimPacket> data;
  for (const SimLap& lap : m_scenario.laps) data.push_back(SimPacket{kPidLap, EncodeSimLap(lap, type)});
  return _CountedTransfer("laps", SIM_CMD_TRANSFER_LAPS, std::move(data));
}

std::vector<SimPacket> CSimReceiver::BuildRunTransfer() const {
  const uint16_t type = m_scenario.EffectiveRunType();
  std::vector<SimPacket> data;
  for (const SimRun& run : m_scenario.runs) data.push_back(SimPacket{kPidRun, EncodeSimRun(run, type)});
  return _CountedTransfer("runs", SIM_CMD_TRANSFER_RUNS, std::move(data));
}

std::vector<SimPacket> CSimReceiver::BuildWorkoutTransfer() const {
  std::vector<SimPacket> data;
  for (const SimWorkout& workout : m_scenario.workouts) {
    data.push_back(SimPacket{kPidWorkout, EncodeSimWorkout(workout)});
  }
  return _CountedTransfer("workouts", SIM_CMD_TRANSFER_WORKOUTS, std::move(data));
}

std::vector<SimPacket> CSimReceiver::BuildOccurrenceTransfer() const {
  std::vector<SimPacket> data;
  for (const SimOccurrence& occurrence : m_scenario.occurrences) {
    data.push_back(SimPacket{kPidWorkoutOccurrence, EncodeSimOccurrence(occurrence)});
  }
  return _CountedTransfer("occurrences", SIM_CMD_TRANSFER_WORKOUT_OCCURRENCES, std::move(data));
}

std::vector<SimPacket> CSimReceiver::_CountedTransfer(const std::string& transfer, uint16_t command,
                                                      std::vector<SimPacket> data) const {
  const SimTransferQuirks& quirks = m_scenario.Quirks(transfer);
  const int count = static_cast<int>(data.size()) + quirks.countDelta;
  std::vector<SimPacket> packets;
  packets.push_back(MakeRecords(static_cast<uint16_t>(count)));
  for (size_t i = 0; i <= data.size(); ++i) {
    // Extra packets go after `after` records; those beyond the last record
    // come just before the completion.
    for (const SimExtraPacket& extra : quirks.extraPackets) {
      const bool here = extra.after == i || (i == data.size() && extra.after > data.size());
      if (!here) continue;
      packets.push_back(extra.protocolArray ? BuildProtocolArray() : SimPacket{extra.id, extra.data});
    }
    if (i < data.size()) packets.push_back(std::move(data[i]));
  }
  packets.push_back(MakeXferComplete(command));
  return packets;
}
