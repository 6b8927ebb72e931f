// The garmin-sim program's command line: usage errors, a bad scenario, and
// fault flags that add to the scenario's own.
#include <gtest/gtest.h>

#include "PtyHost.h"
#include "SimProcess.h"
#include "support/TestEnv.h"

namespace {

using namespace std::chrono_literals;

std::string DataFile(const char* name) {
  return std::string(QV_SIM_DATA_DIR) + "/" + name;
}

TEST(SimProgram, RejectsBadCommandLines) {
  qvtest::CTempDir dir;
  qvtest::WriteFile(dir.Path() / "bad.json", "{\"protocols\": [\"Q7\"]}");
  struct Row {
    const char* legend;
    std::string arguments;
    int status;
  };
  const Row rows[] = {
      {"no scenario", "", 2},
      {"unknown flag", "--scenario x.json --frobnicate", 2},
      {"count that is not a number", "--scenario x.json --nak many", 2},
      {"missing scenario file", "--scenario " + (dir.Path() / "none.json").string(), 1},
      {"bad scenario", "--scenario " + (dir.Path() / "bad.json").string(), 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    EXPECT_EQ(RunCommand(std::string(QV_GARMIN_SIM_PROGRAM) + " " + row.arguments + " >/dev/null 2>&1"),
              row.status);
  }
}

TEST(SimProgram, FaultFlagsApply) {
  struct Row {
    const char* legend;
    std::vector<std::string> flags;
    uint16_t firstReply;  // 0: nothing at all
  };
  const Row rows[] = {
      {"plain", {}, SIM_PID_ACK},
      {"NAK for the first host packet", {"--nak", "1"}, SIM_PID_NAK},
      {"silent", {"--silent"}, 0},
      {"only the second product request", {"--second-product-request"}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    std::vector<std::string> arguments = {"--scenario", DataFile("two_tracks_a301.json")};
    arguments.insert(arguments.end(), row.flags.begin(), row.flags.end());
    CSimProcess sim;
    std::string port;
    ASSERT_TRUE(sim.Start(QV_GARMIN_SIM_PROGRAM, arguments, port));
    CPtyHost host;
    ASSERT_TRUE(host.Open(port));
    ASSERT_TRUE(host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
    const std::optional<SimFrame> reply = host.ReadFrame(row.firstReply ? 2000ms : 600ms);
    if (row.firstReply == 0) {
      EXPECT_FALSE(reply);
    } else {
      ASSERT_TRUE(reply);
      EXPECT_TRUE(reply->good);
      EXPECT_EQ(reply->packet.id, row.firstReply);
    }
    host.Close();
    EXPECT_EQ(sim.Stop(), 0);
  }
}

}  // namespace
