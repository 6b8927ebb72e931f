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

struct BitRateRow {
  const char* legend;
  const char* command;                    // receive or sync
  std::vector<std::string> options;       // after --port
  const char* setting;                    // Device\SerialBitRate, nullptr: absent
  std::vector<unsigned> receiverChanges;  // the receiver's line speeds in order; none: never asked
};

// Refusals and a silent receiver are the link's own cases; here the switch end to end.
TEST(CliBitRate, DownloadsThroughTheSimulatorAtTheNegotiatedRate) {
  const BitRateRow rows[] = {
      {"receive --baud 115200", "receive", {"--baud", "115200"}, nullptr, {115200, 9600}},
      {"sync with the setting", "sync", {"--no-upload"}, "115200", {115200, 9600}},
      {"--baud 0 overrides the setting", "receive", {"--baud", "0"}, "115200", {}},
  };
  for (const BitRateRow& row : rows) {
    SCOPED_TRACE(row.legend);
    qvtest::CIsolatedHome home;
    std::string error;
    auto sim = CGarminSim::FromFile((qvtest::DataDir() / "sim" / "two_tracks_a301.json").string(), &error);
    ASSERT_TRUE(sim) << error;
    sim->SetBitRateOptions({SimBitRateMode::Accept, 115200});
    std::string pty;
    ASSERT_TRUE(sim->StartSerial(pty));
    auto set = [](const char* value, const std::string& data) {
      ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "Device", value, data}).exitCode, 0);
    };
    set("Ports", pty);
    if (row.setting != nullptr) set("SerialBitRate", row.setting);

    std::vector<std::string> argv{QV_CLI_PATH, row.command, "--port", pty};
    argv.insert(argv.end(), row.options.begin(), row.options.end());
    const auto r = RunProgram(argv);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    if (std::string(row.command) == "receive") {
      EXPECT_NE(r.out.find("2 tracks, 6 track points"), std::string::npos) << r.out;
    } else {
      EXPECT_NE(r.out.find("Queued 2 activities"), std::string::npos) << r.out;
    }
    EXPECT_EQ(sim->BitRateChanges(), row.receiverChanges);
    EXPECT_EQ(sim->BitRate(), 9600u);
    bool requested = false;
    for (const SimPacket& p : sim->HostAppPackets()) requested = requested || p.id == SIM_PID_BAUD_RQST_DATA;
    EXPECT_EQ(requested, !row.receiverChanges.empty());
    EXPECT_EQ(sim->HostBadFrames(), 0u);
  }
  const auto bad = RunProgram({QV_CLI_PATH, "receive", "--baud", "12345"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("option --baud needs 0 or one of 9600"), std::string::npos) << bad.err;
}

}  // namespace
