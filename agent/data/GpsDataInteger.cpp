#include "data/GpsDataInteger.h"

#include <cstdio>

#include "data/TimeText.h"

CGpsDataInteger::CGpsDataInteger(int quantity, int modifier, int unit, int value) noexcept
    : CGpsDataValue(quantity, modifier, unit), m_value(value) {}

CGpsDataValue* CGpsDataInteger::Clone() const {
  return CloneInto(nullptr);
}

CGpsDataValue* CGpsDataInteger::CloneInto(CGpsDataArena* arena) const {
  return _NewCopy<CGpsDataInteger>(arena, GetQuantity(), GetModifier(), GetUnit(), m_value);
}

bool CGpsDataInteger::SetUnit(int unit) {
  _SetStoredUnit(unit);
  return true;
}

bool CGpsDataInteger::SetInteger(int unit, int value) {
  _SetStoredUnit(unit);
  m_value = value;
  return true;
}

bool CGpsDataInteger::_Convert(int unit, int* out) const {
  // Only the two time scales convert; device times are unsigned counts, so
  // the shift wraps like one.
  if (unit == GetUnit()) {
    *out = m_value;
  } else if (GetUnit() == UNIT_UNIXTIME && unit == UNIT_DEVICETIME) {
    *out = static_cast<int>(static_cast<uint32_t>(m_value) - static_cast<uint32_t>(DEVICE_TIME_OFFSET));
  } else if (GetUnit() == UNIT_DEVICETIME && unit == UNIT_UNIXTIME) {
    *out = static_cast<int>(static_cast<uint32_t>(m_value) + static_cast<uint32_t>(DEVICE_TIME_OFFSET));
  } else {
    return false;
  }
  return true;
}

bool CGpsDataInteger::GetFloat(int unit, float* out) const {
  int value = 0;
  if (out == nullptr || !_Convert(unit, &value)) return false;
  *out = static_cast<float>(value);
  return true;
}

bool CGpsDataInteger::GetInt(int unit, int* out) const {
  if (out == nullptr) return false;
  return _Convert(unit, out);
}

bool CGpsDataInteger::GetUnixTime(int kind, int64_t* out) const {
  // A value stored as Unix time fails here; callers that take both use
  // GetEndFromDuration's rule.
  if (out == nullptr || kind != 0 || GetUnit() != UNIT_DEVICETIME) return false;
  *out = UnixTimeFromDeviceTime(static_cast<uint32_t>(m_value));
  return true;
}

std::string CGpsDataInteger::Format(int unit) const {
  char text[64];
  int stored = GetUnit();
  if (unit == stored && unit != UNIT_UNIXTIME) {
    // A device time is an unsigned count; every other unit is signed.
    if (unit == UNIT_DEVICETIME) {
      std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(m_value));
    } else {
      std::snprintf(text, sizeof text, "%d", m_value);
    }
    return text;
  }
  if (stored == UNIT_UNIXTIME || stored == UNIT_DEVICETIME) {
    int64_t unixTime =
        stored == UNIT_DEVICETIME ? UnixTimeFromDeviceTime(static_cast<uint32_t>(m_value)) : int64_t{m_value};
    if (unit == UNIT_UNIXTIME) return FormatUtcTime(unixTime);
    if (unit == UNIT_LOCALTIME) return FormatLocalTime(unixTime, stored == UNIT_DEVICETIME);
    return std::string();
  }
  if (!IsConvertibleMeasure(stored) || !IsConvertibleMeasure(unit)) return std::string();
  float value = 0.0f;
  if (!ConvertFloat(stored, static_cast<float>(m_value), unit, &value)) return std::string();
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
  return text;
}
