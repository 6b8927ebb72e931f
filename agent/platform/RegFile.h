// The text form of a registry hive: the Windows ".reg" export format
// ("Windows Registry Editor Version 5.00"), limited to REG_SZ and REG_DWORD.
// Pure functions of text and memory, so they can be tested and fuzzed
// without any file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

// One key in memory: its name as first written, its values in the order they
// were first set, and its subkeys sorted without regard to case (the order in
// which the system enumerates them). Names compare case-insensitively.
struct RegKeyNode {
  std::string name;
  std::vector<RegValue> values;
  std::vector<RegKeyNode> subkeys;

  RegKeyNode* FindSubkey(std::string_view subkey);
  const RegKeyNode* FindSubkey(std::string_view subkey) const;
  // The existing subkey of that name, else a new one named as given.
  RegKeyNode& AddSubkey(std::string_view subkey);
  bool RemoveSubkey(std::string_view subkey);

  RegValue* FindValue(std::string_view valueName);
  const RegValue* FindValue(std::string_view valueName) const;
  // Replaces the data of an existing value (keeping the case of its name) or
  // appends a new one.
  void SetValue(const RegValue& value);
  bool RemoveValue(std::string_view valueName);

  bool operator==(const RegKeyNode&) const = default;
};

class CRegFile {
public:
  static constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
  // The system's own limit on key nesting; it also bounds the recursion of
  // everything that walks a tree read from a file.
  static constexpr size_t kMaxDepth = 512;

  // Reads .reg text into `root`, whose subkeys become the hive roots
  // ("HKEY_CURRENT_USER", ...). Empty or blank text is an empty tree. On
  // failure `root` is left empty and `error` names the line and the fault.
  static bool Parse(std::string_view text, RegKeyNode& root, std::string* error = nullptr);

  // The .reg text of every key below `root`, parents before children.
  static std::string Write(const RegKeyNode& root);

  // "A\\B\\C" split at the backslashes; empty parts are dropped.
  static std::vector<std::string> SplitPath(std::string_view path);
  // A key name can hold any character except the separator and line breaks.
  static bool IsValidKeyName(std::string_view name);
  // Whether two names are equal without regard to (ASCII) case.
  static bool NamesEqual(std::string_view a, std::string_view b);
};
