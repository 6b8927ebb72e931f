// The line speed of the simulated receiver's serial link. A pseudo-terminal
// carries bytes whatever speed either end sets, so both speeds are modelled:
// the host's is the one it set on the slave (read through the master), the
// receiver's is kept here. While they differ, the bytes between them arrive as
// noise, so a host that forgets to switch, or switches too early, fails.
//
// The receiver's side of the exchange: a bit-rate request (packet 48, uint32
// rate) is acknowledged and answered with packet 49 carrying the rate it can
// do closest to the request, as its clock would divide it (a little below the
// nominal rate). The host's acknowledgement of packet 49 switches the
// receiver; unless two pings (command 58) arrive at the new rate within two
// seconds, it returns to 9600 by itself.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/SimPacket.h"

struct SimReply;

enum class SimBitRateMode {
  Accept,            // takes the fastest rate it has up to the request
  Refuse,            // answers that 9600 is all it can do
  Ignore,            // acknowledges the request and answers nothing
  AcceptThenSilent,  // accepts, switches, then hears nothing until it falls back to 9600
};

struct SimBitRateOptions {
  SimBitRateMode mode = SimBitRateMode::Accept;
  unsigned highest = 115200;  // the fastest rate it accepts
};

enum SimBitRateIds : uint16_t {
  SIM_PID_RQST_DATA = 28,
  SIM_PID_BAUD_RQST_DATA = 48,
  SIM_PID_BAUD_ACPT_DATA = 49,
  SIM_CMD_ACK_PING = 58,
};

class CSimBitRate {
public:
  using Clock = std::chrono::steady_clock;
  static constexpr unsigned kDefaultRate = 9600;

  void SetOptions(const SimBitRateOptions& options);
  SimBitRateOptions Options() const;

  // The receiver's own line speed now.
  unsigned Rate() const;
  // Every speed the receiver switched to, in order (its returns to 9600 included).
  std::vector<unsigned> Changes() const;

  // Link thread. A request or a ping is answered here (true, reply filled);
  // every other packet is left to the receiver.
  bool HandleHostPacket(const SimPacket& packet, SimReply& reply);
  // The host acknowledged the receiver's packet `id`.
  void OnAcknowledged(uint16_t id, Clock::time_point now);
  // The host's line is at `hostRate`. A host that flushes its output right
  // after acknowledging the offer (as a UART's FIFO would let it) can wipe
  // the acknowledgement from a pseudo-terminal before it is read; its switch
  // to the offered rate stands for it then. True when taken so.
  bool OnHostRate(unsigned hostRate, Clock::time_point now);
  // Falls back to 9600 once the pings are overdue.
  void Tick(Clock::time_point now);
  // Switched and waiting out its fall-back, deaf to the host (AcceptThenSilent).
  bool IsDeaf() const;

  // What a byte at one speed looks like to a reader at another: never DLE,
  // so noise never starts a frame.
  static uint8_t Garble(uint8_t byte) { return static_cast<uint8_t>(byte | 0x80); }

private:
  void _SwitchTo(unsigned rate);
  void _TakeOffer(Clock::time_point now);

  mutable std::mutex m_mutex;
  SimBitRateOptions m_options;
  unsigned m_rate = kDefaultRate;
  unsigned m_offered = 0;  // the rate of the packet 49 waiting for its acknowledgement
  bool m_awaitingPings = false;
  int m_pings = 0;
  Clock::time_point m_revertAt;
  std::vector<unsigned> m_changes;
};

// The speed the host set on the slave of this master; 0 when unknown.
unsigned SimHostBitRate(int master);
