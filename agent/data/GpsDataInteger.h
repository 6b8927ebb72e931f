// A measurement holding one integer (times, heart rates, cadences, energies,
// zone numbers).
#pragma once

#include "data/GpsDataValue.h"

class CGpsDataInteger : public CGpsDataValue {
public:
  CGpsDataInteger(int quantity, int modifier, int unit, int value) noexcept;

  CGpsDataValue* Clone() const override;
  CGpsDataValue* CloneInto(CGpsDataArena* arena) const override;
  bool SetUnit(int unit) override;
  bool GetFloat(int unit, float* out) const override;
  bool GetInt(int unit, int* out) const override;
  bool GetUnixTime(int kind, int64_t* out) const override;
  std::string Format(int unit) const override;
  bool SetInteger(int unit, int value);

  int GetValue() const { return m_value; }

private:
  // The value converted to unit by the integer rules of the getters.
  bool _Convert(int unit, int* out) const;

  int m_value;
};
