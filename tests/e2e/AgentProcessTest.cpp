// The program qvagent itself, driven through headless Chromium: leaving it
// while a receive runs, with and without the background setting, and a
// synchronise over USB with the drivers the program registers.
#include <gtest/gtest.h>

#include "app/DlgRig.h"
#include "e2e/WebDriver.h"

namespace {

using qvtest::Browser;
using qvtest::CChildProcess;
using qvtest::ReceiverJson;
using qvtest::ThreeTracksJson;
using namespace std::chrono_literals;

class AgentProcessTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!Browser().IsReady()) GTEST_SKIP() << Browser().GetError();
    m_bed = std::make_unique<qvtest::CAgentBed>();
    m_bed->SetAccount();
  }
  void TearDown() override { m_bed.reset(); }

  // Opens the agent's start page, the first line it prints, and starts a receive.
  void StartReceive(CChildProcess& agent) {
    const std::string address = agent.WaitFor(R"((http://\S+)\n)", 30s);
    ASSERT_FALSE(address.empty()) << agent.Output();
    // At once: the address is printed before the first page is loaded, and
    // the first visit must still land on the start page.
    Browser().Navigate(address);
    ASSERT_TRUE(Browser().WaitForId("LinkRxDevice"));
    ASSERT_TRUE(Browser().Click("#LinkRxDevice"));
  }

  std::unique_ptr<qvtest::CAgentBed> m_bed;
};

// Exit during a receive stops the worker and ends the program within the
// exit check's five seconds.
TEST_F(AgentProcessTest, ExitDuringAReceiveEndsTheProgram) {
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  CChildProcess agent({QV_AGENT_PATH, "--no-browser"});
  ASSERT_NO_FATAL_FAILURE(StartReceive(agent));
  ASSERT_TRUE(Browser().WaitForId("Progress"));
  const auto clicked = std::chrono::steady_clock::now();
  ASSERT_TRUE(Browser().Click("#ButtonExit"));
  ASSERT_TRUE(agent.HasExited(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - clicked, 7s);
  EXPECT_EQ(agent.ExitCode(), 0);
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::is_empty(CUtil::GetQueueFolder(0), ec) || ec);
}

// With the background setting the program stays; starting it again brings
// its start page up and the second copy ends.
TEST_F(AgentProcessTest, WithTheBackgroundSettingExitKeepsTheAgent) {
  CUtil::SetTaskbarIcon(true);
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  CChildProcess agent({QV_AGENT_PATH, "--no-browser"});
  ASSERT_NO_FATAL_FAILURE(StartReceive(agent));
  ASSERT_TRUE(Browser().WaitForId("Progress"));
  ASSERT_TRUE(Browser().Click("#ButtonExit"));
  ASSERT_TRUE(Browser().WaitForId("LinkRxDevice"));
  EXPECT_FALSE(agent.HasExited(1s));
  ASSERT_TRUE(Browser().Click("#LinkPrefs"));
  ASSERT_TRUE(Browser().WaitForId("EditUsername"));

  CChildProcess second({QV_AGENT_PATH, "--no-browser"});
  ASSERT_TRUE(second.HasExited(20s));
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_TRUE(Browser().WaitForId("LinkRxDevice"));
  EXPECT_FALSE(agent.HasExited(0ms));
}

TEST_F(AgentProcessTest, SynchroniseOverUsb) {
  std::string error;
  auto usb = CGarminSim::FromJson(ReceiverJson(ThreeTracksJson()), &error);
  ASSERT_NE(usb, nullptr) << error;
  const std::string socket = (m_bed->home() / "receiver.socket").string();
  ASSERT_TRUE(usb->StartUsb(socket));
  CUtil::SetDevicePorts("usbsim:" + socket);
  CChildProcess agent({QV_AGENT_PATH, "--no-browser"});
  ASSERT_NO_FATAL_FAILURE(StartReceive(agent));
  ASSERT_TRUE(Browser().WaitForId("LinkViewInbox"));
  EXPECT_EQ(m_bed->service.Uploads().size(), 1u);
  ASSERT_TRUE(Browser().Click("#ButtonExit"));
  EXPECT_TRUE(agent.HasExited(10s));
}

}  // namespace
