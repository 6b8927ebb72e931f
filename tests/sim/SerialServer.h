// The serial link of the simulated receiver: a pseudo-terminal whose slave the
// host opens as its serial port, served by one thread that frames, acknowledges,
// resends and plays the link faults.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "sim/SerialFraming.h"
#include "sim/SimBitRate.h"
#include "sim/SimPacket.h"

class CSimReceiver;
class CSimHostLog;

class CSimSerialServer {
public:
  CSimSerialServer(CSimReceiver& receiver, CSimHostLog& hostLog, int ackTimeoutMs, int sendAttempts);
  ~CSimSerialServer();
  CSimSerialServer(const CSimSerialServer&) = delete;
  CSimSerialServer& operator=(const CSimSerialServer&) = delete;

  bool Start(std::string& slavePath, std::string& error);
  void Stop();
  bool IsRunning() const { return m_thread.joinable(); }
  const std::string& SlavePath() const { return m_slavePath; }

  // Forces the 9600 baud wire rate on top of the scenario's pacing fault.
  void SetPacing(bool realWireRate) { m_pacing = realWireRate; }
  // Restarts the fault counters (host packets seen, packets sent).
  void ResetFaultCounters() { m_resetCounters = true; }
  // The receiver's line speed and how it answers a bit-rate request.
  CSimBitRate& BitRate() { return m_bitRate; }
  const CSimBitRate& BitRate() const { return m_bitRate; }

private:
  using Clock = std::chrono::steady_clock;

  void _Run();
  void _HandleBytes(const uint8_t* bytes, size_t count);
  // Keeps the receiver's line speed in step with the host's switches.
  void _FollowHostBitRate();
  void _HandleFrame(const SimFrame& frame);
  void _SendHead();
  void _SendLinkPacket(uint8_t id, uint8_t ackedId);
  bool _WriteFrame(const SimPacket& packet, bool corruptChecksum);
  bool _WriteBytes(const uint8_t* bytes, size_t count);
  void _HostGone();
  void _ApplyCounterReset();

  CSimReceiver& m_receiver;
  CSimHostLog& m_hostLog;
  const int m_ackTimeoutMs;
  const int m_sendAttempts;

  int m_master = -1;
  int m_wakeRead = -1;  // self-pipe that ends the poll on Stop()
  int m_wakeWrite = -1;
  std::string m_slavePath;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_pacing{false};
  std::atomic<bool> m_resetCounters{false};

  CSimBitRate m_bitRate;
  unsigned m_hostRate = CSimBitRate::kDefaultRate;  // the host's line speed when last looked at
  // Link-thread state.
  CSimFrameDecoder m_decoder;
  std::deque<SimPacket> m_outgoing;
  bool m_awaitingAck = false;
  int m_attempts = 0;
  Clock::time_point m_ackDeadline;
  int m_hostPacketCount = 0;
  int m_sentCount = 0;
  bool m_hostPresent = false;
};
