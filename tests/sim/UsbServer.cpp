#include "sim/UsbServer.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "sim/ByteWriter.h"
#include "sim/HostLog.h"
#include "sim/Receiver.h"

namespace {

constexpr uint8_t kPipeWrite = 'W';
constexpr uint8_t kPipeInterrupt = 'I';
constexpr uint8_t kPipeBulk = 'B';
constexpr size_t kMessageHeader = 5;
// Longer than any packet a host sends; a longer message is a broken host.
constexpr uint32_t kMaxHostMessage = 1u << 16;

uint32_t GetLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

std::vector<uint8_t> EncodeSimUsbPacket(uint8_t type, uint16_t id, const std::vector<uint8_t>& data) {
  CSimByteWriter writer;
  writer.PutU8(type);
  for (int i = 0; i < 3; ++i) writer.PutU8(0);
  writer.PutU16(id);
  writer.PutU16(0);
  writer.PutU32(static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> packet = writer.Take();
  packet.insert(packet.end(), data.begin(), data.end());
  return packet;
}

CSimUsbServer::CSimUsbServer(CSimReceiver& receiver, CSimHostLog& hostLog, uint32_t unitId)
    : m_receiver(receiver), m_hostLog(hostLog), m_unitId(unitId) {}

CSimUsbServer::~CSimUsbServer() {
  Stop();
}

bool CSimUsbServer::Start(const std::string& socketPath, std::string& error) {
  if (IsRunning()) {
    if (socketPath == m_socketPath) return true;
    error = "the USB link already listens at " + m_socketPath;
    return false;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
    error = "unusable socket path: '" + socketPath + "'";
    return false;
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  // A socket left by an earlier run is replaced; anything else is not ours.
  struct stat info {};
  if (lstat(socketPath.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) {
      error = socketPath + " exists and is not a socket";
      return false;
    }
    unlink(socketPath.c_str());
  }
  m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_listen < 0 || bind(m_listen, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(m_listen, 4) != 0) {
    error = "cannot listen at " + socketPath + ": " + std::strerror(errno);
    CloseFd(m_listen);
    return false;
  }
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    CloseFd(m_listen);
    unlink(socketPath.c_str());
    return false;
  }
  m_wakeRead = wake[0];
  m_wakeWrite = wake[1];
  m_socketPath = socketPath;
  m_stop = false;
  m_thread = std::thread([this] { _Run(); });
  return true;
}

void CSimUsbServer::Stop() {
  m_stop = true;
  if (m_wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(m_wakeWrite, &byte, 1);
  }
  if (m_thread.joinable()) m_thread.join();
  CloseFd(m_host);
  if (m_listen >= 0) {
    CloseFd(m_listen);
    unlink(m_socketPath.c_str());
  }
  CloseFd(m_wakeRead);
  CloseFd(m_wakeWrite);
}

void CSimUsbServer::SetFaults(const SimUsbFaults& faults) {
  std::lock_guard lock(m_faultsMutex);
  m_faults = faults;
  m_resetCounters = true;
}

SimUsbFaults CSimUsbServer::Faults() const {
  std::lock_guard lock(m_faultsMutex);
  return m_faults;
}

void CSimUsbServer::_Run() {
  while (!m_stop) {
    pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {-1, 0, 0}};
    if (m_host >= 0) {
      fds[1] = {m_host, static_cast<short>(POLLIN | (m_outgoing.size() > m_outgoingSent ? POLLOUT : 0)), 0};
    } else {
      fds[1] = {m_listen, POLLIN, 0};
    }
    const int ready = poll(fds, 2, 100);
    if (ready < 0 && errno != EINTR) break;
    if (m_stop) break;
    if (ready <= 0) continue;
    if (m_host < 0) {
      if (fds[1].revents & POLLIN) _Accept();
      continue;
    }
    bool alive = true;
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) alive = _ReadHost();
    if (alive && (fds[1].revents & POLLOUT)) alive = _FlushOutgoing();
    if (!alive) _HostGone();
  }
}

void CSimUsbServer::_Accept() {
  const int host = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (host < 0) return;
  m_host = host;
  ++m_connections;
  m_incoming.clear();
  m_outgoing.clear();
  m_outgoingSent = 0;
  m_bulkMode = false;
}

void CSimUsbServer::_HostGone() {
  // What was not delivered is lost with the host, as on an unplugged cable.
  CloseFd(m_host);
  m_incoming.clear();
  m_outgoing.clear();
  m_outgoingSent = 0;
  m_bulkMode = false;
}

bool CSimUsbServer::_ReadHost() {
  uint8_t chunk[4096];
  // A host that wrote and closed at once still had its last packets handled.
  bool connected = true;
  for (;;) {
    const ssize_t count = recv(m_host, chunk, sizeof chunk, 0);
    if (count > 0) {
      m_incoming.insert(m_incoming.end(), chunk, chunk + count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    connected = count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    break;
  }
  size_t offset = 0;
  m_dropHost = false;
  while (!m_dropHost && m_incoming.size() - offset >= kMessageHeader) {
    const uint8_t pipe = m_incoming[offset];
    const uint32_t length = GetLe32(&m_incoming[offset + 1]);
    if (pipe != kPipeWrite || length > kMaxHostMessage) {
      // The stream cannot be followed past a broken message.
      m_hostLog.AddBadFrame();
      return false;
    }
    if (m_incoming.size() - offset - kMessageHeader < length) break;
    const auto begin = m_incoming.begin() + static_cast<long>(offset + kMessageHeader);
    const std::vector<uint8_t> payload(begin, begin + length);
    offset += kMessageHeader + length;
    _HandleMessage(payload);
  }
  m_incoming.erase(m_incoming.begin(), m_incoming.begin() + static_cast<long>(offset));
  // A receiver that left the bus takes the connection with it.
  if (m_dropHost) return false;
  return connected && _FlushOutgoing();
}

bool CSimUsbServer::_FlushOutgoing() {
  while (m_outgoingSent < m_outgoing.size()) {
    const ssize_t sent =
        send(m_host, m_outgoing.data() + m_outgoingSent, m_outgoing.size() - m_outgoingSent, MSG_NOSIGNAL);
    if (sent > 0) {
      m_outgoingSent += static_cast<size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;  // the poll waits for room
    return false;
  }
  m_outgoing.clear();
  m_outgoingSent = 0;
  return true;
}

void CSimUsbServer::_HandleMessage(const std::vector<uint8_t>& payload) {
  // One write is one packet: a header and exactly the data it announces.
  if (payload.size() < SIM_USB_HEADER_SIZE || GetLe32(&payload[8]) != payload.size() - SIM_USB_HEADER_SIZE) {
    m_hostLog.AddBadFrame();
    return;
  }
  const uint8_t type = payload[0];
  const uint16_t id = static_cast<uint16_t>(payload[4] | (payload[5] << 8));
  if (type == SIM_USB_TYPE_PROTOCOL) {
    _HandleProtocolPacket(id);
    return;
  }
  if (type != SIM_USB_TYPE_APPLICATION) {
    m_hostLog.AddBadFrame();
    return;
  }
  SimPacket packet{id, std::vector<uint8_t>(payload.begin() + SIM_USB_HEADER_SIZE, payload.end())};
  m_hostLog.AddPacket(packet);
  SimReply reply = m_receiver.HandleHostPacket(packet, SimLink::Usb);
  if (reply.disconnect) m_dropHost = true;
  if (!reply.packets.empty()) _SendReply(std::move(reply.packets));
}

void CSimUsbServer::_HandleProtocolPacket(uint16_t id) {
  if (id != SIM_USB_PID_START_SESSION) return;
  ++m_sessionStarts;
  m_bulkMode = false;
  if (m_receiver.IsSilent()) return;
  const SimUsbFaults faults = Faults();
  std::vector<uint8_t> data;
  for (size_t i = 0; i < faults.sessionStartedSize; ++i) {
    data.push_back(i < 4 ? static_cast<uint8_t>(m_unitId >> (8 * i)) : 0);
  }
  const uint8_t type = faults.appPacketForSession ? SIM_USB_TYPE_APPLICATION : SIM_USB_TYPE_PROTOCOL;
  _QueuePacket(kPipeInterrupt, EncodeSimUsbPacket(type, SIM_USB_PID_SESSION_STARTED, data));
}

void CSimUsbServer::_SendReply(std::vector<SimPacket> packets) {
  if (m_resetCounters.exchange(false)) m_sentCount = 0;
  const SimUsbFaults faults = Faults();
  const bool transfer = m_bulkTransfers && packets.front().id == SIM_PID_RECORDS;
  if (transfer) m_bulkMode = true;
  const uint8_t pipe = m_bulkMode ? kPipeBulk : kPipeInterrupt;
  if (pipe == kPipeBulk) {
    const std::vector<uint8_t> announcement =
        EncodeSimUsbPacket(SIM_USB_TYPE_PROTOCOL, SIM_USB_PID_DATA_AVAILABLE, {});
    _QueuePacket(faults.announceOnBulk ? kPipeBulk : kPipeInterrupt, announcement);
  }
  for (const SimPacket& packet : packets) {
    std::vector<uint8_t> bytes = EncodeSimUsbPacket(SIM_USB_TYPE_APPLICATION, packet.id, packet.data);
    if (++m_sentCount == faults.truncateSent) {
      bytes.pop_back();
      _QueuePacket(pipe, bytes);
      break;
    }
    _QueuePacket(pipe, bytes);
  }
  // The zero-length packet that tells the host the burst is over.
  if (pipe == kPipeBulk) _Queue(kPipeBulk, nullptr, 0);
}

void CSimUsbServer::_QueuePacket(uint8_t pipe, const std::vector<uint8_t>& packet) {
  if (pipe == kPipeBulk) {
    _Queue(pipe, packet.data(), packet.size());
    return;
  }
  for (size_t done = 0; done < packet.size(); done += SIM_USB_INTERRUPT_TRANSFER) {
    _Queue(pipe, packet.data() + done, std::min(SIM_USB_INTERRUPT_TRANSFER, packet.size() - done));
  }
}

void CSimUsbServer::_Queue(uint8_t pipe, const uint8_t* bytes, size_t count) {
  m_outgoing.push_back(pipe);
  for (int i = 0; i < 4; ++i) m_outgoing.push_back(static_cast<uint8_t>(count >> (8 * i)));
  if (count > 0) m_outgoing.insert(m_outgoing.end(), bytes, bytes + count);
}
