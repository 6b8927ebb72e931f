#include "platform/RegFile.h"

#include <algorithm>
#include <cstdio>

namespace {

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive three-way comparison; the sort order of subkeys.
int CompareNames(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(FoldCase(a[i]));
    const auto cb = static_cast<unsigned char>(FoldCase(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::vector<RegKeyNode>::iterator LowerBound(std::vector<RegKeyNode>& keys, std::string_view name) {
  return std::lower_bound(keys.begin(), keys.end(), name, [](const RegKeyNode& k, std::string_view n) {
    return CompareNames(k.name, n) < 0;
  });
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void SkipSpaces(std::string_view s, size_t& pos) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
}

// Reads a quoted string starting at s[pos] == '"'. Besides the \\ and \" of
// the system's own exports, \n, \r and \0 are understood, so that any text a
// program stores comes back unchanged.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out, std::string& fault) {
  out.clear();
  ++pos;
  while (pos < s.size()) {
    const char c = s[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= s.size()) break;
    switch (s[pos++]) {
      case '\\':
        out.push_back('\\');
        break;
      case '"':
        out.push_back('"');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case '0':
        out.push_back('\0');
        break;
      default:
        fault = "unknown escape sequence";
        return false;
    }
  }
  fault = "unterminated string";
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && CRegFile::NamesEqual(s.substr(0, prefix.size()), prefix);
}

bool ParseValueLine(std::string_view line, RegValue& value, std::string& fault) {
  size_t pos = 0;
  value = RegValue{};
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, pos, value.name, fault)) {
    return false;
  }
  SkipSpaces(line, pos);
  if (pos >= line.size() || line[pos] != '=') {
    fault = "'=' expected after the value name";
    return false;
  }
  ++pos;
  SkipSpaces(line, pos);
  std::string_view rest = line.substr(pos);
  if (!rest.empty() && rest[0] == '"') {
    size_t textPos = 0;
    if (!ReadQuoted(rest, textPos, value.text, fault)) return false;
    if (textPos != rest.size()) {
      fault = "unexpected text after the value";
      return false;
    }
    value.type = RegType::String;
    return true;
  }
  if (StartsWithNoCase(rest, "dword:")) {
    std::string_view digits = rest.substr(6);
    if (digits.empty() || digits.size() > 8) {
      fault = "a dword needs one to eight hex digits";
      return false;
    }
    uint32_t number = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) {
        fault = "a dword needs one to eight hex digits";
        return false;
      }
      number = (number << 4) | static_cast<uint32_t>(d);
    }
    value.type = RegType::Dword;
    value.dword = number;
    return true;
  }
  fault = "unsupported value type";
  return false;
}

bool ParseKeyLine(std::string_view line, RegKeyNode& root, RegKeyNode*& current, std::string& fault) {
  if (line.back() != ']') {
    fault = "key line must end with ']'";
    return false;
  }
  const std::string_view path = line.substr(1, line.size() - 2);
  if (!path.empty() && path[0] == '-') {
    fault = "key deletion lines are not supported";
    return false;
  }
  const std::vector<std::string> parts = CRegFile::SplitPath(path);
  if (parts.empty()) {
    fault = "empty key path";
    return false;
  }
  if (parts.size() > CRegFile::kMaxDepth) {
    fault = "key nested too deeply";
    return false;
  }
  RegKeyNode* node = &root;
  for (const std::string& part : parts) {
    if (!CRegFile::IsValidKeyName(part)) {
      fault = "invalid key name";
      return false;
    }
    node = &node->AddSubkey(part);
  }
  current = node;
  return true;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out.push_back(c);
    }
  }
  out.push_back('"');
}

void WriteKey(const RegKeyNode& key, std::string& path, std::string& out) {
  const size_t before = path.size();
  if (!path.empty()) path.push_back('\\');
  path += key.name;
  out += '[';
  out += path;
  out += "]\n";
  for (const RegValue& v : key.values) {
    if (v.name.empty()) {
      out.push_back('@');
    } else {
      AppendQuoted(out, v.name);
    }
    out.push_back('=');
    if (v.type == RegType::Dword) {
      char digits[9];
      std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(v.dword));
      out += "dword:";
      out += digits;
    } else {
      AppendQuoted(out, v.text);
    }
    out.push_back('\n');
  }
  out.push_back('\n');
  for (const RegKeyNode& sub : key.subkeys) WriteKey(sub, path, out);
  path.resize(before);
}

}  // namespace

RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkey) {
  auto it = LowerBound(subkeys, subkey);
  return (it != subkeys.end() && CompareNames(it->name, subkey) == 0) ? &*it : nullptr;
}

const RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkey) const {
  return const_cast<RegKeyNode*>(this)->FindSubkey(subkey);
}

RegKeyNode& RegKeyNode::AddSubkey(std::string_view subkey) {
  auto it = LowerBound(subkeys, subkey);
  if (it != subkeys.end() && CompareNames(it->name, subkey) == 0) return *it;
  RegKeyNode node;
  node.name = std::string(subkey);
  return *subkeys.insert(it, std::move(node));
}

bool RegKeyNode::RemoveSubkey(std::string_view subkey) {
  auto it = LowerBound(subkeys, subkey);
  if (it == subkeys.end() || CompareNames(it->name, subkey) != 0) return false;
  subkeys.erase(it);
  return true;
}

RegValue* RegKeyNode::FindValue(std::string_view valueName) {
  for (RegValue& v : values) {
    if (CRegFile::NamesEqual(v.name, valueName)) return &v;
  }
  return nullptr;
}

const RegValue* RegKeyNode::FindValue(std::string_view valueName) const {
  return const_cast<RegKeyNode*>(this)->FindValue(valueName);
}

void RegKeyNode::SetValue(const RegValue& value) {
  RegValue stored = value;
  if (stored.type == RegType::Dword) {
    stored.text.clear();
  } else {
    stored.type = RegType::String;
    stored.dword = 0;
  }
  if (RegValue* existing = FindValue(value.name)) {
    stored.name = existing->name;
    *existing = std::move(stored);
  } else {
    values.push_back(std::move(stored));
  }
}

bool RegKeyNode::RemoveValue(std::string_view valueName) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const RegValue& v) { return CRegFile::NamesEqual(v.name, valueName); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

bool CRegFile::NamesEqual(std::string_view a, std::string_view b) {
  return CompareNames(a, b) == 0;
}

bool CRegFile::IsValidKeyName(std::string_view name) {
  return !name.empty() && name.find_first_of(std::string_view("\\\n\r\0", 4)) == std::string_view::npos;
}

std::vector<std::string> CRegFile::SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool CRegFile::Parse(std::string_view text, RegKeyNode& root, std::string* error) {
  root = RegKeyNode{};
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  bool headerSeen = false;
  RegKeyNode* current = nullptr;
  size_t lineNo = 0;
  size_t pos = 0;
  std::string fault;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++lineNo;
    if (line.empty()) continue;

    bool ok = true;
    if (!headerSeen) {
      headerSeen = line == kHeader || line == "REGEDIT4";
      if (!headerSeen) {
        ok = false;
        fault = "not a registry file";
      }
    } else if (line[0] == ';') {
      continue;
    } else if (line[0] == '[') {
      ok = ParseKeyLine(line, root, current, fault);
    } else if (line[0] == '"' || line[0] == '@') {
      RegValue value;
      ok = ParseValueLine(line, value, fault);
      if (ok && current == nullptr) {
        ok = false;
        fault = "value outside a key";
      }
      if (ok) current->SetValue(value);
    } else {
      ok = false;
      fault = "unrecognised line";
    }
    if (!ok) {
      if (error != nullptr) *error = "line " + std::to_string(lineNo) + ": " + fault;
      root = RegKeyNode{};
      return false;
    }
  }
  return true;
}

std::string CRegFile::Write(const RegKeyNode& root) {
  std::string out(kHeader);
  out += "\n\n";
  std::string path;
  for (const RegKeyNode& hive : root.subkeys) WriteKey(hive, path, out);
  return out;
}
