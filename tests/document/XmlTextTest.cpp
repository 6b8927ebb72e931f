#include <gtest/gtest.h>

#include <string>

#include "document/QvxWriter.h"
#include "document/XmlText.h"

namespace {

TEST(XmlText, EscapesAndRepairs) {
  struct Case {
    const char* legend;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain text unchanged", "Forerunner 305", "Forerunner 305"},
      {"empty", "", ""},
      {"the five characters", "&><\"'", "&amp;&gt;&lt;&quot;&apos;"},
      {"an entity in the text is escaped once", "&amp;", "&amp;amp;"},
      {"mixed", "a<b & 'c'", "a&lt;b &amp; &apos;c&apos;"},
      {"valid UTF-8 kept", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\xB4",
       "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\xB4"},
      {"Latin-1 byte re-encoded", "Caf\xE9", "Caf\xC3\xA9"},
      {"one stray byte makes the whole text Latin-1", "\xC3\xA9 \xE9", "\xC3\x83\xC2\xA9 \xC3\xA9"},
      {"truncated sequence", "x\xE2\x82", "x\xC3\xA2\xC2\x82"},
      {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"surrogate half", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
      {"control characters dropped", std::string("a\x01\x08\x0B\x0C\x1F\x7F", 7) + "b",
       "a\x7F"
       "b"},
      {"tab, line feed, carriage return kept", "a\tb\nc\rd", "a\tb\nc\rd"},
      {"U+FFFE and U+FFFF dropped, U+FFFD kept", "\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD", "\xEF\xBF\xBD"},
      {"control character inside Latin-1 text dropped", "\x02\xFC", "\xC3\xBC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(XmlEscape(c.in), c.out);
    EXPECT_EQ(CQvxWriter::Escape(c.in.c_str()), c.out);
  }
  EXPECT_EQ(CQvxWriter::Escape(nullptr), "");
}

TEST(XmlText, PlainTextNeedsNoWork) {
  struct Case {
    const char* legend;
    std::string text;
    bool plain;
  };
  const Case cases[] = {
      {"empty", "", true},           {"position", "8.500000 47.500000", true}, {"ampersand", "a&b", false},
      {"apostrophe", "it's", false}, {"non-ASCII", "\xC3\xA9", false},         {"tab", "a\tb", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(IsPlainXmlText(c.text), c.plain);
  }
}

TEST(XmlText, LineFeedBecomesCrLfOnlyWhenAsked) {
  std::string out;
  AppendXmlEscaped(out, "a\nb", true);
  EXPECT_EQ(out, "a\r\nb");
  out.clear();
  AppendXmlEscaped(out, "a\nb", false);
  EXPECT_EQ(out, "a\nb");
}

TEST(XmlText, Utf8Validity) {
  struct Case {
    const char* legend;
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"ascii", "abc", true},
      {"two bytes", "\xC3\xA9", true},
      {"largest code point", "\xF4\x8F\xBF\xBF", true},
      {"lone continuation", "\x80", false},
      {"C1 lead is overlong", "\xC1\xBF", false},
      {"overlong three bytes", "\xE0\x80\xAF", false},
      {"missing continuation",
       "\xC3"
       "a",
       false},
      {"F5 lead", "\xF5\x80\x80\x80", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(IsValidUtf8(c.text), c.valid);
  }
}

}  // namespace
