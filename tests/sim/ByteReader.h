// Bounds-checked little-endian reader for the records a host sends to the
// simulated receiver. A read past the end fails and leaves the value alone.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSimByteReader {
public:
  explicit CSimByteReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

  bool GetU8(uint8_t& value) {
    uint64_t raw = 0;
    if (!_GetLe(raw, 1)) return false;
    value = static_cast<uint8_t>(raw);
    return true;
  }
  bool GetU16(uint16_t& value) {
    uint64_t raw = 0;
    if (!_GetLe(raw, 2)) return false;
    value = static_cast<uint16_t>(raw);
    return true;
  }
  bool GetU32(uint32_t& value) {
    uint64_t raw = 0;
    if (!_GetLe(raw, 4)) return false;
    value = static_cast<uint32_t>(raw);
    return true;
  }
  bool GetS32(int32_t& value) {
    uint32_t raw = 0;
    if (!GetU32(raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
  }
  bool GetFloat(float& value) {
    uint32_t raw = 0;
    if (!GetU32(raw)) return false;
    value = std::bit_cast<float>(raw);
    return true;
  }
  // Up to the terminating zero or the end of the record.
  bool GetString(std::string& text) {
    if (m_offset >= m_bytes.size()) return false;
    text.clear();
    while (m_offset < m_bytes.size() && m_bytes[m_offset] != 0)
      text.push_back(static_cast<char>(m_bytes[m_offset++]));
    if (m_offset < m_bytes.size()) ++m_offset;
    return true;
  }

private:
  bool _GetLe(uint64_t& value, size_t count) {
    if (m_offset > m_bytes.size() || m_bytes.size() - m_offset < count) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) value |= uint64_t{m_bytes[m_offset + i]} << (8 * i);
    m_offset += count;
    return true;
  }

  const std::vector<uint8_t>& m_bytes;
  size_t m_offset = 0;
};
