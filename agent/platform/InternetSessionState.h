// What every connection and request of one internet session shares: the
// agent name, the way to the network, the timeouts, and libcurl's shared
// connection and name caches (so requests of a session reuse a kept-alive
// connection). Connections and requests hold it by shared pointer, so they
// stay usable whatever order their owners close them in.
// Platform-internal: only the internet classes include it.
#pragma once

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class CInternetSessionState {
public:
  CInternetSessionState(std::string agent, uint32_t accessType, std::string proxyName,
                        std::string proxyBypass);
  ~CInternetSessionState();
  CInternetSessionState(const CInternetSessionState&) = delete;
  CInternetSessionState& operator=(const CInternetSessionState&) = delete;

  const std::string& Agent() const { return m_agent; }
  // False for an option the session does not know.
  bool SetTimeout(uint32_t option, uint32_t milliseconds);

  // Sets on a request handle everything the session decides: agent,
  // proxy, connect timeout, shared caches, allowed protocols.
  void Apply(CURL* curl) const;
  // The longest a connected transfer may go without moving a byte while it
  // sends the request, and while it waits for and reads the reply; 0 for no
  // limit. The request enforces them, with a resolution of about a second.
  uint32_t SendTimeoutMs() const { return m_sendTimeoutMs; }
  uint32_t ReceiveTimeoutMs() const { return m_receiveTimeoutMs; }

private:
  static void _Lock(CURL* curl, curl_lock_data data, curl_lock_access access, void* self);
  static void _Unlock(CURL* curl, curl_lock_data data, void* self);

  std::string m_agent;
  uint32_t m_accessType;
  std::string m_proxyName;
  std::string m_proxyBypass;
  std::atomic<uint32_t> m_connectTimeoutMs;
  std::atomic<uint32_t> m_sendTimeoutMs;
  std::atomic<uint32_t> m_receiveTimeoutMs;
  CURLSH* m_share = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
};
