#include "platform/ShellFolders.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace {

// An XDG folder variable counts only when it holds an absolute path; the
// base-directory rules tell programs to ignore relative ones.
std::string XdgFolder(const char* variable, std::string_view homeRelative) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  std::string folder = home;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder != "/") folder += '/';
  folder += homeRelative;
  return folder;
}

}  // namespace

std::string CShellFolders::GetAppDataFolder() {
  return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string CShellFolders::GetConfigFolder() {
  return XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string CShellFolders::GetStartupFolder() {
  std::string config = GetConfigFolder();
  if (config.empty()) return {};
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  if (config != "/") config += '/';
  return config + "autostart";
}

std::string CShellFolders::GetModulePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}
