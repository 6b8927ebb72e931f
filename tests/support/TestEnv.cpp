#include "support/TestEnv.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qvtest {

CTempDir::CTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

CTempDir::~CTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

CScopedEnv::CScopedEnv(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
  if (const char* old = std::getenv(m_name.c_str())) m_old = old;
  if (value) {
    setenv(m_name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(m_name.c_str());
  }
}

CScopedEnv::~CScopedEnv() {
  if (m_old) {
    setenv(m_name.c_str(), m_old->c_str(), 1);
  } else {
    unsetenv(m_name.c_str());
  }
}

CIsolatedHome::CIsolatedHome()
    : m_home("HOME", m_dir.Str()),
      m_config("XDG_CONFIG_HOME", (m_dir.Path() / "config").string()),
      m_data("XDG_DATA_HOME", (m_dir.Path() / "data").string()),
      m_runtime("XDG_RUNTIME_DIR", (m_dir.Path() / "run").string()) {
  std::filesystem::create_directories(ConfigHome());
  std::filesystem::create_directories(DataHome());
  std::filesystem::create_directories(RuntimeDir());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::filesystem::path DataDir() {
  return QV_TEST_DATA_DIR;
}

}  // namespace qvtest
