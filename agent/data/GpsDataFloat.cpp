#include "data/GpsDataFloat.h"

#include <cstdio>

CGpsDataFloat::CGpsDataFloat(int quantity, int modifier, int unit, float value) noexcept
    : CGpsDataValue(quantity, modifier, unit), m_value(value) {}

CGpsDataValue* CGpsDataFloat::Clone() const {
  return CloneInto(nullptr);
}

CGpsDataValue* CGpsDataFloat::CloneInto(CGpsDataArena* arena) const {
  return _NewCopy<CGpsDataFloat>(arena, GetQuantity(), GetModifier(), GetUnit(), m_value);
}

bool CGpsDataFloat::SetFloat(int unit, float value) {
  _SetStoredUnit(unit);
  m_value = value;
  return true;
}

bool CGpsDataFloat::SetUnit(int unit) {
  _SetStoredUnit(unit);
  return true;
}

bool CGpsDataFloat::GetFloat(int unit, float* out) const {
  if (out == nullptr || unit != GetUnit()) return false;
  *out = m_value;
  return true;
}

bool CGpsDataFloat::GetInt(int unit, int* out) const {
  if (out == nullptr || unit != GetUnit()) return false;
  const float rounded = m_value + 0.5f;
  // NaN fails both tests; 2^31 is the first float past the int range.
  if (!(rounded >= -2147483648.0f && rounded < 2147483648.0f)) return false;
  *out = static_cast<int>(rounded);
  return true;
}

std::string CGpsDataFloat::Format(int unit) const {
  float value = m_value;
  if (unit != GetUnit()) {
    if (!IsConvertibleMeasure(GetUnit()) || !IsConvertibleMeasure(unit)) return std::string();
    if (!ConvertFloat(GetUnit(), m_value, unit, &value)) return std::string();
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
  return text;
}
