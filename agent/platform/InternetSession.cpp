#include "platform/InternetSession.h"

#include <curl/curl.h>

#include <cctype>
#include <utility>

#include "platform/InternetException.h"
#include "platform/InternetSessionState.h"
#include "platform/Win32Errors.h"

namespace {

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool ParsePort(const std::string& digits, uint16_t& port) {
  if (digits.empty() || digits.size() > 5) return false;
  unsigned value = 0;
  for (const char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

// Owns a parsed address for the length of one call.
class CParsedUrl {
public:
  CParsedUrl() : m_url(curl_url()) {}
  ~CParsedUrl() { curl_url_cleanup(m_url); }
  CParsedUrl(const CParsedUrl&) = delete;
  CParsedUrl& operator=(const CParsedUrl&) = delete;
  bool Set(const std::string& url) {
    return m_url != nullptr &&
           curl_url_set(m_url, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
  }
  std::string Get(CURLUPart part) const {
    char* text = nullptr;
    if (curl_url_get(m_url, part, &text, 0) != CURLUE_OK || text == nullptr) return {};
    std::string value = text;
    curl_free(text);
    return value;
  }

private:
  CURLU* m_url;
};

}  // namespace

CInternetSession::CInternetSession(const std::string& agent, uintptr_t context, uint32_t accessType,
                                   const std::string& proxyName, const std::string& proxyBypass, uint32_t)
    : m_state(std::make_shared<CInternetSessionState>(agent, accessType, proxyName, proxyBypass)),
      m_agent(agent),
      m_context(context) {}

CInternetSession::~CInternetSession() {
  Close();
}

void CInternetSession::Close() {
  m_state.reset();
}

bool CInternetSession::SetOption(uint32_t option, uint32_t value) {
  if (!m_state) {
    m_lastError = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
    return false;
  }
  if (!m_state->SetTimeout(option, value)) {
    m_lastError = ERROR_INTERNET_INVALID_OPTION;
    return false;
  }
  return true;
}

bool CInternetSession::SplitServer(const std::string& server, std::string& host, uint16_t& port) {
  const std::string text = Trim(server);
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || close == 1) return false;
    host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (rest.empty()) return true;
    return rest.front() == ':' && ParsePort(rest.substr(1), port);
  }
  const size_t colon = text.find(':');
  // More than one colon: an IPv6 address without a port.
  if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
    host = text;
    return !host.empty();
  }
  host = text.substr(0, colon);
  return !host.empty() && ParsePort(text.substr(colon + 1), port);
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const std::string& server, uint16_t port,
                                                                     const std::string& user,
                                                                     const std::string& password) {
  if (!m_state) throw CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE, m_context, "session closed");
  std::string host;
  uint16_t actualPort = port;
  if (!SplitServer(server, host, actualPort)) {
    m_lastError = ERROR_INTERNET_INVALID_URL;
    throw CInternetException(ERROR_INTERNET_INVALID_URL, m_context, "bad server name: " + server);
  }
  return std::make_unique<CHttpConnection>(m_state, host, actualPort, user, password, m_context);
}

std::unique_ptr<CHttpFile> CInternetSession::OpenURL(const std::string& url, uintptr_t context,
                                                     uint32_t flags, const std::string& headers) {
  if (!m_state) throw CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE, context, "session closed");
  CParsedUrl parsed;
  // The account name goes into the address as stored; a space or a '#' in it
  // must still reach the server.
  if (!parsed.Set(CHttpConnection::EscapeAddress(url))) {
    m_lastError = ERROR_INTERNET_INVALID_URL;
    throw CInternetException(ERROR_INTERNET_INVALID_URL, context, "malformed address: " + url);
  }
  const std::string scheme = parsed.Get(CURLUPART_SCHEME);
  if (scheme != "http" && scheme != "https") {
    m_lastError = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    return nullptr;
  }
  HttpTarget target;
  target.url = parsed.Get(CURLUPART_URL);
  target.host = parsed.Get(CURLUPART_HOST);
  if (target.host.size() > 1 && target.host.front() == '[')
    target.host = target.host.substr(1, target.host.size() - 2);
  auto file = std::make_unique<CHttpFile>(m_state, "GET", std::move(target), context, flags);
  if (file->LastError() != 0) throw CInternetException(file->LastError(), context, "no request handle");
  file->SendRequest(headers);
  m_lastError = 0;
  return file;
}

uint32_t InternetAttemptConnect(uint32_t) {
  return ERROR_SUCCESS;
}
