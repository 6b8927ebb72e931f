#include "garmin/PacketWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>

bool CPacketWriter::_Need(size_t count) {
  if (!m_ok || count > m_capacity - m_size) {
    m_ok = false;
    return false;
  }
  return true;
}

void CPacketWriter::_WriteLittleEndian(uint64_t value, size_t count) {
  if (!_Need(count)) return;
  for (size_t i = 0; i < count; ++i) m_data[m_size + i] = static_cast<uint8_t>(value >> (8 * i));
  m_size += count;
}

void CPacketWriter::WriteU8(uint8_t value) {
  _WriteLittleEndian(value, 1);
}
void CPacketWriter::WriteU16(uint16_t value) {
  _WriteLittleEndian(value, 2);
}
void CPacketWriter::WriteU32(uint32_t value) {
  _WriteLittleEndian(value, 4);
}
void CPacketWriter::WriteS32(int32_t value) {
  _WriteLittleEndian(static_cast<uint32_t>(value), 4);
}
void CPacketWriter::WriteF32(float value) {
  _WriteLittleEndian(std::bit_cast<uint32_t>(value), 4);
}

void CPacketWriter::WriteFixedText(const std::string& text, size_t width) {
  if (width == 0 || !_Need(width)) return;
  const size_t length = std::min(text.size(), width - 1);
  std::memcpy(m_data + m_size, text.data(), length);
  std::memset(m_data + m_size + length, 0, width - length);
  m_size += width;
}

void CPacketWriter::WriteString(const std::string& text, size_t maxLength) {
  const size_t length = std::min(text.size(), maxLength);
  if (!_Need(length + 1)) return;
  std::memcpy(m_data + m_size, text.data(), length);
  m_data[m_size + length] = 0;
  m_size += length + 1;
}
