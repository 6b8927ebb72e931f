// A small WebDriver client: one headless Chromium, driven over plain HTTP
// through chromedriver, shared by every test of the program.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/PageResources.h"
#include "platform/BrowserHost.h"
#include "platform/MessageWindow.h"
#include "support/TestEnv.h"

namespace qvtest {

// A program in a process group of its own, as a terminal would run it, its
// output collected unless it is not kept; the group is killed at the latest
// with the object. `environment` is one more NAME=value for the program.
class CChildProcess {
public:
  explicit CChildProcess(const std::vector<std::string>& argv, const std::string& environment = "",
                         bool keepOutput = true);
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  // Group 1 of the first match of `pattern` in the output, waiting for it;
  // empty on timeout or when the output ends. Patterns end with the line's
  // end, so that a line read in part does not match.
  std::string WaitFor(const std::string& pattern, std::chrono::seconds limit);
  bool HasExited(std::chrono::milliseconds within);
  int ExitCode() const { return m_exitCode; }  // -1 when it did not exit normally
  void Signal(int signal);                     // to the whole group, as Ctrl+C does
  const std::string& Output() const { return m_output; }

private:
  pid_t m_pid = -1;
  int m_fd = -1;
  bool m_exited = false;
  int m_exitCode = -1;
  std::string m_output;
};

class CWebDriver {
public:
  using Json = nlohmann::json;

  // Starts chromedriver and a browser session; IsReady() tells whether it worked.
  CWebDriver();
  ~CWebDriver();
  CWebDriver(const CWebDriver&) = delete;
  CWebDriver& operator=(const CWebDriver&) = delete;

  bool IsReady() const { return !m_session.empty(); }
  const std::string& GetError() const { return m_error; }

  void Navigate(const std::string& url);
  void Refresh();
  // The script's return value; scripts get their arguments as `arguments`.
  Json Execute(const std::string& script, const Json& args = Json::array());
  // Clicks the element with this CSS selector; false when there is none.
  bool Click(const std::string& selector);
  bool Type(const std::string& selector, const std::string& text);
  // Runs the script until it answers true; false when the time is up.
  bool WaitFor(const std::string& script, std::chrono::seconds limit = std::chrono::seconds(60));
  bool WaitForId(const std::string& id, std::chrono::seconds limit = std::chrono::seconds(60));
  // The inner HTML of the element with this id; empty when there is none.
  std::string Html(const std::string& id);
  // Presses the keys down in order and lets them go in reverse, as a chord:
  // {"\uE009", "\uE008", "d"} is Ctrl+Shift+D.
  void PressChord(const std::vector<std::string>& keys);

private:
  Json _Call(const std::string& method, const std::string& path, const Json& body = nullptr);
  Json _Post(const std::string& path, const Json& body) {
    return _Call("POST", "/session/" + m_session + path, body);
  }
  std::string _Element(const std::string& selector);

  CTempDir m_profile;
  std::unique_ptr<CChildProcess> m_driver;  // chromedriver
  uint16_t m_port = 0;
  std::string m_session;
  std::string m_error;
};

// The browser of this test program, started at first use.
CWebDriver& Browser();

// Pages of a browser host in this process, shown in the browser; the host's
// events are handled on the test's thread while it waits.
class CHostedPagesTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!Browser().IsReady()) GTEST_SKIP() << Browser().GetError();
  }
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      m_window.PumpPending();
      m_window.PumpOne(std::chrono::milliseconds(20));
    }
    return true;
  }
  bool PageShows(const std::string& script) {
    return PumpUntil([&] { return Browser().Execute(script) == nlohmann::json(true); });
  }
  bool Has(const std::string& id) {
    return PageShows("return document.getElementById('" + id + "') !== null;");
  }

  CMessageWindow m_window;
  CBrowserHost m_host{PageResources(),
                      [this](std::function<void()> task) { m_window.PostTask(std::move(task)); }};
};

}  // namespace qvtest
