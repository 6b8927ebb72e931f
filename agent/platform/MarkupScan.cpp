#include "platform/MarkupScan.h"

#include <cctype>

namespace {

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':';
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void SkipSpace(std::string_view s, size_t& i) {
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) != 0) ++i;
}

}  // namespace

std::string DecodeEntities(std::string_view text) {
  static const std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (end == std::string_view::npos || end - i > 8) {
      out += text[i];
      continue;
    }
    const std::string_view name = text.substr(i + 1, end - i - 1);
    bool done = false;
    for (const auto& [entity, c] : kNamed) {
      if (name == entity) {
        out += c;
        done = true;
      }
    }
    if (!done && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string digits(name.substr(hex ? 2 : 1));
      char* stop = nullptr;
      const long code = std::strtol(digits.c_str(), &stop, hex ? 16 : 10);
      if (!digits.empty() && *stop == '\0' && code > 0 && code < 128) {
        out += static_cast<char>(code);
        done = true;
      }
    }
    if (!done) {
      out += text[i];
      continue;
    }
    i = end;
  }
  return out;
}

std::vector<SMarkupTag> ScanStartTags(std::string_view s) {
  std::vector<SMarkupTag> tags;
  size_t i = 0;
  while ((i = s.find('<', i)) != std::string_view::npos) {
    if (s.substr(i, 4) == "<!--") {
      const size_t end = s.find("-->", i + 4);
      i = end == std::string_view::npos ? s.size() : end + 3;
      continue;
    }
    ++i;
    if (i >= s.size() || std::isalpha(static_cast<unsigned char>(s[i])) == 0) continue;
    SMarkupTag tag;
    const size_t nameStart = i;
    while (i < s.size() && IsNameChar(s[i])) ++i;
    tag.name = Lower(s.substr(nameStart, i - nameStart));
    while (i < s.size()) {
      SkipSpace(s, i);
      if (i >= s.size() || s[i] == '>' || s[i] == '/') break;
      const size_t attrStart = i;
      while (i < s.size() && IsNameChar(s[i])) ++i;
      if (i == attrStart) {
        ++i;  // a stray character inside the tag
        continue;
      }
      const std::string name = Lower(s.substr(attrStart, i - attrStart));
      SkipSpace(s, i);
      std::string value;
      if (i < s.size() && s[i] == '=') {
        ++i;
        SkipSpace(s, i);
        if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
          const char quote = s[i++];
          const size_t end = s.find(quote, i);
          const size_t stop = end == std::string_view::npos ? s.size() : end;
          value = DecodeEntities(s.substr(i, stop - i));
          i = stop + 1;
        } else {
          const size_t valueStart = i;
          while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) == 0 && s[i] != '>') ++i;
          value = DecodeEntities(s.substr(valueStart, i - valueStart));
        }
      }
      tag.attributes.emplace(name, value);
    }
    const bool raw = tag.name == "script" || tag.name == "style";
    tags.push_back(std::move(tag));
    if (raw) {
      const size_t end = s.find("</", i);
      i = end == std::string_view::npos ? s.size() : end;
    }
  }
  return tags;
}
