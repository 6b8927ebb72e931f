#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/Win32Errors.h"

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Another holder's exclusive flag, which root's own open ignores.
bool IsHeldExclusively(int fd) {
  int exclusive = 0;
  return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

uint32_t LockError(int err) {
  return err == EWOULDBLOCK ? ERROR_ACCESS_DENIED : Win32FromErrno(err);
}

// The line speeds a receiver link may use, with their termios codes.
struct LineSpeed {
  unsigned bitsPerSecond;
  speed_t code;
};
constexpr LineSpeed kLineSpeeds[] = {{4800, B4800},   {9600, B9600},     {19200, B19200},  {38400, B38400},
                                     {57600, B57600}, {115200, B115200}, {230400, B230400}};

const LineSpeed* FindLineSpeed(unsigned bitsPerSecond) {
  for (const LineSpeed& speed : kLineSpeeds) {
    if (speed.bitsPerSecond == bitsPerSecond) return &speed;
  }
  return nullptr;
}

}  // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
  Close();
}

SerialStatus CSerialPort::_Fail(SerialStatus status, uint32_t win32Error) {
  m_lastError = win32Error != 0 ? win32Error : ERROR_INVALID_HANDLE;
  return status;
}

SerialStatus CSerialPort::Open(const std::string& path) {
  Close();
  m_lastError = 0;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return _Fail(SerialStatus::OpenFailed, GetLastWin32Error());
  // A port that another program holds is refused like a shared-mode open on
  // a COM port: access denied.
  if (IsHeldExclusively(fd)) {
    ::close(fd);
    return _Fail(SerialStatus::OpenFailed, ERROR_ACCESS_DENIED);
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const uint32_t err = LockError(errno);
    ::close(fd);
    return _Fail(SerialStatus::OpenFailed, err);
  }

  auto saved = std::make_unique<termios>();
  if (tcgetattr(fd, saved.get()) != 0) {
    const uint32_t err = GetLastWin32Error();
    flock(fd, LOCK_UN);
    ::close(fd);
    return _Fail(SerialStatus::InitFailed, err);
  }
  // Raw bytes both ways: the link frames binary data, so no character of it
  // may be translated, echoed or taken for flow control.
  termios raw = *saved;
  cfmakeraw(&raw);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  raw.c_cflag |= CS8 | CLOCAL | CREAD;
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  cfsetispeed(&raw, B9600);
  cfsetospeed(&raw, B9600);
  if (tcsetattr(fd, TCSANOW, &raw) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    const uint32_t err = GetLastWin32Error();
    tcsetattr(fd, TCSANOW, saved.get());
    flock(fd, LOCK_UN);
    ::close(fd);
    return _Fail(SerialStatus::InitFailed, err);
  }
  // Many receivers take their power for the level shifter from DTR and RTS.
  // A pseudo-terminal has no modem lines, so a refusal here is not an error.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  // What a receiver sent to an earlier session that stopped reading (a
  // cancelled transfer) must not pass for the answers of this one.
  tcflush(fd, TCIFLUSH);

  m_fd = fd;
  m_locked = true;
  m_saved = std::move(saved);
  return SerialStatus::Ok;
}

bool CSerialPort::Close() {
  if (m_fd < 0) return true;
  if (m_saved) tcsetattr(m_fd, TCSANOW, m_saved.get());
  // The exclusive flag belongs to the terminal, not to this descriptor: a
  // program that keeps the other end open would otherwise find it still set.
  ioctl(m_fd, TIOCNXCL);
  if (m_locked) flock(m_fd, LOCK_UN);
  const bool closed = ::close(m_fd) == 0;
  if (!closed) m_lastError = GetLastWin32Error();
  m_fd = -1;
  m_locked = false;
  m_saved.reset();
  return closed;
}

SerialStatus CSerialPort::Write(const uint8_t* data, size_t length, unsigned timeoutMs, size_t& written) {
  written = 0;
  if (m_fd < 0) return _Fail(SerialStatus::NotOpen, ERROR_INVALID_HANDLE);
  while (written < length) {
    pollfd p{m_fd, POLLOUT, 0};
    const int ready = poll(&p, 1, static_cast<int>(timeoutMs));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return _Fail(SerialStatus::IoFailed, GetLastWin32Error());
    }
    if (ready == 0) return _Fail(SerialStatus::Timeout, ERROR_TIMEOUT);
    const ssize_t n = ::write(m_fd, data + written, length - written);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return _Fail(SerialStatus::IoFailed, GetLastWin32Error());
    }
    if (n == 0) return _Fail(SerialStatus::Timeout, ERROR_TIMEOUT);
    written += static_cast<size_t>(n);
  }
  m_lastError = 0;
  return SerialStatus::Ok;
}

SerialStatus CSerialPort::Read(uint8_t* buffer, size_t size, unsigned timeoutMs, size_t& got) {
  got = 0;
  if (m_fd < 0) return _Fail(SerialStatus::NotOpen, ERROR_INVALID_HANDLE);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{m_fd, POLLIN, 0};
    const int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return _Fail(SerialStatus::IoFailed, GetLastWin32Error());
    }
    if (ready == 0) return _Fail(SerialStatus::Timeout, ERROR_TIMEOUT);
    const ssize_t n = ::read(m_fd, buffer, size);
    if (n > 0) {
      got = static_cast<size_t>(n);
      m_lastError = 0;
      return SerialStatus::Ok;
    }
    if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return _Fail(SerialStatus::IoFailed, GetLastWin32Error());
    }
    // A hang-up with nothing left to read would wake poll at once forever.
    if (n == 0 && (p.revents & POLLHUP) != 0) return _Fail(SerialStatus::IoFailed, ERROR_BROKEN_PIPE);
    if (RemainingMs(deadline) == 0) return _Fail(SerialStatus::Timeout, ERROR_TIMEOUT);
  }
}

SerialStatus CSerialPort::SetBitRate(unsigned bitsPerSecond) {
  if (m_fd < 0) return _Fail(SerialStatus::NotOpen, ERROR_INVALID_HANDLE);
  const LineSpeed* speed = FindLineSpeed(bitsPerSecond);
  if (speed == nullptr) return _Fail(SerialStatus::InitFailed, ERROR_INVALID_PARAMETER);
  termios line{};
  if (tcgetattr(m_fd, &line) != 0) return _Fail(SerialStatus::InitFailed, GetLastWin32Error());
  cfsetispeed(&line, speed->code);
  cfsetospeed(&line, speed->code);
  if (tcsetattr(m_fd, TCSAFLUSH, &line) != 0) return _Fail(SerialStatus::InitFailed, GetLastWin32Error());
  // Some drivers take the call and keep their old speed.
  if (GetBitRate() != bitsPerSecond) return _Fail(SerialStatus::InitFailed, ERROR_NOT_SUPPORTED);
  m_lastError = 0;
  return SerialStatus::Ok;
}

unsigned CSerialPort::GetBitRate() const {
  termios line{};
  if (m_fd < 0 || tcgetattr(m_fd, &line) != 0) return 0;
  const speed_t code = cfgetospeed(&line);
  for (const LineSpeed& speed : kLineSpeeds) {
    if (speed.code == code) return speed.bitsPerSecond;
  }
  return 0;
}

bool CSerialPort::IsSupportedBitRate(unsigned bitsPerSecond) {
  return FindLineSpeed(bitsPerSecond) != nullptr;
}

bool CSerialPort::IsAvailable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool free = !IsHeldExclusively(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (free) flock(fd, LOCK_UN);
  ::close(fd);
  return free;
}
