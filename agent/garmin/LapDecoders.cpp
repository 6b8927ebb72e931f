#include "garmin/LapDecoders.h"

#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "garmin/PacketReader.h"
#include "util/TraceLog.h"

namespace {

// type, minimum size, start time, total time, distance, maximum speed, begin
// and end position, calories, average and maximum heart rate, average cadence,
// track index.
constexpr LapLayout kLapLayouts[] = {
    {906, 32, 0, 4, 8, -1, 12, 20, 28, -1, -1, -1, 30},
    {1001, 41, 4, 8, 12, 16, 20, 28, 36, 38, 39, -1, -1},
    {1011, 43, 4, 8, 12, 16, 20, 28, 36, 38, 39, 41, -1},
};

class CFieldReader {
public:
  CFieldReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  CPacketReader At(int offset) const {
    const size_t start = static_cast<size_t>(offset);
    return start <= m_size ? CPacketReader(m_data + start, m_size - start) : CPacketReader(nullptr, 0);
  }
  uint8_t U8(int offset) const { return At(offset).ReadU8(); }
  uint16_t U16(int offset) const { return At(offset).ReadU16(); }
  uint32_t U32(int offset) const { return At(offset).ReadU32(); }
  int32_t S32(int offset) const { return At(offset).ReadS32(); }
  float F32(int offset) const { return At(offset).ReadF32(); }

private:
  const uint8_t* m_data;
  size_t m_size;
};

bool AddPosition(CGpsDataLap& lap, const CFieldReader& fields, int offset, int modifier) {
  const int32_t lat = fields.S32(offset);
  const int32_t lon = fields.S32(offset + 4);
  if (!IsValidDevicePosition(lat, lon)) return true;
  return lap.AddIntPair(QUANTITY_POSITION, modifier, UNIT_SEMICIRCLES, lon, lat) != nullptr;
}

bool AddHeartRate(CGpsDataLap& lap, const CFieldReader& fields, int offset, int modifier) {
  if (offset < 0) return true;
  const uint8_t bpm = fields.U8(offset);
  if (!IsValidHeartRate(bpm)) return true;
  return lap.AddInteger(QUANTITY_HEARTRATE, modifier, UNIT_BPM, bpm) != nullptr;
}

bool AddLapValues(const LapLayout& layout, const CFieldReader& fields, uint32_t startTime, CGpsDataLap& lap) {
  if (lap.AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, static_cast<int>(startTime)) == nullptr)
    return false;
  if (!AddPosition(lap, fields, layout.beginPosition, MODIFIER_START)) return false;
  if (!AddPosition(lap, fields, layout.endPosition, MODIFIER_END)) return false;
  const double seconds = static_cast<double>(fields.U32(layout.totalTime)) * 0.01;
  if (lap.AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, static_cast<float>(seconds)) == nullptr)
    return false;
  if (lap.AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, fields.F32(layout.distance)) == nullptr)
    return false;
  if (lap.AddInteger(QUANTITY_ENERGY, MODIFIER_SUM, UNIT_CALORIES, fields.U16(layout.calories)) == nullptr)
    return false;
  if (!AddHeartRate(lap, fields, layout.averageHeartRate, MODIFIER_AVERAGE)) return false;
  if (!AddHeartRate(lap, fields, layout.maximumHeartRate, MODIFIER_MAX)) return false;
  if (layout.maximumSpeed >= 0 &&
      lap.AddFloat(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, fields.F32(layout.maximumSpeed)) == nullptr)
    return false;
  if (layout.averageCadence >= 0) {
    const uint8_t rpm = fields.U8(layout.averageCadence);
    if (IsValidCadence(rpm) && lap.AddInteger(QUANTITY_CADENCE, MODIFIER_AVERAGE, UNIT_RPM, rpm) == nullptr)
      return false;
  }
  return true;
}

}  // namespace

const LapLayout* FindLapLayout(uint16_t type) {
  for (const LapLayout& layout : kLapLayouts) {
    if (layout.type == type) return &layout;
  }
  return nullptr;
}

EGarminDecode DecodeLap(const LapLayout& layout, const uint8_t* data, size_t size, CGpsDataSet& set) {
  if (data == nullptr || size < layout.minimumSize) {
    LogWrite(LOG_INFO, "D%u lap", static_cast<unsigned>(layout.type));
    return EGarminDecode::BadData;
  }
  const CFieldReader fields(data, size);
  const uint32_t startTime = fields.U32(layout.startTime);
  if (!IsValidDeviceTime(startTime)) return EGarminDecode::Skipped;
  CGpsDataLap* lap = set.AddLap();
  if (lap == nullptr) return EGarminDecode::OutOfMemory;
  lap->trackIndex = layout.trackIndex >= 0 ? fields.U8(layout.trackIndex) : -1;
  // A lap missing some measurements stays in the list; the transfer fails anyway.
  return AddLapValues(layout, fields, startTime, *lap) ? EGarminDecode::Stored : EGarminDecode::OutOfMemory;
}

EGarminDecode DecodeD906Lap(const uint8_t* data, size_t size, CGpsDataSet& set) {
  return DecodeLap(*FindLapLayout(906), data, size, set);
}
EGarminDecode DecodeD1001Lap(const uint8_t* data, size_t size, CGpsDataSet& set) {
  return DecodeLap(*FindLapLayout(1001), data, size, set);
}
EGarminDecode DecodeD1011Lap(const uint8_t* data, size_t size, CGpsDataSet& set) {
  return DecodeLap(*FindLapLayout(1011), data, size, set);
}
