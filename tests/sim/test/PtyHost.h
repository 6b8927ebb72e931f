// A minimal serial host for the simulator's own tests: opens the slave side of
// the pseudo-terminal as a program opens a serial port and trades frames.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "sim/SerialFraming.h"

class CPtyHost {
public:
  CPtyHost() = default;
  ~CPtyHost() { Close(); }
  CPtyHost(const CPtyHost&) = delete;
  CPtyHost& operator=(const CPtyHost&) = delete;

  bool Open(const std::string& path);
  void Close();

  bool SendRaw(const std::vector<uint8_t>& bytes);
  bool Send(const SimPacket& packet);
  bool SendAck(uint8_t id) { return Send(SimPacket{SIM_PID_ACK, {id, 0}}); }
  bool SendNak(uint8_t id) { return Send(SimPacket{SIM_PID_NAK, {id, 0}}); }
  bool SendCommand(uint16_t command) {
    return Send(
        SimPacket{SIM_PID_COMMAND_DATA, {static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)}});
  }

  // The next frame, good or bad; nothing when none is complete within the time.
  std::optional<SimFrame> ReadFrame(std::chrono::milliseconds timeout);
  // Reads the next frame and checks it is a good packet with this id.
  bool Expect(uint16_t id, std::chrono::milliseconds timeout, SimPacket* packet = nullptr);
  // Reads the next good packet and acknowledges it, as a host does in a transfer.
  std::optional<SimPacket> ReadAndAck(std::chrono::milliseconds timeout);

  size_t SkippedBytes() const { return m_decoder.SkippedBytes(); }

private:
  int m_fd = -1;
  CSimFrameDecoder m_decoder;
  std::vector<SimFrame> m_pending;
};
