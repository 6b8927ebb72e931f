#include "link/UsbPacketAssembler.h"

#include <cstring>

CUsbPacketAssembler::EState CUsbPacketAssembler::State() const {
  if (m_count < USB_PACKET_HEADER_SIZE) return EState::NeedHeader;
  const uint32_t dataSize = Header().dataSize;
  if (dataSize > MAX_DATA_SIZE) return EState::TooLarge;
  return m_count < USB_PACKET_HEADER_SIZE + dataSize ? EState::NeedData : EState::Complete;
}

size_t CUsbPacketAssembler::Missing() const {
  switch (State()) {
    case EState::NeedHeader:
      return USB_PACKET_HEADER_SIZE - m_count;
    case EState::NeedData:
      return PacketSize() - m_count;
    default:
      return 0;
  }
}

void CUsbPacketAssembler::Added(size_t count) {
  m_count += count <= FreeSize() ? count : FreeSize();
}

UsbPacketHeader CUsbPacketAssembler::Header() const {
  UsbPacketHeader header;
  DecodeUsbPacketHeader(m_buffer, m_count, header);
  return header;
}

size_t CUsbPacketAssembler::Consume() {
  if (State() != EState::Complete) return 0;
  const size_t packetSize = PacketSize();
  const size_t rest = m_count - packetSize;
  if (rest > 0) std::memmove(m_buffer, m_buffer + packetSize, rest);
  m_count = rest;
  return rest;
}
