#include "platform/Shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// The launcher's full path from PATH, looked up before forking so that the
// child only has to call exec.
std::string FindProgram(const std::string& name) {
  const char* pathVar = std::getenv("PATH");
  std::string_view dirs = pathVar != nullptr ? pathVar : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const size_t colon = dirs.find(':');
    std::string dir(dirs.substr(0, colon));
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return {};
}

// Runs `program target` in a new session as a grandchild that init adopts, so
// the agent neither waits for the handler nor leaves a zombie behind. A
// close-on-exec pipe tells whether the exec itself worked.
bool SpawnDetached(const std::string& program, const std::string& target) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const long openMax = ::sysconf(_SC_OPEN_MAX);
  const int lastFd = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) - 1 : 65535;
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(target.c_str()), nullptr};

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    ::close(pipeFds[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      if (grandchild < 0) {
        const int err = errno;
        (void)!::write(pipeFds[1], &err, sizeof err);
      }
      ::_exit(0);
    }
    // The handler must not inherit the agent's serial ports, sockets or
    // locks, whatever flags they were opened with, nor its signal settings.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
      for (int fd = 3; fd <= lastFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      ::dup2(devNull, STDIN_FILENO);
      ::dup2(devNull, STDOUT_FILENO);
      ::dup2(devNull, STDERR_FILENO);
      if (devNull > STDERR_FILENO) ::close(devNull);
    }
    ::execv(program.c_str(), argv);
    const int err = errno;
    (void)!::write(pipeFds[1], &err, sizeof err);
    ::_exit(127);
  }

  ::close(pipeFds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int childErr = 0;
  ssize_t n;
  do {
    n = ::read(pipeFds[0], &childErr, sizeof childErr);
  } while (n < 0 && errno == EINTR);
  ::close(pipeFds[0]);
  return n == 0;
}

bool NeedsQuoting(std::string_view arg) {
  if (arg.empty()) return true;
  return arg.find_first_of(std::string_view(" \t\n\"'\\><~|&;$*?#()`")) != std::string_view::npos;
}

// One argument of an Exec line: quoted when it holds a reserved character,
// with ", `, $ and \ escaped inside the quotes; % doubled everywhere since it
// starts a field code.
std::string QuoteExecArg(std::string_view arg) {
  const bool quote = NeedsQuoting(arg);
  std::string out;
  if (quote) out.push_back('"');
  for (char c : arg) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out.push_back('\\');
    if (c == '%') out.push_back('%');
    out.push_back(c);
  }
  if (quote) out.push_back('"');
  return out;
}

// The escapes of a desktop-entry string value.
std::string EscapeEntryValue(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

bool WriteFileAtomically(const std::filesystem::path& file, const std::string& content) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return false;
  std::filesystem::path temp = file;
  temp += ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

bool CShell::Open(const std::string& target) {
  try {
    if (target.empty() || target.find('\0') != std::string::npos) return false;
    const std::string program = FindProgram("xdg-open");
    if (program.empty()) return false;
    return SpawnDetached(program, target);
  } catch (...) {
    return false;
  }
}

bool CShell::OpenAppWindow(const std::string& url) {
  try {
    if (url.empty() || url.find('\0') != std::string::npos) return false;
    for (const char* browser : {"chromium", "chromium-browser", "google-chrome", "google-chrome-stable",
                                "microsoft-edge", "brave-browser", "vivaldi"}) {
      const std::string program = FindProgram(browser);
      if (!program.empty() && SpawnDetached(program, "--app=" + url)) return true;
    }
  } catch (...) {
    return false;
  }
  return Open(url);
}

bool CShell::CreateStartupEntry(const std::string& entryPath, const std::string& program,
                                const std::string& description) {
  try {
    if (entryPath.empty() || program.empty()) return false;
    std::string content = "[Desktop Entry]\nType=Application\n";
    content += "Name=" + EscapeEntryValue(description) + "\n";
    content += "Exec=" + EscapeEntryValue(QuoteExecArg(program) + " -bg") + "\n";
    content += "X-GNOME-Autostart-enabled=true\n";
    return WriteFileAtomically(entryPath, content);
  } catch (...) {
    return false;
  }
}

bool CShell::RemoveStartupEntry(const std::string& entryPath) {
  if (entryPath.empty()) return false;
  return ::unlink(entryPath.c_str()) == 0 || errno == ENOENT;
}
