#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/Registry.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;
using qvtest::CIsolatedHome;
using qvtest::CTempDir;
using qvtest::ReadFile;
using qvtest::WriteFile;

const std::string kDevice = "Software\\Tavelnor\\QVAgent\\Device";

class RegistryTest : public testing::Test {
protected:
  fs::path HiveFile() const { return m_dir.Path() / "Tavelnor" / "user.reg"; }
  CTempDir m_dir;
};

TEST_F(RegistryTest, LooksUpWithoutRegardToCaseAndKeepsTheFirstWritersCase) {
  CRegistry reg(HiveFile());
  ASSERT_TRUE(reg.SetDword("Software\\Tavelnor\\QVAgent\\Device", "Timeout", 500));
  ASSERT_TRUE(reg.SetDword("SOFTWARE\\tavelnor\\qvagent\\DEVICE", "TIMEOUT", 900));
  ASSERT_TRUE(reg.SetString("software\\TAVELNOR\\QVAgent\\Server", "Name", "127.0.0.1:8080"));

  uint32_t timeout = 0;
  EXPECT_TRUE(reg.GetDword("software\\tavelnor\\qvagent\\device", "timeout", timeout));
  EXPECT_EQ(timeout, 900u);
  EXPECT_TRUE(reg.KeyExists("SOFTWARE\\TAVELNOR"));
  EXPECT_EQ(reg.EnumSubkeys("Software"), std::vector<std::string>{"Tavelnor"});
  EXPECT_EQ(reg.EnumSubkeys("software\\tavelnor\\qvagent"), (std::vector<std::string>{"Device", "Server"}));
  const std::vector<RegValue> values = reg.EnumValues(kDevice);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Timeout");

  const std::string file = ReadFile(HiveFile());
  EXPECT_NE(
      file.find("[HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Device]\n\"Timeout\"=dword:00000384\n"),
      std::string::npos)
      << file;
  EXPECT_NE(
      file.find("[HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Server]\n\"Name\"=\"127.0.0.1:8080\"\n"),
      std::string::npos)
      << file;
}

TEST_F(RegistryTest, ValuesComeBackAsTheyWereStored) {
  struct Case {
    const char* legend;
    std::string name;
    std::optional<std::string> text;
    uint32_t dword;
  } cases[] = {
      {"default value text", "", std::string("default"), 0},
      {"dword zero", "Zero", std::nullopt, 0},
      {"dword max", "Max", std::nullopt, 0xFFFFFFFFu},
      {"empty text", "Empty", std::string(), 0},
      {"backslashes", "Path", std::string("C:\\Program Files\\Tavelnor\\"), 0},
      {"quotes", "Quoted \"name\"", std::string("say \"hi\""), 0},
      {"line breaks", "Multi", std::string("one\ntwo\r\nthree"), 0},
      {"key-like text", "[Key]", std::string("[HKEY_CURRENT_USER\\X]\n\"A\"=\"B\""), 0},
      {"UTF-8", "N\xC3\xA4me", std::string("\xE2\x82\xAC 5"), 0},
  };
  {
    CRegistry writer(HiveFile());
    for (const Case& c : cases) {
      SCOPED_TRACE(c.legend);
      EXPECT_TRUE(c.text ? writer.SetString(kDevice, c.name, *c.text)
                         : writer.SetDword(kDevice, c.name, c.dword));
    }
  }
  // A fresh object has nothing cached: everything comes from the file.
  CRegistry reader(HiveFile());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    std::string text;
    uint32_t dword = 1;
    if (c.text) {
      EXPECT_TRUE(reader.GetString(kDevice, c.name, text));
      EXPECT_EQ(text, *c.text);
      EXPECT_FALSE(reader.GetDword(kDevice, c.name, dword)) << "a text is not a number";
    } else {
      EXPECT_TRUE(reader.GetDword(kDevice, c.name, dword));
      EXPECT_EQ(dword, c.dword);
      EXPECT_FALSE(reader.GetString(kDevice, c.name, text)) << "a number is not a text";
    }
  }
  EXPECT_EQ(reader.EnumValues(kDevice).size(), std::size(cases));
}

TEST_F(RegistryTest, ReportsMissingKeysAndValues) {
  CRegistry reg(HiveFile());
  std::string text;
  uint32_t dword = 0;
  EXPECT_FALSE(reg.GetString(kDevice, "Name", text));
  EXPECT_FALSE(reg.GetDword(kDevice, "Timeout", dword));
  EXPECT_FALSE(reg.GetValue(kDevice, "").has_value());
  EXPECT_FALSE(reg.KeyExists(kDevice));
  EXPECT_TRUE(reg.EnumSubkeys(kDevice).empty());
  EXPECT_FALSE(reg.DeleteValue(kDevice, "Timeout"));
  EXPECT_FALSE(reg.DeleteKey(kDevice));
  EXPECT_FALSE(fs::exists(HiveFile())) << "reads and failed deletes write nothing";

  ASSERT_TRUE(reg.CreateKey(kDevice));
  EXPECT_TRUE(reg.KeyExists(kDevice));
  EXPECT_TRUE(reg.EnumValues(kDevice).empty());
  EXPECT_FALSE(reg.GetValue(kDevice, "").has_value()) << "a new key has no default value";
}

TEST_F(RegistryTest, DeletesValuesAndKeysWithTheirSubkeys) {
  CRegistry reg(HiveFile());
  ASSERT_TRUE(reg.SetString("Software\\Classes\\.gpx", "", "QVAgent.gpx"));
  ASSERT_TRUE(reg.SetString("Software\\Classes\\QVAgent.gpx\\shell\\open\\command", "", "qvagent \"%1\""));
  ASSERT_TRUE(reg.SetDword("Software\\Classes\\QVAgent.gpx", "EditFlags", 0));

  EXPECT_TRUE(reg.DeleteValue("software\\classes\\qvagent.gpx", "EDITFLAGS"));
  EXPECT_FALSE(reg.GetValue("Software\\Classes\\QVAgent.gpx", "EditFlags"));

  EXPECT_TRUE(reg.DeleteKey("SOFTWARE\\CLASSES\\QVAGENT.GPX"));
  EXPECT_FALSE(reg.KeyExists("Software\\Classes\\QVAgent.gpx\\shell\\open\\command"));
  EXPECT_FALSE(reg.KeyExists("Software\\Classes\\QVAgent.gpx"));
  EXPECT_TRUE(reg.KeyExists("Software\\Classes\\.gpx"));
  EXPECT_EQ(reg.EnumSubkeys("Software\\Classes"), std::vector<std::string>{".gpx"});
  EXPECT_FALSE(reg.DeleteKey("Software\\Classes\\QVAgent.gpx")) << "already gone";
  EXPECT_FALSE(reg.DeleteKey("")) << "the hive root stays";

  CRegistry reader(HiveFile());
  EXPECT_EQ(reader.EnumSubkeys("Software\\Classes"), std::vector<std::string>{".gpx"});
}

TEST_F(RegistryTest, RefusesKeyNamesTheFileCannotHold) {
  CRegistry reg(HiveFile());
  EXPECT_FALSE(reg.SetString("Software\\Line\nBreak", "A", "x"));
  EXPECT_FALSE(reg.CreateKey(std::string("Nul\0Key", 7)));
  EXPECT_FALSE(fs::exists(HiveFile()));
}

TEST_F(RegistryTest, SeesChangesMadeByOtherWriters) {
  CRegistry first(HiveFile());
  CRegistry second(HiveFile());
  ASSERT_TRUE(first.SetDword(kDevice, "Powerdown", 0));
  uint32_t value = 9;
  ASSERT_TRUE(second.GetDword(kDevice, "Powerdown", value));
  EXPECT_EQ(value, 0u);

  ASSERT_TRUE(second.SetDword(kDevice, "Powerdown", 1));
  ASSERT_TRUE(first.GetDword(kDevice, "Powerdown", value));
  EXPECT_EQ(value, 1u);

  // Edited by hand (or by another program) behind the agent's back.
  WriteFile(
      HiveFile(),
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Device]\n"
      "\"Powerdown\"=dword:00000002\n\"MultipleDevices\"=dword:00000001\n");
  ASSERT_TRUE(first.GetDword(kDevice, "Powerdown", value));
  EXPECT_EQ(value, 2u);

  // A write never loses what another writer stored since this object last read.
  ASSERT_TRUE(second.SetDword(kDevice, "Timeout", 700));
  ASSERT_TRUE(first.GetDword(kDevice, "MultipleDevices", value));
  EXPECT_EQ(value, 1u);

  fs::remove(HiveFile());
  EXPECT_FALSE(first.KeyExists(kDevice)) << "a removed file is an empty hive";
}

TEST_F(RegistryTest, CreatesTheHiveFileWithItsFolders) {
  const fs::path deep = m_dir.Path() / "not" / "yet" / "there" / "user.reg";
  CRegistry reg(deep);
  EXPECT_FALSE(reg.KeyExists(kDevice));
  ASSERT_TRUE(reg.SetString(kDevice, "Ports", "/dev/pts/3"));
  ASSERT_TRUE(fs::is_regular_file(deep));
  struct stat st {};
  ASSERT_EQ(::stat(deep.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "settings folders are private";
  ASSERT_EQ(::stat(deep.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u) << "the settings file is private";
  EXPECT_EQ(ReadFile(deep).rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_FALSE(fs::exists(deep.string() + ".tmp"));
}

TEST_F(RegistryTest, KeepsADamagedHiveAsideInsteadOfOverwritingIt) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Server]\n"
      "\"AccountName\"=\"runner\"\n\"Email\"=\"runner@exa";  // cut off mid-value
  fs::create_directories(HiveFile().parent_path());
  WriteFile(HiveFile(), damaged);

  CRegistry reg(HiveFile());
  std::string text;
  EXPECT_FALSE(reg.GetString("Software\\Tavelnor\\QVAgent\\Server", "AccountName", text))
      << "a damaged hive reads as empty";
  EXPECT_FALSE(reg.KeyExists("Software"));
  EXPECT_EQ(ReadFile(HiveFile()), damaged) << "reading never touches the file";

  ASSERT_TRUE(reg.SetDword("Software\\Tavelnor\\QVAgent\\UserInterface", "TaskbarIcon", 1));
  EXPECT_EQ(ReadFile(HiveFile().string() + ".bad"), damaged);
  CRegistry reader(HiveFile());
  uint32_t value = 0;
  EXPECT_TRUE(reader.GetDword("Software\\Tavelnor\\QVAgent\\UserInterface", "TaskbarIcon", value));
  EXPECT_EQ(value, 1u);
  EXPECT_FALSE(reader.KeyExists("Software\\Tavelnor\\QVAgent\\Server"));

  // The new file is sound, so the next write keeps it and the saved copy.
  ASSERT_TRUE(reg.SetDword("Software\\Tavelnor\\QVAgent\\Device", "Powerdown", 1));
  EXPECT_EQ(ReadFile(HiveFile().string() + ".bad"), damaged);
  EXPECT_TRUE(reader.GetDword("Software\\Tavelnor\\QVAgent\\UserInterface", "TaskbarIcon", value));
}

TEST_F(RegistryTest, AnUnreadableHiveIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  fs::create_directories(HiveFile().parent_path());
  WriteFile(HiveFile(), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Kept]\n");
  fs::permissions(HiveFile(), fs::perms::none);
  CRegistry reg(HiveFile());
  EXPECT_FALSE(reg.KeyExists("Kept"));
  ASSERT_TRUE(reg.SetDword("New", "A", 1));
  fs::permissions(HiveFile().string() + ".bad", fs::perms::owner_read);
  EXPECT_NE(ReadFile(HiveFile().string() + ".bad").find("[HKEY_CURRENT_USER\\Kept]"), std::string::npos);
}

TEST_F(RegistryTest, SomethingElseInThePlaceOfTheHiveIsKeptAside) {
  struct Case {
    const char* legend;
    void (*make)(const fs::path&);
  } cases[] = {
      {"a folder", [](const fs::path& p) { fs::create_directories(p / "inside"); }},
      {"a named pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CTempDir dir;
    const fs::path file = dir.Path() / "user.reg";
    c.make(file);
    const fs::file_type type = fs::status(file).type();
    CRegistry reg(file);
    EXPECT_FALSE(reg.KeyExists("Software")) << "reads as an empty hive without blocking";
    ASSERT_TRUE(reg.SetDword(kDevice, "Timeout", 500));
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(fs::status(dir.Path() / "user.reg.bad").type(), type);
    uint32_t value = 0;
    EXPECT_TRUE(CRegistry(file).GetDword(kDevice, "Timeout", value));
  }
}

TEST_F(RegistryTest, WritesFromTwoProcessesAtOnceAreAllKept) {
  constexpr int kWrites = 200;
  const fs::path file = HiveFile();
  auto writeMany = [&](const char* prefix) {
    CRegistry reg(file);
    bool ok = true;
    for (int i = 0; i < kWrites; ++i) {
      ok = reg.SetDword(kDevice, prefix + std::to_string(i), static_cast<uint32_t>(i)) && ok;
    }
    return ok;
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(writeMany("Child") ? 0 : 1);
  const bool parentOk = writeMany("Parent");
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(parentOk);

  CRegistry reader(file);
  EXPECT_EQ(reader.EnumValues(kDevice).size(), 2u * kWrites);
  for (int i = 0; i < kWrites; ++i) {
    uint32_t value = 0;
    EXPECT_TRUE(reader.GetDword(kDevice, "Child" + std::to_string(i), value) && value == uint32_t(i)) << i;
    EXPECT_TRUE(reader.GetDword(kDevice, "Parent" + std::to_string(i), value) && value == uint32_t(i)) << i;
  }
}

TEST_F(RegistryTest, OneObjectServesSeveralThreads) {
  CRegistry reg(HiveFile());
  constexpr int kThreads = 4;
  constexpr int kWrites = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&reg, t] {
      for (int i = 0; i < kWrites; ++i) {
        const std::string name = "T" + std::to_string(t) + "-" + std::to_string(i);
        reg.SetString(kDevice, name, name);
        std::string back;
        reg.GetString(kDevice, name, back);
        reg.EnumSubkeys("Software");
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(CRegistry(HiveFile()).EnumValues(kDevice).size(), size_t(kThreads * kWrites));
}

TEST(RegistryHive, FollowsTheEnvironmentAtEachCall) {
  CIsolatedHome first;
  const fs::path firstFile = first.ConfigHome() / "Tavelnor" / "user.reg";
  EXPECT_EQ(CRegistry::HivePath(RegHive::CurrentUser), firstFile);
  EXPECT_EQ(CRegistry::HivePath(RegHive::ClassesRoot), first.DataHome() / "Tavelnor" / "classes.reg");
  EXPECT_EQ(CRegistry::HivePath(RegHive::LocalMachine), first.DataHome() / "Tavelnor" / "machine.reg");
  ASSERT_TRUE(CRegistry::Hive(RegHive::CurrentUser).SetDword(kDevice, "Timeout", 1));
  ASSERT_TRUE(CRegistry::Hive(RegHive::ClassesRoot).SetString(".gpx", "", "QVAgent.gpx"));
  EXPECT_NE(ReadFile(firstFile).find("[HKEY_CURRENT_USER\\Software"), std::string::npos);
  EXPECT_NE(ReadFile(first.DataHome() / "Tavelnor" / "classes.reg")
                .find("[HKEY_CLASSES_ROOT\\.gpx]\n@=\"QVAgent.gpx\""),
            std::string::npos);
  {
    CIsolatedHome second;
    EXPECT_EQ(CRegistry::Hive(RegHive::CurrentUser).File(), second.ConfigHome() / "Tavelnor" / "user.reg");
    EXPECT_FALSE(CRegistry::Hive(RegHive::CurrentUser).KeyExists(kDevice));
  }
  EXPECT_TRUE(CRegistry::Hive(RegHive::CurrentUser).KeyExists(kDevice));
  EXPECT_EQ(&CRegistry::Hive(RegHive::CurrentUser), &CRegistry::Hive(RegHive::CurrentUser));
}

TEST(RegistryHive, ReadsAFixtureMachineHive) {
  CIsolatedHome home;
  const fs::path file = home.DataHome() / "Tavelnor" / "machine.reg";
  fs::create_directories(file.parent_path());
  WriteFile(file,
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_091E&PID_0003\\5&1]\r\n"
            "\"Class\"=\"Garmin Devices\"\r\n"
            "[HKEY_CURRENT_USER\\Ignored]\r\n");
  const CRegistry& hklm = CRegistry::Hive(RegHive::LocalMachine);
  std::string text;
  EXPECT_TRUE(hklm.GetString("enum\\usb\\vid_091e&pid_0003\\5&1", "class", text));
  EXPECT_EQ(text, "Garmin Devices");
  EXPECT_EQ(hklm.EnumSubkeys(""), std::vector<std::string>{"Enum"})
      << "other roots in the file stay invisible";
}

TEST(RegistryHive, WithoutAHomeThereIsNoHiveToWrite) {
  qvtest::CScopedEnv home("HOME", std::nullopt);
  qvtest::CScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_TRUE(CRegistry::HivePath(RegHive::CurrentUser).empty());
  EXPECT_FALSE(CRegistry::Hive(RegHive::CurrentUser).SetDword(kDevice, "Timeout", 1));
  EXPECT_FALSE(CRegistry::Hive(RegHive::CurrentUser).KeyExists(kDevice));
}

}  // namespace
