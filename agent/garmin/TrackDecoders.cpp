#include "garmin/TrackDecoders.h"

#include <bit>

#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "garmin/PacketReader.h"
#include "util/TraceLog.h"

namespace {

// type, minimum size, then the offsets of altitude, depth, temperature,
// distance, heart rate, cadence, sensor flag and new-track flag. Latitude,
// longitude and time lead every type at 0, 4 and 8.
constexpr TrackPointLayout kTrackPointLayouts[] = {
    {300, 13, -1, -1, -1, -1, -1, -1, -1, 12}, {301, 21, 12, 16, -1, -1, -1, -1, -1, 20},
    {302, 25, 12, 16, 20, -1, -1, -1, -1, 24}, {303, 17, 12, -1, -1, -1, 16, -1, -1, -1},
    {304, 23, 12, -1, -1, 16, 20, 21, 22, -1},
};

// Readers at a fixed offset; the callers have checked the record's minimum size,
// and a field beyond the data still reads as 0 rather than past the end.
CPacketReader ReaderAt(const uint8_t* data, size_t size, int offset) {
  const size_t start = static_cast<size_t>(offset);
  return start <= size ? CPacketReader(data + start, size - start) : CPacketReader(nullptr, 0);
}
uint8_t U8At(const uint8_t* data, size_t size, int offset) {
  return ReaderAt(data, size, offset).ReadU8();
}
uint32_t U32At(const uint8_t* data, size_t size, int offset) {
  return ReaderAt(data, size, offset).ReadU32();
}
int32_t S32At(const uint8_t* data, size_t size, int offset) {
  return ReaderAt(data, size, offset).ReadS32();
}
float F32At(const uint8_t* data, size_t size, int offset) {
  return ReaderAt(data, size, offset).ReadF32();
}

// The log line of a point whose time is invalid, by what else it lacks.
void LogInvalidTime(const TrackPointLayout& layout, bool positionValid, bool heartRateValid) {
  const unsigned type = layout.type;
  if (positionValid) {
    LogWrite(LOG_INFO, "Rx D%u Track point: ignored (invalid time)", type);
  } else if (layout.heartRate < 0 || heartRateValid) {
    LogWrite(LOG_INFO, "Rx D%u Track point: ignored (invalid time & position)", type);
  } else {
    LogWrite(LOG_INFO, "Rx D%u Track point: ignored (invalid time, position & heartrate)", type);
  }
}

// Adds the measurements of one point in the order the documents expect them.
bool AddPointValues(const TrackPointLayout& layout, const uint8_t* data, size_t size, uint32_t time,
                    bool positionValid, CGpsDataTrackPoint& point) {
  if (point.AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, static_cast<int>(time)) == nullptr)
    return false;
  if (positionValid && point.AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES,
                                        S32At(data, size, 4), S32At(data, size, 0)) == nullptr)
    return false;
  const struct {
    int offset;
    int quantity;
    int unit;
  } floats[] = {{layout.altitude, QUANTITY_ELEVATION, UNIT_METRES},
                {layout.depth, QUANTITY_DEPTH, UNIT_METRES},
                {layout.temperature, QUANTITY_TEMPERATURE, UNIT_CELSIUS}};
  for (const auto& field : floats) {
    if (field.offset < 0) continue;
    const float value = F32At(data, size, field.offset);
    if (IsValidDeviceFloat(value) &&
        point.AddFloat(field.quantity, MODIFIER_INSTANT, field.unit, value) == nullptr)
      return false;
  }
  if (layout.distance >= 0) {
    const uint32_t bits = U32At(data, size, layout.distance);
    if (IsValidDeviceDistance(bits)) {
      CGpsDataFloat* distance =
          point.AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, std::bit_cast<float>(bits));
      if (distance == nullptr) return false;
      const bool wheel = layout.sensor >= 0 && U8At(data, size, layout.sensor) != 0;
      distance->SetSource(wheel ? SOURCE_WHEEL : SOURCE_GPS);
    }
  }
  if (layout.heartRate >= 0) {
    const uint8_t bpm = U8At(data, size, layout.heartRate);
    if (IsValidHeartRate(bpm) &&
        point.AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, bpm) == nullptr)
      return false;
  }
  if (layout.cadence >= 0) {
    const uint8_t rpm = U8At(data, size, layout.cadence);
    if (IsValidCadence(rpm) && point.AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, rpm) == nullptr)
      return false;
  }
  return true;
}

EGarminDecode DecodeByType(uint16_t type, const uint8_t* data, size_t size, CGpsDataTrack& track) {
  return DecodeTrackPoint(*FindTrackPointLayout(type), data, size, track);
}

// D310 and D312 share their layout: display flag, colour, ident.
EGarminDecode DecodeIdentHeader(unsigned type, const uint8_t* data, size_t size, CGpsDataSet& set) {
  LogWrite(LOG_INFO, "APP_PID_TRK_HDR - D%u", type);
  if (size < 3) return EGarminDecode::BadData;
  CPacketReader reader = ReaderAt(data, size, 2);
  const std::string ident = CutTrackIdent(reader.ReadString());
  return set.AddTrack(ident, -1) != nullptr ? EGarminDecode::Stored : EGarminDecode::OutOfMemory;
}

}  // namespace

bool IsValidDeviceDistance(uint32_t bits) {
  return bits != 0xFFFFFFFFu && IsValidDeviceFloat(std::bit_cast<float>(bits));
}

const TrackPointLayout* FindTrackPointLayout(uint16_t type) {
  for (const TrackPointLayout& layout : kTrackPointLayouts) {
    if (layout.type == type) return &layout;
  }
  return nullptr;
}

EGarminDecode DecodeTrackPoint(const TrackPointLayout& layout, const uint8_t* data, size_t size,
                               CGpsDataTrack& track) {
  const unsigned type = layout.type;
  if (data == nullptr || size < layout.minimumSize) {
    LogWrite(LOG_ERROR, "Rx D%u Track point: bad data", type);
    return EGarminDecode::BadData;
  }
  const bool positionValid = IsValidDevicePosition(S32At(data, size, 0), S32At(data, size, 4));
  const uint32_t time = U32At(data, size, 8);
  const bool heartRateValid = layout.heartRate >= 0 && IsValidHeartRate(U8At(data, size, layout.heartRate));
  if (!IsValidDeviceTime(time)) {
    LogInvalidTime(layout, positionValid, heartRateValid);
    return EGarminDecode::Skipped;
  }
  // A point that holds nothing but its time is dropped without a word; D300
  // has nothing but time and position and keeps every timed point.
  if (!positionValid && layout.altitude >= 0 && !IsValidDeviceFloat(F32At(data, size, layout.altitude)) &&
      !heartRateValid) {
    return EGarminDecode::Skipped;
  }
  const int newSegment = layout.newTrack >= 0 ? U8At(data, size, layout.newTrack) : 0;
  CGpsDataTrackPoint* point = track.AddPoint(newSegment);
  if (point == nullptr || !AddPointValues(layout, data, size, time, positionValid, *point)) {
    LogWrite(LOG_ERROR, "Rx D%u Track point: out of memory", type);
    return EGarminDecode::OutOfMemory;
  }
  return EGarminDecode::Stored;
}

EGarminDecode DecodeD300TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track) {
  return DecodeByType(300, data, size, track);
}
EGarminDecode DecodeD301TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track) {
  return DecodeByType(301, data, size, track);
}
EGarminDecode DecodeD302TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track) {
  return DecodeByType(302, data, size, track);
}
EGarminDecode DecodeD303TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track) {
  return DecodeByType(303, data, size, track);
}
EGarminDecode DecodeD304TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track) {
  return DecodeByType(304, data, size, track);
}

EGarminDecode DecodeD310TrackHeader(const uint8_t* data, size_t size, CGpsDataSet& set) {
  return DecodeIdentHeader(310, data, size, set);
}

EGarminDecode DecodeD311TrackHeader(const uint8_t* data, size_t size, CGpsDataSet& set) {
  if (data == nullptr || size < 2) {
    LogWrite(LOG_INFO, "D311 track header");
    return EGarminDecode::BadData;
  }
  const int index = CPacketReader(data, size).ReadU16();
  LogWrite(LOG_INFO, "D311 track header: index=%d", index);
  return set.AddTrack(std::string(), index) != nullptr ? EGarminDecode::Stored : EGarminDecode::OutOfMemory;
}

EGarminDecode DecodeD312TrackHeader(const uint8_t* data, size_t size, CGpsDataSet& set) {
  return DecodeIdentHeader(312, data, size, set);
}

EGarminDecode DecodeTrackHeader(uint16_t type, const uint8_t* data, size_t size, CGpsDataSet& set) {
  switch (type) {
    case 310:
      return DecodeD310TrackHeader(data, size, set);
    case 311:
      return DecodeD311TrackHeader(data, size, set);
    case 312:
      return DecodeD312TrackHeader(data, size, set);
    default:
      return EGarminDecode::BadData;
  }
}

std::string CutTrackIdent(const std::string& ident) {
  size_t length = 0;
  for (const char c : ident) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    if (!letter && !digit && !space && c != '-') break;
    ++length;
  }
  return ident.substr(0, length);
}
