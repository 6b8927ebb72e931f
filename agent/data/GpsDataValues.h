// The measurements of a record, in the order in which they were added. Every
// record that carries numbers derives from this class; nothing numeric is kept
// in a fixed field of a record.
#pragma once

#include "data/GpsDataArena.h"
#include "data/GpsDataFloat.h"
#include "data/GpsDataFloatPair.h"
#include "data/GpsDataIntPair.h"
#include "data/GpsDataInteger.h"
#include "data/GpsDataList.h"

class CGpsDataValues {
public:
  // Each adder creates a measurement with source none, appends it and returns
  // it; nullptr when memory runs out.
  CGpsDataFloat* AddFloat(int quantity, int modifier, int unit, float value);
  CGpsDataInteger* AddInteger(int quantity, int modifier, int unit, int value);
  CGpsDataIntPair* AddIntPair(int quantity, int modifier, int unit, int first, int second);
  CGpsDataFloatPair* AddFloatPair(int quantity, int modifier, int unit, float first, float second);
  // Appends a copy of value as Clone makes it (no texts, no source).
  CGpsDataValue* AddClone(const CGpsDataValue& value);

  const CGpsDataList<CGpsDataValue>& GetValues() const { return m_values; }

  // The first measurement with that quantity and modifier; nullptr when none.
  CGpsDataValue* FindValue(int quantity, int modifier) const;

protected:
  explicit CGpsDataValues(CGpsDataArena* arena) noexcept : m_arena(arena) {}
  ~CGpsDataValues() = default;
  CGpsDataArena* _GetArena() const { return m_arena; }

private:
  template <class T, class... Args>
  T* _Add(Args&&... args);

  CGpsDataList<CGpsDataValue> m_values;
  CGpsDataArena* m_arena;
};
