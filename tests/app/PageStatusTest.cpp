#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/PageStatus.h"
#include "app/PageText.h"
#include "platform/HtmlViewMemory.h"
#include "support/TestEnv.h"
#include "threads/MsgFeed.h"
#include "threads/StatusList.h"

namespace {

std::vector<std::string> Ids(const CHtmlViewMemory& view, const std::string& parent) {
  return view.ChildIds(parent);
}

TEST(PageStatusTest, TaskTableRowsFollowSettingsAndQueue) {
  const struct {
    const char* legend;
    bool incomplete;
    bool offerUpload;
    std::vector<std::string> ids;
  } cases[] = {
      {"account not set: only the settings row", true, true, {"LinkPrefs2", "LinkPrefs"}},
      {"nothing queued",
       false,
       false,
       {"LinkRxDevice2", "LinkRxDevice", "LinkPrefs2", "LinkPrefs", "LinkImport2", "LinkImport"}},
      {"queued documents: upload first",
       false,
       true,
       {"LinkTxServer2", "LinkTxServer", "LinkRxDevice2", "LinkRxDevice", "LinkPrefs2", "LinkPrefs",
        "LinkImport2", "LinkImport"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    CHtmlViewMemory view = qvtest::LoadedPage(105);
    BuildTaskTable(view, c.incomplete, c.offerUpload, "http://example.test/a?u=x&y=\"z\"");
    EXPECT_EQ(Ids(view, "TaskTable"), c.ids);
    const std::string& html = view.Find("TaskTable")->html;
    EXPECT_EQ(html.find("&y=\"z\""), std::string::npos) << "address must be escaped";
    EXPECT_EQ(html.find("View Activities") != std::string::npos, !c.incomplete);
  }
}

TEST(PageStatusTest, StatusTableRowsAndEmptyList) {
  CHtmlViewMemory view = qvtest::LoadedPage(107);
  CStatusList list;
  EXPECT_TRUE(view.Has("RxStatusSection"));
  DisplayStatusList(view, list, "RxStatusSection");
  EXPECT_TRUE(view.Operations().size() == 1) << "an empty list leaves the page untouched";

  list.Append(STATUS_INFO, "a");
  list.Append(STATUS_WARNING, "b");
  list.Append(STATUS_ERROR, "c");
  list.Append(STATUS_UNSUPPORTED, "d");
  list.Append(STATUS_BUSY, "e <span id=\"Progress\"><b>0%</b></span>");
  list.Append(STATUS_DONE, "f");
  DisplayStatusList(view, list, "RxStatusSection");
  const std::string row = "<tr><td valign=\"top\"><img src=\"res:/IMG/#";
  const std::string tail = "\" width=\"16\" height=\"16\"></td><td>";
  EXPECT_EQ(view.Find("RxStatusSection")->html,
            "<table cellspacing=\"0\" cellpadding=\"4\" id=\"RxStatusSection\">" + row + "159" + tail +
                "a</td></tr>" + row + "155" + tail + "b</td></tr>" + row + "157" + tail + "c</td></tr>" +
                row + "156" + tail + "d</td></tr>" + row + "159" + tail +
                "e <span id=\"Progress\"><b>0%</b></span></td></tr>" + row + "158" + tail +
                "f</td></tr></table>");
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
  SetRetryText(view, 4507);
  EXPECT_EQ(Ids(view, "RetryText"), (std::vector<std::string>{"LinkRxRetry", "LinkIntro"}));
  SetRetryText(view, 4524, 4523);
  EXPECT_EQ(Ids(view, "RetryText"), (std::vector<std::string>{"LinkViewInbox", "LinkIntro"}));
  SetRetryText(view, 0);
  EXPECT_TRUE(Ids(view, "RetryText").empty());
  // Page 106 has none of these elements: every builder does nothing.
  CHtmlViewMemory prefs = qvtest::LoadedPage(106);
  SetRetryText(prefs, 4507);
  DisplayProgress(prefs, 3);
  EXPECT_FALSE(prefs.Has("RetryText"));
  EXPECT_FALSE(prefs.Has("LinkRxRetry"));
}

}  // namespace
