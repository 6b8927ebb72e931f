#include "garmin/CourseEncoders.h"

#include <algorithm>
#include <iterator>

#include "data/GpsDataCoursePoint.h"
#include "data/GpsDataLap.h"
#include "data/GpsDataTrack.h"
#include "data/GpsUnits.h"
#include "garmin/PacketWriter.h"

namespace {

uint8_t LowByte(int value) {
  return static_cast<uint8_t>(value & 0xFF);
}

bool IsValue(const CGpsDataValue& value, int quantity, int modifier) {
  return value.GetQuantity() == quantity && value.GetModifier() == modifier;
}

bool CaseInsensitiveEqual(const std::string& a, const char* b) {
  const size_t length = std::char_traits<char>::length(b);
  if (a.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

void ApplyCourseLapValues(const CGpsDataLap& lap, TxCourseLapFields& fields) {
  for (const CGpsDataValue* value : lap.GetValues()) {
    int number = 0;
    int second = 0;
    float real = 0.0f;
    if (IsValue(*value, QUANTITY_TIME, MODIFIER_SUM)) {
      if (value->GetInt(UNIT_SECONDS, &number)) fields.totalTime = static_cast<uint32_t>(number) * 100u;
    } else if (IsValue(*value, QUANTITY_DISTANCE, MODIFIER_INSTANT)) {
      if (value->GetFloat(UNIT_METRES, &real)) fields.totalDistance = real;
    } else if (IsValue(*value, QUANTITY_POSITION, MODIFIER_START)) {
      if (value->GetPairInt(UNIT_SEMICIRCLES, &number, &second)) {
        fields.beginLongitude = number;
        fields.beginLatitude = second;
      }
    } else if (IsValue(*value, QUANTITY_POSITION, MODIFIER_END)) {
      if (value->GetPairInt(UNIT_SEMICIRCLES, &number, &second)) {
        fields.endLongitude = number;
        fields.endLatitude = second;
      }
    } else if (IsValue(*value, QUANTITY_HEARTRATE, MODIFIER_MAX)) {
      if (value->GetInt(UNIT_BPM, &number)) fields.maxHeartRate = LowByte(number);
    } else if (IsValue(*value, QUANTITY_HEARTRATE, MODIFIER_AVERAGE)) {
      if (value->GetInt(UNIT_BPM, &number)) fields.avgHeartRate = LowByte(number);
    } else if (IsValue(*value, QUANTITY_CADENCE, MODIFIER_AVERAGE)) {
      if (value->GetInt(UNIT_RPM, &number)) fields.avgCadence = LowByte(number);
    }
  }
}

TxCourseLapFields SummariseTrackAsCourseLap(const CGpsDataTrack& track) {
  TxCourseLapFields fields;
  bool haveTime = false;
  uint32_t start = 0;
  uint32_t end = 0;
  bool haveDistance = false;
  float firstDistance = 0.0f;
  float lastDistance = 0.0f;
  int maxHeartRate = 0;
  int64_t heartRateSum = 0;
  int64_t cadenceSum = 0;
  int64_t points = 0;
  for (const CGpsDataTrackPoint* point : track.GetPoints()) {
    ++points;
    for (const CGpsDataValue* value : point->GetValues()) {
      int number = 0;
      int second = 0;
      float real = 0.0f;
      const int quantity = value->GetQuantity();
      const int modifier = value->GetModifier();
      if (quantity == QUANTITY_DISTANCE && (modifier == MODIFIER_INSTANT || modifier == MODIFIER_SUM)) {
        if (value->GetFloat(UNIT_METRES, &real)) {
          if (!haveDistance) firstDistance = real;
          lastDistance = real;
          haveDistance = true;
        }
        continue;
      }
      if (modifier != MODIFIER_INSTANT) continue;
      if (quantity == QUANTITY_TIME && value->GetInt(UNIT_DEVICETIME, &number)) {
        if (!haveTime) start = static_cast<uint32_t>(number);
        end = static_cast<uint32_t>(number);
        haveTime = true;
      } else if (quantity == QUANTITY_POSITION && value->GetPairInt(UNIT_SEMICIRCLES, &number, &second)) {
        if (fields.beginLatitude == 0 && fields.beginLongitude == 0) {
          fields.beginLongitude = number;
          fields.beginLatitude = second;
        }
        fields.endLongitude = number;
        fields.endLatitude = second;
      } else if (quantity == QUANTITY_HEARTRATE && value->GetInt(UNIT_BPM, &number)) {
        maxHeartRate = std::max(maxHeartRate, number);
        heartRateSum += number;
      } else if (quantity == QUANTITY_CADENCE && value->GetInt(UNIT_RPM, &number)) {
        cadenceSum += number;
      }
    }
  }
  if (haveTime) fields.totalTime = (end - start) * 100u;
  if (haveDistance) fields.totalDistance = lastDistance - firstDistance;
  fields.maxHeartRate = LowByte(maxHeartRate);
  if (points > 0) {
    fields.avgHeartRate = LowByte(static_cast<int>(heartRateSum / points));
    fields.avgCadence = LowByte(static_cast<int>(cadenceSum / points));
  }
  return fields;
}

uint8_t CoursePointTypeCode(const std::string& text) {
  static const char* const names[] = {"Summit", "Valley", "Water",    "Food",     "Danger",
                                      "Left",   "Right",  "Straight", "First Aid"};
  for (size_t i = 0; i < std::size(names); ++i) {
    if (CaseInsensitiveEqual(text, names[i])) return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

bool FindCoursePointTime(const CGpsDataCoursePoint& point, uint32_t& time) {
  for (const CGpsDataValue* value : point.GetValues()) {
    int number = 0;
    if (IsValue(*value, QUANTITY_TIME, MODIFIER_INSTANT) && value->GetInt(UNIT_DEVICETIME, &number)) {
      time = static_cast<uint32_t>(number);
      return true;
    }
  }
  return false;
}

size_t EncodeD1006Course(const TxCourseFields& fields, uint8_t* out, size_t capacity) {
  CPacketWriter writer(out, capacity);
  writer.WriteU16(fields.index);
  writer.WriteU16(0);
  writer.WriteFixedText(fields.name, COURSE_NAME_MAX_LENGTH + 1);
  writer.WriteU16(fields.trackIndex);
  return writer.Ok() ? writer.Size() : 0;
}

size_t EncodeD1007CourseLap(const TxCourseLapFields& fields, uint8_t* out, size_t capacity) {
  CPacketWriter writer(out, capacity);
  writer.WriteU16(fields.courseIndex);
  writer.WriteU16(fields.lapIndex);
  writer.WriteU32(fields.totalTime);
  writer.WriteF32(fields.totalDistance);
  writer.WriteS32(fields.beginLatitude);
  writer.WriteS32(fields.beginLongitude);
  writer.WriteS32(fields.endLatitude);
  writer.WriteS32(fields.endLongitude);
  writer.WriteU8(fields.avgHeartRate);
  writer.WriteU8(fields.maxHeartRate);
  writer.WriteU8(fields.intensity);
  writer.WriteU8(fields.avgCadence);
  return writer.Ok() ? writer.Size() : 0;
}

size_t EncodeD1012CoursePoint(const TxCoursePointFields& fields, uint8_t* out, size_t capacity) {
  CPacketWriter writer(out, capacity);
  writer.WriteFixedText(fields.name, COURSE_POINT_NAME_MAX_LENGTH + 1);
  writer.WriteU8(0);
  writer.WriteU16(fields.courseIndex);
  writer.WriteU16(0);
  writer.WriteU32(fields.time);
  writer.WriteU8(fields.pointType);
  return writer.Ok() ? writer.Size() : 0;
}
