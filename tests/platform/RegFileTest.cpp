#include <gtest/gtest.h>

#include "platform/RegFile.h"

namespace {

RegValue Sz(const std::string& name, const std::string& text) {
  RegValue v;
  v.name = name;
  v.type = RegType::String;
  v.text = text;
  return v;
}

RegValue Dw(const std::string& name, uint32_t number) {
  RegValue v;
  v.name = name;
  v.type = RegType::Dword;
  v.dword = number;
  return v;
}

const RegKeyNode* Key(const RegKeyNode& root, const std::string& path) {
  const RegKeyNode* node = &root;
  for (const std::string& part : CRegFile::SplitPath(path)) {
    node = node->FindSubkey(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

TEST(RegFile, ReadsTheSystemsExportFormat) {
  const std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Device]\r\n"
      "\"Timeout\"=dword:000001f4\r\n"
      "\"Ports\"=\"/dev/ttyUSB0;usbsim:/tmp/s\"\r\n"
      "@=\"default text\"\r\n"
      "\r\n"
      "; a comment line\r\n"
      "  [HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Server]  \r\n"
      "\"Name\" = \"C:\\\\Program Files\\\\\\\"quoted\\\"\"\r\n"
      "\"Short\"=DWORD:2A\r\n";
  RegKeyNode root;
  std::string error;
  ASSERT_TRUE(CRegFile::Parse(text, root, &error)) << error;

  const RegKeyNode* device = Key(root, "HKEY_CURRENT_USER\\Software\\Tavelnor\\QVAgent\\Device");
  ASSERT_NE(device, nullptr);
  const std::vector<RegValue> expectedDevice = {Dw("Timeout", 500), Sz("Ports", "/dev/ttyUSB0;usbsim:/tmp/s"),
                                                Sz("", "default text")};
  EXPECT_EQ(device->values, expectedDevice);

  const RegKeyNode* server = Key(root, "hkey_current_user\\SOFTWARE\\tavelnor\\qvagent\\server");
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->name, "Server");
  const std::vector<RegValue> expectedServer = {Sz("Name", "C:\\Program Files\\\"quoted\""), Dw("Short", 42)};
  EXPECT_EQ(server->values, expectedServer);
}

TEST(RegFile, MergesRepeatedKeysAndValuesWithoutRegardToCase) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\Software\\MixedCase]\n"
      "\"Value\"=\"first\"\n"
      "[hkey_current_user\\software\\MIXEDCASE]\n"
      "\"VALUE\"=dword:00000007\n";
  RegKeyNode root;
  ASSERT_TRUE(CRegFile::Parse(text, root));
  const RegKeyNode* key = Key(root, "HKEY_CURRENT_USER\\Software\\MixedCase");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->name, "MixedCase");
  const std::vector<RegValue> expected = {Dw("Value", 7)};
  EXPECT_EQ(key->values, expected);
}

TEST(RegFile, BlankTextIsAnEmptyHive) {
  for (const char* text : {"", "\n\n", "\xEF\xBB\xBF", " \r\n\t"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    RegKeyNode root;
    EXPECT_TRUE(CRegFile::Parse(text, root));
    EXPECT_TRUE(root.subkeys.empty());
  }
}

TEST(RegFile, RejectsDamagedText) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  struct Case {
    const char* legend;
    std::string text;
    const char* error;
  } cases[] = {
      {"no header", "[HKEY_CURRENT_USER\\A]\n", "line 1: not a registry file"},
      {"other header", "Windows Registry Editor Version 4.00\n", "line 1: not a registry file"},
      {"value before any key", header + "\"A\"=\"x\"\n", "line 2: value outside a key"},
      {"string cut short", header + "[HKEY_CURRENT_USER\\A]\n\"Name\"=\"some te",
       "line 3: unterminated string"},
      {"name cut short", header + "[HKEY_CURRENT_USER\\A]\n\"Na", "line 3: unterminated string"},
      {"key line cut short", header + "[HKEY_CURRENT_USER\\Soft", "line 2: key line must end with ']'"},
      {"empty key", header + "[]\n", "line 2: empty key path"},
      {"only separators", header + "[\\\\]\n", "line 2: empty key path"},
      {"deletion line", header + "[-HKEY_CURRENT_USER\\A]\n", "line 2: key deletion lines are not supported"},
      {"hex value", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=hex:01,02\n", "line 3: unsupported value type"},
      {"value deletion", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=-\n", "line 3: unsupported value type"},
      {"dword too long", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=dword:123456789\n",
       "line 3: a dword needs one to eight hex digits"},
      {"dword not hex", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=dword:12g4\n",
       "line 3: a dword needs one to eight hex digits"},
      {"dword empty", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=dword:\n",
       "line 3: a dword needs one to eight hex digits"},
      {"missing =", header + "[HKEY_CURRENT_USER\\A]\n\"B\" \"x\"\n",
       "line 3: '=' expected after the value name"},
      {"text after value", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=\"x\" junk\n",
       "line 3: unexpected text after the value"},
      {"unknown escape", header + "[HKEY_CURRENT_USER\\A]\n\"B\"=\"C:\\Windows\"\n",
       "line 3: unknown escape sequence"},
      {"stray line", header + "[HKEY_CURRENT_USER\\A]\nrandom words\n", "line 3: unrecognised line"},
      {"control character in key", header + "[HKEY_CURRENT_USER\\A\rB]\n", "line 2: invalid key name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    RegKeyNode root;
    root.AddSubkey("left over");
    std::string error;
    EXPECT_FALSE(CRegFile::Parse(c.text, root, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(root.subkeys.empty()) << "a damaged file must read as an empty hive";
  }
}

TEST(RegFile, RejectsKeysNestedDeeperThanTheSystemAllows) {
  std::string deep = "Windows Registry Editor Version 5.00\n[R";
  for (size_t i = 1; i < CRegFile::kMaxDepth; ++i) deep += "\\k";
  RegKeyNode root;
  EXPECT_TRUE(CRegFile::Parse(deep + "]\n", root));
  std::string error;
  EXPECT_FALSE(CRegFile::Parse(deep + "\\k]\n", root, &error));
  EXPECT_EQ(error, "line 2: key nested too deeply");
}

TEST(RegFile, WritesTheExportFormatByteForByte) {
  RegKeyNode root;
  RegKeyNode& hkcu = root.AddSubkey("HKEY_CURRENT_USER");
  RegKeyNode& device = hkcu.AddSubkey("Software").AddSubkey("Tavelnor").AddSubkey("Device");
  device.SetValue(Dw("Timeout", 500));
  device.SetValue(Sz("", "default"));
  device.SetValue(Sz("Odd \"name\"", "a\\b\nc\rd"));
  hkcu.FindSubkey("software")->FindSubkey("TAVELNOR")->AddSubkey("Empty");
  const std::string expected =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "[HKEY_CURRENT_USER]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Tavelnor]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Tavelnor\\Device]\n"
      "\"Timeout\"=dword:000001f4\n"
      "@=\"default\"\n"
      "\"Odd \\\"name\\\"\"=\"a\\\\b\\nc\\rd\"\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Tavelnor\\Empty]\n"
      "\n";
  EXPECT_EQ(CRegFile::Write(root), expected);
}

TEST(RegFile, AnyTextSurvivesAWriteAndARead) {
  const std::string texts[] = {
      "",
      "plain",
      "back\\slash\\\\double",
      "\"quoted\"",
      "ends with backslash\\",
      "line\nbreak\r\nand CR",
      std::string("nul\0inside", 10),
      "\xC3\xA9t\xC3\xA9 UTF-8",
      "  leading and trailing blanks  ",
      "tab\there",
      "[looks like a key]",
      "\"Name\"=\"looks like a value\"",
      "; looks like a comment",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text));
    RegKeyNode root;
    RegKeyNode& key = root.AddSubkey("HKEY_CURRENT_USER").AddSubkey(" key [with] \"odd\" = name; ");
    key.SetValue(Sz(text, text));
    key.SetValue(Sz("", text));
    RegKeyNode back;
    std::string error;
    ASSERT_TRUE(CRegFile::Parse(CRegFile::Write(root), back, &error)) << error;
    EXPECT_EQ(back, root);
  }
}

TEST(RegFile, SubkeysAreSortedWithoutRegardToCase) {
  RegKeyNode root;
  for (const char* name : {"beta", "Alpha", "GAMMA", "alpha2", "Delta"}) root.AddSubkey(name);
  EXPECT_EQ(&root.AddSubkey("ALPHA"), root.FindSubkey("alpha"));
  std::vector<std::string> names;
  for (const RegKeyNode& k : root.subkeys) names.push_back(k.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha2", "beta", "Delta", "GAMMA"}));
  EXPECT_TRUE(root.RemoveSubkey("DELTA"));
  EXPECT_FALSE(root.RemoveSubkey("Delta"));
}

TEST(RegFile, SettingAValueKeepsTheCaseOfItsNameAndDropsTheOtherType) {
  RegKeyNode key;
  key.SetValue(Sz("TaskbarIcon", "1"));
  RegValue changed = Dw("TASKBARICON", 0);
  changed.text = "ignored";
  key.SetValue(changed);
  const std::vector<RegValue> expected = {Dw("TaskbarIcon", 0)};
  EXPECT_EQ(key.values, expected);
  EXPECT_TRUE(key.RemoveValue("taskbaricon"));
  EXPECT_TRUE(key.values.empty());
}

TEST(RegFile, SplitsKeyPathsAndChecksNames) {
  EXPECT_EQ(CRegFile::SplitPath("Software\\\\Tavelnor\\"),
            (std::vector<std::string>{"Software", "Tavelnor"}));
  EXPECT_TRUE(CRegFile::SplitPath("").empty());
  EXPECT_TRUE(CRegFile::IsValidKeyName(" odd [name] "));
  for (const std::string& bad :
       {std::string(), std::string("a\\b"), std::string("a\nb"), std::string("a\0b", 3)}) {
    SCOPED_TRACE(testing::PrintToString(bad));
    EXPECT_FALSE(CRegFile::IsValidKeyName(bad));
  }
}

}  // namespace
