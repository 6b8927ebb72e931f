#include "garmin/TrackEncoders.h"

#include "data/GpsDataTrack.h"
#include "data/GpsDataValues.h"
#include "data/GpsUnits.h"
#include "garmin/PacketWriter.h"

namespace {

uint8_t LowByte(int value) {
  return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

TxTrackPointFields CollectTrackPointFields(const CGpsDataValues& point) {
  TxTrackPointFields fields;
  for (const CGpsDataValue* value : point.GetValues()) {
    const int quantity = value->GetQuantity();
    const int modifier = value->GetModifier();
    if (quantity == QUANTITY_DISTANCE && (modifier == MODIFIER_SUM || modifier == MODIFIER_INSTANT)) {
      float distance = 0.0f;
      if (value->GetFloat(UNIT_METRES, &distance)) {
        fields.distance = distance;
        fields.sensor = value->GetSource() == SOURCE_WHEEL ? 1 : 0;
      }
      continue;
    }
    if (modifier != MODIFIER_INSTANT) continue;
    int number = 0;
    int second = 0;
    float real = 0.0f;
    switch (quantity) {
      case QUANTITY_POSITION:
        if (value->GetPairInt(UNIT_SEMICIRCLES, &number, &second)) {
          fields.longitude = number;
          fields.latitude = second;
        }
        break;
      case QUANTITY_TIME:
        if (value->GetInt(UNIT_DEVICETIME, &number)) fields.time = static_cast<uint32_t>(number);
        break;
      case QUANTITY_ELEVATION:
        if (value->GetFloat(UNIT_METRES, &real)) fields.altitude = real;
        break;
      case QUANTITY_DEPTH:
        if (value->GetFloat(UNIT_METRES, &real)) fields.depth = real;
        break;
      case QUANTITY_TEMPERATURE:
        if (value->GetFloat(UNIT_CELSIUS, &real)) fields.temperature = real;
        break;
      case QUANTITY_HEARTRATE:
        if (value->GetInt(UNIT_BPM, &number)) fields.heartRate = LowByte(number);
        break;
      case QUANTITY_CADENCE:
        if (value->GetInt(UNIT_RPM, &number)) fields.cadence = LowByte(number);
        break;
      default:
        break;
    }
  }
  return fields;
}

size_t TrackPointRecordSize(uint16_t type) {
  switch (type) {
    case 300:
      return 13;
    case 301:
      return 21;
    case 302:
      return 25;
    case 303:
      return 17;
    case 304:
      return 23;
    default:
      return 0;
  }
}

size_t EncodeTrackPoint(uint16_t type, const TxTrackPointFields& fields, bool newTrack, uint8_t* out,
                        size_t capacity) {
  if (TrackPointRecordSize(type) == 0) return 0;
  CPacketWriter writer(out, capacity);
  writer.WriteS32(fields.latitude);
  writer.WriteS32(fields.longitude);
  writer.WriteU32(fields.time);
  const uint8_t newTrackFlag = newTrack ? 1 : 0;
  switch (type) {
    case 300:
      writer.WriteU8(newTrackFlag);
      break;
    case 301:
    case 302:
      writer.WriteF32(fields.altitude);
      writer.WriteF32(fields.depth);
      if (type == 302) writer.WriteF32(fields.temperature);
      writer.WriteU8(newTrackFlag);
      break;
    case 303:
      writer.WriteF32(fields.altitude);
      writer.WriteU8(fields.heartRate);
      break;
    default:  // 304
      writer.WriteF32(fields.altitude);
      writer.WriteF32(fields.distance);
      writer.WriteU8(fields.heartRate);
      writer.WriteU8(fields.cadence);
      writer.WriteU8(fields.sensor);
      break;
  }
  return writer.Ok() ? writer.Size() : 0;
}

size_t EncodeTrackHeader(uint16_t type, const CGpsDataTrack& track, uint8_t* out, size_t capacity) {
  CPacketWriter writer(out, capacity);
  switch (type) {
    case 310:
    case 312:
      writer.WriteU8(1);    // display
      writer.WriteU8(255);  // colour: the receiver's default
      writer.WriteString(track.ident, TRACK_IDENT_MAX_LENGTH);
      break;
    case 311:
      writer.WriteU16(static_cast<uint16_t>(track.index & 0xFFFF));
      break;
    default:
      return 0;
  }
  return writer.Ok() ? writer.Size() : 0;
}

CTrackThinning::CTrackThinning(int pointCount, int maxPoints) {
  const int64_t n = pointCount;
  const int64_t m = maxPoints;
  if (n <= m || m < 2) return;
  const int64_t excess = n - m;
  if (excess < m) {
    m_mode = EMode::Skip;
    m_period = excess + 1;
    m_q = n / m_period;
    m_r = n % m_period;
    m_next = m_q;
    m_acc = m_r;
  } else {
    m_mode = EMode::Pick;
    m_period = m - 1;
    m_q = (n - 1) / m_period;
    m_r = (n - 1) % m_period;
  }
}

bool CTrackThinning::Keep() {
  const int64_t i = m_index++;
  bool keep = true;
  switch (m_mode) {
    case EMode::All:
      break;
    case EMode::Skip:
      if (i >= m_next) {
        keep = false;
        m_next += m_q;
        m_acc += m_r;
        if (m_acc >= m_period) {
          ++m_next;
          m_acc -= m_period;
        }
      }
      break;
    case EMode::Pick:
      keep = i == m_next;
      if (keep) {
        m_acc += m_r;
        m_next += m_q;
        if (m_acc >= m_period) {
          ++m_next;
          m_acc -= m_period;
        }
      }
      break;
  }
  if (keep) {
    ++m_sent;
  } else {
    ++m_skipped;
  }
  return keep;
}
