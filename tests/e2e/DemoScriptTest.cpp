// scripts/demo.sh as a user runs it: the windowed agent's start page in the
// browser, a synchronise of the simulated receiver's week that reaches the
// reference service's inbox, and Ctrl+C stopping what the demo started and
// removing its throw-away home.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "e2e/WebDriver.h"
#include "support/RunProgram.h"

namespace {

using qvtest::Browser;
using namespace std::chrono_literals;

TEST(DemoScript, ASynchroniseInTheBrowserReachesTheInboxAndCtrlCCleansUp) {
  if (!Browser().IsReady()) GTEST_SKIP() << Browser().GetError();
  const std::string script = (qvtest::DataDir() / ".." / ".." / "scripts" / "demo.sh").string();
  qvtest::CChildProcess demo({"/bin/bash", script, "--no-browser"}, "QV_DEMO_BUILD=" QV_BINARY_DIR);
  const std::string home = demo.WaitFor(R"(throw-away home: +(\S+)\n)", 120s);
  const std::string inbox = demo.WaitFor(R"(inbox: +(http://\S+)\n)", 10s);
  const std::string start = demo.WaitFor(R"((http://127\.0\.0\.1:[0-9]+/start\S*)\n)", 60s);
  ASSERT_FALSE(home.empty() || inbox.empty() || start.empty()) << demo.Output();

  Browser().Navigate(start);
  ASSERT_TRUE(Browser().WaitForId("LinkRxDevice"));
  // The service's announcements reach the start page.
  EXPECT_TRUE(Browser().WaitFor(
      "return document.getElementById('MsgSection').textContent.includes('Welcome to Tavelnor');", 30s));
  ASSERT_TRUE(Browser().Click("#LinkRxDevice"));
  ASSERT_TRUE(Browser().WaitForId("LinkViewInbox", 180s)) << demo.Output();

  Browser().Navigate(inbox);
  const std::string text = Browser().Execute("return document.body.textContent;").dump();
  EXPECT_NE(text.find("demo@example.org"), std::string::npos) << text;
  EXPECT_NE(text.find("1 upload(s) received."), std::string::npos) << text;

  demo.Signal(SIGINT);
  ASSERT_TRUE(demo.HasExited(60s));
  EXPECT_EQ(demo.ExitCode(), 130) << demo.Output();
  EXPECT_FALSE(std::filesystem::exists(home));
  // The service and the agent are gone with the demo.
  EXPECT_NE(qvtest::RunProgram({"/usr/bin/curl", "-sf", inbox}, 30).exitCode, 0);
  EXPECT_NE(qvtest::RunProgram({"/usr/bin/curl", "-sf", start}, 30).exitCode, 0);
}

}  // namespace
