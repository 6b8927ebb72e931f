#include "PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace linktest {

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;

void PutStuffed(std::vector<uint8_t>& out, uint8_t byte) {
  out.push_back(byte);
  if (byte == kDle) out.push_back(kDle);
}

}  // namespace

std::vector<uint8_t> Frame(uint8_t id, const std::vector<uint8_t>& data, bool corrupt) {
  std::vector<uint8_t> out{kDle};
  unsigned sum = id + static_cast<unsigned>(data.size());
  PutStuffed(out, id);
  PutStuffed(out, static_cast<uint8_t>(data.size()));
  for (uint8_t byte : data) {
    PutStuffed(out, byte);
    sum += byte;
  }
  PutStuffed(out, static_cast<uint8_t>((256 - sum % 256) % 256 + (corrupt ? 1 : 0)));
  out.push_back(kDle);
  out.push_back(kEtx);
  return out;
}

std::vector<uint8_t> AckFrame(uint8_t id) {
  return Frame(6, {id, 0});
}
std::vector<uint8_t> NakFrame(uint8_t id) {
  return Frame(21, {id, 0});
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

CPtyPeer::CPtyPeer() {
  m_master = posix_openpt(O_RDWR | O_NOCTTY);
  if (m_master < 0) return;
  if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
    close(m_master);
    m_master = -1;
    return;
  }
  m_slavePath = ptsname(m_master);
  m_thread = std::thread([this] { _Run(); });
}

CPtyPeer::~CPtyPeer() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_master >= 0) close(m_master);
}

void CPtyPeer::Hangup() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_master >= 0) close(m_master);
  m_master = -1;
}

void CPtyPeer::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void CPtyPeer::Respond(Responder responder) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_responder = std::move(responder);
}

std::vector<PeerFrame> CPtyPeer::HostFrames() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_frames;
}

bool CPtyPeer::WaitForHostFrames(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_frames.size() >= count; });
}

unsigned CPtyPeer::HostBitRate() const {
  // The master reports the settings of the slave, which the host changes.
  termios line{};
  if (tcgetattr(m_master, &line) != 0) return 0;
  switch (cfgetospeed(&line)) {
    case B9600:
      return 9600;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    default:
      return 0;
  }
}

void CPtyPeer::_Run() {
  uint8_t buffer[256];
  while (!m_stop) {
    pollfd p{m_master, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = read(m_master, buffer, sizeof buffer);
    if (n <= 0) {
      // No host has the slave open right now.
      usleep(2000);
      continue;
    }
    for (ssize_t i = 0; i < n; ++i) _Feed(buffer[i]);
  }
}

void CPtyPeer::_Feed(uint8_t byte) {
  switch (m_state) {
    case EState::Idle:
      if (byte == kDle) m_state = EState::Start;
      return;
    case EState::Start:
      m_body.clear();
      if (byte == kDle) {
        m_state = EState::StartDle;
      } else {
        m_body.push_back(byte);
        m_state = EState::Body;
      }
      return;
    case EState::StartDle:
      m_body.push_back(kDle);
      m_state = byte == kDle ? EState::Body : EState::Idle;
      return;
    case EState::Body:
      if (byte == kDle) {
        m_state = EState::BodyDle;
      } else {
        m_body.push_back(byte);
      }
      return;
    case EState::BodyDle:
      if (byte == kDle) {
        m_body.push_back(kDle);
        m_state = EState::Body;
        return;
      }
      if (byte != kEtx) {
        // A new frame starts inside this one: resynchronise on it.
        m_body.assign(1, byte);
        m_state = EState::Body;
        return;
      }
      break;
  }
  // A frame ended.
  m_state = EState::Idle;
  PeerFrame frame;
  if (m_body.size() >= 3) {
    frame.id = m_body[0];
    const size_t size = m_body[1];
    unsigned sum = 0;
    for (uint8_t b : m_body) sum += b;
    frame.good = m_body.size() == size + 3 && sum % 256 == 0;
    frame.data.assign(m_body.begin() + 2, m_body.end() - 1);
  }
  std::vector<uint8_t> reply;
  size_t index = 0;
  Responder responder;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.push_back(frame);
    index = m_frames.size() - 1;
    responder = m_responder;
  }
  m_changed.notify_all();
  if (responder) reply = responder(frame, index);
  if (!reply.empty()) Write(reply);
}

}  // namespace linktest
