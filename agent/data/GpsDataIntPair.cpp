#include "data/GpsDataIntPair.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {
// A member scaled between semicircles and degrees, truncated to an int;
// false when the result does not fit.
bool ScaleToInt(double value, int* out) {
  double result = std::trunc(value);
  if (!(result >= static_cast<double>(std::numeric_limits<int>::min()) &&
        result <= static_cast<double>(std::numeric_limits<int>::max()))) {
    return false;
  }
  *out = static_cast<int>(result);
  return true;
}
}  // namespace

CGpsDataIntPair::CGpsDataIntPair(int quantity, int modifier, int unit, int first, int second) noexcept
    : CGpsDataValue(quantity, modifier, unit), m_first(first), m_second(second) {}

CGpsDataValue* CGpsDataIntPair::Clone() const {
  return CloneInto(nullptr);
}

CGpsDataValue* CGpsDataIntPair::CloneInto(CGpsDataArena* arena) const {
  return _NewCopy<CGpsDataIntPair>(arena, GetQuantity(), GetModifier(), GetUnit(), m_first, m_second);
}

bool CGpsDataIntPair::SetPair(int unit, int first, int second) {
  _SetStoredUnit(unit);
  m_first = first;
  m_second = second;
  return true;
}

std::string CGpsDataIntPair::FormatComponent(int unit, int index) const {
  if (index != 0 && index != 1) return std::string();
  int value = 0;
  if (!ConvertInt(GetUnit(), index == 0 ? m_first : m_second, unit, &value)) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, "%d", value);
  return text;
}

bool CGpsDataIntPair::GetComponentFloat(int unit, int index, float* out) const {
  if (out == nullptr || (index != 0 && index != 1) || unit != GetUnit()) return false;
  *out = static_cast<float>(index == 0 ? m_first : m_second);
  return true;
}

bool CGpsDataIntPair::GetComponentInt(int unit, int index, int* out) const {
  if (out == nullptr || (index != 0 && index != 1) || unit != GetUnit()) return false;
  *out = index == 0 ? m_first : m_second;
  return true;
}

bool CGpsDataIntPair::GetPairFloat(int unit, float* first, float* second) const {
  if (first == nullptr || second == nullptr) return false;
  double factor = 1.0;
  if (unit == GetUnit()) {
    factor = 1.0;
  } else if (GetUnit() == UNIT_SEMICIRCLES && unit == UNIT_DEGREES) {
    factor = SEMICIRCLES_TO_DEGREES;
  } else if (GetUnit() == UNIT_DEGREES && unit == UNIT_SEMICIRCLES) {
    factor = DEGREES_TO_SEMICIRCLES;
  } else {
    return false;
  }
  *first = static_cast<float>(m_first * factor);
  *second = static_cast<float>(m_second * factor);
  return true;
}

bool CGpsDataIntPair::GetPairInt(int unit, int* first, int* second) const {
  if (first == nullptr || second == nullptr) return false;
  if (unit == GetUnit()) {
    *first = m_first;
    *second = m_second;
    return true;
  }
  double factor = 0.0;
  if (GetUnit() == UNIT_SEMICIRCLES && unit == UNIT_DEGREES) {
    factor = SEMICIRCLES_TO_DEGREES;
  } else if (GetUnit() == UNIT_DEGREES && unit == UNIT_SEMICIRCLES) {
    factor = DEGREES_TO_SEMICIRCLES;
  } else {
    return false;
  }
  int a = 0;
  int b = 0;
  if (!ScaleToInt(m_first * factor, &a) || !ScaleToInt(m_second * factor, &b)) return false;
  *first = a;
  *second = b;
  return true;
}

std::string CGpsDataIntPair::Format(int unit) const {
  char text[96];
  if (unit == GetUnit()) {
    std::snprintf(text, sizeof text, "%d %d", m_first, m_second);
    return text;
  }
  if (GetUnit() == UNIT_SEMICIRCLES && unit == UNIT_DEGREES) {
    std::snprintf(text, sizeof text, "%f %f", m_first * SEMICIRCLES_TO_DEGREES,
                  m_second * SEMICIRCLES_TO_DEGREES);
    return text;
  }
  return std::string();
}
