// Bounds-checked little-endian reads from a received packet. A read past the
// end yields 0 (or an empty text) and marks the reader failed, so a decoder
// can read all its fields and test Ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CPacketReader {
public:
  CPacketReader(const uint8_t* data, size_t size) : m_data(data), m_size(data != nullptr ? size : 0) {}

  uint8_t ReadU8();
  uint16_t ReadU16();
  int16_t ReadS16();
  uint32_t ReadU32();
  int32_t ReadS32();
  float ReadF32();
  double ReadF64();
  // A zero-terminated text; one that runs to the end of the packet without
  // its terminator ends there.
  std::string ReadString();
  void Skip(size_t count);

  bool Ok() const { return m_ok; }
  size_t Position() const { return m_position; }
  size_t Remaining() const { return m_size - m_position; }

private:
  bool _Need(size_t count);
  uint64_t _ReadLittleEndian(size_t count);

  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
  bool m_ok = true;
};
