#include "garmin/PacketReader.h"

#include <bit>
#include <cstring>

bool CPacketReader::_Need(size_t count) {
  if (count > Remaining()) {
    m_ok = false;
    m_position = m_size;
    return false;
  }
  return true;
}

uint64_t CPacketReader::_ReadLittleEndian(size_t count) {
  if (!_Need(count)) return 0;
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i) value |= static_cast<uint64_t>(m_data[m_position + i]) << (8 * i);
  m_position += count;
  return value;
}

uint8_t CPacketReader::ReadU8() {
  return static_cast<uint8_t>(_ReadLittleEndian(1));
}
uint16_t CPacketReader::ReadU16() {
  return static_cast<uint16_t>(_ReadLittleEndian(2));
}
int16_t CPacketReader::ReadS16() {
  return static_cast<int16_t>(ReadU16());
}
uint32_t CPacketReader::ReadU32() {
  return static_cast<uint32_t>(_ReadLittleEndian(4));
}
int32_t CPacketReader::ReadS32() {
  return static_cast<int32_t>(ReadU32());
}
float CPacketReader::ReadF32() {
  return std::bit_cast<float>(ReadU32());
}
double CPacketReader::ReadF64() {
  return std::bit_cast<double>(_ReadLittleEndian(8));
}

std::string CPacketReader::ReadString() {
  if (m_position >= m_size) {
    m_ok = false;
    return {};
  }
  const uint8_t* start = m_data + m_position;
  const void* nul = std::memchr(start, 0, Remaining());
  const size_t length =
      nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - start) : Remaining();
  std::string text(reinterpret_cast<const char*>(start), length);
  m_position += nul != nullptr ? length + 1 : length;
  return text;
}

void CPacketReader::Skip(size_t count) {
  if (_Need(count)) m_position += count;
}
