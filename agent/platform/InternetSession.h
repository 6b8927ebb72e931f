// An internet session in the shape of the Windows one: it names the agent
// to every server, decides the way to the network (proxies from the
// environment by default), holds the timeouts, and makes connections and
// whole-address requests. Failures of the network are thrown as
// CInternetException; see CHttpFile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/HttpConnection.h"
#include "platform/HttpFile.h"
#include "platform/InternetFlags.h"

class CInternetSessionState;

class CInternetSession {
public:
  // agent is the user-agent text. accessType INTERNET_OPEN_TYPE_PRECONFIG
  // takes proxies from http_proxy, https_proxy, all_proxy and no_proxy;
  // INTERNET_OPEN_TYPE_PROXY uses proxyName (and proxyBypass, a no_proxy
  // list); INTERNET_OPEN_TYPE_DIRECT never uses a proxy.
  explicit CInternetSession(const std::string& agent, uintptr_t context = 1,
                            uint32_t accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                            const std::string& proxyName = {}, const std::string& proxyBypass = {},
                            uint32_t flags = 0);
  ~CInternetSession();
  CInternetSession(const CInternetSession&) = delete;
  CInternetSession& operator=(const CInternetSession&) = delete;

  // A connection to server on port. The server may carry its own port
  // ("127.0.0.1:8080", "[::1]:8080"), which then wins over the argument.
  // Throws CInternetException (ERROR_INTERNET_INVALID_URL) for an empty or
  // malformed server, (ERROR_INTERNET_INCORRECT_HANDLE_STATE) after Close.
  std::unique_ptr<CHttpConnection> GetHttpConnection(const std::string& server,
                                                     uint16_t port = INTERNET_DEFAULT_HTTP_PORT,
                                                     const std::string& user = {},
                                                     const std::string& password = {});

  // Sends a GET for a whole http or https address and returns the request
  // with its reply, ready to be read. Null, with LastError() set to
  // ERROR_INTERNET_UNRECOGNIZED_SCHEME, for any other kind of address; throws
  // CInternetException for a malformed address and every network failure.
  std::unique_ptr<CHttpFile> OpenURL(const std::string& url, uintptr_t context = 1,
                                     uint32_t flags = INTERNET_FLAG_TRANSFER_ASCII,
                                     const std::string& headers = {});

  // INTERNET_OPTION_CONNECT_TIMEOUT, _SEND_TIMEOUT, _RECEIVE_TIMEOUT in
  // milliseconds (0: no limit); they apply to requests sent afterwards.
  bool SetOption(uint32_t option, uint32_t value);

  // Ends the session; connections and requests still open stay usable.
  void Close();

  const std::string& GetAgentName() const { return m_agent; }
  uintptr_t GetContext() const { return m_context; }
  uint32_t LastError() const { return m_lastError; }

  // Splits "host", "host:port", "[v6]" or "[v6]:port"; false for an empty
  // host or a port that is not 1 to 65535.
  static bool SplitServer(const std::string& server, std::string& host, uint16_t& port);

private:
  std::shared_ptr<CInternetSessionState> m_state;
  std::string m_agent;
  uintptr_t m_context;
  uint32_t m_lastError = 0;
};

// Whether the machine may go online; there is nothing to ask on this
// system, so always ERROR_SUCCESS.
uint32_t InternetAttemptConnect(uint32_t reserved);
