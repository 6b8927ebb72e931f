// Downloads at a faster bit rate: the real program against the simulated
// receiver, which garbles everything while its line speed and the host's
// differ, so the track log arrives only if both ends switched in step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

// Refusals, a silent receiver and the setting are the link's own cases; here the switch end to end.
TEST(CliBitRate, DownloadsThroughTheSimulatorAtTheNegotiatedRate) {
  qvtest::CIsolatedHome home;
  std::string error;
  auto sim = CGarminSim::FromFile((qvtest::DataDir() / "sim" / "two_tracks_a301.json").string(), &error);
  ASSERT_TRUE(sim) << error;
  sim->SetBitRateOptions({SimBitRateMode::Accept, 115200});
  std::string pty;
  ASSERT_TRUE(sim->StartSerial(pty));
  ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "Device", "Ports", pty}).exitCode, 0);
  const auto r = RunProgram({QV_CLI_PATH, "receive", "--port", pty, "--baud", "115200"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("2 tracks, 6 track points"), std::string::npos) << r.out;
  EXPECT_EQ(sim->BitRateChanges(), (std::vector<unsigned>{115200, 9600}));
  EXPECT_EQ(sim->BitRate(), 9600u);
  EXPECT_EQ(sim->HostBadFrames(), 0u);

  const auto bad = RunProgram({QV_CLI_PATH, "receive", "--baud", "12345"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("option --baud needs 0 or one of 9600"), std::string::npos) << bad.err;
}

}  // namespace
