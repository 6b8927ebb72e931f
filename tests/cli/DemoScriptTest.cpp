// scripts/demo.sh as a user runs it: the simulated receiver's week reaches
// the reference service's inbox, and Ctrl+C stops what the demo started and
// removes its throw-away home.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using Clock = std::chrono::steady_clock;

// The script in a process group of its own, as a terminal would run it.
class CDemo {
public:
  ~CDemo() {
    if (m_pid > 0) {
      kill(-m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_fd >= 0) close(m_fd);
  }
  bool Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const std::string script = (qvtest::DataDir() / ".." / ".." / "scripts" / "demo.sh").string();
    m_pid = fork();
    if (m_pid == 0) {
      setpgid(0, 0);
      dup2(fds[1], 1);
      dup2(fds[1], 2);
      close(fds[0]);
      close(fds[1]);
      signal(SIGINT, SIG_DFL);
      setenv("QV_DEMO_BUILD", QV_BINARY_DIR, 1);
      // The command-line agent, whether or not the windowed one is built.
      setenv("QV_DEMO_AGENT", "none", 1);
      execl("/bin/bash", "bash", script.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    m_fd = fds[0];
    return m_pid > 0;
  }
  // Reads until `text` appears or the output ends; false on timeout or end.
  bool ReadUntil(const std::string& text, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (m_output.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd pfd{m_fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return false;
      char buffer[1024];
      const ssize_t n = read(m_fd, buffer, sizeof buffer);
      if (n <= 0) return false;
      m_output.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }
  // Ctrl+C on the terminal: the whole group gets SIGINT. The exit code.
  int Interrupt() {
    kill(-m_pid, SIGINT);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Find(const std::string& pattern) const {
    std::smatch match;
    return std::regex_search(m_output, match, std::regex(pattern)) ? match[1].str() : std::string();
  }
  const std::string& Output() const { return m_output; }

private:
  pid_t m_pid = -1;
  int m_fd = -1;
  std::string m_output;
};

TEST(DemoScript, TheWeekReachesTheInboxAndCtrlCCleansUp) {
  CDemo demo;
  ASSERT_TRUE(demo.Start());
  ASSERT_TRUE(demo.ReadUntil("Press Ctrl+C", 120)) << demo.Output();
  EXPECT_NE(demo.Output().find("Queued 9 activities"), std::string::npos) << demo.Output();
  EXPECT_NE(demo.Output().find("Welcome to Tavelnor"), std::string::npos) << "announcements from the service";
  const std::string home = demo.Find(R"(throw-away home: +(\S+))");
  const std::string inbox = demo.Find(R"(inbox: +(http://\S+))");
  ASSERT_FALSE(home.empty()) << demo.Output();
  ASSERT_FALSE(inbox.empty()) << demo.Output();
  EXPECT_TRUE(std::filesystem::exists(home + "/run/receiver.socket"));

  auto page = qvtest::RunProgram({"/usr/bin/curl", "-sf", inbox}, 30);
  ASSERT_EQ(page.exitCode, 0) << page.err;
  EXPECT_NE(page.out.find("<td>demo</td><td>demo@example.org</td>"), std::string::npos) << page.out;
  EXPECT_NE(page.out.find("1 upload(s) received."), std::string::npos) << page.out;

  EXPECT_EQ(demo.Interrupt(), 130);
  EXPECT_FALSE(std::filesystem::exists(home));
  // The service is gone with the demo.
  EXPECT_NE(qvtest::RunProgram({"/usr/bin/curl", "-sf", inbox}, 30).exitCode, 0);
}

}  // namespace
