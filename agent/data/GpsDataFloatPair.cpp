#include "data/GpsDataFloatPair.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {
bool TruncToInt(double value, int* out) {
  double result = std::trunc(value);
  if (!(result >= static_cast<double>(std::numeric_limits<int>::min()) &&
        result <= static_cast<double>(std::numeric_limits<int>::max()))) {
    return false;
  }
  *out = static_cast<int>(result);
  return true;
}
}  // namespace

CGpsDataFloatPair::CGpsDataFloatPair(int quantity, int modifier, int unit, float first, float second) noexcept
    : CGpsDataValue(quantity, modifier, unit), m_first(first), m_second(second) {}

CGpsDataValue* CGpsDataFloatPair::Clone() const {
  return CloneInto(nullptr);
}

CGpsDataValue* CGpsDataFloatPair::CloneInto(CGpsDataArena* arena) const {
  return _NewCopy<CGpsDataFloatPair>(arena, GetQuantity(), GetModifier(), GetUnit(), m_first, m_second);
}

bool CGpsDataFloatPair::SetPair(int unit, int first, int second) {
  _SetStoredUnit(unit);
  m_first = static_cast<float>(first);
  m_second = static_cast<float>(second);
  return true;
}

std::string CGpsDataFloatPair::FormatComponent(int unit, int index) const {
  if (index != 0 && index != 1) return std::string();
  float value = 0.0f;
  if (!ConvertFloat(GetUnit(), index == 0 ? m_first : m_second, unit, &value)) return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
  return text;
}

bool CGpsDataFloatPair::GetComponentFloat(int unit, int index, float* out) const {
  if (out == nullptr || (index != 0 && index != 1) || unit != GetUnit()) return false;
  *out = index == 0 ? m_first : m_second;
  return true;
}

bool CGpsDataFloatPair::GetComponentInt(int unit, int index, int* out) const {
  if (out == nullptr || (index != 0 && index != 1) || unit != GetUnit()) return false;
  return TruncToInt(index == 0 ? m_first : m_second, out);
}

bool CGpsDataFloatPair::GetPairFloat(int unit, float* first, float* second) const {
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

bool CGpsDataFloatPair::GetPairInt(int unit, int* first, int* second) const {
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
  int a = 0;
  int b = 0;
  if (!TruncToInt(m_first * factor, &a) || !TruncToInt(m_second * factor, &b)) return false;
  *first = a;
  *second = b;
  return true;
}

std::string CGpsDataFloatPair::Format(int) const {
  return std::string();
}
