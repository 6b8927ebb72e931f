#include "platform/InternetSessionState.h"

#include <mutex>
#include <utility>

#include "platform/InternetFlags.h"

namespace {

// The system's own defaults for a session that sets none.
constexpr uint32_t kDefaultConnectTimeoutMs = 60000;
constexpr uint32_t kDefaultTransferTimeoutMs = 60000;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CInternetSessionState::CInternetSessionState(std::string agent, uint32_t accessType, std::string proxyName,
                                             std::string proxyBypass)
    : m_agent(std::move(agent)),
      m_accessType(accessType),
      m_proxyName(std::move(proxyName)),
      m_proxyBypass(std::move(proxyBypass)),
      m_connectTimeoutMs(kDefaultConnectTimeoutMs),
      m_sendTimeoutMs(kDefaultTransferTimeoutMs),
      m_receiveTimeoutMs(kDefaultTransferTimeoutMs) {
  InitCurlOnce();
  m_share = curl_share_init();
  if (m_share != nullptr) {
    curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &CInternetSessionState::_Lock);
    curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &CInternetSessionState::_Unlock);
    curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  }
}

CInternetSessionState::~CInternetSessionState() {
  if (m_share != nullptr) curl_share_cleanup(m_share);
}

void CInternetSessionState::_Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
  if (data >= 0 && data < CURL_LOCK_DATA_LAST)
    static_cast<CInternetSessionState*>(self)->m_locks[data].lock();
}

void CInternetSessionState::_Unlock(CURL*, curl_lock_data data, void* self) {
  if (data >= 0 && data < CURL_LOCK_DATA_LAST)
    static_cast<CInternetSessionState*>(self)->m_locks[data].unlock();
}

bool CInternetSessionState::SetTimeout(uint32_t option, uint32_t milliseconds) {
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      m_connectTimeoutMs = milliseconds;
      return true;
    case INTERNET_OPTION_SEND_TIMEOUT:
      m_sendTimeoutMs = milliseconds;
      return true;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      m_receiveTimeoutMs = milliseconds;
      return true;
    default:
      return false;
  }
}

void CInternetSessionState::Apply(CURL* curl) const {
  if (m_share != nullptr) curl_easy_setopt(curl, CURLOPT_SHARE, m_share);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, m_agent.c_str());
  // Worker threads must never receive a signal on behalf of a transfer.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

  switch (m_accessType) {
    case INTERNET_OPEN_TYPE_DIRECT:
      curl_easy_setopt(curl, CURLOPT_PROXY, "");
      break;
    case INTERNET_OPEN_TYPE_PROXY:
      curl_easy_setopt(curl, CURLOPT_PROXY, m_proxyName.c_str());
      if (!m_proxyBypass.empty()) curl_easy_setopt(curl, CURLOPT_NOPROXY, m_proxyBypass.c_str());
      break;
    default:
      // libcurl itself reads http_proxy, https_proxy, all_proxy and no_proxy.
      break;
  }

  const uint32_t connectMs = m_connectTimeoutMs;
  if (connectMs != 0) curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs));
}
