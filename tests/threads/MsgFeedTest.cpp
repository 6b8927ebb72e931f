#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/TestEnv.h"
#include "threads/MsgFeed.h"

namespace {

// Channel texts, then one bracketed group per item.
std::string Dump(const CMsgFeed& feed) {
  std::string out = feed.GetTitle() + "|" + feed.GetLink() + "|" + feed.GetDescription();
  for (size_t i = 0; i < feed.GetItemCount(); ++i) {
    const CMsgFeedItem& item = feed.GetItem(i);
    out += " [" + item.title + "|" + item.link + "|" + item.description + "]";
  }
  return out;
}

// Hands the text out at most `step` bytes per read, as a network reply may.
CMsgFeed::ReadFunction Trickle(const std::string& text, size_t step) {
  auto offset = std::make_shared<size_t>(0);
  return [text, step, offset](char* buffer, size_t size) -> int64_t {
    const size_t n = std::min({size, step, text.size() - *offset});
    text.copy(buffer, n, *offset);
    *offset += n;
    return static_cast<int64_t>(n);
  };
}

const char* const kNewsFeed =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\">\n"
    "  <channel>\n"
    "    <title>News</title>\n"
    "    <item>\n"
    "      <title>A</title>\n"
    "      <link>L</link>\n"
    "      <description>D</description>\n"
    "    </item>\n"
    "  </channel>\n"
    "</rss>\n";

TEST(MsgFeedTest, ServiceReplyGivesItsItemAndTheTwelveLineCache) {
  CMsgFeed feed;
  ASSERT_TRUE(feed.ParseText(kNewsFeed));
  EXPECT_EQ(Dump(feed), "News|| [A|L|D]");
  EXPECT_EQ(feed.GetParseErrorText(), "");
  EXPECT_EQ(feed.WriteText(),
            "<rss>\n"
            "<channel>\n"
            "<title>News</title>\n"
            "<link></link>\n"
            "<description></description>\n"
            "<item>\n"
            "<title>A</title>\n"
            "<link>L</link>\n"
            "<description>D</description>\n"
            "</item>\n"
            "</channel>\n"
            "</rss>\n");
}

TEST(MsgFeedTest, Grammar) {
  struct Row {
    const char* legend;
    const char* xml;
    const char* expected;
  };
  const Row rows[] = {
      {"names in any case", "<RSS><Channel><TITLE>T</TITLE><Item><Link>l</Link></Item></Channel></RSS>",
       "T|| [|l|]"},
      {"item outside channel is ignored", "<rss><item><title>X</title></item><channel/></rss>", "||"},
      {"channel outside rss is ignored", "<feed><channel><title>X</title><item/></channel></feed>", "||"},
      {"channel below another element is ignored", "<rss><x><channel><title>X</title></channel></x></rss>",
       "||"},
      {"markup inside a text keeps only its direct text",
       "<rss><channel><title>a<b>x</b>c</title></channel></rss>", "ac||"},
      {"entities, character references and CDATA are delivered as text",
       "<rss><channel><item><title>a&amp;b &#x263A; <![CDATA[<i>]]></title></item></channel></rss>",
       "|| [a&b \xE2\x98\xBA <i>||]"},
      {"attributes are ignored",
       "<rss a='1'><channel b='2'><link href='h'>L</link><item c='3'><description "
       "d='4'>D</description></item>"
       "</channel></rss>",
       "|L| [||D]"},
      {"channel titles of an image are not the channel's",
       "<rss><channel><image><title>Logo</title></image><title>T</title></channel></rss>", "T||"},
      {"several items in order",
       "<rss><channel><item><title>1</title></item><item><title>2</title></item><item/></channel></rss>",
       "|| [1||] [2||] [||]"},
      {"a second channel adds to the first one's texts",
       "<rss><channel><title>A</title></channel><channel><title>B</title><item/></channel></rss>",
       "AB|| [||]"},
      {"white space between elements is not text",
       "<rss>\n <channel>\n  <item>\n  </item>\n </channel>\n</rss>", "|| [||]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CMsgFeed feed;
    EXPECT_TRUE(feed.ParseText(row.xml));
    EXPECT_EQ(Dump(feed), row.expected);
  }
}

TEST(MsgFeedTest, ChunkSizeOfTheInputDoesNotMatter) {
  // Multi-byte characters and entity references get split between reads.
  const std::string xml =
      "<rss><channel><title>Caf\xC3\xA9 &amp; \xE2\x82\xAC</title><item><title>"
      "\xF0\x9F\x9A\xB4 r&#233;sum&eacute;</title><description>" +
      std::string(300, 'x') + "</description></item></channel></rss>";
  // &eacute; is not a predefined entity: the whole document is rejected at it.
  const std::string good = xml.substr(0, xml.find("&eacute;")) + xml.substr(xml.find("&eacute;") + 8);
  CMsgFeed reference;
  ASSERT_TRUE(reference.ParseText(good));
  EXPECT_EQ(reference.GetTitle(), "Caf\xC3\xA9 & \xE2\x82\xAC");
  for (size_t step : {1u, 2u, 3u, 7u, 64u, 127u, 128u, 1000u}) {
    SCOPED_TRACE(step);
    CMsgFeed feed;
    EXPECT_TRUE(feed.Parse(Trickle(good, step)));
    EXPECT_EQ(Dump(feed), Dump(reference));
    CMsgFeed bad;
    EXPECT_FALSE(bad.Parse(Trickle(xml, step)));
  }
}

TEST(MsgFeedTest, EscapedTextsReadBackUnchanged) {
  qvtest::CTempDir dir;
  const std::string path = (dir.Path() / "announcements.xml").string();
  CMsgFeed feed;
  ASSERT_TRUE(feed.ParseText(
      "<rss><channel><title>Fish &amp; Chips &lt;new&gt;</title><link>http://x/?a=1&amp;b=2</link>"
      "<description>&quot;quoted&quot; &apos;single&apos; line&#13;&#10;end \xC3\xBC</description>"
      "<item><title>&lt;/title&gt;</title><link>&amp;amp;</link><description>]]&gt;</description></item>"
      "</channel></rss>"));
  ASSERT_TRUE(feed.Write(path));
  EXPECT_EQ(qvtest::ReadFile(path),
            "<rss>\n<channel>\n"
            "<title>Fish &amp; Chips &lt;new&gt;</title>\n"
            "<link>http://x/?a=1&amp;b=2</link>\n"
            "<description>&quot;quoted&quot; &apos;single&apos; line&#13;\nend \xC3\xBC</description>\n"
            "<item>\n"
            "<title>&lt;/title&gt;</title>\n"
            "<link>&amp;amp;</link>\n"
            "<description>]]&gt;</description>\n"
            "</item>\n"
            "</channel>\n</rss>\n");
  CMsgFeed back;
  ASSERT_TRUE(back.ParseFile(path));
  EXPECT_EQ(Dump(back), Dump(feed));
  EXPECT_EQ(back.GetDescription(), "\"quoted\" 'single' line\r\nend \xC3\xBC");
}

TEST(MsgFeedTest, MalformedInputKeepsWhatCameBeforeTheError) {
  CMsgFeed feed;
  feed.ParseText("<rss><channel><title>Old</title></channel></rss>");
  EXPECT_FALSE(feed.ParseText("<rss><channel>\n<title>T</title>\n<item><title>I</title></channel></rss>"));
  EXPECT_EQ(Dump(feed), "T|| [I||]") << "the earlier feed is gone, the part before the error stays";
  EXPECT_EQ(feed.GetParseErrorText(), "mismatched tag");
  EXPECT_EQ(feed.GetParseErrorLine(), 3u);

  EXPECT_FALSE(feed.ParseText(""));
  EXPECT_EQ(feed.GetParseErrorText(), "no element found");
  EXPECT_TRUE(feed.ParseText("<rss/>"));
  EXPECT_EQ(feed.GetParseErrorText(), "");
}

TEST(MsgFeedTest, EntityDeclarationsAreRefused) {
  CMsgFeed feed;
  EXPECT_FALSE(feed.ParseText(
      "<!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
      "<rss><channel><title>&b;</title></channel></rss>"));
  EXPECT_EQ(Dump(feed), "||");
}

TEST(MsgFeedTest, FailingInputIsAFailure) {
  CMsgFeed feed;
  int calls = 0;
  EXPECT_FALSE(feed.Parse([&](char* buffer, size_t) -> int64_t {
    if (++calls == 1) {
      const std::string text = "<rss><channel><title>T</title>";
      text.copy(buffer, text.size());
      return static_cast<int64_t>(text.size());
    }
    return -1;
  }));
  EXPECT_EQ(feed.GetTitle(), "T");
  EXPECT_NE(feed.GetParseErrorText(), "");
}

TEST(MsgFeedTest, FilesThatCannotBeReadOrWritten) {
  qvtest::CTempDir dir;
  CMsgFeed feed;
  feed.ParseText(kNewsFeed);
  EXPECT_FALSE(feed.Write((dir.Path() / "missing" / "a.xml").string()));
  EXPECT_FALSE(feed.ParseFile((dir.Path() / "missing.xml").string()));
  EXPECT_EQ(feed.GetItemCount(), 0u);

  // Replacing a cache leaves no temporary file behind.
  const auto path = dir.Path() / "announcements.xml";
  qvtest::WriteFile(path, "old");
  CMsgFeed news;
  news.ParseText(kNewsFeed);
  ASSERT_TRUE(news.Write(path.string()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  EXPECT_EQ(qvtest::ReadFile(path), news.WriteText());
}

}  // namespace
