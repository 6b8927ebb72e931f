#include <gtest/gtest.h>

#include "platform/BrowserHostSecurity.h"
#include "platform/PageOpLog.h"

namespace {

std::string Live(const CPageOpLog& log, uint64_t after = 0) {
  std::string text;
  for (const CPageOpLog::Op* op : log.After(after)) text += op->json + " ";
  return text;
}

TEST(PageOpLogTest, LaterOperationsRetireWhatTheyMakePointless) {
  CPageOpLog log;
  log.Append(CPageOpLog::Inner, "A", "a1");
  log.Append(CPageOpLog::Value, "A", "v1");
  log.Append(CPageOpLog::Inner, "B", "b1");
  log.Append(CPageOpLog::Inner, "A", "a2");  // retires a1 only
  EXPECT_EQ(Live(log), "v1 b1 a2 ");
  log.Append(CPageOpLog::Outer, "A", "o1");  // retires everything on A
  EXPECT_EQ(Live(log), "b1 o1 ");
  EXPECT_EQ(Live(log, 3), "o1 ") << "a page that has seq 3 gets only what came after";
  log.Append(CPageOpLog::Overlay, "1", "dlg");
  log.Retire(CPageOpLog::Overlay, "1");
  EXPECT_EQ(Live(log), "b1 o1 ");

  // Many updates of one element keep one live operation, and numbers go on after a reset.
  for (int i = 0; i < 10000; ++i) log.Append(CPageOpLog::Inner, "Progress", std::to_string(i));
  EXPECT_EQ(log.LiveCount(), 3u);
  EXPECT_EQ(Live(log, log.LastSeq() - 1), "9999 ");
  const uint64_t last = log.LastSeq();
  log.Reset();
  EXPECT_EQ(Live(log), "");
  EXPECT_EQ(log.Append(CPageOpLog::Inner, "A", "x"), last + 1);
}

TEST(PageOpLogTest, HostAndOriginRules) {
  const struct {
    const char* header;
    bool host;
    bool origin;
  } cases[] = {
      {"127.0.0.1:8123", true, false},
      {"localhost:8123", true, false},
      {"http://127.0.0.1:8123", false, true},
      {"http://localhost:8123", false, true},
      {"127.0.0.1:8124", false, false},
      {"evil.test:8123", false, false},
      {"http://127.0.0.1:8123.evil.test", false, false},
      {"https://127.0.0.1:8123", false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    EXPECT_EQ(IsOwnHost(c.header, 8123), c.host);
    EXPECT_EQ(IsOwnOrigin(c.header, 8123), c.origin);
  }
  EXPECT_EQ(FindCookie("a=1; qv_session=abc; b=2", "qv_session"), "abc");
  EXPECT_EQ(FindCookie("xqv_session=abc", "qv_session"), "");
  EXPECT_EQ(MakeSecret().size(), 32u);
  EXPECT_NE(MakeSecret(), MakeSecret());
  EXPECT_FALSE(SameSecret("", ""));
}

}  // namespace
