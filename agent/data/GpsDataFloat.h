// A measurement holding one float.
#pragma once

#include "data/GpsDataValue.h"

class CGpsDataFloat : public CGpsDataValue {
public:
  CGpsDataFloat(int quantity, int modifier, int unit, float value) noexcept;

  CGpsDataValue* Clone() const override;
  CGpsDataValue* CloneInto(CGpsDataArena* arena) const override;
  bool SetFloat(int unit, float value) override;
  bool SetUnit(int unit) override;
  bool GetFloat(int unit, float* out) const override;
  bool GetInt(int unit, int* out) const override;
  std::string Format(int unit) const override;

  float GetValue() const { return m_value; }

private:
  float m_value;
};
