#include <gtest/gtest.h>

#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

TEST(CliAssociations, SetShowAndRemove) {
  qvtest::CIsolatedHome home;
  const std::string exe = "--exe=/opt/tavelnor/qvagent";
  auto run = RunProgram({QV_CLI_PATH, "associations", "--set", "gpx", "--set", "kml", exe});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "gpx: associated\nkml: associated\n");

  run = RunProgram({QV_CLI_PATH, "associations", "--unset", "kml", exe});
  EXPECT_EQ(run.out, "gpx: associated\nkml: not associated\n");
  run = RunProgram({QV_CLI_PATH, "associations", "--remove", exe});
  EXPECT_EQ(run.out, "gpx: not associated\nkml: not associated\n");

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--set", "tcx"}, std::vector<std::string>{"--remove", "--set", "gpx"},
        std::vector<std::string>{"--set"}}) {
    std::vector<std::string> argv = {QV_CLI_PATH, "associations"};
    argv.insert(argv.end(), bad.begin(), bad.end());
    run = RunProgram(argv);
    EXPECT_EQ(run.exitCode, 2) << bad.front();
    EXPECT_EQ(run.err.rfind("qvagent-cli: ", 0), 0u) << run.err;
  }
}

}  // namespace
