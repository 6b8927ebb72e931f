#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

// A receiver that should deliver laps (product 282) but has none: its data
// call for a diagnostics report.
const char* kLaplessForerunner = R"({
  "product_id": 282, "software_version": 250,
  "descriptions": ["Forerunner201 Software Version 2.50"], "serial_number": 1234567,
  "protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304"],
  "tracks": [{"ident": "RUN", "points": [
    {"lat": 47.0, "lon": 8.0, "time": "2024-05-01T06:00:00Z", "alt": 400.0},
    {"lat": 47.001, "lon": 8.001, "time": "2024-05-01T06:00:10Z", "alt": 401.0}]}]
})";

class CliReceive : public ::testing::Test {
protected:
  void Start(const std::string& json = {}) {
    std::string error;
    sim = json.empty()
              ? CGarminSim::FromFile((qvtest::DataDir() / "sim" / "two_tracks_a301.json").string(), &error)
              : CGarminSim::FromJson(json, &error);
    ASSERT_TRUE(sim) << error;
    ASSERT_TRUE(sim->StartSerial(pty));
  }
  qvtest::CIsolatedHome home;
  std::unique_ptr<CGarminSim> sim;
  std::string pty;
};

TEST_F(CliReceive, SummaryAndDocumentOfASerialReceiver) {
  Start();
  const auto doc = home.Path() / "out.qvx";
  const auto r = RunProgram({QV_CLI_PATH, "receive", "--port", pty, "--summary", "--out", doc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(
      r.out.find("\"MORNING RUN\" points=3 segments=1 first=2024-05-01T06:00:00Z last=2024-05-01T06:00:20Z"),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"EVENING RIDE\" points=3"), std::string::npos);
  EXPECT_NE(r.out.find("Received 0 runs, 0 laps, 2 tracks, 6 track points"), std::string::npos);
  const std::string text = qvtest::ReadFile(doc);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("2024-05-01T18:30:05Z"), std::string::npos);
}

TEST_F(CliReceive, GzipLeavesOnlyTheCompressedDocument) {
  Start();
  const auto doc = home.Path() / "out.qvx";
  const auto r = RunProgram({QV_CLI_PATH, "receive", "--port", pty, "--out", doc.string(), "--gzip"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_FALSE(std::filesystem::exists(doc));
  ASSERT_TRUE(std::filesystem::exists(doc.string() + ".gz"));
  EXPECT_EQ(std::system(("gzip -t '" + doc.string() + ".gz'").c_str()), 0);
}

TEST_F(CliReceive, PowerDownSwitchesTheReceiverOff) {
  Start();
  const auto r = RunProgram({QV_CLI_PATH, "receive", "--port", pty, "--powerdown"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Receiver powered down"), std::string::npos) << r.out;
  for (int i = 0; i < 50 && !sim->IsPoweredOff(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(sim->IsPoweredOff());
}

TEST_F(CliReceive, DiagnosticsOnlyWhenTheDataLookIncomplete) {
  Start();
  const auto report = home.Path() / "report.txt";
  auto r = RunProgram({QV_CLI_PATH, "receive", "--port", pty, "--diagnostics", report.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Data consistent, no diagnostics file"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(report));
  sim->Stop();

  Start(kLaplessForerunner);
  r = RunProgram({QV_CLI_PATH, "receive", "--port", pty, "--diagnostics", report.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string text = qvtest::ReadFile(report);
  EXPECT_NE(text.find("Product ID: 282\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nLaps: none\r\n"), std::string::npos);
}

TEST_F(CliReceive, NoReceiverAndBadUsage) {
  SimFaults silent;
  silent.silent = true;
  Start();
  sim->SetFaults(silent);
  const auto r = RunProgram({QV_CLI_PATH, "receive", "--port", pty});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("No device found on " + pty), std::string::npos) << r.out;
  EXPECT_EQ(RunProgram({QV_CLI_PATH, "receive", "--gzip"}).exitCode, 2);
  EXPECT_EQ(RunProgram({QV_CLI_PATH, "receive", "--out"}).exitCode, 2);
}

}  // namespace
