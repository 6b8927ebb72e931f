#include "platform/InstanceChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/InstanceMessage.h"
#include "platform/Win32Errors.h"

namespace {

using Clock = std::chrono::steady_clock;

// A running agent answers at once; these bound a peer that hangs.
constexpr auto kRequestTimeout = std::chrono::milliseconds(5000);
constexpr auto kServeTimeout = std::chrono::milliseconds(2000);
constexpr auto kEndTimeout = std::chrono::milliseconds(5000);
// Requests served on one connection; a second agent needs two.
constexpr int kRequestsPerConnection = 8;

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Waits for `events` on fd until the deadline; a readable stopFd ends the wait.
uint32_t WaitFor(int fd, short events, Clock::time_point deadline, int stopFd) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    const int n = poll(fds, stopFd >= 0 ? 2 : 1, MillisLeft(deadline));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return GetLastWin32Error();
    if (n == 0) return ERROR_TIMEOUT;
    if (stopFd >= 0 && fds[1].revents != 0) return ERROR_OPERATION_ABORTED;
    return ERROR_SUCCESS;
  }
}

uint32_t SendAll(int fd, const std::string& bytes, Clock::time_point deadline, int stopFd = -1) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return errno == EPIPE || errno == ECONNRESET ? ERROR_BROKEN_PIPE : GetLastWin32Error();
    }
    if (const uint32_t error = WaitFor(fd, POLLOUT, deadline, stopFd)) return error;
  }
  return ERROR_SUCCESS;
}

// Reads until one whole record is in `buffer` and takes it out.
uint32_t ReadMessage(int fd, std::string& buffer, InstanceMessage& message, Clock::time_point deadline,
                     int stopFd = -1) {
  for (;;) {
    size_t consumed = 0;
    switch (DecodeInstanceMessage(buffer, message, consumed)) {
      case InstanceDecode::Complete:
        buffer.erase(0, consumed);
        return ERROR_SUCCESS;
      case InstanceDecode::Bad:
        return ERROR_INVALID_DATA;
      case InstanceDecode::Incomplete:
        break;
    }
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      buffer.append(chunk, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return ERROR_BROKEN_PIPE;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return GetLastWin32Error();
    if (const uint32_t error = WaitFor(fd, POLLIN, deadline, stopFd)) return error;
  }
}

// The user id and process id of the other end of a connected socket.
bool PeerCredentials(int fd, uid_t& uid, pid_t& pid) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
  uid = credentials.uid;
  pid = credentials.pid;
  return true;
}

// Through syscall(): glibc 2.36 declares its wrappers without C linkage for C++.
int PidfdOpen(pid_t pid) {
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

int PidfdSendSignal(int pidfd, int signalNumber) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signalNumber, nullptr, 0));
}

// 0 when an agent accepts connections on the path, else the reason it does not.
int ProbeListener(const std::string& path) {
  sockaddr_un address;
  if (!MakeAddress(path, address)) return ENAMETOOLONG;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return errno;
  const int rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  // A full backlog (EAGAIN) still means somebody listens.
  const int result = rc == 0 || errno == EAGAIN ? 0 : errno;
  close(fd);
  return result;
}

}  // namespace

CInstanceChannel::CInstanceChannel(std::string socketPath)
    : m_path(socketPath.empty() ? GetDefaultPath() : std::move(socketPath)) {}

CInstanceChannel::~CInstanceChannel() {
  StopListening();
  Disconnect();
}

std::string CInstanceChannel::GetDefaultPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/tavelnor-agent.socket";
  return "/tmp/tavelnor-agent-" + std::to_string(geteuid()) + "/agent.socket";
}

bool CInstanceChannel::_Fail(uint32_t error) {
  m_lastError = error;
  return false;
}

bool CInstanceChannel::Connect() {
  Disconnect();
  sockaddr_un address;
  if (!MakeAddress(m_path, address)) return _Fail(ERROR_FILENAME_EXCED_RANGE);
  m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_fd < 0) return _Fail(GetLastWin32Error());
  if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const uint32_t error = errno == ECONNREFUSED ? ERROR_CONNECTION_REFUSED : GetLastWin32Error();
    Disconnect();
    return _Fail(error);
  }
  uid_t uid = 0;
  if (!PeerCredentials(m_fd, uid, m_peerPid) || uid != geteuid()) {
    Disconnect();
    return _Fail(ERROR_ACCESS_DENIED);
  }
  // Held from here on, so that ending the peer can never hit a process that
  // reused its id; the peer is alive for as long as it answers.
  m_peerPidFd = PidfdOpen(m_peerPid);
  m_lastError = ERROR_SUCCESS;
  return true;
}

void CInstanceChannel::Disconnect() {
  if (m_fd >= 0) close(m_fd);
  if (m_peerPidFd >= 0) close(m_peerPidFd);
  m_fd = -1;
  m_peerPidFd = -1;
  m_peerPid = 0;
}

bool CInstanceChannel::_Request(uint8_t kind, const std::string& payload, std::string& reply) {
  if (m_fd < 0) return _Fail(ERROR_INVALID_HANDLE);
  const auto deadline = Clock::now() + kRequestTimeout;
  if (const uint32_t error = SendAll(m_fd, EncodeInstanceMessage(kind, payload), deadline)) {
    return _Fail(error);
  }
  std::string buffer;
  InstanceMessage message;
  if (const uint32_t error = ReadMessage(m_fd, buffer, message, deadline)) return _Fail(error);
  if (message.kind != (kind | INSTANCE_REPLY)) return _Fail(ERROR_INVALID_DATA);
  reply = std::move(message.payload);
  m_lastError = ERROR_SUCCESS;
  return true;
}

bool CInstanceChannel::QueryVersion(uint32_t& version) {
  std::string reply;
  if (!_Request(INSTANCE_VERSION_QUERY, {}, reply)) return false;
  return DecodeInstanceVersion(reply, version) || _Fail(ERROR_INVALID_DATA);
}

bool CInstanceChannel::SendCommandLine(const std::string& commandLine) {
  if (commandLine.size() > kInstanceMaxPayload) return _Fail(ERROR_FILENAME_EXCED_RANGE);
  std::string reply;
  return _Request(INSTANCE_COMMAND_LINE, commandLine, reply);
}

bool CInstanceChannel::SendShowStartPage() {
  std::string reply;
  return _Request(INSTANCE_SHOW_START_PAGE, {}, reply);
}

bool CInstanceChannel::EndPeer() {
  if (m_fd < 0 || m_peerPid <= 0) return _Fail(ERROR_INVALID_HANDLE);
  const int rc = m_peerPidFd >= 0 ? PidfdSendSignal(m_peerPidFd, SIGKILL) : kill(m_peerPid, SIGKILL);
  if (rc != 0 && errno != ESRCH) return _Fail(GetLastWin32Error());
  Disconnect();
  // Gone means nobody accepts on the socket any more, which is what taking it
  // over needs; an unreaped process would still look alive to kill(pid, 0).
  const auto deadline = Clock::now() + kEndTimeout;
  while (ProbeListener(m_path) == 0) {
    if (Clock::now() >= deadline) return _Fail(ERROR_TIMEOUT);
    usleep(20 * 1000);
  }
  m_lastError = ERROR_SUCCESS;
  return true;
}

bool CInstanceChannel::_CheckFolder() {
  const size_t slash = m_path.rfind('/');
  const std::string folder = slash == std::string::npos || slash == 0 ? "/" : m_path.substr(0, slash);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return _Fail(GetLastWin32Error());
  // Nobody else may be able to put a socket of their own in our place.
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return _Fail(GetLastWin32Error());
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 022) != 0) {
    return _Fail(ERROR_ACCESS_DENIED);
  }
  return true;
}

bool CInstanceChannel::_Bind() {
  sockaddr_un address;
  if (!MakeAddress(m_path, address)) return _Fail(ERROR_FILENAME_EXCED_RANGE);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return _Fail(GetLastWin32Error());
  int rc = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (rc != 0 && errno == EADDRINUSE) {
    const int probe = ProbeListener(m_path);
    if (probe == 0) {
      close(fd);
      return _Fail(ERROR_ALREADY_EXISTS);
    }
    // Left by an agent that did not end normally.
    if (probe == ECONNREFUSED) unlink(m_path.c_str());
    rc = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  struct stat info {};
  if (rc != 0 || chmod(m_path.c_str(), 0600) != 0 || listen(fd, 8) != 0 || stat(m_path.c_str(), &info) != 0) {
    const uint32_t error = GetLastWin32Error();
    close(fd);
    return _Fail(error);
  }
  m_listenFd = fd;
  m_socketDevice = info.st_dev;
  m_socketInode = info.st_ino;
  return true;
}

bool CInstanceChannel::Listen(uint32_t version, CMessageWindow& window, Handler handler) {
  if (IsListening()) return true;
  if (!_CheckFolder()) return false;
  // Two agents starting together must not both find the socket stale and
  // remove each other's.
  const std::string lockPath = m_path + ".lock";
  const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd < 0) return _Fail(GetLastWin32Error());
  while (flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
  const bool bound = _Bind();
  close(lockFd);
  if (!bound) return false;

  m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m_stopFd < 0) {
    const uint32_t error = GetLastWin32Error();
    StopListening();
    return _Fail(error);
  }
  m_version = version;
  m_window = &window;
  m_handler = std::move(handler);
  m_server = std::thread([this] { _Serve(); });
  m_lastError = ERROR_SUCCESS;
  return true;
}

void CInstanceChannel::StopListening() {
  if (m_server.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_stopFd, &one, sizeof one);
    m_server.join();
  }
  if (m_listenFd >= 0) {
    close(m_listenFd);
    m_listenFd = -1;
    struct stat info {};
    if (stat(m_path.c_str(), &info) == 0 && info.st_dev == m_socketDevice && info.st_ino == m_socketInode) {
      unlink(m_path.c_str());
    }
  }
  if (m_stopFd >= 0) close(m_stopFd);
  m_stopFd = -1;
}

void CInstanceChannel::_Serve() {
  for (;;) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    uid_t uid = 0;
    pid_t pid = 0;
    if (PeerCredentials(fd, uid, pid) && uid == geteuid()) _ServeConnection(fd);
    close(fd);
  }
}

void CInstanceChannel::_ServeConnection(int fd) {
  std::string buffer;
  for (int served = 0; served < kRequestsPerConnection; ++served) {
    InstanceMessage message;
    if (ReadMessage(fd, buffer, message, Clock::now() + kServeTimeout, m_stopFd) != ERROR_SUCCESS) return;
    std::string reply;
    switch (message.kind) {
      case INSTANCE_VERSION_QUERY:
        reply = EncodeInstanceVersion(m_version);
        break;
      case INSTANCE_COMMAND_LINE:
      case INSTANCE_SHOW_START_PAGE: {
        InstanceRequest request;
        request.kind = message.kind == INSTANCE_COMMAND_LINE ? InstanceRequest::CommandLine
                                                             : InstanceRequest::ShowStartPage;
        request.commandLine = std::move(message.payload);
        // No reply when the window is gone: the second agent must not
        // believe it was heard.
        if (!m_window->PostTask([handler = m_handler, request] {
              if (handler) handler(request);
            })) {
          return;
        }
        break;
      }
      default:  // a reply where a request belongs
        return;
    }
    const uint8_t kind = message.kind | INSTANCE_REPLY;
    if (SendAll(fd, EncodeInstanceMessage(kind, reply), Clock::now() + kServeTimeout, m_stopFd)) return;
  }
}
