#include "platform/HttpFile.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/CurlErrors.h"
#include "platform/InternetException.h"
#include "platform/InternetSessionState.h"
#include "platform/ProxyAuthPrompt.h"

static_assert(std::is_same_v<curl_off_t, int64_t>, "the progress callback is declared with int64_t");

namespace {

constexpr long kMaxRedirects = 10;

CURL* Curl(void* handle) {
  return static_cast<CURL*>(handle);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool IsVerb(const std::string& verb, const char* name) {
  return Lower(verb) == Lower(name);
}

// Frees a header list on every way out of SendRequest.
class CHeaderList {
public:
  ~CHeaderList() { curl_slist_free_all(m_list); }
  void Add(const std::string& line) {
    if (curl_slist* grown = curl_slist_append(m_list, line.c_str())) m_list = grown;
  }
  curl_slist* Get() const { return m_list; }
  bool Has(const std::string& name) const {
    const std::string prefix = Lower(name) + ":";
    for (const curl_slist* item = m_list; item != nullptr; item = item->next) {
      if (Lower(item->data).rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

private:
  curl_slist* m_list = nullptr;
};

// Splits "A: 1\r\nB: 2" (CR LF or LF separated) into lines, dropping empty ones.
void AddHeaderLines(const std::string& headers, CHeaderList& list) {
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    std::string line = headers.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) list.Add(line);
    start = end + 1;
  }
}

}  // namespace

CHttpFile::CHttpFile(std::shared_ptr<CInternetSessionState> session, std::string verb, HttpTarget target,
                     uintptr_t context, uint32_t flags)
    : m_session(std::move(session)),
      m_verb(std::move(verb)),
      m_target(std::move(target)),
      m_context(context),
      m_flags(flags),
      m_errorText(CURL_ERROR_SIZE + 1, '\0') {
  m_curl = curl_easy_init();
  if (m_curl == nullptr) m_lastError = ERROR_NOT_ENOUGH_MEMORY;
}

CHttpFile::~CHttpFile() {
  Close();
}

void CHttpFile::Close() {
  if (m_curl != nullptr) curl_easy_cleanup(Curl(m_curl));
  m_curl = nullptr;
  m_reply.clear();
  m_readPos = 0;
  m_replied = false;
}

bool CHttpFile::_Fail(uint32_t error) {
  m_lastError = error;
  return false;
}

void CHttpFile::_Throw(int curlCode) {
  std::string detail = m_errorText.data();
  if (detail.empty()) detail = curl_easy_strerror(static_cast<CURLcode>(curlCode));
  uint32_t error = WinInetErrorFromCurl(curlCode);
  if (m_idleExpired) {
    error = ERROR_INTERNET_TIMEOUT;
    detail = "no data moved for " + std::to_string(m_expiredLimitMs) + " ms";
  } else if (m_replyTooLarge) {
    error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
    detail = "reply larger than " + std::to_string(kMaxReplyBytes) + " bytes";
  }
  m_lastError = error;
  throw CInternetException(error, m_context, detail);
}

bool CHttpFile::IsReservedInvalidName(const std::string& host) {
  std::string name = Lower(host);
  if (!name.empty() && name.back() == '.') name.pop_back();
  constexpr std::string_view kTld = "invalid";
  if (name == kTld) return true;
  return name.size() > kTld.size() + 1 && name.compare(name.size() - kTld.size(), kTld.size(), kTld) == 0 &&
         name[name.size() - kTld.size() - 1] == '.';
}

size_t CHttpFile::_OnReply(char* data, size_t size, size_t count, void* self) {
  auto* file = static_cast<CHttpFile*>(self);
  const size_t bytes = size * count;
  if (file->m_reply.size() + bytes > kMaxReplyBytes) {
    file->m_replyTooLarge = true;
    return 0;  // makes the transfer fail
  }
  file->m_reply.append(data, bytes);
  return bytes;
}

int CHttpFile::_OnConnected(void* self, char*, char*, int, int) {
  // Called for a new and for a reused connection alike, before the request goes out.
  auto* file = static_cast<CHttpFile*>(self);
  file->m_connected = true;
  file->m_lastMove = std::chrono::steady_clock::now();
  return CURL_PREREQFUNC_OK;
}

int CHttpFile::_OnProgress(void* self, int64_t, int64_t down, int64_t upTotal, int64_t up) {
  auto* file = static_cast<CHttpFile*>(self);
  const auto now = std::chrono::steady_clock::now();
  // Connecting has its own timeout; the watch starts once connected.
  if (!file->m_connected || down != file->m_lastDown || up != file->m_lastUp) {
    file->m_lastDown = down;
    file->m_lastUp = up;
    file->m_lastMove = now;
    return 0;
  }
  const uint32_t limitMs = up < upTotal ? file->m_sendLimitMs : file->m_receiveLimitMs;
  if (limitMs == 0 || now - file->m_lastMove < std::chrono::milliseconds(limitMs)) return 0;
  file->m_idleExpired = true;
  file->m_expiredLimitMs = limitMs;
  return 1;  // ends the transfer
}

bool CHttpFile::SendRequest(const std::string& headers, const void* body, size_t bodySize) {
  if (m_curl == nullptr) return _Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  if (body == nullptr && bodySize != 0) return _Fail(ERROR_INVALID_PARAMETER);
  // Reserved names are answered here, so that no name server outside the
  // machine ever sees the question.
  if (IsReservedInvalidName(m_target.host)) {
    m_lastError = ERROR_INTERNET_NAME_NOT_RESOLVED;
    throw CInternetException(ERROR_INTERNET_NAME_NOT_RESOLVED, m_context,
                             "Could not resolve host: " + m_target.host);
  }
  CURL* curl = Curl(m_curl);
  m_reply.clear();
  m_readPos = 0;
  m_replied = false;
  m_replyTooLarge = false;
  m_idleExpired = false;
  m_connected = false;
  m_sendLimitMs = m_session->SendTimeoutMs();
  m_receiveLimitMs = m_session->ReceiveTimeoutMs();
  m_lastMove = std::chrono::steady_clock::now();
  m_lastDown = 0;
  m_lastUp = 0;
  m_status = 0;
  m_errorText.assign(m_errorText.size(), '\0');

  m_session->Apply(curl);
  curl_easy_setopt(curl, CURLOPT_URL, m_target.url.c_str());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorText.data());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CHttpFile::_OnReply);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  if (m_sendLimitMs != 0 || m_receiveLimitMs != 0) {
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CHttpFile::_OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &CHttpFile::_OnConnected);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, this);
  } else {
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
  }
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                   m_target.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  if (!m_target.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, m_target.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, m_target.password.c_str());
  }
  if (!m_target.referer.empty()) curl_easy_setopt(curl, CURLOPT_REFERER, m_target.referer.c_str());
  const auto credentials = CProxyAuthPrompt::Credentials();
  if (credentials) {
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, credentials->user.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, credentials->password.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
  }

  CHeaderList list;
  AddHeaderLines(headers, list);
  if (!m_target.acceptTypes.empty() && !list.Has("Accept")) {
    std::string accept = "Accept: ";
    for (size_t i = 0; i < m_target.acceptTypes.size(); ++i) {
      accept += (i == 0 ? "" : ", ") + m_target.acceptTypes[i];
    }
    list.Add(accept);
  }

  // A redirected POST would arrive as a GET without its body and could be
  // answered with success although nothing was delivered; only reads follow
  // redirects.
  const bool isRead = IsVerb(m_verb, "GET") || IsVerb(m_verb, "HEAD");
  const bool follow = isRead && (m_flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);

  static const char kEmpty[] = "";
  if (IsVerb(m_verb, "GET") && body == nullptr) {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  } else if (IsVerb(m_verb, "HEAD")) {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else {
    if (!IsVerb(m_verb, "POST")) curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodySize));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body != nullptr ? body : kEmpty);
    // The body is sent as it is, under no content type unless the caller
    // names one, and at once: no "Expect: 100-continue" round trip.
    if (!list.Has("Content-Type")) list.Add("Content-Type:");
    if (!list.Has("Expect")) list.Add("Expect:");
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list.Get());

  const CURLcode rc = curl_easy_perform(curl);
  // The list dies with this call; the handle must not keep pointing at it.
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
  if (rc != CURLE_OK) {
    m_reply.clear();
    _Throw(rc);
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  m_status = static_cast<uint32_t>(status);
  m_replied = true;
  m_lastError = 0;
  return true;
}

bool CHttpFile::QueryInfoStatusCode(uint32_t& status) {
  if (!m_replied) return _Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  status = m_status;
  return true;
}

size_t CHttpFile::Read(void* buffer, size_t count) {
  if (!m_replied || buffer == nullptr) return 0;
  const size_t n = std::min(count, m_reply.size() - m_readPos);
  if (n > 0) std::memcpy(buffer, m_reply.data() + m_readPos, n);
  m_readPos += n;
  return n;
}

uint32_t CHttpFile::ErrorDlg(uint32_t error, uint32_t flags) {
  ProxyAuthQuestion question;
  question.error = error;
  question.flags = flags;
  question.url = m_target.url;
  return CProxyAuthPrompt::Ask(question);
}
