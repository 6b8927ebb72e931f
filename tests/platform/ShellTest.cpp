#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "platform/Shell.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;
using qvtest::CTempDir;
using qvtest::ReadFile;

TEST(Shell, StartupEntryRunsTheAgentInTheBackground) {
  CTempDir dir;
  const fs::path entry = dir.Path() / "autostart" / "Tavelnor Agent.desktop";
  ASSERT_TRUE(CShell::CreateStartupEntry(entry, "/opt/tavelnor/bin/qvagent", "Tavelnor Agent"));
  EXPECT_EQ(ReadFile(entry),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Tavelnor Agent\n"
            "Exec=/opt/tavelnor/bin/qvagent -bg\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_FALSE(fs::exists(entry.string() + ".tmp"));

  // Writing again replaces the entry.
  ASSERT_TRUE(CShell::CreateStartupEntry(entry, "/usr/bin/qvagent", "Tavelnor Agent"));
  EXPECT_NE(ReadFile(entry).find("Exec=/usr/bin/qvagent -bg\n"), std::string::npos);

  EXPECT_TRUE(CShell::RemoveStartupEntry(entry));
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(CShell::RemoveStartupEntry(entry)) << "a missing entry is not an error";
}

TEST(Shell, ProgramPathsAreQuotedAsDesktopEntriesRequire) {
  struct Case {
    const char* legend;
    std::string program;
    std::string description;
    std::string exec;
    std::string name;
  } cases[] = {
      {"plain", "/usr/bin/qvagent", "Tavelnor Agent", "/usr/bin/qvagent -bg", "Tavelnor Agent"},
      {"space", "/home/u/My Apps/qvagent", "A", "\"/home/u/My Apps/qvagent\" -bg", "A"},
      // The quoting escapes come first; then every backslash is escaped once
      // more for the value itself, so a literal backslash reaches the file as four.
      {"quote and dollar", "/tmp/a\"b$c", "A", "\"/tmp/a\\\\\"b\\\\$c\" -bg", "A"},
      {"backslash", "/tmp/a\\b", "A", "\"/tmp/a\\\\\\\\b\" -bg", "A"},
      {"percent", "/tmp/100%/qvagent", "A", "/tmp/100%%/qvagent -bg", "A"},
      {"back quote", "/tmp/a`b", "A", "\"/tmp/a\\\\`b\" -bg", "A"},
      {"line break in name", "/usr/bin/qvagent", "Two\nLines", "/usr/bin/qvagent -bg", "Two\\nLines"},
  };
  CTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const fs::path entry = dir.Path() / "entry.desktop";
    ASSERT_TRUE(CShell::CreateStartupEntry(entry, c.program, c.description));
    const std::string content = ReadFile(entry);
    EXPECT_NE(content.find("\nExec=" + c.exec + "\n"), std::string::npos) << content;
    EXPECT_NE(content.find("\nName=" + c.name + "\n"), std::string::npos) << content;
  }
}

TEST(Shell, StartupEntryFailsWhereNothingCanBeWritten) {
  CTempDir dir;
  const fs::path blocker = dir.Path() / "file";
  qvtest::WriteFile(blocker, "x");
  EXPECT_FALSE(CShell::CreateStartupEntry(blocker / "entry.desktop", "/usr/bin/qvagent", "Tavelnor Agent"));
  EXPECT_FALSE(CShell::CreateStartupEntry("", "/usr/bin/qvagent", "Tavelnor Agent"));
}

class ShellOpenTest : public testing::Test {
protected:
  // A stand-in for the desktop's handler: it records its argument and its
  // session, then lingers, so a caller that waited for it would be seen.
  void InstallHandler(const std::string& body) {
    const fs::path script = m_dir.Path() / "xdg-open";
    qvtest::WriteFile(script, "#!/bin/sh\n" + body);
    fs::permissions(script, fs::perms::owner_all);
  }
  std::string WaitForRecord() {
    const fs::path record = m_dir.Path() / "record";
    for (int i = 0; i < 500 && !fs::exists(m_dir.Path() / "done"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadFile(record);
  }
  CTempDir m_dir;
  qvtest::CScopedEnv m_path{"PATH", m_dir.Str() + ":/usr/bin:/bin"};
};

TEST_F(ShellOpenTest, StartsTheHandlerDetachedWithoutWaiting) {
  InstallHandler("echo \"$1\" > '" + m_dir.Str() + "/record'\n" + "cut -d' ' -f6 /proc/$$/stat >> '" +
                 m_dir.Str() + "/record'\n" + "touch '" + m_dir.Str() + "/done'\n" + "sleep 3\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(CShell::Open("http://127.0.0.1:8080/trail"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "Open must not wait";
  const std::string record = WaitForRecord();
  const size_t lineEnd = record.find('\n');
  ASSERT_NE(lineEnd, std::string::npos) << record;
  EXPECT_EQ(record.substr(0, lineEnd), "http://127.0.0.1:8080/trail");
  const std::string session = record.substr(lineEnd + 1, record.find('\n', lineEnd + 1) - lineEnd - 1);
  EXPECT_NE(session, std::to_string(::getsid(0))) << "the handler runs in a session of its own";
}

TEST_F(ShellOpenTest, TheHandlerInheritsNoOpenFiles) {
  // Opened the way a careless library would: without close-on-exec.
  const int leaky = ::open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(leaky, 0);
  InstallHandler("ls /proc/$$/fd > '" + m_dir.Str() + "/record'\n" + "touch '" + m_dir.Str() + "/done'\n");
  EXPECT_TRUE(CShell::Open("/tmp"));
  const std::string record = WaitForRecord();
  ::close(leaky);
  std::vector<std::string> fds;
  std::istringstream lines(record);
  for (std::string fd; std::getline(lines, fd);) fds.push_back(fd);
  EXPECT_FALSE(fds.empty());
  EXPECT_EQ(std::count(fds.begin(), fds.end(), std::to_string(leaky)), 0) << record;
}

TEST_F(ShellOpenTest, FailsWhenThereIsNoHandler) {
  // Only the test's folder: the machine may have a real xdg-open (it comes with the browser).
  qvtest::CScopedEnv onlyHere{"PATH", m_dir.Str()};
  EXPECT_FALSE(CShell::Open("http://127.0.0.1/"));
  InstallHandler("exit 0\n");
  fs::permissions(m_dir.Path() / "xdg-open", fs::perms::owner_read);
  EXPECT_FALSE(CShell::Open("http://127.0.0.1/")) << "not executable";
  EXPECT_FALSE(CShell::Open(""));
}

}  // namespace

namespace {

TEST_F(ShellOpenTest, AppWindowWithAChromiumFamilyBrowserElseTheHandler) {
  // Only the test's folder, so the machine's own browsers stay out of it.
  qvtest::CScopedEnv onlyHere{"PATH", m_dir.Str()};
  InstallHandler("echo \"xdg-open $1\" > '" + m_dir.Str() + "/record'\necho > '" + m_dir.Str() + "/done'\n");
  EXPECT_TRUE(CShell::OpenAppWindow("http://127.0.0.1:1234/start?token=ab"));
  EXPECT_EQ(WaitForRecord(), "xdg-open http://127.0.0.1:1234/start?token=ab\n");

  fs::remove(m_dir.Path() / "done");
  const fs::path browser = m_dir.Path() / "google-chrome";
  qvtest::WriteFile(
      browser, "#!/bin/sh\necho \"$1\" > '" + m_dir.Str() + "/record'\necho > '" + m_dir.Str() + "/done'\n");
  fs::permissions(browser, fs::perms::owner_all);
  EXPECT_TRUE(CShell::OpenAppWindow("http://127.0.0.1:1234/start?token=ab"));
  EXPECT_EQ(WaitForRecord(), "--app=http://127.0.0.1:1234/start?token=ab\n");
}

}  // namespace
