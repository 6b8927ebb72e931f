// The program qvagent itself, driven through headless Chromium: leaving it
// while a receive runs, with and without the background setting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/DlgRig.h"
#include "e2e/WebDriver.h"

namespace {

using qvtest::Browser;
using qvtest::ReceiverJson;
using qvtest::ThreeTracksJson;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

// One qvagent --no-browser, its output in a file; ended at the latest with the object.
class CAgentProcess {
public:
  CAgentProcess(const std::filesystem::path& output) : m_output(output) {
    m_pid = fork();
    if (m_pid == 0) {
      const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 1);
      dup2(fd, 2);
      execl(QV_AGENT_PATH, QV_AGENT_PATH, "--no-browser", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~CAgentProcess() {
    if (m_pid > 0 && !HasExited(std::chrono::milliseconds(0))) {
      kill(m_pid, SIGKILL);
      HasExited(std::chrono::seconds(10));
    }
  }
  // The start page's address, the first line the agent prints.
  std::string Address() {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end) {
      std::ifstream in(m_output);
      std::string line;
      if (std::getline(in, line) && line.rfind("http://", 0) == 0) return line;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
  }
  bool HasExited(std::chrono::milliseconds within) {
    if (m_exited) return true;
    const auto end = Clock::now() + within;
    do {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_exited = true;
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < end);
    return false;
  }
  int ExitCode() const { return m_exitCode; }

private:
  std::filesystem::path m_output;
  pid_t m_pid = -1;
  bool m_exited = false;
  int m_exitCode = -1;
};

bool PageShows(const std::string& script, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (Browser().Execute(script) == Json(true)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool Shows(const std::string& id) {
  return PageShows("return document.getElementById('" + id + "') !== null;");
}

class AgentProcessTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!Browser().IsReady()) GTEST_SKIP() << Browser().GetError();
    m_bed = std::make_unique<qvtest::CAgentBed>();
    m_bed->SetAccount();
  }
  void TearDown() override { m_bed.reset(); }

  // Opens the agent's start page and starts a receive.
  void StartReceive(CAgentProcess& agent) {
    const std::string address = agent.Address();
    ASSERT_FALSE(address.empty());
    Browser().Navigate(address);
    ASSERT_TRUE(Shows("LinkRxDevice"));
    ASSERT_TRUE(Browser().Click("#LinkRxDevice"));
    ASSERT_TRUE(Shows("Progress"));
  }

  std::unique_ptr<qvtest::CAgentBed> m_bed;
};

// Exit during a receive stops the worker and ends the program within the
// exit check's five seconds.
TEST_F(AgentProcessTest, ExitDuringAReceiveEndsTheProgram) {
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  CAgentProcess agent(m_bed->home() / "agent.out");
  StartReceive(agent);
  const auto clicked = Clock::now();
  ASSERT_TRUE(Browser().Click("#ButtonExit"));
  ASSERT_TRUE(agent.HasExited(std::chrono::seconds(10)));
  EXPECT_LT(Clock::now() - clicked, std::chrono::seconds(7));
  EXPECT_EQ(agent.ExitCode(), 0);
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::is_empty(CUtil::GetQueueFolder(0), ec) || ec);
}

// With the background setting the program stays; starting it again brings
// its start page up and the second copy ends.
TEST_F(AgentProcessTest, WithTheBackgroundSettingExitKeepsTheAgent) {
  CUtil::SetTaskbarIcon(true);
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  CAgentProcess agent(m_bed->home() / "agent.out");
  StartReceive(agent);
  ASSERT_TRUE(Browser().Click("#ButtonExit"));
  ASSERT_TRUE(Shows("LinkRxDevice"));
  EXPECT_FALSE(agent.HasExited(std::chrono::seconds(1)));
  ASSERT_TRUE(Browser().Click("#LinkPrefs"));
  ASSERT_TRUE(Shows("EditUsername"));

  CAgentProcess second(m_bed->home() / "second.out");
  ASSERT_TRUE(second.HasExited(std::chrono::seconds(20)));
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_TRUE(Shows("LinkRxDevice"));
  EXPECT_FALSE(agent.HasExited(std::chrono::milliseconds(0)));
}

// The program registers its own receiver drivers: a synchronise over USB
// reaches the service's inbox.
TEST_F(AgentProcessTest, SynchroniseOverUsb) {
  std::string error;
  auto usb = CGarminSim::FromJson(ReceiverJson(ThreeTracksJson()), &error);
  ASSERT_NE(usb, nullptr) << error;
  const std::string socket = (m_bed->home() / "receiver.socket").string();
  ASSERT_TRUE(usb->StartUsb(socket));
  CUtil::SetDevicePorts("usbsim:" + socket);
  CAgentProcess agent(m_bed->home() / "agent.out");
  const std::string address = agent.Address();
  ASSERT_FALSE(address.empty());
  Browser().Navigate(address);
  ASSERT_TRUE(Shows("LinkRxDevice"));
  ASSERT_TRUE(Browser().Click("#LinkRxDevice"));
  ASSERT_TRUE(Shows("LinkViewInbox"));
  EXPECT_EQ(m_bed->service.Uploads().size(), 1u);
  ASSERT_TRUE(Browser().Click("#ButtonExit"));
  EXPECT_TRUE(agent.HasExited(std::chrono::seconds(10)));
}

}  // namespace
