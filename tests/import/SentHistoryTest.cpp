#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "import/SentHistory.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace {

std::string Dump(const CSentHistory& history) {
  std::string out;
  for (size_t i = 0; i < history.GetCount(); ++i) {
    out += history.GetAt(i).device + "@" + history.GetAt(i).begin + ";";
  }
  return out;
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

const char* const kDevice = "device-Forerunner 305-484-3312345678";

TEST(SentHistoryTest, FindNeedsBothTextsExactly) {
  CSentHistory history;
  history.Add(kDevice, "2007-06-01T10:00:00Z");
  history.Add(kDevice, "2007-06-02T10:00:00Z");
  history.Add(kDevice, "2007-06-02T10:00:00Z");  // duplicates are the caller's business
  struct Row {
    const char* legend;
    const char* device;
    const char* begin;
    int expectedIndex;  // -1: not found
  };
  const Row rows[] = {
      {"exact", kDevice, "2007-06-01T10:00:00Z", 0},
      {"first of two equal entries", kDevice, "2007-06-02T10:00:00Z", 1},
      {"empty begin", kDevice, "", -1},
      {"empty device", "", "2007-06-01T10:00:00Z", -1},
      {"device differing in case", "device-forerunner 305-484-3312345678", "2007-06-01T10:00:00Z", -1},
      {"begin differing in case", kDevice, "2007-06-01t10:00:00z", -1},
      {"other begin", kDevice, "2007-06-03T10:00:00Z", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    const CSentHistoryEntry* found = history.Find(row.device, row.begin);
    if (row.expectedIndex < 0) {
      EXPECT_EQ(found, nullptr);
    } else {
      EXPECT_EQ(found, &history.GetAt(static_cast<size_t>(row.expectedIndex)));
    }
  }
}

TEST(SentHistoryTest, The101stEntryPushesOutTheOldest) {
  qvtest::CTempDir dir;
  CSentHistory history;
  for (int i = 0; i <= 100; ++i) history.Add(kDevice, "begin-" + std::to_string(i));
  EXPECT_EQ(history.GetCount(), 100u);
  EXPECT_EQ(history.Find(kDevice, "begin-0"), nullptr);
  EXPECT_EQ(history.GetAt(0).begin, "begin-1");
  EXPECT_EQ(history.GetAt(99).begin, "begin-100");

  const auto path = dir.Path() / "history.xml";
  ASSERT_TRUE(history.Write(path.string()));
  const std::string text = qvtest::ReadFile(path);
  EXPECT_EQ(CountOf(text, "  <activity "), 100u);
  EXPECT_EQ(CountOf(text, "\n"), 102u);
}

TEST(SentHistoryTest, WrittenFormIsOneLinePerEntry) {
  CSentHistory history;
  EXPECT_EQ(history.WriteText(), "<history>\n</history>\n");
  history.Add("device-A-1", "2008-01-01T00:00:00Z");
  history.Add("device-B-2", "2008-01-02T00:00:00Z");
  EXPECT_EQ(history.WriteText(),
            "<history>\n"
            "  <activity device=\"device-A-1\" begin=\"2008-01-01T00:00:00Z\"/>\n"
            "  <activity device=\"device-B-2\" begin=\"2008-01-02T00:00:00Z\"/>\n"
            "</history>\n");
}

TEST(SentHistoryTest, Reading) {
  std::string longFile = "<history>";
  for (int i = 0; i < 120; ++i) longFile += "<activity device='d' begin='" + std::to_string(i) + "'/>";
  longFile += "</history>";
  std::string last100;
  for (int i = 20; i < 120; ++i) last100 += "d@" + std::to_string(i) + ";";

  struct Row {
    const char* legend;
    std::string xml;
    bool ok;
    std::string expected;
  };
  const Row rows[] = {
      {"without the root element history", "<activities><activity device='a' begin='b'/></activities>", true,
       ""},
      {"activity as the root", "<activity device='a' begin='b'/>", true, ""},
      {"names in any case",
       "<HISTORY><Activity DEVICE='a' Begin='b'/><ACTIVITY device='c' begin='d'/></HISTORY>", true,
       "a@b;c@d;"},
      {"entries without both texts are skipped",
       "<history><activity device='a'/><activity begin='b'/><activity device='' begin='b'/>"
       "<activity device='x' begin='y'/></history>",
       true, "x@y;"},
      {"activities below other elements are ignored",
       "<history><old><activity device='a' begin='b'/></old><activity device='c' begin='d'><activity "
       "device='e' "
       "begin='f'/></activity></history>",
       true, "c@d;"},
      {"other attributes and text are ignored",
       "<history> text <activity id='7' device='a' sport='run' begin='b'>inner</activity></history>", true,
       "a@b;"},
      {"a file of 120 keeps its last 100", longFile, true, last100},
      {"malformed after two entries keeps the two",
       "<history>\n<activity device='a' begin='1'/>\n<activity device='a' begin='2'/>\n<activity device='a' "
       "begin=3/>\n</history>",
       false, "a@1;a@2;"},
      {"empty file", "", false, ""},
      {"entity declarations are refused",
       "<!DOCTYPE history [<!ENTITY x 'device'>]><history><activity device='&x;' begin='b'/></history>",
       false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CSentHistory history;
    history.Add("stale", "entry");
    EXPECT_EQ(history.LoadText(row.xml), row.ok);
    EXPECT_EQ(Dump(history), row.expected);
  }
}

TEST(SentHistoryTest, HostileTextsReadBackUnchanged) {
  qvtest::CTempDir dir;
  const auto path = (dir.Path() / "history.xml").string();
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"device-\"Quoted\"-'single'", "2008-01-01T00:00:00Z"},
      {"device-<Edge>&<305>", "a&amp;b"},
      {"device-]]>-&#x41;", "&lt;"},
      {"device-Gr\xC3\xBC\xC3\x9F"
       "e-\xE2\x82\xAC-\xF0\x9F\x9A\xB4",
       "2008-01-01T00:00:00Z"},
      {"device-tab\there", "line\nfeed\r\ncr\r"},
      {"  leading and trailing  ", " "},
  };
  CSentHistory history;
  for (const auto& [device, begin] : entries) history.Add(device, begin);
  ASSERT_TRUE(history.Write(path));
  CSentHistory back;
  ASSERT_TRUE(back.LoadFile(path));
  ASSERT_EQ(back.GetCount(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(entries[i].first);
    EXPECT_EQ(back.GetAt(i).device, entries[i].first);
    EXPECT_EQ(back.GetAt(i).begin, entries[i].second);
    EXPECT_NE(back.Find(entries[i].first, entries[i].second), nullptr);
  }
}

TEST(SentHistoryTest, BytesXmlCannotCarryNeverMakeTheFileUnreadable) {
  // Not UTF-8, or control characters: those entries change, but the file
  // and every other entry survive.
  struct Row {
    const char* legend;
    std::string device;
    std::string readBack;
  };
  const Row rows[] = {
      {"Latin-1 byte",
       "device-Gr\xFC\xDF"
       "e",
       "device-Gr\xC3\xBC\xC3\x9F"
       "e"},
      {"truncated sequence at the end", "device-\xE2\x82", "device-\xC3\xA2\xC2\x82"},
      {"encoded surrogate", "device-\xED\xA0\x80", "device-\xC3\xAD\xC2\xA0\xC2\x80"},
      {"overlong slash", "device-\xC0\xAF", "device-\xC3\x80\xC2\xAF"},
      {"U+FFFE", "device-\xEF\xBF\xBE", "device-\xC3\xAF\xC2\xBF\xC2\xBE"},
      {"UTF-8 and Latin-1 in one text", "\xC3\xA9-\xE9", "\xC3\x83\xC2\xA9-\xC3\xA9"},
      {"control characters", std::string("device-\x01-\x1F-", 11) + std::string(1, '\0'),
       "device-\xEF\xBF\xBD-\xEF\xBF\xBD-\xEF\xBF\xBD"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CSentHistory history;
    history.Add("first", "1");
    history.Add(row.device, "2");
    history.Add("last", "3");
    CSentHistory back;
    ASSERT_TRUE(back.LoadText(history.WriteText()));
    ASSERT_EQ(back.GetCount(), 3u);
    EXPECT_EQ(back.GetAt(1).device, row.readBack);
    EXPECT_EQ(back.GetAt(2).device, "last");
    EXPECT_NE(back.Find(row.device, "2"), nullptr) << "the same receiver is known after a reload";
  }
}

TEST(SentHistoryTest, ChunkSizeOfTheInputDoesNotMatter) {
  CSentHistory source;
  for (int i = 0; i < 30; ++i)
    source.Add("device-\xC3\xA9t\xC3\xA9-&-" + std::to_string(i), "2008-01-01T00:00:00Z");
  const std::string text = source.WriteText();
  for (size_t step : {1u, 3u, 5u, 127u, 128u}) {
    SCOPED_TRACE(step);
    size_t offset = 0;
    CSentHistory history;
    EXPECT_TRUE(history.Load([&](char* buffer, size_t size) -> int64_t {
      const size_t n = std::min({size, step, text.size() - offset});
      text.copy(buffer, n, offset);
      offset += n;
      return static_cast<int64_t>(n);
    }));
    EXPECT_EQ(Dump(history), Dump(source));
  }
}

TEST(SentHistoryTest, SavingReplacesTheFileWhole) {
  qvtest::CTempDir dir;
  const auto path = dir.Path() / "history.xml";
  qvtest::WriteFile(path, "<history>\n  <activity device=\"old\" begin=\"1\"/>\n</history>\n");
  CSentHistory history;
  history.LoadHistory(path.string());
  EXPECT_EQ(Dump(history), "old@1;");
  history.Add("new", "2");
  history.SaveHistory(path.string());
  EXPECT_EQ(qvtest::ReadFile(path), history.WriteText());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
      << "no temporary file left";

  // A save that cannot write keeps nothing half-written and fails quietly.
  EXPECT_FALSE(history.Write((dir.Path() / "missing" / "history.xml").string()));
  history.SaveHistory((dir.Path() / "missing" / "history.xml").string());
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
}

TEST(SentHistoryTest, MissingOrBrokenHistoryIsAnEmptyList) {
  qvtest::CTempDir dir;
  CSentHistory history;
  history.Add("stale", "1");
  history.LoadHistory((dir.Path() / "none.xml").string());
  EXPECT_EQ(history.GetCount(), 0u);
  qvtest::WriteFile(dir.Path() / "broken.xml", "<history><activity device='a' begin='b'/><");
  history.LoadHistory((dir.Path() / "broken.xml").string());
  EXPECT_EQ(Dump(history), "a@b;");
}

TEST(SentHistoryTest, DefaultFileIsTheDataFolderHistory) {
  qvtest::CIsolatedHome home;
  CUtil::ResetForTests();
  CUtil::Initialize();
  CSentHistory history;
  history.Add("device-X", "2008-01-01T00:00:00Z");
  history.SaveHistory();
  ASSERT_FALSE(CUtil::GetHistoryFile().empty());
  EXPECT_EQ(qvtest::ReadFile(CUtil::GetHistoryFile()), history.WriteText());
  CSentHistory back;
  back.LoadHistory();
  EXPECT_EQ(Dump(back), "device-X@2008-01-01T00:00:00Z;");
  CUtil::ResetForTests();
}

}  // namespace
