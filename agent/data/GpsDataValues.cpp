#include "data/GpsDataValues.h"

template <class T, class... Args>
T* CGpsDataValues::_Add(Args&&... args) {
  T* value = m_arena->New<T>(std::forward<Args>(args)...);
  if (value == nullptr) return nullptr;
  // Texts set later on the measurement are allocated from the same arena.
  value->CGpsDataValue::_SetArena(m_arena);
  m_values.Append(value);
  return value;
}

CGpsDataFloat* CGpsDataValues::AddFloat(int quantity, int modifier, int unit, float value) {
  return _Add<CGpsDataFloat>(quantity, modifier, unit, value);
}

CGpsDataInteger* CGpsDataValues::AddInteger(int quantity, int modifier, int unit, int value) {
  return _Add<CGpsDataInteger>(quantity, modifier, unit, value);
}

CGpsDataIntPair* CGpsDataValues::AddIntPair(int quantity, int modifier, int unit, int first, int second) {
  return _Add<CGpsDataIntPair>(quantity, modifier, unit, first, second);
}

CGpsDataFloatPair* CGpsDataValues::AddFloatPair(int quantity, int modifier, int unit, float first,
                                                float second) {
  return _Add<CGpsDataFloatPair>(quantity, modifier, unit, first, second);
}

CGpsDataValue* CGpsDataValues::AddClone(const CGpsDataValue& value) {
  return m_values.Append(value.CloneInto(m_arena));
}

CGpsDataValue* CGpsDataValues::FindValue(int quantity, int modifier) const {
  for (CGpsDataValue* value : m_values) {
    if (value->GetQuantity() == quantity && value->GetModifier() == modifier) return value;
  }
  return nullptr;
}
