#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "platform/ShellFolders.h"
#include "platform/SystemInfo.h"
#include "support/TestEnv.h"

namespace {

using qvtest::CScopedEnv;

TEST(SystemInfo, ReportsThisKernelAsTheModernPlatformClass) {
  struct utsname names {};
  ASSERT_EQ(::uname(&names), 0);
  const OsVersion version = CSystemInfo::GetVersion();
  EXPECT_EQ(version.platformId, 2u);
  const std::string release = names.release;
  EXPECT_EQ(release.rfind(std::to_string(version.major) + "." + std::to_string(version.minor), 0), 0u)
      << release;
  EXPECT_GE(version.major, 2u);
  EXPECT_EQ(CSystemInfo::GetOsName(), std::string(names.sysname) + " " + std::to_string(version.major) + "." +
                                          std::to_string(version.minor));
}

TEST(ShellFolders, FollowTheBaseDirectoryRules) {
  struct Case {
    const char* legend;
    std::optional<std::string> home, data, config;
    std::string appData, configFolder, startup;
  } cases[] = {
      {"XDG set", "/home/u", "/x/data", "/x/config", "/x/data", "/x/config", "/x/config/autostart"},
      {"defaults from HOME", "/home/u", std::nullopt, std::nullopt, "/home/u/.local/share", "/home/u/.config",
       "/home/u/.config/autostart"},
      {"empty XDG values", "/home/u/", "", "", "/home/u/.local/share", "/home/u/.config",
       "/home/u/.config/autostart"},
      {"relative XDG values are ignored", "/home/u", "data", "cfg", "/home/u/.local/share", "/home/u/.config",
       "/home/u/.config/autostart"},
      {"nothing known", std::nullopt, std::nullopt, std::nullopt, "", "", ""},
      {"only XDG known", std::nullopt, "/d", "/c/", "/d", "/c/", "/c/autostart"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScopedEnv home("HOME", c.home);
    CScopedEnv data("XDG_DATA_HOME", c.data);
    CScopedEnv config("XDG_CONFIG_HOME", c.config);
    EXPECT_EQ(CShellFolders::GetAppDataFolder(), c.appData);
    EXPECT_EQ(CShellFolders::GetConfigFolder(), c.configFolder);
    EXPECT_EQ(CShellFolders::GetStartupFolder(), c.startup);
  }
}

TEST(ShellFolders, ModulePathIsThisTestProgram) {
  const std::string path = CShellFolders::GetModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(std::filesystem::path(path).filename(), "qv_test_platform");
}

}  // namespace
