// One HTTP request and its reply, in the shape of the Windows request
// object: opened by CHttpConnection::OpenRequest or CInternetSession::OpenURL,
// sent once (or again after a proxy prompt) with headers and a body, then its
// status queried and its reply read.
//
// Failures of the exchange itself (name not resolved, refused, timed out,
// dropped) are thrown as CInternetException; a call made in the wrong state
// returns false and keeps the error number in LastError().
// A request belongs to one thread at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/InternetFlags.h"
#include "platform/Win32Errors.h"

class CInternetSessionState;

// Where a request goes and what it says about itself.
struct HttpTarget {
  std::string url;   // full address, already valid for the transport
  std::string host;  // host name or address alone, for the reserved-name check
  std::string user;  // server credentials, empty for none
  std::string password;
  std::string referer;
  std::vector<std::string> acceptTypes;
  bool http10 = false;  // "HTTP/1.0" asked for; HTTP/1.1 otherwise
};

class CHttpFile {
public:
  CHttpFile(std::shared_ptr<CInternetSessionState> session, std::string verb, HttpTarget target,
            uintptr_t context, uint32_t flags);
  ~CHttpFile();
  CHttpFile(const CHttpFile&) = delete;
  CHttpFile& operator=(const CHttpFile&) = delete;

  // Sends the request and receives the whole reply. headers are extra
  // header lines ("Name: value", separated by CR LF); body (bodySize bytes)
  // is sent as it is and must stay valid during the call - it is not copied,
  // so a memory-mapped file goes out without a copy. Throws
  // CInternetException when the exchange fails; false when the request was
  // closed (ERROR_INTERNET_INCORRECT_HANDLE_STATE) or a size came without a
  // body (ERROR_INVALID_PARAMETER).
  bool SendRequest(const std::string& headers = {}, const void* body = nullptr, size_t bodySize = 0);

  // The reply's status code; false before a reply arrived.
  bool QueryInfoStatusCode(uint32_t& status);

  // Copies up to count bytes of the reply body; 0 at its end.
  size_t Read(void* buffer, size_t count);

  // The proxy-authentication prompt for this request (see CProxyAuthPrompt).
  // Answers ERROR_CANCELLED unless the agent installed a handler.
  uint32_t ErrorDlg(uint32_t error = ERROR_INTERNET_INCORRECT_PASSWORD,
                    uint32_t flags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                     FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS);

  // Releases the transfer; later calls fail with an incorrect-state error.
  void Close();

  const std::string& GetVerb() const { return m_verb; }
  const std::string& GetURL() const { return m_target.url; }
  uintptr_t GetContext() const { return m_context; }
  uint32_t LastError() const { return m_lastError; }

  // A reply larger than this is refused as an invalid server response.
  static constexpr size_t kMaxReplyBytes = 16u * 1024u * 1024u;

  // True for names under the reserved "invalid" top-level domain, which
  // never resolve: they are refused without asking any name server.
  static bool IsReservedInvalidName(const std::string& host);

private:
  static size_t _OnReply(char* data, size_t size, size_t count, void* self);
  static int _OnProgress(void* self, int64_t downTotal, int64_t down, int64_t upTotal, int64_t up);
  static int _OnConnected(void* self, char* remoteIp, char* localIp, int remotePort, int localPort);
  bool _Fail(uint32_t error);
  [[noreturn]] void _Throw(int curlCode);

  std::shared_ptr<CInternetSessionState> m_session;
  std::string m_verb;
  HttpTarget m_target;
  uintptr_t m_context;
  uint32_t m_flags;
  void* m_curl = nullptr;  // the transport's handle (CURL*)
  std::vector<char> m_errorText;
  std::string m_reply;
  size_t m_readPos = 0;
  bool m_replied = false;
  bool m_replyTooLarge = false;
  // Inactivity watch: the transfer is given up when no byte moved for the
  // send limit while the request goes out, or for the receive limit after.
  uint32_t m_sendLimitMs = 0;
  uint32_t m_receiveLimitMs = 0;
  uint32_t m_expiredLimitMs = 0;
  std::chrono::steady_clock::time_point m_lastMove;
  int64_t m_lastDown = 0;
  int64_t m_lastUp = 0;
  bool m_idleExpired = false;
  bool m_connected = false;
  uint32_t m_status = 0;
  uint32_t m_lastError = 0;
};
