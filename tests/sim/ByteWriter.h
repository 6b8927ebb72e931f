// Little-endian record writer for the packets the simulated receiver sends.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

class CSimByteWriter {
public:
  void PutU8(uint8_t value) { m_bytes.push_back(value); }
  void PutU16(uint16_t value) { _PutLe(value, 2); }
  void PutS16(int16_t value) { _PutLe(static_cast<uint16_t>(value), 2); }
  void PutU32(uint32_t value) { _PutLe(value, 4); }
  void PutS32(int32_t value) { _PutLe(static_cast<uint32_t>(value), 4); }
  void PutFloat(float value) { _PutLe(std::bit_cast<uint32_t>(value), 4); }
  void PutDouble(double value) { _PutLe(std::bit_cast<uint64_t>(value), 8); }
  // Zero-terminated, as every text in the device records.
  void PutString(const std::string& text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    m_bytes.push_back(0);
  }

  const std::vector<uint8_t>& Bytes() const { return m_bytes; }
  std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
  void _PutLe(uint64_t value, int count) {
    for (int i = 0; i < count; ++i) m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }

  std::vector<uint8_t> m_bytes;
};
