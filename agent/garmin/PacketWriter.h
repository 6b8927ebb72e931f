// Bounds-checked little-endian writes into a packet being built. A write
// past the capacity stores nothing and marks the writer failed, so an
// encoder can write all its fields and test Ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CPacketWriter {
public:
  CPacketWriter(uint8_t* data, size_t capacity) : m_data(data), m_capacity(data != nullptr ? capacity : 0) {}

  void WriteU8(uint8_t value);
  void WriteU16(uint16_t value);
  void WriteU32(uint32_t value);
  void WriteS32(int32_t value);
  void WriteF32(float value);
  // A text field of width bytes: at most width - 1 bytes of text, then zeros
  // to the end of the field, so the field is always terminated.
  void WriteFixedText(const std::string& text, size_t width);
  // At most maxLength bytes of text and a terminating zero.
  void WriteString(const std::string& text, size_t maxLength);

  bool Ok() const { return m_ok; }
  size_t Size() const { return m_size; }

private:
  bool _Need(size_t count);
  void _WriteLittleEndian(uint64_t value, size_t count);

  uint8_t* m_data;
  size_t m_capacity;
  size_t m_size = 0;
  bool m_ok = true;
};
