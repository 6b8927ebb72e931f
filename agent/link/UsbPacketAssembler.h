// Whole Garmin USB packets out of the bytes of successive pipe reads. A read
// may end inside a header or inside the data, or carry the end of one packet
// and the start of the next; the assembler tells how many bytes the packet at
// its front still lacks and hands it out once complete. It does no I/O: the
// link reads into FreeSpace() and reports the count with Added().
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/UsbPacket.h"

class CUsbPacketAssembler {
public:
  // The read buffer of the link; a packet must fit in it whole.
  static constexpr size_t BUFFER_SIZE = 2048;
  static constexpr size_t MAX_DATA_SIZE = BUFFER_SIZE - USB_PACKET_HEADER_SIZE;

  enum class EState {
    NeedHeader,  // fewer than 12 bytes buffered
    NeedData,    // the header is there, part of the data is not
    Complete,    // a whole packet is at the front
    TooLarge,    // the header announces more data than the buffer holds
  };

  void Reset() { m_count = 0; }

  EState State() const;
  // Bytes still needed before the front packet's header (NeedHeader) or the
  // packet (NeedData) is complete; 0 otherwise.
  size_t Missing() const;

  uint8_t* FreeSpace() { return m_buffer + m_count; }
  size_t FreeSize() const { return BUFFER_SIZE - m_count; }
  // Counts bytes the caller placed at FreeSpace(); at most FreeSize().
  void Added(size_t count);
  // Bytes buffered and not yet consumed.
  size_t Count() const { return m_count; }

  // The front packet's header; only meaningful once State() is past NeedHeader.
  UsbPacketHeader Header() const;
  // Header and data of the front packet; valid until the next Consume.
  const uint8_t* Packet() const { return m_buffer; }
  size_t PacketSize() const { return USB_PACKET_HEADER_SIZE + Header().dataSize; }
  // Drops the complete packet at the front and moves what follows it to the
  // start; returns the number of bytes moved.
  size_t Consume();

private:
  uint8_t m_buffer[BUFFER_SIZE] = {};
  size_t m_count = 0;
};
