#include "service/ConnectionDropper.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

}  // namespace

int CConnectionDropper::_Find(int localPort, int remotePort) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const int fd = std::atoi(entry.path().filename().c_str());
    sockaddr_storage local{};
    sockaddr_storage peer{};
    socklen_t localSize = sizeof local;
    socklen_t peerSize = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0) continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) continue;
    if (PortOf(local) == localPort && PortOf(peer) == remotePort) return fd;
  }
  return -1;
}

bool CConnectionDropper::Close(int localPort, int remotePort) {
  const int fd = _Find(localPort, remotePort);
  return fd >= 0 && shutdown(fd, SHUT_RDWR) == 0;
}

bool CConnectionDropper::Reset(int localPort, int remotePort) {
  const int fd = _Find(localPort, remotePort);
  if (fd < 0) return false;
  // Disconnecting an established TCP socket with an unspecified address
  // makes the kernel send a reset at once.
  sockaddr unspecified{};
  unspecified.sa_family = AF_UNSPEC;
  return connect(fd, &unspecified, sizeof unspecified) == 0;
}
