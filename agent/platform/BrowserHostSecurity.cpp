#include "platform/BrowserHostSecurity.h"

#include <sys/random.h>

#include <cstdint>

std::string MakeSecret() {
  uint8_t bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n <= 0) return {};
    got += static_cast<size_t>(n);
  }
  static const char hex[] = "0123456789abcdef";
  std::string secret;
  for (const uint8_t b : bytes) {
    secret += hex[b >> 4];
    secret += hex[b & 15];
  }
  return secret;
}

bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

bool IsOwnHost(std::string_view host, int port) {
  const std::string suffix = ":" + std::to_string(port);
  return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool IsOwnOrigin(std::string_view origin, int port) {
  constexpr std::string_view scheme = "http://";
  return origin.substr(0, scheme.size()) == scheme && IsOwnHost(origin.substr(scheme.size()), port);
}

std::string FindCookie(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const size_t end = header.find(';');
    std::string_view pair = header.substr(0, end);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
      return std::string(pair.substr(name.size() + 1));
    }
    if (end == std::string_view::npos) break;
    header.remove_prefix(end + 1);
  }
  return {};
}
