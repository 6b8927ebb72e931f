#include "PtyHost.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

bool CPtyHost::Open(const std::string& path) {
  Close();
  m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) return false;
  struct termios attributes {};
  if (tcgetattr(m_fd, &attributes) != 0) return false;
  cfmakeraw(&attributes);
  cfsetispeed(&attributes, B9600);
  cfsetospeed(&attributes, B9600);
  return tcsetattr(m_fd, TCSANOW, &attributes) == 0;
}

void CPtyHost::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_decoder.Reset();
  m_pending.clear();
}

bool CPtyHost::SendRaw(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(m_fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

bool CPtyHost::Send(const SimPacket& packet) {
  std::vector<uint8_t> frame;
  return EncodeSimFrame(packet, frame) && SendRaw(frame);
}

std::optional<SimFrame> CPtyHost::ReadFrame(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (m_pending.empty()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    struct pollfd fd = {m_fd, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    uint8_t buffer[512];
    const ssize_t count = read(m_fd, buffer, sizeof(buffer));
    if (count > 0) m_decoder.Feed(buffer, static_cast<size_t>(count), m_pending);
  }
  SimFrame frame = m_pending.front();
  m_pending.erase(m_pending.begin());
  return frame;
}

bool CPtyHost::Expect(uint16_t id, std::chrono::milliseconds timeout, SimPacket* packet) {
  const std::optional<SimFrame> frame = ReadFrame(timeout);
  if (!frame || !frame->good || frame->packet.id != id) return false;
  if (packet) *packet = frame->packet;
  return true;
}

std::optional<SimPacket> CPtyHost::ReadAndAck(std::chrono::milliseconds timeout) {
  const std::optional<SimFrame> frame = ReadFrame(timeout);
  if (!frame || !frame->good) return std::nullopt;
  SendAck(static_cast<uint8_t>(frame->packet.id));
  return frame->packet;
}
