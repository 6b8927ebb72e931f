// The Garmin USB packet as pure byte functions, apart from any pipe:
//   type (1), reserved (3), id (2, little-endian), reserved (2),
//   data size (4, little-endian), data
// The same layout travels in both directions; there is no checksum.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t USB_PACKET_HEADER_SIZE = 12;
// Most data bytes the host sends in one packet.
constexpr size_t USB_MAX_TX_DATA = 1024;

// Packet types of the header's first byte.
constexpr uint8_t USB_PACKET_TYPE_PROTOCOL = 0;
constexpr uint8_t USB_PACKET_TYPE_APPLICATION = 20;

// Packet ids of the USB protocol layer (type 0).
enum UsbProtocolPacketId : uint16_t {
  TRANS_PID_DATA_AVAILABLE = 2,
  PID_START_SESSION = 5,
  TRANS_PID_SESSION_STARTED = 6,
};

struct UsbPacketHeader {
  uint8_t type = 0;
  uint16_t id = 0;
  uint32_t dataSize = 0;
};

// Writes the header and `size` data bytes to `packet`, which has room for
// USB_PACKET_HEADER_SIZE + size bytes; returns the packet's length.
size_t EncodeUsbPacket(uint8_t type, uint16_t id, const uint8_t* data, size_t size, uint8_t* packet);

// Reads the header at the start of `bytes`; false when fewer than
// USB_PACKET_HEADER_SIZE bytes are given. The reserved bytes are not checked:
// receivers are not known to set them, and nothing depends on them.
bool DecodeUsbPacketHeader(const uint8_t* bytes, size_t length, UsbPacketHeader& header);
