// One agent per desktop: a running agent in a child process and a second
// one in the test process, talking over the real socket.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/InstanceChannel.h"
#include "platform/InstanceMessage.h"
#include "platform/Win32Errors.h"
#include "support/TestEnv.h"

namespace {

constexpr uint32_t kVersion = 0x02030000;

// An agent listening in a child process; each request that reaches its UI
// thread comes back as one line on a pipe ("start" or "cmd:" + text).
class CRunningAgent {
public:
  ~CRunningAgent() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      Reap();
    }
    if (m_fd >= 0) close(m_fd);
  }
  bool Start(const std::string& path, uint32_t version) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    m_pid = fork();
    if (m_pid == 0) {
      close(fds[0]);
      const int out = fds[1];
      auto say = [out](const std::string& line) {
        const std::string text = line + "\n";
        if (write(out, text.data(), text.size()) < 0) _exit(3);
      };
      CMessageWindow window;
      CInstanceChannel channel(path);
      const bool listening = channel.Listen(version, window, [&](const InstanceRequest& request) {
        say(request.kind == InstanceRequest::CommandLine ? "cmd:" + request.commandLine : "start");
      });
      say(listening ? "listening" : "failed");
      if (listening) window.Run();
      _exit(listening ? 0 : 1);
    }
    close(fds[1]);
    m_fd = fds[0];
    return m_pid > 0 && ReadLine() == "listening";
  }
  std::string ReadLine() {
    std::string line;
    char c = 0;
    while (true) {
      pollfd pfd{m_fd, POLLIN, 0};
      if (poll(&pfd, 1, 10000) <= 0 || read(m_fd, &c, 1) != 1) return line + "<no answer>";
      if (c == '\n') return line;
      line.push_back(c);
    }
  }
  pid_t Pid() const { return m_pid; }
  // The wait status once it ended.
  int Reap() {
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return status;
  }

private:
  pid_t m_pid = -1;
  int m_fd = -1;
};

class InstanceChannelTest : public ::testing::Test {
protected:
  qvtest::CTempDir dir;
  std::string path = dir.Str() + "/agent.socket";
};

TEST_F(InstanceChannelTest, SameVersionHandsOverItsCommandLineAndTheStartPage) {
  CRunningAgent first;
  ASSERT_TRUE(first.Start(path, kVersion));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  CInstanceChannel second(path);
  ASSERT_TRUE(second.Connect()) << second.GetLastError();
  EXPECT_EQ(second.GetPeerProcessId(), first.Pid());
  const std::string commandLine = R"("/home/me/My Runs/Tom's "best" run.gpx")";
  ASSERT_TRUE(second.SendCommandLine(commandLine)) << second.GetLastError();
  EXPECT_EQ(first.ReadLine(), "cmd:" + commandLine);
  second.Disconnect();

  // While it runs, nobody else takes its socket; it serves the next agent too.
  CMessageWindow window;
  CInstanceChannel third(path);
  EXPECT_FALSE(third.Listen(kVersion, window, nullptr));
  EXPECT_EQ(third.GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(third.Connect());
  EXPECT_TRUE(third.SendShowStartPage());
  EXPECT_EQ(first.ReadLine(), "start");
}

// An agent of another version is ended; the socket of a crashed one refuses
// connections. Either way the new agent takes the socket over.
TEST_F(InstanceChannelTest, TheNewAgentTakesOverFromAnotherVersionOrACrashedOne) {
  for (const bool crashed : {false, true}) {
    SCOPED_TRACE(crashed ? "crashed" : "another version");
    CRunningAgent old;
    ASSERT_TRUE(old.Start(path, kVersion - 1));
    CMessageWindow window;  // outlives the channel that delivers to it
    CInstanceChannel channel(path);
    uint32_t version = 0;
    if (crashed) {
      kill(old.Pid(), SIGKILL);
      old.Reap();
      ASSERT_TRUE(std::filesystem::exists(path));
      EXPECT_FALSE(channel.Connect());
      EXPECT_EQ(channel.GetLastError(), ERROR_CONNECTION_REFUSED);
    } else {
      ASSERT_TRUE(channel.Connect());
      ASSERT_TRUE(channel.QueryVersion(version));
      ASSERT_EQ(version, kVersion - 1);
      ASSERT_TRUE(channel.EndPeer()) << channel.GetLastError();
      const int status = old.Reap();
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    std::vector<std::string> seen;
    ASSERT_TRUE(channel.Listen(kVersion, window, [&](const InstanceRequest& request) {
      seen.push_back(request.commandLine);
    })) << channel.GetLastError();
    CInstanceChannel next(path);
    ASSERT_TRUE(next.Connect());
    ASSERT_TRUE(next.QueryVersion(version));
    EXPECT_EQ(version, kVersion);
    ASSERT_TRUE(next.SendCommandLine("track.kml"));
    EXPECT_TRUE(window.PumpOne(std::chrono::seconds(5)));
    EXPECT_EQ(seen, std::vector<std::string>{"track.kml"});
    next.Disconnect();
    channel.StopListening();
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

TEST(InstanceMessageTest, RecordsAreTakenWholeAndBoundsChecked) {
  const std::string two =
      EncodeInstanceMessage(INSTANCE_COMMAND_LINE, "a b") +
      EncodeInstanceMessage(INSTANCE_VERSION_QUERY | INSTANCE_REPLY, std::string("\x01\x00\x03\x02", 4));
  struct Row {
    const char* legend;
    std::string bytes;
    InstanceDecode result;
    uint8_t kind;
    std::string payload;
    size_t consumed;
  };
  const std::vector<Row> rows = {
      {"two records: the first", two, InstanceDecode::Complete, INSTANCE_COMMAND_LINE, "a b", 8},
      {"header cut short", two.substr(0, 4), InstanceDecode::Incomplete, 0, "", 0},
      {"payload cut short", two.substr(0, 7), InstanceDecode::Incomplete, 0, "", 0},
      {"length over the limit", std::string("\x02\x01\x00\x01\x00", 5), InstanceDecode::Bad, 0, "", 0},
      {"unknown kind", std::string("\x09\x00\x00\x00\x00", 5), InstanceDecode::Bad, 0, "", 0},
      {"empty payload", std::string("\x83\x00\x00\x00\x00", 5), InstanceDecode::Complete, 0x83, "", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    InstanceMessage message;
    size_t consumed = 99;
    EXPECT_EQ(DecodeInstanceMessage(row.bytes, message, consumed), row.result);
    EXPECT_EQ(consumed, row.consumed);
    if (row.result == InstanceDecode::Complete) {
      EXPECT_EQ(message.kind, row.kind);
      EXPECT_EQ(message.payload, row.payload);
    }
  }
  uint32_t version = 0;
  EXPECT_FALSE(DecodeInstanceVersion("abc", version));
}

}  // namespace
