#include "platform/HttpConnection.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/InternetSessionState.h"
#include "platform/Win32Errors.h"

namespace {

bool MustEscape(unsigned char c) {
  return c <= 0x20 || c >= 0x7F || std::strchr("\"#<>\\^`{|}", c) != nullptr;
}

// True when the transport accepts the address as a whole.
bool IsUsableUrl(const std::string& url) {
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return false;
  const bool ok = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
  curl_url_cleanup(parsed);
  return ok;
}

}  // namespace

CHttpConnection::CHttpConnection(std::shared_ptr<CInternetSessionState> session, std::string host,
                                 uint16_t port, std::string user, std::string password, uintptr_t context)
    : m_session(std::move(session)),
      m_host(std::move(host)),
      m_port(port),
      m_user(std::move(user)),
      m_password(std::move(password)),
      m_context(context) {}

CHttpConnection::~CHttpConnection() = default;

void CHttpConnection::Close() {
  m_session.reset();
}

std::string CHttpConnection::EscapeAddress(const std::string& objectPath) {
  std::string escaped;
  escaped.reserve(objectPath.size());
  for (const char ch : objectPath) {
    const auto c = static_cast<unsigned char>(ch);
    if (MustEscape(c)) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      escaped += hex;
    } else {
      escaped += ch;
    }
  }
  return escaped;
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(const std::string& verb,
                                                        const std::string& objectPath,
                                                        const std::string& referer, uintptr_t context,
                                                        const std::vector<std::string>& acceptTypes,
                                                        const std::string& version, uint32_t flags) {
  if (!m_session) {
    m_lastError = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
    return nullptr;
  }
  if (verb.empty() || verb.find_first_of(" \t\r\n") != std::string::npos) {
    m_lastError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  HttpTarget target;
  const bool secure = (flags & INTERNET_FLAG_SECURE) != 0;
  const std::string hostPart = m_host.find(':') != std::string::npos ? "[" + m_host + "]" : m_host;
  std::string path = EscapeAddress(objectPath);
  if (path.empty() || path.front() != '/') path = "/" + path;
  target.url = (secure ? "https://" : "http://") + hostPart + ":" + std::to_string(m_port) + path;
  if (!IsUsableUrl(target.url)) {
    m_lastError = ERROR_INTERNET_INVALID_URL;
    return nullptr;
  }
  target.host = m_host;
  target.user = m_user;
  target.password = m_password;
  target.referer = referer;
  target.acceptTypes = acceptTypes;
  target.http10 = version == "HTTP/1.0";
  auto file = std::make_unique<CHttpFile>(m_session, verb, std::move(target), context, flags);
  if (file->LastError() != 0) {
    m_lastError = file->LastError();
    return nullptr;
  }
  m_lastError = 0;
  return file;
}
