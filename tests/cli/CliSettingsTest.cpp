#include <gtest/gtest.h>

#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

TEST(CliSettings, ShowsDefaultsThenStoredValues) {
  qvtest::CIsolatedHome home;
  auto shown = RunProgram({QV_CLI_PATH, "settings"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_NE(shown.out.find("UserInterface\\TaskbarIcon = 0 (default)\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Device\\Timeout = 500 (default)\n"), std::string::npos);
  EXPECT_NE(shown.out.find("Server\\MaxRetries = 5 (default)\n"), std::string::npos);
  EXPECT_NE(shown.out.find("Server\\AccountName =  (default)\n"), std::string::npos);
  EXPECT_NE(shown.out.find("Device\\MaxErrors (not set)\n"), std::string::npos);

  ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "device", "timeout", "1200"}).exitCode, 0);
  ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "Server", "AccountName", "Tom & Jerry"}).exitCode, 0);
  shown = RunProgram({QV_CLI_PATH, "settings"});
  EXPECT_NE(shown.out.find("Device\\Timeout = 1200\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Server\\AccountName = Tom & Jerry\n"), std::string::npos);
}

TEST(CliSettings, BadUsageExitsTwoWithAMessage) {
  qvtest::CIsolatedHome home;
  struct Row {
    const char* legend;
    std::vector<std::string> args;
  } rows[] = {
      {"no command", {}},
      {"unknown command", {"frobnicate"}},
      {"set without data", {"settings", "set", "Device", "Timeout"}},
      {"unknown setting", {"settings", "set", "Device", "Colour", "red"}},
      {"text for a number", {"settings", "set", "Device", "Timeout", "fast"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    std::vector<std::string> argv{QV_CLI_PATH};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto r = RunProgram(argv);
    EXPECT_EQ(r.exitCode, 2);
    if (!row.args.empty()) {
      EXPECT_NE(r.err.find("qvagent-cli: "), std::string::npos);
    }
  }
}

TEST(CliSettings, VersionAndHelp) {
  qvtest::CIsolatedHome home;
  const auto version = RunProgram({QV_CLI_PATH, "--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "qvagent-cli 2.3.0.0\n");
  const auto help = RunProgram({QV_CLI_PATH, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("settings"), std::string::npos);
}

TEST(CliSettings, UnwritableSettingsFileFailsWithExitOne) {
  qvtest::CIsolatedHome home;
  // A file where the settings folder should be makes every write fail.
  qvtest::WriteFile(home.ConfigHome() / "Tavelnor", "not a folder");
  const auto r = RunProgram({QV_CLI_PATH, "settings", "set", "Device", "Timeout", "700"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

}  // namespace
