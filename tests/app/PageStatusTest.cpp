#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/PageStatus.h"
#include "app/PageText.h"
#include "platform/HtmlViewMemory.h"
#include "support/TestEnv.h"
#include "threads/MsgFeed.h"
#include "threads/StatusList.h"

namespace {

// Which rows show is the browser flows' case; an incomplete account hides a
// queued upload too, and the address is escaped into the markup.
TEST(PageStatusTest, TaskTableRowsFollowSettingsAndQueue) {
  for (const bool incomplete : {true, false}) {
    SCOPED_TRACE(incomplete);
    CHtmlViewMemory view = qvtest::LoadedPage(105);
    BuildTaskTable(view, incomplete, true, "http://example.test/a?u=x&y=\"z\"");
    EXPECT_EQ(view.Has("LinkTxServer"), !incomplete);
    EXPECT_EQ(view.Has("LinkRxDevice"), !incomplete);
    const std::string& html = view.Find("TaskTable")->html;
    EXPECT_EQ(html.find("&y=\"z\""), std::string::npos) << "address must be escaped";
    EXPECT_EQ(html.find("View Activities") != std::string::npos, !incomplete);
  }
}

TEST(PageStatusTest, StatusTableRowsAndProgress) {
  CHtmlViewMemory view = qvtest::LoadedPage(107);
  CStatusList list;
  DisplayStatusList(view, list, "RxStatusSection");
  EXPECT_EQ(view.Operations().size(), 1u) << "an empty list leaves the page untouched";

  list.Append(STATUS_ERROR, "x");
  list.Append(STATUS_BUSY, "e <span id=\"Progress\"><b>0%</b></span>");
  const std::string expected =
      "<table cellspacing=\"0\" cellpadding=\"4\" id=\"RxStatusSection\">"
      "<tr><td valign=\"top\"><img src=\"res:/IMG/#157\" width=\"16\" height=\"16\"></td><td>x</td></tr>"
      "<tr><td valign=\"top\"><img src=\"res:/IMG/#159\" width=\"16\" height=\"16\"></td><td>e <span "
      "id=\"Progress\"><b>0%</b></span></td></tr>";
  DisplayStatusList(view, list, "RxStatusSection");
  EXPECT_EQ(view.Find("RxStatusSection")->html, expected + "</table>");
  // The line's progress span is an element again, and the figure goes into it.
  DisplayProgress(view, 42);
  EXPECT_EQ(view.Find("Progress")->html, "<b>42%</b>");
}

TEST(PageStatusTest, MessagesPaneShowsFeedsAsText) {
  const struct {
    const char* legend;
    const char* feed;
    const char* title;
    const char* section;
  } cases[] = {
      {"empty feed", "<rss><channel><title>News</title></channel></rss>", "Messages",
       "<ul class=\"list_agent\"><li>No messages.</li></ul>"},
      {"three items, the middle one without link",
       "<rss><channel><title>News</title>"
       "<item><title>A</title><link>http://a.test/</link><description>a</description></item>"
       "<item><title>B</title><description>b</description></item>"
       "<item><title>C</title><link>https://c.test/?x=1&amp;y=2</link><description>c</description></item>"
       "</channel></rss>",
       "News",
       "<ul class=\"list_agent\"><li><a target=\"_blank\" href=\"http://a.test/\">A</a><br>a</li>"
       "<li><b>B</b><br>b</li>"
       "<li><a target=\"_blank\" href=\"https://c.test/?x=1&amp;y=2\">C</a><br>c</li></ul>"},
      {"hostile item: markup shown as text, script link dropped",
       "<rss><channel><title>&lt;i&gt;x</title><item><title>&lt;img src=x onerror=alert(1)&gt;</title>"
       "<link>javascript:alert(1)</link><description>&lt;script&gt;alert(2)&lt;/script&gt;</description>"
       "</item></channel></rss>",
       "&lt;i&gt;x",
       "<ul class=\"list_agent\"><li><b>&lt;img src=x onerror=alert(1)&gt;</b><br>"
       "&lt;script&gt;alert(2)&lt;/script&gt;</li></ul>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    CMsgFeed feed;
    ASSERT_TRUE(feed.ParseText(c.feed));
    CHtmlViewMemory view = qvtest::LoadedPage(105);
    DisplayMessages(view, feed);
    EXPECT_EQ(view.Find("MsgTitle")->html, c.title);
    EXPECT_EQ(view.Find("MsgSection")->html, c.section);
  }
}

TEST(PageStatusTest, RetryButtonsAndMissingElements) {
  CHtmlViewMemory view = qvtest::LoadedPage(107);
  SetRetryText(view, 4524, 4523);
  EXPECT_EQ(view.ChildIds("RetryText"), (std::vector<std::string>{"LinkViewInbox", "LinkIntro"}));
  SetRetryText(view, 0);
  EXPECT_TRUE(view.ChildIds("RetryText").empty());
  // Page 106 has none of these elements: every builder does nothing.
  CHtmlViewMemory prefs = qvtest::LoadedPage(106);
  SetRetryText(prefs, 4507);
  DisplayProgress(prefs, 3);
  EXPECT_FALSE(prefs.Has("LinkRxRetry"));
}

}  // namespace
