// A measurement holding a pair of floats: a position read from a file, in
// degrees (first the longitude, then the latitude), or a zone range.
#pragma once

#include "data/GpsDataValue.h"

class CGpsDataFloatPair : public CGpsDataValue {
public:
  CGpsDataFloatPair(int quantity, int modifier, int unit, float first, float second) noexcept;

  CGpsDataValue* Clone() const override;
  CGpsDataValue* CloneInto(CGpsDataArena* arena) const override;
  std::string FormatComponent(int unit, int index) const override;
  bool GetComponentFloat(int unit, int index, float* out) const override;
  bool GetComponentInt(int unit, int index, int* out) const override;
  bool GetPairFloat(int unit, float* first, float* second) const override;
  bool GetPairInt(int unit, int* first, int* second) const override;
  // A float pair reaches a document only as a zone range, member by member.
  std::string Format(int unit) const override;
  // Stores two integers, each converted to float.
  bool SetPair(int unit, int first, int second);

  float GetFirst() const { return m_first; }
  float GetSecond() const { return m_second; }

private:
  float m_first;
  float m_second;
};
