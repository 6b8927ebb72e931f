#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "document/QvxWriter.h"
#include "document/XmlCheck.h"
#include "support/TestEnv.h"

namespace {

// Runs body on a writer opened on a fresh file and returns the file's bytes.
std::string WriteWith(const std::function<void(CQvxWriter&)>& body) {
  qvtest::CTempDir dir;
  const std::string path = (dir.Path() / "out.xml").string();
  CQvxWriter writer;
  EXPECT_TRUE(writer.Open(path.c_str()));
  body(writer);
  EXPECT_TRUE(writer.Close());
  return qvtest::ReadFile(path);
}

TEST(QvxWriter, WritesExactBytesOfEachForm) {
  struct Case {
    const char* legend;
    std::function<void(CQvxWriter&)> body;
    std::string expected;
  };
  const Case cases[] = {
      {"leaf with empty text is self-closing", [](CQvxWriter& w) { w.TextElement("low", ""); }, "<low/>\r\n"},
      {"leaf with null text is self-closing", [](CQvxWriter& w) { w.TextElement("low", nullptr); },
       "<low/>\r\n"},
      {"leaf with text on one line", [](CQvxWriter& w) { w.TextElement("low", "5.0"); },
       "<low>5.0</low>\r\n"},
      {"attribute value escaped",
       [](CQvxWriter& w) { w.TextElementAttr("gml:name", "codeSpace", "a<b & 'c'", "x"); },
       "<gml:name codeSpace=\"a&lt;b &amp; &apos;c&apos;\">x</gml:name>\r\n"},
      {"attributes in argument order, null name left out, empty value kept",
       [](CQvxWriter& w) { w.LeafElement3("d", "uom", "#uom-m", nullptr, "skipped", "modifier", "", "1.0"); },
       "<d uom=\"#uom-m\" modifier=\"\">1.0</d>\r\n"},
      {"null attribute value is empty",
       [](CQvxWriter& w) { w.LeafElement("e", "id", nullptr, nullptr, nullptr, nullptr); },
       "<e id=\"\"/>\r\n"},
      {"open and close line up, leaves one level deeper",
       [](CQvxWriter& w) {
         w.OpenElement("event");
         w.OpenElement("activity", "id", "A", "x", "1");
         w.TextElement("t", "v");
         w.CloseElement("activity");
         w.CloseElement("event");
       },
       "<event>\r\n  <activity id=\"A\" x=\"1\">\r\n    <t>v</t>\r\n  </activity>\r\n</event>\r\n"},
      {"depth 3 is six spaces",
       [](CQvxWriter& w) {
         w.OpenElement("a");
         w.OpenElement("b");
         w.OpenElement("c");
         w.TextElement("d", "");
       },
       "<a>\r\n  <b>\r\n    <c>\r\n      <d/>\r\n"},
      {"close at depth 0 stays at column 0",
       [](CQvxWriter& w) {
         w.CloseElement("x");
         w.TextElement("y", "");
       },
       "</x>\r\n<y/>\r\n"},
      {"one-line form escapes only the text",
       [](CQvxWriter& w) {
         w.OpenElement("p");
         w.TextLine("<gml:pos>", "1 < 2", "</gml:pos>");
       },
       "<p>\r\n  <gml:pos>1 &lt; 2</gml:pos>\r\n"},
      {"line feed inside a text stored as CR LF", [](CQvxWriter& w) { w.TextElement("n", "a\nb"); },
       "<n>a\r\nb</n>\r\n"},
      {"named closers",
       [](CQvxWriter& w) {
         for (int i = 0; i < 10; ++i) w.OpenElement("o");
         w.CloseMeasurementZoneSet();
         w.CloseProfile();
         w.CloseActivitySegment();
         w.CloseActivitySegmentSet();
         w.CloseHistory();
         w.CloseMeter();
         w.CloseActivity();
         w.CloseEvent();
         w.CloseTimeSample();
         w.CloseQvx();
       },
       std::string(
           "<o>\r\n  <o>\r\n    <o>\r\n      <o>\r\n        <o>\r\n          <o>\r\n            <o>\r\n"
           "              <o>\r\n                <o>\r\n                  <o>\r\n") +
           "                  </measurementZoneSet>\r\n                </profile>\r\n"
           "              </activitySegment>\r\n            </activitySegmentSet>\r\n"
           "          </gml:history>\r\n        </meter>\r\n      </activity>\r\n    </event>\r\n"
           "  </timeSample>\r\n</qvx>\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(WriteWith(c.body), c.expected);
  }
}

TEST(QvxWriter, DeepNestingAndLongTextsPassWhole) {
  // Indentation beyond the short fast path, and a text larger than the
  // writer's whole buffer.
  const std::string longText(300000, 'x');
  const std::string bytes = WriteWith([&](CQvxWriter& w) {
    for (int i = 0; i < 20; ++i) w.OpenElement("d");
    w.TextElement("deep", "");
    for (int i = 0; i < 20; ++i) w.CloseElement("d");
    w.TextElement("long", longText.c_str());
  });
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += std::string(2 * i, ' ') + "<d>\r\n";
  expected += std::string(40, ' ') + "<deep/>\r\n";
  for (int i = 19; i >= 0; --i) expected += std::string(2 * i, ' ') + "</d>\r\n";
  expected += "<long>" + longText + "</long>\r\n";
  EXPECT_EQ(bytes, expected);
}

TEST(QvxWriter, DepthFollowsOpenAndClose) {
  CQvxWriter w;
  qvtest::CTempDir dir;
  ASSERT_TRUE(w.Open((dir.Path() / "d.xml").c_str()));
  EXPECT_EQ(w.Depth(), 0);
  w.OpenElement("a");
  w.OpenElement("b");
  EXPECT_EQ(w.Depth(), 2);
  w.TextElement("c", "x");
  EXPECT_EQ(w.Depth(), 2);
  w.CloseElement("b");
  w.CloseElement("a");
  w.CloseElement("extra");
  EXPECT_EQ(w.Depth(), 0);
}

TEST(QvxWriter, HeaderRewindsAndResetsDepth) {
  // Written over the start of the file, after whatever came before; the
  // element after it is at column 0 whatever the depth was.
  const std::string bytes = WriteWith([](CQvxWriter& w) {
    w.OpenElement("placeholder-longer-than-header");
    w.OpenElement("b");
    EXPECT_TRUE(w.WriteHeader("1", "2", "3"));
    EXPECT_EQ(w.Depth(), 0);
  });
  EXPECT_EQ(bytes, "1\r\n2\r\n3\r\nder-longer-than-header>\r\n  <b>\r\n");

  const std::string doc = WriteWith([](CQvxWriter& w) {
    EXPECT_TRUE(w.WriteHeader("<?xml version=\"1.0\"?>", "<r>", "<s/>"));
    w.TextElement("t", "");
    w.CloseQvx();
  });
  EXPECT_EQ(doc, "<?xml version=\"1.0\"?>\r\n<r>\r\n<s/>\r\n<t/>\r\n</qvx>\r\n");
}

TEST(QvxWriter, WithoutFileNothingCrashes) {
  CQvxWriter w;
  EXPECT_FALSE(w.Indent());
  EXPECT_FALSE(w.OpenElement("a"));
  EXPECT_FALSE(w.TextElement("a", "b"));
  EXPECT_FALSE(w.CloseElement("a"));
  EXPECT_FALSE(w.TextLine("<a>", "b", "</a>"));
  EXPECT_TRUE(w.WriteHeader("a", "b", "c"));
  EXPECT_TRUE(w.CloseQvx());
  EXPECT_TRUE(w.CloseEvent());
  EXPECT_TRUE(w.Close());
}

TEST(QvxWriter, OpenFailureKeepsErrno) {
  qvtest::CTempDir dir;
  CQvxWriter w;
  EXPECT_FALSE(w.Open((dir.Path() / "missing" / "x.xml").c_str()));
  EXPECT_EQ(w.LastErrno(), ENOENT);
  EXPECT_FALSE(w.IsOpen());
}

TEST(QvxWriter, OpenTruncatesAndReopens) {
  qvtest::CTempDir dir;
  const auto path = dir.Path() / "t.xml";
  qvtest::WriteFile(path, std::string(1000, 'x'));
  CQvxWriter w;
  ASSERT_TRUE(w.Open(path.c_str()));
  w.OpenElement("a");
  ASSERT_TRUE(w.Open(path.c_str()));  // closes the first, starts again at depth 0
  w.TextElement("b", "");
  ASSERT_TRUE(w.Close());
  EXPECT_EQ(qvtest::ReadFile(path), "<b/>\r\n");
}

TEST(QvxWriter, FullDiskIsReportedEvenWhenOnlyCloseSeesIt) {
  struct Case {
    const char* legend;
    int leaves;
  };
  // A few lines stay in the buffer until Close; many lines reach the file
  // while elements are written.
  for (const Case& c : {Case{"small, failure at close", 3}, Case{"large, failure while writing", 20000}}) {
    SCOPED_TRACE(c.legend);
    CQvxWriter w;
    ASSERT_TRUE(w.Open("/dev/full"));
    bool allOk = true;
    for (int i = 0; i < c.leaves; ++i) allOk = w.TextElement("leaf", "some text to fill") && allOk;
    w.CloseEvent();  // ignores the failure, but it is remembered
    EXPECT_EQ(allOk, c.leaves < 100);
    EXPECT_FALSE(w.Close());
    EXPECT_TRUE(w.HasFailed());
    EXPECT_EQ(w.LastErrno(), ENOSPC);
  }
}

TEST(QvxWriter, EveryByteValueGivesWellFormedXml) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string doc = WriteWith([&](CQvxWriter& w) {
    w.WriteHeader("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<root>", "<x/>");
    w.TextElementAttr("t", "a", all.c_str(), all.c_str());
    w.CloseElement("root");
  });
  const qvtest::CParsedXml parsed = qvtest::ParseXml(doc);
  ASSERT_TRUE(parsed.wellFormed) << parsed.error;
  ASSERT_EQ(parsed.elements.size(), 3u);
  // Tab, line feed, carriage return and everything from blank upward survive;
  // the other control characters are gone; bytes from 0x80 up are Latin-1.
  // The line feed went out as CR LF and the carriage return as it was;
  // a reader turns both into line feeds.
  std::string expected = "\t\n\n";
  for (int b = 0x20; b < 0x80; ++b) expected += static_cast<char>(b);
  for (int b = 0x80; b < 0x100; ++b) {
    expected += static_cast<char>(0xC0 | (b >> 6));
    expected += static_cast<char>(0x80 | (b & 0x3F));
  }
  EXPECT_EQ(parsed.text.substr(parsed.text.find('\t'), expected.size()), expected);
}

}  // namespace
