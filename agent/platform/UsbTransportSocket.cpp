#include "platform/UsbTransportSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/Win32Errors.h"

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

CUsbTransportSocket::~CUsbTransportSocket() {
  Close();
}

uint32_t CUsbTransportSocket::Open(const std::string& path) {
  Close();
  const std::string socketPath = path.rfind("usbsim:", 0) == 0 ? path.substr(7) : path;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return ERROR_INVALID_NAME;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_fd < 0) return GetLastWin32Error();
  if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const uint32_t error = errno == ECONNREFUSED ? ERROR_DEVICE_NOT_CONNECTED : GetLastWin32Error();
    Close();
    return error;
  }
  fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
  return ERROR_SUCCESS;
}

void CUsbTransportSocket::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_incoming.clear();
  m_interrupt.clear();
  m_bulk.clear();
}

uint32_t CUsbTransportSocket::Write(const uint8_t* data, size_t length, unsigned timeoutMs) {
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  std::vector<uint8_t> message(kUsbSimHeaderSize + length);
  message[0] = kUsbSimPipeWrite;
  for (int i = 0; i < 4; ++i) message[1 + i] = static_cast<uint8_t>(length >> (8 * i));
  if (length > 0) std::memcpy(message.data() + kUsbSimHeaderSize, data, length);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < message.size()) {
    const ssize_t n = send(m_fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return errno == EPIPE || errno == ECONNRESET ? ERROR_DEVICE_NOT_CONNECTED : GetLastWin32Error();
    }
    pollfd pfd{m_fd, POLLOUT, 0};
    const int left = MillisLeft(deadline);
    if (left == 0 || poll(&pfd, 1, left) == 0) return ERROR_TIMEOUT;
  }
  return ERROR_SUCCESS;
}

uint32_t CUsbTransportSocket::_Pump(int waitMs) {
  pollfd pfd{m_fd, POLLIN, 0};
  int ready = poll(&pfd, 1, waitMs);
  if (ready < 0 && errno == EINTR) return ERROR_SUCCESS;
  if (ready <= 0) return ERROR_SUCCESS;
  uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      m_incoming.insert(m_incoming.end(), chunk, chunk + n);
      continue;
    }
    if (n == 0) return ERROR_DEVICE_NOT_CONNECTED;  // the receiver went away
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
    return GetLastWin32Error();
  }
  size_t offset = 0;
  while (m_incoming.size() - offset >= kUsbSimHeaderSize) {
    const uint8_t pipe = m_incoming[offset];
    const uint32_t length = ReadLe32(&m_incoming[offset + 1]);
    if ((pipe != kUsbSimPipeInterrupt && pipe != kUsbSimPipeBulk) || length > kUsbSimMaxMessage) {
      return ERROR_INVALID_DATA;
    }
    if (m_incoming.size() - offset - kUsbSimHeaderSize < length) break;
    const auto begin = m_incoming.begin() + static_cast<long>(offset + kUsbSimHeaderSize);
    _Queue(pipe).emplace_back(begin, begin + length);
    offset += kUsbSimHeaderSize + length;
  }
  m_incoming.erase(m_incoming.begin(), m_incoming.begin() + static_cast<long>(offset));
  return ERROR_SUCCESS;
}

uint32_t CUsbTransportSocket::_Read(uint8_t pipe, uint8_t* buffer, size_t size, size_t& got,
                                    unsigned timeoutMs) {
  got = 0;
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::deque<Message>& queue = _Queue(pipe);
  while (queue.empty()) {
    const int left = MillisLeft(deadline);
    const uint32_t error = _Pump(left);
    if (error != ERROR_SUCCESS) return error;
    if (queue.empty() && left == 0) return ERROR_TIMEOUT;
  }
  Message& head = queue.front();
  // A transfer larger than the caller's buffer is handed out in parts, as a
  // USB pipe would deliver it across several reads.
  got = std::min(size, head.size());
  if (got > 0) std::memcpy(buffer, head.data(), got);
  if (got == head.size()) {
    queue.pop_front();
  } else {
    head.erase(head.begin(), head.begin() + static_cast<long>(got));
  }
  return ERROR_SUCCESS;
}

uint32_t CUsbTransportSocket::ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) {
  return _Read(kUsbSimPipeInterrupt, buffer, size, got, timeoutMs);
}

uint32_t CUsbTransportSocket::ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) {
  return _Read(kUsbSimPipeBulk, buffer, size, got, timeoutMs);
}
