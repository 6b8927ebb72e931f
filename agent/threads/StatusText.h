#pragma once
// Status lines are HTML fragments of the string table. The texts filled into
// them come from outside (port and product names, file names, parser
// messages) and are escaped; the fragment's own markup stays.

#include <cstdio>
#include <string>
#include <vector>

#include "resources/StringTable.h"
#include "util/Util.h"

template <class... Args>
std::string FillStatusText(const std::string& pattern, const Args&... args) {
  const auto fill = [&](char* buffer, size_t size, const auto&... escaped) {
    return std::snprintf(buffer, size, pattern.c_str(), escaped.c_str()...);
  };
  const auto call = [&](char* buffer, size_t size) {
    return fill(buffer, size, CUtil::EscapeMarkup(args)...);
  };
  const int needed = call(nullptr, 0);
  if (needed <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(needed) + 1);
  call(buffer.data(), buffer.size());
  return std::string(buffer.data(), static_cast<size_t>(needed));
}

template <class... Args>
std::string FillStatusText(unsigned id, const Args&... args) {
  return FillStatusText(LoadString(id), args...);
}

// "<product> on <port>" once the receiver has named itself, the port alone before.
inline std::string LocationText(const std::string& product, const std::string& port) {
  return product.empty() ? port : product + " on " + port;
}
