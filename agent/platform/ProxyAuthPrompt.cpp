#include "platform/ProxyAuthPrompt.h"

#include <mutex>
#include <utility>

#include "platform/Win32Errors.h"

namespace {

std::mutex g_mutex;
CProxyAuthPrompt::Handler g_handler;
std::optional<ProxyCredentials> g_credentials;

}  // namespace

void CProxyAuthPrompt::SetHandler(Handler handler) {
  std::lock_guard lock(g_mutex);
  g_handler = std::move(handler);
}

uint32_t CProxyAuthPrompt::Ask(const ProxyAuthQuestion& question) {
  Handler handler;
  {
    std::lock_guard lock(g_mutex);
    handler = g_handler;
  }
  if (!handler) return ERROR_CANCELLED;
  // The handler may take as long as the user needs; no lock is held meanwhile.
  ProxyCredentials credentials;
  const uint32_t answer = handler(question, credentials);
  if (answer == ERROR_INTERNET_FORCE_RETRY && !credentials.user.empty()) {
    std::lock_guard lock(g_mutex);
    g_credentials = std::move(credentials);
  }
  return answer;
}

std::optional<ProxyCredentials> CProxyAuthPrompt::Credentials() {
  std::lock_guard lock(g_mutex);
  return g_credentials;
}

void CProxyAuthPrompt::ForgetCredentials() {
  std::lock_guard lock(g_mutex);
  g_credentials.reset();
}
