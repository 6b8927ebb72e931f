#include "link/UsbPacket.h"

#include <cstring>

namespace {

void PutLe(uint8_t* out, uint32_t value, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLe(const uint8_t* in, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) value |= static_cast<uint32_t>(in[i]) << (8 * i);
  return value;
}

}  // namespace

size_t EncodeUsbPacket(uint8_t type, uint16_t id, const uint8_t* data, size_t size, uint8_t* packet) {
  std::memset(packet, 0, USB_PACKET_HEADER_SIZE);
  packet[0] = type;
  PutLe(packet + 4, id, 2);
  PutLe(packet + 8, static_cast<uint32_t>(size), 4);
  if (size > 0 && data != nullptr) std::memcpy(packet + USB_PACKET_HEADER_SIZE, data, size);
  return USB_PACKET_HEADER_SIZE + size;
}

bool DecodeUsbPacketHeader(const uint8_t* bytes, size_t length, UsbPacketHeader& header) {
  if (bytes == nullptr || length < USB_PACKET_HEADER_SIZE) return false;
  header.type = bytes[0];
  header.id = static_cast<uint16_t>(GetLe(bytes + 4, 2));
  header.dataSize = GetLe(bytes + 8, 4);
  return true;
}
