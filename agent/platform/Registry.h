// Per-user and per-machine settings in the shape of the Windows registry.
// Each hive is one text file in the Windows ".reg" export format; every
// operation reads the file afresh when it changed on disk and every write
// replaces it atomically under an advisory lock, so two agents writing at the
// same time lose nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class RegHive { CurrentUser, ClassesRoot, LocalMachine };

enum class RegType : uint32_t { String = 1, Dword = 4 };

struct RegValue {
  std::string name;  // empty for the key's default value
  RegType type = RegType::String;
  std::string text;    // REG_SZ data
  uint32_t dword = 0;  // REG_DWORD data

  bool operator==(const RegValue&) const = default;
};

class CRegistry {
public:
  // A hive stored in the given file. A missing file is an empty hive. The
  // hive names the root of the key lines in the file ("HKEY_CURRENT_USER").
  explicit CRegistry(std::filesystem::path file, RegHive hive = RegHive::CurrentUser);
  ~CRegistry();
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;

  // The process-wide hive: HKCU at $XDG_CONFIG_HOME/Tavelnor/user.reg,
  // HKCR at $XDG_DATA_HOME/Tavelnor/classes.reg, HKLM at
  // $XDG_DATA_HOME/Tavelnor/machine.reg (only fixtures use it on Linux).
  // The place is taken from the environment at each call, so tests can
  // point the variables at temporary folders.
  static CRegistry& Hive(RegHive hive);
  static std::filesystem::path HivePath(RegHive hive);

  // Key paths use backslashes ("Software\\Tavelnor\\QVAgent\\Device") and are
  // matched without regard to case; the case of the first writer is kept.
  // An empty value name addresses the default value.
  bool KeyExists(const std::string& key) const;
  std::optional<RegValue> GetValue(const std::string& key, const std::string& name) const;
  bool GetString(const std::string& key, const std::string& name, std::string& out) const;
  bool GetDword(const std::string& key, const std::string& name, uint32_t& out) const;

  // Writers create missing keys and return false when the file cannot be written.
  bool CreateKey(const std::string& key);
  bool SetString(const std::string& key, const std::string& name, const std::string& text);
  bool SetDword(const std::string& key, const std::string& name, uint32_t value);
  bool DeleteValue(const std::string& key, const std::string& name);
  // Removes the key with all its subkeys; false when it did not exist.
  bool DeleteKey(const std::string& key);

  std::vector<std::string> EnumSubkeys(const std::string& key) const;
  std::vector<RegValue> EnumValues(const std::string& key) const;

  const std::filesystem::path& File() const;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
