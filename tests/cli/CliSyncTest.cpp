// qvagent-cli sync, the real program against a simulated receiver on a
// pseudo-terminal, with its own home: what it prints, what it queues, what
// it records, and how Ctrl+C ends it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "link/CommsSerial.h"
#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

const std::string kProduct = "Forerunner305 Software Version 3.50";

std::string Scenario(const std::string& tracks) {
  return R"({"product_id": 484, "software_version": 350,
    "descriptions": ["Forerunner305 Software Version 3.50"], "serial_number": 3456789012,
    "protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304", "A906:D1011"],
    "clock": "2024-05-01T12:00:00Z", "tracks": )" +
         tracks + "}";
}

std::string TwoTracks() {
  return R"([
    {"ident": "MORNING RUN", "points": [
      {"lat": 47.3769, "lon": 8.5417, "time": "2024-05-01T06:00:00Z"},
      {"lat": 47.3775, "lon": 8.5423, "time": "2024-05-01T06:00:10Z"}]},
    {"ident": "EVENING RIDE", "points": [
      {"lat": -33.8567, "lon": 151.2152, "time": "2024-05-01T18:30:00Z"},
      {"lat": -33.8570, "lon": 151.2140, "time": "2024-05-01T18:30:05Z"}]}])";
}

// One long track: at the real wire rate its download takes seconds.
std::string LongTrack() {
  std::string points;
  for (int i = 0; i < 150; ++i) {
    if (!points.empty()) points += ",";
    points += R"({"lat": 47.)" + std::to_string(1000 + i) + R"(, "lon": 8.5, "time": )" +
              std::to_string(1714543200 + i * 5) + "}";
  }
  return R"([{"ident": "LONG", "points": [)" + points + "]}]";
}

class CliSyncTest : public ::testing::Test {
protected:
  // A receiver on a pseudo-terminal, named in the Device\Ports setting.
  CGarminSim& StartReceiver(const std::string& json) {
    std::string error;
    m_sim = CGarminSim::FromJson(json, &error);
    EXPECT_NE(m_sim, nullptr) << error;
    EXPECT_TRUE(m_sim->StartSerial(m_port));
    Set("Device", "Ports", m_port);
    Set("Device", "Timeout", "1000");
    return *m_sim;
  }

  void Set(const std::string& section, const std::string& value, const std::string& data) {
    const auto r = RunProgram({QV_CLI_PATH, "settings", "set", section, value, data});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  qvtest::ProgramResult Sync(std::vector<std::string> options = {}) {
    std::vector<std::string> argv{QV_CLI_PATH, "sync", "--port", m_port, "--no-upload"};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProgram(argv, 120);
  }

  std::filesystem::path DataFolder() const { return m_home.DataHome() / "Tavelnor"; }

  std::vector<std::string> Queued(const char* folder = "Queue") const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(DataFolder() / folder, ec)) {
      files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static std::string Gunzip(const std::string& path) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) return {};
    std::string text;
    char buffer[4096];
    int n = 0;
    while ((n = gzread(file, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    gzclose(file);
    return text;
  }

  static std::string GzipProgram() {
    for (const char* path : {"/usr/bin/gzip", "/bin/gzip"}) {
      if (std::filesystem::exists(path)) return path;
    }
    return "gzip";
  }

  qvtest::CIsolatedHome m_home;
  std::unique_ptr<CGarminSim> m_sim;
  std::string m_port;
};

TEST_F(CliSyncTest, QueuesOnlyTheNewActivitiesAndASecondRunFindsNothing) {
  StartReceiver(Scenario(TwoTracks()));

  const auto first = Sync();
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("Attempting to connect to device on " + m_port + "\n"), std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("Retrieving data from " + kProduct + " on " + m_port + ": 0%\n"),
            std::string::npos);
  EXPECT_NE(first.out.find("Data transfer complete for " + kProduct + " on " + m_port + "\n"),
            std::string::npos);
  EXPECT_NE(first.out.find("Queued 2 activities from " + kProduct + " on " + m_port), std::string::npos);
  // Not a terminal: plain lines, no markup, no rewritten progress.
  EXPECT_EQ(first.out.find('<'), std::string::npos);
  EXPECT_EQ(first.out.find('\r'), std::string::npos);
  std::vector<std::string> queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_TRUE(queued[0].ends_with(".qvx.gz"));
  EXPECT_EQ(RunProgram({GzipProgram(), "-t", queued[0]}).exitCode, 0);
  EXPECT_TRUE(Queued("QueueResend").empty());

  // Forget the evening ride: only it is new on the next run.
  const std::filesystem::path history = DataFolder() / "history.xml";
  std::string text = qvtest::ReadFile(history);
  ASSERT_NE(text.find("2024-05-01T18:30:00Z"), std::string::npos) << text;
  text =
      "<history>\n  <activity device=\"device-Garmin-484-3456789012\" begin=\"2024-05-01T06:00:00Z\"/>\n"
      "</history>\n";
  qvtest::WriteFile(history, text);

  const auto second = Sync();
  ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_NE(second.out.find("Queued 1 activity from "), std::string::npos) << second.out;
  queued = Queued();
  ASSERT_EQ(queued.size(), 2u);
  std::string added;
  for (const std::string& file : queued) {
    if (second.out.find(file) != std::string::npos) added = file;
  }
  ASSERT_FALSE(added.empty()) << second.out;
  EXPECT_EQ(RunProgram({GzipProgram(), "-t", added}).exitCode, 0);
  const std::string document = Gunzip(added);
  EXPECT_NE(document.find("2024-05-01T18:30:05Z"), std::string::npos);
  EXPECT_EQ(document.find("2024-05-01T06:00:10Z"), std::string::npos);

  const auto third = Sync();
  EXPECT_EQ(third.exitCode, 0) << third.out << third.err;
  EXPECT_NE(third.out.find("No new activities on " + kProduct + " on " + m_port + "; nothing queued.\n"),
            std::string::npos)
      << third.out;
  EXPECT_EQ(Queued().size(), 2u);

  // --all sends them again, as a resend.
  const auto again = Sync({"--all"});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("Queued 2 activities from "), std::string::npos) << again.out;
  EXPECT_EQ(Queued("QueueResend").size(), 1u);
  EXPECT_EQ(Queued().size(), 2u);
}

TEST_F(CliSyncTest, NoReceiverPrintsTheSearchEndAndExitsOne) {
  CGarminSim& sim = StartReceiver(Scenario(TwoTracks()));
  SimFaults faults = sim.Faults();
  faults.silent = true;
  sim.SetFaults(faults);
  Set("Device", "Timeout", "200");
  const auto quiet = Sync();
  EXPECT_EQ(quiet.exitCode, 1) << quiet.out << quiet.err;
  const std::string tail = "No device found on " + m_port + "\nNo device found on USB ports\n";
  EXPECT_TRUE(quiet.out.ends_with(tail)) << quiet.out;
  EXPECT_TRUE(Queued().empty());

  // A port that the search does not list is tried all the same; its name
  // prints as it is, markup characters and all.
  const auto unknown = RunProgram({QV_CLI_PATH, "sync", "--port", "/dev/<no-such> & port", "--no-upload"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_TRUE(
      unknown.out.ends_with("No device found on /dev/<no-such> & port\nNo device found on USB ports\n"))
      << unknown.out;

  const auto usage = RunProgram({QV_CLI_PATH, "sync", "--frobnicate"});
  EXPECT_EQ(usage.exitCode, 2);
}

// Runs the program with its output in a file, so that the test can watch it.
class CWatchedProgram {
public:
  CWatchedProgram(const std::vector<std::string>& argv, const std::filesystem::path& output)
      : m_output(output) {
    m_pid = fork();
    if (m_pid == 0) {
      const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 1);
      dup2(fd, 2);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
  }
  ~CWatchedProgram() {
    if (m_pid > 0 && !m_done) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  bool WaitForOutput(const std::string& text, std::chrono::seconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Output().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::string Output() const { return std::filesystem::exists(m_output) ? qvtest::ReadFile(m_output) : ""; }
  void Signal(int number) const { kill(m_pid, number); }
  // The exit status, or -1 when it did not exit normally in time.
  int Wait(std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_done = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  pid_t Pid() const { return m_pid; }

private:
  std::filesystem::path m_output;
  pid_t m_pid = -1;
  bool m_done = false;
};

TEST_F(CliSyncTest, CtrlCAbortsTheTransferAndEndsCleanly) {
  CGarminSim& sim = StartReceiver(Scenario(LongTrack()));
  sim.SetPacing(true);
  CWatchedProgram program({QV_CLI_PATH, "sync", "--port", m_port, "--no-upload"}, m_home.Path() / "out.txt");
  ASSERT_GT(program.Pid(), 0);
  ASSERT_TRUE(program.WaitForOutput("Retrieving data from", std::chrono::seconds(30))) << program.Output();
  program.Signal(SIGINT);
  const int exitCode = program.Wait(std::chrono::seconds(30));
  const std::string out = program.Output();
  EXPECT_EQ(exitCode, 1) << out;
  EXPECT_NE(out.find("User aborted retrieving data from " + kProduct + " on " + m_port + "\n"),
            std::string::npos)
      << out;
  EXPECT_TRUE(Queued().empty());
  EXPECT_FALSE(std::filesystem::exists(DataFolder() / "history.xml"));
  // The port was let go: it can be opened, exclusively, again.
  CCommsSerial port;
  port.SetDevicePath(m_port);
  EXPECT_TRUE(port.OpenCommsDevice());
  port.CloseCommsDevice();
}

}  // namespace
