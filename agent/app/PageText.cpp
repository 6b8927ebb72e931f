#include "app/PageText.h"

#include <cctype>

#include "resources/StringTable.h"

std::string FillFragment(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 64);
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      out += pattern[i];
      continue;
    }
    const char kind = pattern[i + 1];
    if (kind == '%') {
      out += '%';
      ++i;
    } else if (kind == 's' || kind == 'd' || kind == 'u') {
      if (next != args.end()) out += *next++;
      ++i;
    } else {
      out += '%';
    }
  }
  return out;
}

std::string FillFragment(unsigned stringId, std::initializer_list<std::string_view> args) {
  const char* pattern = FindString(stringId);
  return pattern != nullptr ? FillFragment(pattern, args) : std::string();
}

bool IsWebLink(std::string_view address) {
  auto startsWith = [&](std::string_view scheme) {
    if (address.size() <= scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(address[i])) != scheme[i]) return false;
    }
    return true;
  };
  return startsWith("http://") || startsWith("https://");
}
