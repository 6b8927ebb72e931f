#include "link/SerialFrame.h"

uint8_t SerialChecksum(uint8_t id, const uint8_t* data, size_t size) {
  uint8_t sum = static_cast<uint8_t>(id + static_cast<uint8_t>(size));
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return static_cast<uint8_t>(0 - sum);
}

namespace {

class CFrameWriter {
public:
  CFrameWriter(uint8_t* frame, size_t capacity) : m_frame(frame), m_capacity(capacity) {}
  void Put(uint8_t byte) {
    if (m_length < m_capacity) m_frame[m_length] = byte;
    ++m_length;
  }
  void PutStuffed(uint8_t byte) {
    Put(byte);
    if (byte == SERIAL_DLE) Put(SERIAL_DLE);
  }
  size_t Stored() const { return m_length < m_capacity ? m_length : m_capacity; }

private:
  uint8_t* m_frame;
  size_t m_capacity;
  size_t m_length = 0;
};

}  // namespace

size_t EncodeSerialFrame(uint8_t id, const uint8_t* data, size_t size, uint8_t* frame, size_t capacity) {
  CFrameWriter out(frame, capacity);
  out.Put(SERIAL_DLE);
  out.PutStuffed(id);
  out.PutStuffed(static_cast<uint8_t>(size));
  for (size_t i = 0; i < size; ++i) out.PutStuffed(data[i]);
  out.PutStuffed(SerialChecksum(id, data, size));
  out.Put(SERIAL_DLE);
  out.Put(SERIAL_ETX);
  return out.Stored();
}

void ScanSerialFrame(const uint8_t* buffer, size_t limit, SerialFrameScan& scan) {
  size_t i = scan.position;
  while (i + 1 < limit) {
    if (buffer[i] != SERIAL_DLE) {
      ++i;
      continue;
    }
    const uint8_t next = buffer[i + 1];
    if (next == SERIAL_ETX) {
      scan.end = i + 2;
      i += 2;
      break;
    }
    if (next == SERIAL_DLE && scan.start != SerialFrameScan::NONE) {
      i += 2;  // a stuffed DLE inside the frame
      continue;
    }
    // DLE DLE before any start is a frame start whose packet id is DLE
    // (stuffed): the pair that follows the start DLE is then skipped as one.
    scan.start = i;
    ++i;
  }
  scan.position = i;
}

bool DecodeSerialFrame(uint8_t* buffer, size_t bodyStart, size_t bodyEnd, uint8_t& id, uint8_t& size) {
  // The closing DLE ETX is not part of the packet; everything read must lie
  // before it.
  if (bodyEnd < bodyStart + 2) return false;
  const size_t limit = bodyEnd - 2;
  size_t pos = bodyStart;
  auto take = [&](uint8_t& byte) {
    if (pos >= limit) return false;
    byte = buffer[pos];
    pos += byte == SERIAL_DLE ? 2 : 1;
    return true;
  };
  if (!take(id) || !take(size)) return false;
  uint8_t sum = static_cast<uint8_t>(0 - id - size);
  for (size_t k = 0; k < size; ++k) {
    // A data byte must leave room for the checksum behind it.
    if (pos + 1 >= limit) return false;
    uint8_t byte = 0;
    take(byte);
    buffer[k] = byte;
    sum = static_cast<uint8_t>(sum - byte);
  }
  uint8_t checksum = 0;
  if (!take(checksum)) return false;
  return checksum == sum;
}
