// Checks of the string table: texts that other parts compare against or show
// verbatim, and the shape of every format string.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resources/StringIds.h"
#include "resources/StringTable.h"

namespace {

// Ids are 16-bit resource numbers, so walking this range sees every entry.
constexpr unsigned kMaxStringId = 0xFFFF;

// Patterns handed to strftime rather than to printf.
const std::set<unsigned> kTimeFormats = {IDS_FORMAT_TIMESTAMP};

// Length of the printf conversion starting at text[0] == '%', or 0 when it is
// not one: flags, width, precision, length modifier, conversion letter.
std::size_t PrintfConversionLength(const char* text) {
  std::size_t i = 1;
  if (text[i] == '%') return 2;
  while (text[i] != '\0' && std::strchr("-+ #0", text[i])) ++i;
  while (text[i] >= '0' && text[i] <= '9') ++i;
  if (text[i] == '.') {
    ++i;
    while (text[i] >= '0' && text[i] <= '9') ++i;
  }
  static const char* const kLengths[] = {"hh", "h", "ll", "l", "z", "j", "t", "L"};
  for (const char* length : kLengths) {
    std::size_t n = std::strlen(length);
    if (std::strncmp(text + i, length, n) == 0) {
      i += n;
      break;
    }
  }
  if (text[i] != '\0' && std::strchr("diouxXeEfFgGaAcsp", text[i])) return i + 1;
  return 0;
}

// The conversion letters of a printf format in order ("%%" left out), or "!"
// when a '%' starts no conversion.
std::string ConversionLetters(const char* text) {
  std::string letters;
  for (const char* p = std::strchr(text, '%'); p;) {
    std::size_t n = PrintfConversionLength(p);
    if (n == 0) return letters + "!";
    if (p[1] != '%') letters += p[n - 1];
    p = std::strchr(p + n, '%');
  }
  return letters;
}

// Every '%' of a strftime pattern must name one of the conversions we use.
bool IsTimeFormat(const char* text) {
  for (const char* p = std::strchr(text, '%'); p; p = std::strchr(p + 2, '%')) {
    if (p[1] == '\0' || !std::strchr("YmdHMSABaby%", p[1])) return false;
  }
  return true;
}

TEST(StringTableTest, QuotedTextsAreExact) {
  struct {
    unsigned id;
    const char* text;
  } const cases[] = {
      {501, "Tavelnor"},
      {504, "gz"},
      {508, "history.xml"},
      {950, "UserInterface"},
      {1013, "FileAssociations"},
      {1110, "AnnouncementsUrl"},
      {2001, "%Y-%m-%d_%H-%M-%S"},
      {2004, "%s/%s.%s"},
      {2008, "Retrieving data from %s on %s: <span id=\"Progress\"><b>0%%</b></span>"},
      {2016, "HTTP status %u"},
      {2018, "%s/%s.%s.%s"},
      {2026, "Transfering data to %s on %s: <span id=\"Progress\"><b>0%%</b></span>"},
      {2515, "Retreiving messages from Tavelnor."},
      {3002, "/trail/service/qvx/file.qv?%s=%s&%s=%s&timeConflictsAllowed=%s"},
      {3008, "http://www.tavelnor.com/agent/announcement.qv?username=%s"},
      {3500, "Unable to open serial communications device"},
      {3519, "Bad data packet received"},
      {3521, "The connected device is not supported."},
      {3529, "The server had an error analyzing your activity data."},
      {3530, "The Tavelnor username you entered does not match the email address given."},
      {3531, "The proxy server requires you to authenticate."},
      {3537, "Some  packets were lost while receiving data from device"},
      {3547, "The imported data is not compatible with your device."},
      {3600, "Track point has invalid laitude/longutude"},
      {3704, "Bad coordinates format"},
      {4003, "QueueResend"},
      {4506, "<ul class=\"errorlist\">"},
      {57344, "QVAgent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const char* text = FindString(c.id);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(LoadString(c.id), c.text);
  }
}

TEST(StringTableTest, MissingIdsGiveNothing) {
  const unsigned missing[] = {0, 500, 3520, 3522, 3548, 57343, 57345, kMaxStringId};
  for (unsigned id : missing) {
    SCOPED_TRACE(id);
    EXPECT_EQ(FindString(id), nullptr);
    EXPECT_EQ(LoadString(id), "");
  }
}

TEST(StringTableTest, EveryPercentSignIsAConversion) {
  unsigned entries = 0;
  for (unsigned id = 0; id <= kMaxStringId; ++id) {
    const char* text = FindString(id);
    if (!text) continue;
    ++entries;
    SCOPED_TRACE(testing::Message() << id << " \"" << text << "\"");
    EXPECT_NE(text[0], '\0') << "empty entry";
    if (kTimeFormats.count(id)) {
      EXPECT_TRUE(IsTimeFormat(text));
      continue;
    }
    EXPECT_EQ(ConversionLetters(text).find('!'), std::string::npos) << "stray %";
  }
  EXPECT_GT(entries, 150u);
}

// The arguments the callers pass, in order; a mismatch here is undefined
// behaviour at the call site.
TEST(StringTableTest, FormatsTakeTheArgumentsTheirCallersPass) {
  struct {
    unsigned id;
    const char* letters;
  } const cases[] = {
      {IDS_STATUS_SEARCHING_ON, "s"},
      {IDS_STATUS_CONNECTING_ON, "s"},
      {IDS_FORMAT_PATH_EXT, "sss"},
      {IDS_HTML_STATUS_ROW, "ds"},
      {IDS_STATUS_RX_PROGRESS, "ss"},
      {IDS_STATUS_NO_DEVICE_ON, "s"},
      {IDS_STATUS_RX_ERROR, "ss"},
      {IDS_STATUS_RX_DONE, "ss"},
      {IDS_STATUS_UNSUPPORTED_FOUND, "s"},
      {IDS_STATUS_UNSUPPORTED_DEVICE, "ss"},
      {IDS_HTTP_STATUS, "u"},
      {IDS_HTML_MSG_LINK, "sss"},
      {IDS_FORMAT_PATH_EXT_EXT, "ssss"},
      {IDS_HTML_MSG_NONE, ""},
      {IDS_HTML_TASK_ACTIVITIES, "ss"},
      {IDS_HTML_MSG_PLAIN, "ss"},
      {IDS_ABOUT_VERSION, "s"},
      {IDS_HTML_ACTIVITY_ROW, "sssss"},
      {IDS_STATUS_RX_ABORTED, "ss"},
      {IDS_STATUS_TX_PROGRESS, "ss"},
      {IDS_STATUS_TX_ABORTED, "ss"},
      {IDS_STATUS_TX_ERROR, "ss"},
      {IDS_STATUS_TX_DONE, "ss"},
      {IDS_STATUS_TX_CONNECT_ABORTED, "s"},
      {IDS_HTML_TRACK_ROW, "sssssss"},
      {IDS_STATUS_TX_INCOMPATIBLE, "ss"},
      {IDS_URL_TXSERVER, "sssss"},
      {IDS_URL_RXMSGS, "s"},
      {IDS_HTML_STATUS_TABLE, "s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const char* text = FindString(c.id);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(ConversionLetters(text), c.letters);
  }
}

// The dialog finds its buttons and links by these ids, so each fragment must
// carry exactly the ids its state expects.
TEST(StringTableTest, FragmentsCarryTheElementIdsTheDialogClicks) {
  struct {
    unsigned id;
    std::vector<std::string> elementIds;
  } const cases[] = {
      {IDS_HTML_TASK_SETTINGS_MISSING, {"LinkPrefs2", "LinkPrefs"}},
      {IDS_HTML_TASK_RXDEVICE, {"LinkRxDevice2", "LinkRxDevice"}},
      {IDS_HTML_TASK_TXSERVER, {"LinkTxServer2", "LinkTxServer"}},
      {IDS_HTML_TASK_PREFS, {"LinkPrefs2", "LinkPrefs"}},
      {IDS_HTML_TASK_IMPORT, {"LinkImport2", "LinkImport"}},
      {IDS_HTML_TASK_ACTIVITIES, {}},
      {IDS_HTML_RETRY_RXDEVICE, {"LinkRxRetry", "LinkIntro"}},
      {IDS_HTML_RETRY_TXSERVER, {"LinkTxRetry", "LinkIntro"}},
      {IDS_HTML_BUTTON_OK, {"LinkIntro"}},
      {IDS_HTML_BUTTON_CANCEL, {"LinkIntro"}},
      {IDS_HTML_CANCEL_RXDEVICE, {"LinkCancelRxDevice"}},
      {IDS_HTML_CANCEL_TXDEVICE, {"LinkCancelTxDevice"}},
      {IDS_HTML_RETRY_TXDEVICE, {"LinkTxDeviceRetry", "LinkIntro"}},
      {IDS_HTML_MAIN_MENU, {"LinkIntro"}},
      {IDS_HTML_VIEW_INBOX, {"LinkViewInbox"}},
      {IDS_HTML_TASK_TABLE, {"TaskTable"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const char* text = FindString(c.id);
    ASSERT_NE(text, nullptr);
    std::vector<std::string> found;
    for (const char* p = std::strstr(text, " id=\""); p; p = std::strstr(p + 1, " id=\"")) {
      const char* begin = p + 5;
      const char* end = std::strchr(begin, '"');
      ASSERT_NE(end, nullptr);
      found.emplace_back(begin, end);
    }
    EXPECT_EQ(found, c.elementIds);
  }
}

// Markup is written by hand; an unbalanced quote or bracket would swallow
// the rest of the page it is inserted into.
TEST(StringTableTest, MarkupIsBalanced) {
  for (unsigned id = 0; id <= kMaxStringId; ++id) {
    const char* text = FindString(id);
    if (!text || !std::strchr(text, '<')) continue;
    SCOPED_TRACE(testing::Message() << id << " \"" << text << "\"");
    int depth = 0;
    int quotes = 0;
    for (const char* p = text; *p; ++p) {
      if (*p == '"') ++quotes;
      if (quotes % 2 == 1) continue;
      if (*p == '<') ++depth;
      if (*p == '>') --depth;
      ASSERT_GE(depth, 0);
      ASSERT_LE(depth, 1);
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(quotes % 2, 0);
  }
}

TEST(StringTableTest, PathFormatsUseSlashes) {
  for (unsigned id = 0; id <= kMaxStringId; ++id) {
    const char* text = FindString(id);
    if (!text) continue;
    SCOPED_TRACE(id);
    EXPECT_EQ(std::strstr(text, "%s\\"), nullptr);
  }
}

}  // namespace
