#include "sim/SerialServer.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "sim/HostLog.h"
#include "sim/Receiver.h"

namespace {

// One byte on the wire is 10 bits at 9600 baud.
constexpr auto kByteTime = std::chrono::microseconds(1042);
constexpr size_t kPacedChunk = 8;
// How long the loop sleeps while no host holds the slave open.
constexpr int kNoHostPollMs = 10;
// Noise written before frames by the garbage fault; contains no DLE, so a sound
// parser skips it without losing the frame that follows.
constexpr uint8_t kGarbage[] = {0x00, 0xFF, 0x55, 0xAA, 0x03, 0x7E};

}  // namespace

CSimSerialServer::CSimSerialServer(CSimReceiver& receiver, CSimHostLog& hostLog, int ackTimeoutMs,
                                   int sendAttempts)
    : m_receiver(receiver), m_hostLog(hostLog), m_ackTimeoutMs(ackTimeoutMs), m_sendAttempts(sendAttempts) {}

CSimSerialServer::~CSimSerialServer() {
  Stop();
}

bool CSimSerialServer::Start(std::string& slavePath, std::string& error) {
  if (IsRunning()) {
    slavePath = m_slavePath;
    return true;
  }
  m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    Stop();
    return false;
  }
  char name[128] = {};
  if (ptsname_r(m_master, name, sizeof(name)) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    Stop();
    return false;
  }
  // Raw from the start: a host that opens the slave before configuring it must
  // not see echo or line editing. (Settings on the master apply to the slave.)
  struct termios attributes {};
  if (tcgetattr(m_master, &attributes) == 0) {
    cfmakeraw(&attributes);
    cfsetispeed(&attributes, B9600);
    cfsetospeed(&attributes, B9600);
    tcsetattr(m_master, TCSANOW, &attributes);
  }
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    Stop();
    return false;
  }
  m_wakeRead = wake[0];
  m_wakeWrite = wake[1];
  m_slavePath = name;
  slavePath = m_slavePath;
  m_stop = false;
  m_thread = std::thread([this] { _Run(); });
  return true;
}

void CSimSerialServer::Stop() {
  m_stop = true;
  if (m_wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(m_wakeWrite, &byte, 1);
  }
  if (m_thread.joinable()) m_thread.join();
  for (int* fd : {&m_master, &m_wakeRead, &m_wakeWrite}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void CSimSerialServer::_Run() {
  std::vector<uint8_t> buffer(1024);
  while (!m_stop) {
    int timeoutMs = 100;
    if (m_awaitingAck) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(m_ackDeadline - Clock::now()).count();
      timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, 100));
    }
    struct pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0 && errno != EINTR) break;
    if (m_stop) break;
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      const ssize_t count = read(m_master, buffer.data(), buffer.size());
      if (count > 0) {
        m_hostPresent = true;
        _HandleBytes(buffer.data(), static_cast<size_t>(count));
      } else if (count < 0 && errno == EIO) {
        _HostGone();
        continue;
      }
    } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
      // No process holds the slave open: the host closed its port (or has not
      // opened it yet). The master stays open so the slave can be opened again.
      _HostGone();
      continue;
    }
    if (m_awaitingAck && Clock::now() >= m_ackDeadline) {
      if (m_attempts >= m_sendAttempts) {
        // The host stopped answering: give up the rest of this transfer.
        m_outgoing.clear();
        m_awaitingAck = false;
      } else {
        _SendHead();
      }
    }
    if (!m_awaitingAck && !m_outgoing.empty()) {
      m_attempts = 0;
      _SendHead();
    }
  }
}

void CSimSerialServer::_HostGone() {
  if (m_hostPresent) {
    m_hostPresent = false;
    m_outgoing.clear();
    m_awaitingAck = false;
    m_decoder.Reset();
  }
  struct pollfd wake = {m_wakeRead, POLLIN, 0};
  poll(&wake, 1, kNoHostPollMs);
}

void CSimSerialServer::_HandleBytes(const uint8_t* bytes, size_t count) {
  std::vector<SimFrame> frames;
  m_decoder.Feed(bytes, count, frames);
  for (const SimFrame& frame : frames) _HandleFrame(frame);
}

void CSimSerialServer::_ApplyCounterReset() {
  if (m_resetCounters.exchange(false)) {
    m_hostPacketCount = 0;
    m_sentCount = 0;
  }
}

void CSimSerialServer::_HandleFrame(const SimFrame& frame) {
  _ApplyCounterReset();
  if (!frame.good) {
    m_hostLog.AddBadFrame();
    if (!m_receiver.IsSilent()) _SendLinkPacket(SIM_PID_NAK, static_cast<uint8_t>(frame.packet.id));
    return;
  }
  const bool dataPacket = frame.packet.id != SIM_PID_ACK && frame.packet.id != SIM_PID_NAK;
  const SimFaults faults = m_receiver.Faults();
  if (dataPacket && faults.badChecksumFromHost != 0 && faults.badChecksumFromHost == m_hostPacketCount + 1) {
    // Corrupted on the way: the receiver saw a bad frame, not this packet.
    ++m_hostPacketCount;
    m_hostLog.AddBadFrame();
    if (!m_receiver.IsSilent()) _SendLinkPacket(SIM_PID_NAK, static_cast<uint8_t>(frame.packet.id));
    return;
  }
  m_hostLog.AddPacket(frame.packet);
  const uint8_t headId = m_outgoing.empty() ? 0 : static_cast<uint8_t>(m_outgoing.front().id);
  if (frame.packet.id == SIM_PID_ACK) {
    if (m_awaitingAck && !frame.packet.data.empty() && frame.packet.data[0] == headId) {
      m_outgoing.pop_front();
      m_awaitingAck = false;
    }
    return;
  }
  if (frame.packet.id == SIM_PID_NAK) {
    if (m_awaitingAck) m_ackDeadline = Clock::now();  // send again at once
    return;
  }
  ++m_hostPacketCount;
  if (faults.noAckHostPacket == m_hostPacketCount) return;
  if (faults.nakHostPacket == m_hostPacketCount) {
    _SendLinkPacket(SIM_PID_NAK, static_cast<uint8_t>(frame.packet.id));
    return;
  }
  SimReply reply = m_receiver.HandleHostPacket(frame.packet);
  if (reply.acknowledge) _SendLinkPacket(SIM_PID_ACK, static_cast<uint8_t>(frame.packet.id));
  // A new request ends whatever transfer was still going, as on a real receiver.
  if (reply.abortTransfer || !reply.packets.empty()) {
    m_outgoing.clear();
    m_awaitingAck = false;
  }
  for (SimPacket& packet : reply.packets) m_outgoing.push_back(std::move(packet));
}

void CSimSerialServer::_SendHead() {
  _ApplyCounterReset();
  ++m_attempts;
  ++m_sentCount;
  const bool corrupt = m_receiver.Faults().badChecksumOnSent == m_sentCount;
  _WriteFrame(m_outgoing.front(), corrupt);
  m_awaitingAck = true;
  m_ackDeadline = Clock::now() + std::chrono::milliseconds(m_ackTimeoutMs);
}

void CSimSerialServer::_SendLinkPacket(uint8_t id, uint8_t ackedId) {
  _WriteFrame(SimPacket{id, {ackedId, 0}}, false);
}

bool CSimSerialServer::_WriteFrame(const SimPacket& packet, bool corruptChecksum) {
  if (m_receiver.IsSilent() && packet.id != SIM_PID_ACK) return false;
  std::vector<uint8_t> frame;
  if (!EncodeSimFrame(packet, frame, corruptChecksum)) return false;
  if (m_receiver.Faults().garbageBetweenFrames)
    frame.insert(frame.begin(), std::begin(kGarbage), std::end(kGarbage));
  return _WriteBytes(frame.data(), frame.size());
}

bool CSimSerialServer::_WriteBytes(const uint8_t* bytes, size_t count) {
  const bool paced = m_pacing || m_receiver.Faults().pacing9600;
  auto due = Clock::now();
  size_t done = 0;
  int stalls = 0;
  while (done < count && !m_stop) {
    const size_t chunk = paced ? std::min(kPacedChunk, count - done) : count - done;
    if (paced) {
      // A byte is available to the host only once the wire has carried it.
      due += kByteTime * chunk;
      std::this_thread::sleep_until(due);
    }
    const ssize_t written = write(m_master, bytes + done, chunk);
    if (written > 0) {
      done += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EINTR) return false;
    // The host is not reading: wait for room, but not forever.
    struct pollfd out = {m_master, POLLOUT, 0};
    if (poll(&out, 1, 100) <= 0 && ++stalls > 20) return false;
  }
  return done == count;
}
