// One measurement: what it measures (quantity), in which role (modifier), in
// which unit, from which source, and one value or a pair of values held by the
// subclasses CGpsDataFloat, CGpsDataInteger, CGpsDataIntPair and
// CGpsDataFloatPair. Every getter either succeeds (true, outputs written) or
// fails (false, outputs untouched); nothing converts between different physical
// quantities.
#pragma once

#include <cstdint>
#include <string>

#include "data/GpsDataArena.h"
#include "data/GpsDataList.h"
#include "data/GpsUnits.h"

// The rarely used texts of a measurement, kept apart so that the millions of
// plain measurements of a track log do not carry them.
struct CGpsDataValueTexts {
  CGpsDataArena* arena = nullptr;  // null when owned by a heap measurement
  std::string id;
  std::string name;
  std::string codeSpace;
  std::string reference;
};

class CGpsDataValue : public CGpsDataItem<CGpsDataValue> {
public:
  virtual ~CGpsDataValue();

  // A new heap object of the same class with the same quantity, modifier, unit
  // and value(s), empty texts and no source; nullptr when memory runs out. The
  // caller deletes it.
  virtual CGpsDataValue* Clone() const = 0;
  virtual bool SetFloat(int unit, float value);
  virtual bool SetUnit(int unit);
  // Text of member index (0 first, 1 second) converted to unit.
  virtual std::string FormatComponent(int unit, int index) const;
  virtual bool GetComponentFloat(int unit, int index, float* out) const;
  virtual bool GetComponentInt(int unit, int index, int* out) const;
  virtual bool GetPairFloat(int unit, float* first, float* second) const;
  virtual bool GetFloat(int unit, float* out) const;
  virtual bool GetPairInt(int unit, int* first, int* second) const;
  virtual bool GetInt(int unit, int* out) const;
  // Unix time (kind 0) of a value stored as device time; 64 bits, since an
  // unsigned device time reaches past 2038.
  virtual bool GetUnixTime(int kind, int64_t* out) const;
  // Text of the value in unit (a time also in the output forms 0 and 19).
  virtual std::string Format(int unit) const;

  int GetQuantity() const { return m_quantity; }
  int GetModifier() const { return m_modifier; }
  int GetUnit() const { return m_unit; }
  int GetSource() const { return m_source; }
  void SetQuantity(int quantity) { m_quantity = _Code(quantity); }
  void SetModifier(int modifier) { m_modifier = _Code(modifier); }
  void SetSource(int source) { m_source = _Code(source); }

  // Texts; empty when never set. The setters return false only when memory
  // runs out.
  const std::string& GetId() const;
  const std::string& GetName() const;
  const std::string& GetCodeSpace() const;
  const std::string& GetReference() const;
  bool SetId(const std::string& text);
  bool SetName(const std::string& text);
  bool SetCodeSpace(const std::string& text);
  bool SetReference(const std::string& text);

  // Copies this value into arena as a new measurement (a Clone kept by the
  // arena); nullptr when memory runs out.
  virtual CGpsDataValue* CloneInto(CGpsDataArena* arena) const = 0;

protected:
  friend class CGpsDataValues;

  CGpsDataValue(int quantity, int modifier, int unit) noexcept;

  void _SetStoredUnit(int unit) { m_unit = _Code(unit); }
  // Where new texts are allocated: the owning arena, or the heap.
  void _SetArena(CGpsDataArena* arena) { m_extra = reinterpret_cast<uintptr_t>(arena); }

  // Creates a copy without texts and source, in arena or on the heap.
  template <class T, class... Args>
  static T* _NewCopy(CGpsDataArena* arena, Args&&... args) noexcept {
    T* copy = arena != nullptr ? arena->New<T>(std::forward<Args>(args)...)
                               : new (std::nothrow) T(std::forward<Args>(args)...);
    if (copy != nullptr) copy->_SetArena(arena);
    return copy;
  }

private:
  // Codes are kept in a byte each; a code outside a byte's range reads back as
  // 127, which no table knows, rather than as some other valid code.
  static int8_t _Code(int value) {
    return value >= -128 && value <= 127 ? static_cast<int8_t>(value) : static_cast<int8_t>(127);
  }
  CGpsDataValueTexts* _Texts() const {
    return (m_extra & 1u) != 0 ? reinterpret_cast<CGpsDataValueTexts*>(m_extra & ~uintptr_t{1}) : nullptr;
  }
  CGpsDataValueTexts* _MutableTexts();
  bool _SetText(std::string CGpsDataValueTexts::*field, const std::string& text);

  // Either the texts (low bit set) or the arena that would hold them.
  uintptr_t m_extra = 0;
  int8_t m_quantity;
  int8_t m_modifier;
  int8_t m_unit;
  int8_t m_source = SOURCE_NONE;
};

// The Unix time at which a period that begins at start and lasts duration
// (in seconds) ends: start read as a device time, or as the Unix time it was
// stored as (a lap read from a file). False when either cannot be read. The
// exchange document and the diagnostics file both end laps by this rule.
bool GetEndFromDuration(const CGpsDataValue& start, const CGpsDataValue& duration, int64_t* out);

// Arena measurements own nothing but their texts, which the arena destroys.
template <class T>
requires std::is_base_of_v<CGpsDataValue, T>
struct ArenaNeedsDestroy<T> : std::false_type {
};
