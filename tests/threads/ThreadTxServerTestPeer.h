// An HTTP peer on loopback that answers each request with the next status of
// a script, for upload runs in which one document must fail and the others
// not. It reads one request per connection, records it, runs an optional
// hook (still before answering) and closes the connection after answering.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

struct PeerRequest {
  std::string requestLine;  // e.g. "POST /trail/... HTTP/1.1"
  std::string body;
};

class CScriptedHttpPeer {
public:
  // statuses[i] answers request i; later requests get 200.
  explicit CScriptedHttpPeer(std::vector<int> statuses);
  ~CScriptedHttpPeer();
  CScriptedHttpPeer(const CScriptedHttpPeer&) = delete;
  CScriptedHttpPeer& operator=(const CScriptedHttpPeer&) = delete;

  // Runs on the peer's thread with the request's number, before the answer.
  void SetHook(std::function<void(size_t index)> hook);

  uint16_t Port() const { return m_port; }
  std::string Server() const { return "127.0.0.1:" + std::to_string(m_port); }
  std::vector<PeerRequest> Requests() const;

  // The feed each answer carries: one item naming the request and status.
  static std::string ReplyFeed(size_t index, int status);

private:
  void _Serve();
  bool _HandleOne(int client);

  std::vector<int> m_statuses;
  std::function<void(size_t)> m_hook;
  int m_listener = -1;
  uint16_t m_port = 0;
  std::atomic<bool> m_stopping{false};
  mutable std::mutex m_mutex;
  std::vector<PeerRequest> m_requests;
  std::thread m_thread;
};

}  // namespace qvtest
