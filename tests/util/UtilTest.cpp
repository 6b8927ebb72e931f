#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Registry.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace {

class UtilTest : public ::testing::Test {
protected:
  void SetUp() override { CUtil::ResetForTests(); }
  void TearDown() override { CUtil::ResetForTests(); }
  qvtest::CIsolatedHome home;
};

const char* kSettingsKey = "Software\\Tavelnor\\QVAgent";

TEST_F(UtilTest, SettingsDefaultWhenAbsentAndRoundTrip) {
  EXPECT_FALSE(CUtil::GetTaskbarIcon());
  EXPECT_FALSE(CUtil::GetPowerdown());
  EXPECT_FALSE(CUtil::GetMultipleDevices());
  EXPECT_EQ(CUtil::GetDeviceTimeout(), 500u);
  EXPECT_EQ(CUtil::GetServerMaxRetries(), 5);
  EXPECT_EQ(CUtil::GetAccountName(), "");
  EXPECT_EQ(CUtil::GetEmail(), "");
  EXPECT_EQ(CUtil::GetServerName(), CUtil::DefaultServerName());
  EXPECT_FALSE(CUtil::GetEditActivities());
  EXPECT_FALSE(CUtil::GetAllowTimeConflicts());

  CUtil::SetTaskbarIcon(true);
  CUtil::SetDeviceTimeout(1500);
  CUtil::SetAccountName("runner");
  CUtil::SetAllowTimeConflicts(true);
  EXPECT_TRUE(CUtil::GetTaskbarIcon());
  EXPECT_EQ(CUtil::GetDeviceTimeout(), 1500u);
  EXPECT_EQ(CUtil::GetAccountName(), "runner");
  EXPECT_TRUE(CUtil::GetAllowTimeConflicts());

  // Stored where the registry layout says, with the types it says.
  CRegistry& hive = CRegistry::Hive(RegHive::CurrentUser);
  uint32_t dword = 0;
  EXPECT_TRUE(hive.GetDword(std::string(kSettingsKey) + "\\UserInterface", "TaskbarIcon", dword));
  EXPECT_EQ(dword, 1u);
  std::string text;
  EXPECT_TRUE(hive.GetString(std::string(kSettingsKey) + "\\Server", "AccountName", text));
  EXPECT_EQ(text, "runner");
}

TEST_F(UtilTest, AnyNonZeroBooleanReadsAsOn) {
  CRegistry::Hive(RegHive::CurrentUser).SetDword(std::string(kSettingsKey) + "\\Device", "Powerdown", 7);
  EXPECT_TRUE(CUtil::GetPowerdown());
}

TEST_F(UtilTest, MigrationCopiesOldFlatLayoutOnce) {
  CRegistry& hive = CRegistry::Hive(RegHive::CurrentUser);
  hive.SetString("Software\\Tavelnor", "AccountName", "oldrunner");
  hive.SetString("Software\\Tavelnor", "Server", "old.example.org");
  hive.SetDword("Software\\Tavelnor", "ShutdownDevice", 1);
  hive.SetDword("Software\\Tavelnor", "SerialTimeout", 900);
  hive.SetDword("Software\\Tavelnor", "MaxInetRetries", 3);

  CUtil::MigrateOldSettings();
  EXPECT_EQ(CUtil::GetAccountName(), "oldrunner");
  EXPECT_EQ(CUtil::GetServerName(), "old.example.org");
  EXPECT_TRUE(CUtil::GetPowerdown());
  EXPECT_EQ(CUtil::GetDeviceTimeout(), 900u);
  EXPECT_EQ(CUtil::GetServerMaxRetries(), 3);
  CUtil::Initialize();
  EXPECT_EQ(CUtil::GetServerBaseUrl(), "http://old.example.org");

  // Without TaskbarIcon in the old layout nothing marks the migration yet; the
  // preferences page writes it on every save, and from then on nothing is copied again.
  CUtil::SetTaskbarIcon(false);
  hive.SetString("Software\\Tavelnor", "AccountName", "changed");
  CUtil::MigrateOldSettings();
  EXPECT_EQ(CUtil::GetAccountName(), "oldrunner");
  // The old values are left in place.
  std::string text;
  EXPECT_TRUE(hive.GetString("Software\\Tavelnor", "Server", text));
}

TEST_F(UtilTest, MigrationWithOldTaskbarIconMarksItself) {
  CRegistry& hive = CRegistry::Hive(RegHive::CurrentUser);
  hive.SetDword("Software\\Tavelnor", "TaskbarIcon", 1);
  hive.SetString("Software\\Tavelnor", "AccountName", "first");
  CUtil::MigrateOldSettings();
  EXPECT_TRUE(CUtil::GetTaskbarIcon());
  hive.SetString("Software\\Tavelnor", "AccountName", "second");
  CUtil::MigrateOldSettings();
  EXPECT_EQ(CUtil::GetAccountName(), "first");
}

TEST_F(UtilTest, MigrationWithoutOldKeyDoesNothing) {
  CUtil::MigrateOldSettings();
  EXPECT_FALSE(CRegistry::Hive(RegHive::CurrentUser).KeyExists(std::string(kSettingsKey) + "\\Server"));
}

TEST_F(UtilTest, InitializeCreatesFoldersAndAddresses) {
  CUtil::SetServerName("127.0.0.1:8080");
  CUtil::Initialize();
  const std::filesystem::path data = home.DataHome() / "Tavelnor";
  EXPECT_EQ(CUtil::GetDataFolder(), data.string());
  EXPECT_EQ(CUtil::GetQueueFolder(0), (data / "Queue").string());
  EXPECT_EQ(CUtil::GetQueueFolder(1), (data / "QueueResend").string());
  EXPECT_TRUE(std::filesystem::is_directory(data / "Queue"));
  EXPECT_TRUE(std::filesystem::is_directory(data / "QueueResend"));
  EXPECT_EQ(CUtil::GetHistoryFile(), (data / "history.xml").string());
  EXPECT_EQ(CUtil::GetAnnouncementsFile(), (data / "announcements.xml").string());
  EXPECT_EQ(CUtil::GetServerBaseUrl(), "http://127.0.0.1:8080");
  EXPECT_EQ(CUtil::GetUrlActivities(), "http://127.0.0.1:8080/trail");
  EXPECT_EQ(CUtil::GetUrlInbox(), "http://127.0.0.1:8080/trail/inbox/view.qv");
  EXPECT_EQ(CUtil::GetVersion(), "2.3.0.0");
  EXPECT_EQ(CUtil::GetVersionNumber(), 2030000u);
  EXPECT_EQ(CUtil::GetAgentName(), "Tavelnor Agent/2.3.0.0 (" + CUtil::GetOsName() + ")");
  EXPECT_EQ(CUtil::GetOsName().rfind("Linux ", 0), 0u);
}

TEST_F(UtilTest, FolderPathsEmptyWithoutDataFolder) {
  qvtest::CScopedEnv noData("XDG_DATA_HOME", std::nullopt);
  qvtest::CScopedEnv noHome("HOME", std::nullopt);
  CUtil::Initialize();
  EXPECT_EQ(CUtil::GetDataFolder(), "");
  EXPECT_EQ(CUtil::GetQueueFolder(0), "");
  EXPECT_EQ(CUtil::GetHistoryFile(), "");
  EXPECT_EQ(CUtil::GetQueuedBytes(), 0u);
}

TEST_F(UtilTest, UploadAddressNeedsBothAccountAndEmailAndIsEncoded) {
  CUtil::SetAccountName("runner");
  EXPECT_EQ(CUtil::GetUrlTxServer(false), "");
  CUtil::SetEmail("a+b@example.org");
  CUtil::SetAccountName("Tom & Jerry");
  EXPECT_EQ(
      CUtil::GetUrlTxServer(false),
      "/trail/service/qvx/file.qv?username.value=Tom%20%26%20Jerry&emailAddress.value=a%2Bb%40example.org"
      "&timeConflictsAllowed=false");
  EXPECT_NE(CUtil::GetUrlTxServer(true).find("timeConflictsAllowed=true"), std::string::npos);
  EXPECT_EQ(CUtil::UrlEncode("AZaz09-._~"), "AZaz09-._~");
}

TEST_F(UtilTest, AnnouncementsAddressCarriesAccountAndCanBeOverridden) {
  CUtil::SetAccountName("runner");
  const std::string builtIn = CUtil::GetUrlRxMsgs();
  EXPECT_NE(builtIn.find("/agent/announcement.qv?username=runner"), std::string::npos);
  CUtil::SetAnnouncementsUrlSetting("http://127.0.0.1:9000/agent/announcement.qv?username=%s");
  EXPECT_EQ(CUtil::GetUrlRxMsgs(), "http://127.0.0.1:9000/agent/announcement.qv?username=runner");
}

TEST_F(UtilTest, ErrorTextsByFacility) {
  EXPECT_EQ(CUtil::GetErrorText(0), "");
  EXPECT_EQ(CUtil::GetErrorText(5), "");
  EXPECT_EQ(CUtil::GetErrorText(static_cast<HRESULT>(0x80190191u)), LoadString(3530));
  EXPECT_EQ(CUtil::GetErrorText(static_cast<HRESULT>(0x80190190u)), LoadString(3529));
  EXPECT_EQ(CUtil::GetErrorText(static_cast<HRESULT>(0x80190197u)), LoadString(3531));
  EXPECT_EQ(CUtil::GetErrorText(HRESULT_FROM_HTTP(500)), "HTTP status 500");
  EXPECT_EQ(CUtil::GetErrorText(static_cast<HRESULT>(0x80070000u | 12029)), CUtil::GetSystemMessage(12029));
  EXPECT_NE(CUtil::GetSystemMessage(12029), "Unknown error");
  EXPECT_EQ(CUtil::GetErrorText(static_cast<HRESULT>(0x80040005u)), "Unknown error");
  EXPECT_EQ(CUtil::GetSystemMessage(65000), "Unknown error");
  // System texts carry no trailing line break.
  const std::string text = CUtil::GetSystemMessage(2);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
}

TEST_F(UtilTest, ErrorListCases) {
  const HRESULT connect = HRESULT_FROM_WIN32(12029);
  const std::string connectText = CUtil::GetSystemMessage(12029);
  struct Row {
    const char* legend;
    HRESULT code1;
    std::string message1;
    HRESULT code2;
    std::string message2;
    std::string expected;
  } rows[] = {
      {"neither", 0, "", 0, "", "P"},
      {"message only", 0, "Unable to connect to server", 0, "",
       "P<ul class=\"errorlist\"><li>Unable to connect to server</li></ul>"},
      {"code only", connect, "", 0, "", "P<ul class=\"errorlist\"><li>(" + connectText + ")</li></ul>"},
      {"both", connect, "Unable to connect to server", 0, "",
       "P<ul class=\"errorlist\"><li>Unable to connect to server (" + connectText + ")</li></ul>"},
      {"two entries", 0, "first", HRESULT_FROM_HTTP(500), "",
       "P<ul class=\"errorlist\"><li>first</li><li>(HTTP status 500)</li></ul>"},
      {"non-negative code ignored", 87, "", 0, "", "P"},
      {"texts from outside escaped", 0, "<script>x</script> & 'y'", 0, "\"/dev/<adapter>\"",
       "P<ul class=\"errorlist\"><li>&lt;script&gt;x&lt;/script&gt; &amp; &#39;y&#39;</li>"
       "<li>&quot;/dev/&lt;adapter&gt;&quot;</li></ul>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    EXPECT_EQ(CUtil::BuildErrorList("P", row.code1, row.message1, row.code2, row.message2), row.expected);
  }
}

TEST_F(UtilTest, GzipIsReadableByGzipAndRestoresTheBytes) {
  qvtest::CTempDir dir;
  const auto source = dir.Path() / "doc.qvx";
  std::string content;
  for (int i = 0; i < 20000; ++i) content += "line " + std::to_string(i * 7919 % 1000) + "\r\n";
  content.push_back('\0');
  content += "tail";
  qvtest::WriteFile(source, content);
  const auto target = dir.Path() / "doc.qvx.gz";
  ASSERT_EQ(CUtil::GzipFile(source.c_str(), target.c_str()), 0u);
  EXPECT_TRUE(std::filesystem::exists(source)) << "the source is never deleted here";
  const std::string test = "gzip -t '" + target.string() + "'";
  EXPECT_EQ(std::system(test.c_str()), 0);
  const std::string unzip = "gunzip -c '" + target.string() + "' > '" + (dir.Path() / "back").string() + "'";
  ASSERT_EQ(std::system(unzip.c_str()), 0);
  EXPECT_EQ(qvtest::ReadFile(dir.Path() / "back"), content);
}

TEST_F(UtilTest, GzipFailures) {
  qvtest::CTempDir dir;
  EXPECT_EQ(CUtil::GzipFile(nullptr, (dir.Path() / "x.gz").c_str()), 87u);
  EXPECT_EQ(CUtil::GzipFile((dir.Path() / "missing").c_str(), (dir.Path() / "x.gz").c_str()), 2u);
  qvtest::WriteFile(dir.Path() / "src", "data");
  EXPECT_EQ(CUtil::GzipFile((dir.Path() / "src").c_str(), (dir.Path() / "no" / "x.gz").c_str()), 2u);
  // A full disk shows when the compressed data is flushed.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_NE(CUtil::GzipFile((dir.Path() / "src").c_str(), "/dev/full"), 0u);
  }
}

TEST_F(UtilTest, WholeGzipLeavesNoTemporaryFileEitherWay) {
  qvtest::CTempDir dir;
  qvtest::WriteFile(dir.Path() / "doc.qvx", "<doc/>");
  const auto target = dir.Path() / "doc.qvx.gz";
  ASSERT_EQ(CUtil::GzipFileWhole((dir.Path() / "doc.qvx").c_str(), target.c_str()), 0u);
  EXPECT_EQ(std::system(("gzip -t '" + target.string() + "'").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(target.string() + ".tmp"));

  const auto missing = dir.Path() / "gone.qvx.gz";
  EXPECT_EQ(CUtil::GzipFileWhole((dir.Path() / "gone.qvx").c_str(), missing.c_str()), 2u);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(std::filesystem::exists(missing.string() + ".tmp"));
  const auto noFolder = dir.Path() / "missing" / "doc.qvx.gz";
  EXPECT_NE(CUtil::GzipFileWhole((dir.Path() / "doc.qvx").c_str(), noFolder.c_str()), 0u);
  EXPECT_FALSE(std::filesystem::exists(noFolder.string() + ".tmp"));
}

TEST_F(UtilTest, QueuedBytesCountsOnlyCompressedFilesOfBothQueues) {
  CUtil::Initialize();
  qvtest::WriteFile(std::filesystem::path(CUtil::GetQueueFolder(0)) / "a.qvx.gz", std::string(100, 'a'));
  qvtest::WriteFile(std::filesystem::path(CUtil::GetQueueFolder(0)) / "a.qvx", std::string(1000, 'a'));
  qvtest::WriteFile(std::filesystem::path(CUtil::GetQueueFolder(1)) / "Log_1.txt.gz", std::string(23, 'b'));
  EXPECT_EQ(CUtil::GetQueuedBytes(), 123u);
}

TEST_F(UtilTest, StartupEntryFollowsTheSetting) {
  const std::string path = CUtil::GetStartupShortcutPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(std::filesystem::path(path).parent_path(), home.ConfigHome() / "autostart");
  CUtil::SetStartupShortcut(true);
  ASSERT_TRUE(std::filesystem::exists(path));
  const std::string entry = qvtest::ReadFile(path);
  EXPECT_NE(entry.find("-bg"), std::string::npos);
  EXPECT_NE(entry.find(CUtil::GetModulePath()), std::string::npos);
  CUtil::SetStartupShortcut(false);
  EXPECT_FALSE(std::filesystem::exists(path));
  CUtil::SetStartupShortcut(false);  // a missing entry is not an error
}

}  // namespace
