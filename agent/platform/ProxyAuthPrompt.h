// The question a proxy that wants credentials (HTTP status 407) puts to the
// user. The agent's window installs a handler that asks; without one the
// answer is "cancelled", as when the user closes the prompt. Credentials the
// handler supplies with a "retry" answer are kept for the whole process and
// sent to the proxy by every later request, so the next upload run gets
// through.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct ProxyCredentials {
  std::string user;
  std::string password;
};

struct ProxyAuthQuestion {
  uint32_t error = 0;  // ERROR_INTERNET_INCORRECT_PASSWORD, as the prompt was asked
  uint32_t flags = 0;  // FLAGS_ERROR_UI_*
  std::string url;     // the request that met the 407
};

class CProxyAuthPrompt {
public:
  // Returns ERROR_INTERNET_FORCE_RETRY (credentials filled in), ERROR_CANCELLED
  // or 0 (user gave up), or another error number.
  using Handler = std::function<uint32_t(const ProxyAuthQuestion&, ProxyCredentials&)>;

  // Called on the requesting worker thread; an empty handler restores the
  // default answer.
  static void SetHandler(Handler handler);
  static uint32_t Ask(const ProxyAuthQuestion& question);

  static std::optional<ProxyCredentials> Credentials();
  static void ForgetCredentials();
};
