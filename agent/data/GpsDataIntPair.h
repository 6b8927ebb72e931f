// A measurement holding a pair of integers: a receiver position in
// semicircles (first the longitude, then the latitude), or an integer range.
#pragma once

#include "data/GpsDataValue.h"

class CGpsDataIntPair : public CGpsDataValue {
public:
  CGpsDataIntPair(int quantity, int modifier, int unit, int first, int second) noexcept;

  CGpsDataValue* Clone() const override;
  CGpsDataValue* CloneInto(CGpsDataArena* arena) const override;
  std::string FormatComponent(int unit, int index) const override;
  bool GetComponentFloat(int unit, int index, float* out) const override;
  bool GetComponentInt(int unit, int index, int* out) const override;
  bool GetPairFloat(int unit, float* first, float* second) const override;
  bool GetPairInt(int unit, int* first, int* second) const override;
  std::string Format(int unit) const override;
  bool SetPair(int unit, int first, int second);

  int GetFirst() const { return m_first; }
  int GetSecond() const { return m_second; }

private:
  int m_first;
  int m_second;
};
