// The Garmin serial frame as pure byte functions, apart from any port:
//   DLE, id, size, data..., checksum, DLE, ETX
// where id, size, every data byte and the checksum are followed by a second
// DLE when they equal DLE, and the checksum makes the byte sum of id, size,
// data and checksum zero.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t SERIAL_DLE = 0x10;
constexpr uint8_t SERIAL_ETX = 0x03;

// Room for the longest frame with every byte stuffed, with some to spare.
constexpr size_t SERIAL_FRAME_CAPACITY = 1028;
// Most data bytes one frame can announce in its one-byte size.
constexpr size_t SERIAL_MAX_DATA = 255;

// (0 - id - size - sum of data) mod 256.
uint8_t SerialChecksum(uint8_t id, const uint8_t* data, size_t size);

// Writes the whole frame of one packet into `frame` and returns its length.
// Bytes beyond `capacity` are not stored. `size` is stored in one byte, so
// callers keep it at most SERIAL_MAX_DATA.
size_t EncodeSerialFrame(uint8_t id, const uint8_t* data, size_t size, uint8_t* frame, size_t capacity);

// Where the search for a frame stands in a buffer. The search resumes where
// it stopped when more bytes arrive, so each byte is examined once.
struct SerialFrameScan {
  static constexpr size_t NONE = static_cast<size_t>(-1);
  size_t position = 0;  // next byte to examine
  size_t start = NONE;  // index of the last frame-start DLE seen
  size_t end = NONE;    // index just past the ETX of the first frame end
};

// Examines the bytes from scan.position up to `limit`, each together with
// its successor (a byte whose successor has not arrived waits), and stops at
// the first DLE ETX. A DLE followed by another byte marks a frame start; a
// later start replaces an earlier one, which resynchronises after garbage.
void ScanSerialFrame(const uint8_t* buffer, size_t limit, SerialFrameScan& scan);

// Decodes a frame body (from the packet id up to and including the closing
// DLE ETX) that lies at buffer[bodyStart, bodyEnd). The data are written to
// the start of the buffer; since each data byte is read at or after the place
// it is written to, the decode works in place. False when the body ends
// before its data and checksum do, or the checksum is wrong.
bool DecodeSerialFrame(uint8_t* buffer, size_t bodyStart, size_t bodyEnd, uint8_t& id, uint8_t& size);
