// The USB link of the simulated receiver: a Unix-domain socket at a path the
// test chooses, where one host at a time connects (a new host may connect
// once the previous one left). The socket carries the receiver's three pipes
// as messages of one pipe byte, a 32-bit little-endian length and the bytes
// of one USB transfer: 'W' from the host (one packet each), 'I' (interrupt)
// and 'B' (bulk) to the host; an empty 'B' message ends a bulk burst.
//
// Replies go out on the interrupt pipe in transfers of at most 64 bytes. A
// transfer (a reply that starts with a records packet) is announced on the
// interrupt pipe with TRANS_PID_DATA_AVAILABLE and sent on the bulk pipe; from
// then on until the next session start every reply takes the bulk pipe, where
// the host now reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimPacket.h"
#include "sim/SimUsbFaults.h"

class CSimReceiver;
class CSimHostLog;

class CSimUsbServer {
public:
  CSimUsbServer(CSimReceiver& receiver, CSimHostLog& hostLog, uint32_t unitId);
  ~CSimUsbServer();
  CSimUsbServer(const CSimUsbServer&) = delete;
  CSimUsbServer& operator=(const CSimUsbServer&) = delete;

  // Listens at socketPath (a stale socket left there is replaced).
  bool Start(const std::string& socketPath, std::string& error);
  // Stops serving, disconnects the host and removes the socket; safe twice.
  void Stop();
  bool IsRunning() const { return m_thread.joinable(); }
  const std::string& SocketPath() const { return m_socketPath; }

  void SetFaults(const SimUsbFaults& faults);
  SimUsbFaults Faults() const;
  // False: transfers stay on the interrupt pipe like single replies.
  void SetBulkTransfers(bool bulk) { m_bulkTransfers = bulk; }
  // Restarts the count of packets sent that the truncation fault uses.
  void ResetFaultCounters() { m_resetCounters = true; }

  // Start-session requests seen, over every host connection.
  size_t SessionStarts() const { return m_sessionStarts; }
  // Hosts that connected so far.
  size_t Connections() const { return m_connections; }

private:
  void _Run();
  void _Accept();
  void _HostGone();
  bool _ReadHost();
  bool _FlushOutgoing();
  void _HandleMessage(const std::vector<uint8_t>& payload);
  void _HandleProtocolPacket(uint16_t id);
  void _SendReply(std::vector<SimPacket> packets);
  // Queues one transfer on a pipe.
  void _Queue(uint8_t pipe, const uint8_t* bytes, size_t count);
  // Queues a packet on the interrupt pipe in transfers of at most 64 bytes,
  // or on the bulk pipe as one transfer.
  void _QueuePacket(uint8_t pipe, const std::vector<uint8_t>& packet);

  CSimReceiver& m_receiver;
  CSimHostLog& m_hostLog;
  const uint32_t m_unitId;

  int m_listen = -1;
  int m_host = -1;
  int m_wakeRead = -1;  // self-pipe that ends the poll on Stop()
  int m_wakeWrite = -1;
  std::string m_socketPath;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_bulkTransfers{true};
  std::atomic<bool> m_resetCounters{false};
  std::atomic<size_t> m_sessionStarts{0};
  std::atomic<size_t> m_connections{0};
  mutable std::mutex m_faultsMutex;
  SimUsbFaults m_faults;

  // Link-thread state, reset for each host.
  std::vector<uint8_t> m_incoming;
  std::vector<uint8_t> m_outgoing;
  size_t m_outgoingSent = 0;
  bool m_bulkMode = false;
  bool m_dropHost = false;
  int m_sentCount = 0;
};

// The bytes of one USB packet as the simulator writes it.
std::vector<uint8_t> EncodeSimUsbPacket(uint8_t type, uint16_t id, const std::vector<uint8_t>& data);
