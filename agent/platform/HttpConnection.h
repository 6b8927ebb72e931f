// A connection to one HTTP server of an internet session, in the shape of
// the Windows connection object. Nothing goes over the network until a
// request made by OpenRequest is sent; requests of one session reuse a
// kept-alive connection to the same server.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/HttpFile.h"
#include "platform/InternetFlags.h"

class CInternetSessionState;

class CHttpConnection {
public:
  // Built by CInternetSession::GetHttpConnection; host is a bare name or
  // address (IPv6 without brackets).
  CHttpConnection(std::shared_ptr<CInternetSessionState> session, std::string host, uint16_t port,
                  std::string user, std::string password, uintptr_t context);
  ~CHttpConnection();
  CHttpConnection(const CHttpConnection&) = delete;
  CHttpConnection& operator=(const CHttpConnection&) = delete;

  // A request for objectPath (path and query, as written: characters that
  // cannot travel in an address - spaces, controls, non-ASCII bytes, '#',
  // quotes and angle brackets - are percent-encoded, everything else is
  // kept). Null, with LastError() set, when the request cannot be made
  // (empty verb, closed connection, unusable address). version "HTTP/1.0"
  // asks for that version; INTERNET_FLAG_SECURE uses HTTPS.
  std::unique_ptr<CHttpFile> OpenRequest(const std::string& verb, const std::string& objectPath,
                                         const std::string& referer = {}, uintptr_t context = 1,
                                         const std::vector<std::string>& acceptTypes = {},
                                         const std::string& version = {},
                                         uint32_t flags = INTERNET_FLAG_EXISTING_CONNECT);

  void Close();

  const std::string& GetServerName() const { return m_host; }
  uint16_t GetPort() const { return m_port; }
  uintptr_t GetContext() const { return m_context; }
  uint32_t LastError() const { return m_lastError; }

  // objectPath with the characters that cannot travel in an address
  // percent-encoded.
  static std::string EscapeAddress(const std::string& objectPath);

private:
  std::shared_ptr<CInternetSessionState> m_session;
  std::string m_host;
  uint16_t m_port;
  std::string m_user;
  std::string m_password;
  uintptr_t m_context;
  uint32_t m_lastError = 0;
};
