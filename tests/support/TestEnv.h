// Helpers every test program shares: temporary folders and environment guards.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qvtest {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class CTempDir {
public:
  CTempDir();
  ~CTempDir();
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;
  const std::filesystem::path& Path() const { return m_path; }
  std::string Str() const { return m_path.string(); }

private:
  std::filesystem::path m_path;
};

// Sets (or, with nullopt, unsets) one environment variable and restores it.
class CScopedEnv {
public:
  CScopedEnv(std::string name, const std::optional<std::string>& value);
  ~CScopedEnv();
  CScopedEnv(const CScopedEnv&) = delete;
  CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
  std::string m_name;
  std::optional<std::string> m_old;
};

// Points HOME and the XDG folders at a temporary folder, so that settings,
// data and runtime files of a test never touch the user's own.
class CIsolatedHome {
public:
  CIsolatedHome();
  const std::filesystem::path& Path() const { return m_dir.Path(); }
  std::filesystem::path ConfigHome() const { return m_dir.Path() / "config"; }
  std::filesystem::path DataHome() const { return m_dir.Path() / "data"; }
  std::filesystem::path RuntimeDir() const { return m_dir.Path() / "run"; }

private:
  CTempDir m_dir;
  CScopedEnv m_home;
  CScopedEnv m_config;
  CScopedEnv m_data;
  CScopedEnv m_runtime;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);
// The folder of checked-in fixtures, tests/data.
std::filesystem::path DataDir();

}  // namespace qvtest
