// The serial frame of the Garmin link as the simulated receiver writes and reads
// it: DLE, id, size, data, checksum (each of those stuffed with a second DLE
// when it equals DLE), DLE, ETX. Pure byte functions, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/SimPacket.h"

constexpr uint8_t SIM_DLE = 0x10;
constexpr uint8_t SIM_ETX = 0x03;

// Two's complement of the byte sum of id, size and data.
uint8_t SimFrameChecksum(uint8_t id, const std::vector<uint8_t>& data);

// False when the data do not fit one frame (more than 255 bytes).
// corruptChecksum writes a checksum off by one, for the fault of that name.
bool EncodeSimFrame(const SimPacket& packet, std::vector<uint8_t>& frame, bool corruptChecksum = false);

struct SimFrame {
  SimPacket packet;   // id is the wire byte; data as decoded (possibly partial when bad)
  bool good = false;  // false: wrong checksum, wrong size, or cut off by a new frame start
};

// Turns a byte stream into frames. Bytes outside frames are skipped; a frame
// start (DLE followed by neither DLE nor ETX) inside an unfinished frame
// abandons it as bad and starts over, so garbage never swallows a good frame.
class CSimFrameDecoder {
public:
  void Feed(const uint8_t* bytes, size_t count, std::vector<SimFrame>& frames);
  void Reset();
  size_t SkippedBytes() const { return m_skipped; }

private:
  enum class EState { Idle, StartDle, StartDleDle, Body, BodyDle };

  void _BeginBody(uint8_t firstByte);
  void _FinishBody(std::vector<SimFrame>& frames, bool terminated);

  EState m_state = EState::Idle;
  std::vector<uint8_t> m_body;  // unstuffed: id, size, data..., checksum
  size_t m_skipped = 0;
};
