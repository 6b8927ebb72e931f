// scripts/demo.sh as a user runs it: the windowed agent's start page in the
// browser, a synchronise of the simulated receiver's week that reaches the
// reference service's inbox, and Ctrl+C stopping what the demo started and
// removing its throw-away home.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "e2e/WebDriver.h"
#include "support/RunProgram.h"

namespace {

using qvtest::Browser;
using Json = nlohmann::json;
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
      execl("/bin/bash", "bash", script.c_str(), "--no-browser", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    m_fd = fds[0];
    return m_pid > 0;
  }
  // The first match of `pattern`'s group in the output, waiting for it; empty
  // on timeout or when the output ends. Patterns end with the line's end, so
  // that a line read in part does not match.
  std::string WaitFor(const std::string& pattern, int seconds) {
    const std::regex re(pattern);
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    std::smatch match;
    while (!std::regex_search(m_output, match, re)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd pfd{m_fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return {};
      char buffer[1024];
      const ssize_t n = read(m_fd, buffer, sizeof buffer);
      if (n <= 0) return {};
      m_output.append(buffer, static_cast<size_t>(n));
    }
    return match[1].str();
  }
  // Ctrl+C on the terminal: the whole group gets SIGINT. The exit code.
  int Interrupt() {
    kill(-m_pid, SIGINT);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& Output() const { return m_output; }

private:
  pid_t m_pid = -1;
  int m_fd = -1;
  std::string m_output;
};

bool PageShows(const std::string& script, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (Browser().Execute(script) == Json(true)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

bool PageHas(const std::string& id, std::chrono::seconds limit = std::chrono::seconds(60)) {
  return PageShows("return document.getElementById('" + id + "') !== null;", limit);
}

TEST(DemoScript, ASynchroniseInTheBrowserReachesTheInboxAndCtrlCCleansUp) {
  if (!Browser().IsReady()) GTEST_SKIP() << Browser().GetError();
  CDemo demo;
  ASSERT_TRUE(demo.Start());
  const std::string home = demo.WaitFor(R"(throw-away home: +(\S+)\n)", 120);
  const std::string inbox = demo.WaitFor(R"(inbox: +(http://\S+)\n)", 10);
  const std::string start = demo.WaitFor(R"((http://127\.0\.0\.1:[0-9]+/start\S*)\n)", 60);
  ASSERT_FALSE(home.empty()) << demo.Output();
  ASSERT_FALSE(inbox.empty()) << demo.Output();
  ASSERT_FALSE(start.empty()) << demo.Output();

  Browser().Navigate(start);
  ASSERT_TRUE(PageHas("LinkRxDevice"));
  // The service's announcements reach the start page.
  EXPECT_TRUE(
      PageShows("return document.getElementById('MsgSection').textContent.includes('Welcome to Tavelnor');",
                std::chrono::seconds(30)));
  ASSERT_TRUE(Browser().Click("#LinkRxDevice"));
  ASSERT_TRUE(PageHas("LinkViewInbox", std::chrono::seconds(180))) << demo.Output();

  Browser().Navigate(inbox);
  const Json text = Browser().Execute("return document.body.textContent;");
  ASSERT_TRUE(text.is_string());
  EXPECT_NE(text.get<std::string>().find("demo@example.org"), std::string::npos) << text;
  EXPECT_NE(text.get<std::string>().find("1 upload(s) received."), std::string::npos) << text;

  EXPECT_EQ(demo.Interrupt(), 130) << demo.Output();
  EXPECT_FALSE(std::filesystem::exists(home));
  // The service and the agent are gone with the demo.
  EXPECT_NE(qvtest::RunProgram({"/usr/bin/curl", "-sf", inbox}, 30).exitCode, 0);
  EXPECT_NE(qvtest::RunProgram({"/usr/bin/curl", "-sf", start}, 30).exitCode, 0);
}

}  // namespace
