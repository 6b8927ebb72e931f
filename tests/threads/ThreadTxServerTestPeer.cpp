#include "ThreadTxServerTestPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace qvtest {

CScriptedHttpPeer::CScriptedHttpPeer(std::vector<int> statuses) : m_statuses(std::move(statuses)) {
  m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(m_listener, 8) != 0 ||
      ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { _Serve(); });
}

CScriptedHttpPeer::~CScriptedHttpPeer() {
  m_stopping.store(true);
  if (m_thread.joinable()) m_thread.join();
  if (m_listener >= 0) ::close(m_listener);
}

void CScriptedHttpPeer::SetHook(std::function<void(size_t)> hook) {
  std::lock_guard lock(m_mutex);
  m_hook = std::move(hook);
}

std::vector<PeerRequest> CScriptedHttpPeer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::string CScriptedHttpPeer::ReplyFeed(size_t index, int status) {
  return "<rss><channel><title>Peer</title><item><title>request " + std::to_string(index) +
         "</title><link>L</link><description>status " + std::to_string(status) +
         "</description></item></channel></rss>\n";
}

void CScriptedHttpPeer::_Serve() {
  while (!m_stopping.load()) {
    pollfd waiting{m_listener, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    _HandleOne(client);
    ::close(client);
  }
}

bool CScriptedHttpPeer::_HandleOne(int client) {
  std::string data;
  char buffer[4096];
  size_t headerEnd = std::string::npos;
  size_t bodyLength = 0;
  for (;;) {
    if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + bodyLength) break;
    pollfd readable{client, POLLIN, 0};
    if (::poll(&readable, 1, 5000) <= 0) return false;
    const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    data.append(buffer, static_cast<size_t>(got));
    if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
      for (size_t line = data.find("\r\n") + 2; line < headerEnd;) {
        const size_t next = data.find("\r\n", line);
        const std::string header = data.substr(line, next - line);
        if (strncasecmp(header.c_str(), "Content-Length:", 15) == 0) {
          bodyLength = std::strtoul(header.c_str() + 15, nullptr, 10);
        }
        line = next + 2;
      }
    }
  }
  PeerRequest request{data.substr(0, data.find("\r\n")), data.substr(headerEnd + 4, bodyLength)};
  size_t index = 0;
  std::function<void(size_t)> hook;
  {
    std::lock_guard lock(m_mutex);
    index = m_requests.size();
    m_requests.push_back(std::move(request));
    hook = m_hook;
  }
  if (hook) hook(index);
  const int status = index < m_statuses.size() ? m_statuses[index] : 200;
  const std::string body = ReplyFeed(index, status);
  const std::string answer =
      "HTTP/1.1 " + std::to_string(status) + " Scripted\r\nContent-Type: text/xml\r\n" +
      "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  return ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(answer.size());
}

}  // namespace qvtest
