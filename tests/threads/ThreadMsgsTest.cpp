// The announcements job against the reference service: which feed the
// messages pane gets and when the cache file is replaced.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ThreadTxServerTestFixture.h"
#include "ThreadTxServerTestPeer.h"
#include "threads/MsgFeed.h"
#include "threads/ThreadMsgs.h"

namespace {

using qvtest::ReadFile;
namespace fs = std::filesystem;

class ThreadMsgsTest : public qvtest::CUploadTest {
protected:
  void SetUp() override {
    CUploadTest::SetUp();
    CUtil::SetAnnouncementsUrlSetting(m_service.BaseUrl() + "/agent/announcement.qv?username=%s");
  }

  struct MsgsRun {
    WorkerOutcome outcome;
    std::vector<uint16_t> updates;
  };
  MsgsRun Run() {
    MsgsRun run;
    CThreadMsgs thread;
    run.outcome = RunWorkerToCompletion(
        thread, thread.GetStatusList(),
        [&thread](CMessageWindow* owner) { return thread.StartThread(owner); },
        [&](uint16_t kind) { run.updates.push_back(kind); });
    return run;
  }

  static std::vector<std::string> Titles(const CMsgFeed& feed) {
    std::vector<std::string> titles;
    for (size_t i = 0; i < feed.GetItemCount(); ++i) titles.push_back(feed.GetItem(i).title);
    return titles;
  }

  static std::string CacheWith(const std::string& title) {
    CMsgFeed feed;
    EXPECT_TRUE(feed.ParseText("<rss><channel><title>Old</title><item><title>" + title +
                               "</title><link>L</link><description>D &amp; more</description></item>"
                               "</channel></rss>"));
    return feed.WriteText();
  }
};

TEST_F(ThreadMsgsTest, AnswerReplacesTheCacheOnlyWhenWholeAndNotEmpty) {
  struct Row {
    const char* legend;
    bool cached;  // a cache from an earlier run exists
    AnnouncementMode mode;
    std::vector<std::string> shown;  // titles of the feed the pane gets
    bool cacheReplaced;
  };
  const std::vector<Row> rows = {
      {"items, no cache yet", false, AnnouncementMode::Items, {"Welcome to Tavelnor"}, true},
      {"items replace the cache", true, AnnouncementMode::Items, {"Welcome to Tavelnor"}, true},
      {"empty channel keeps the cache", true, AnnouncementMode::Empty, {"Cached news"}, false},
      {"empty channel, no cache", false, AnnouncementMode::Empty, {}, false},
      {"malformed answer keeps the cache", true, AnnouncementMode::Malformed, {"Cached news"}, false},
      {"malformed answer, no cache: nothing of it shown", false, AnnouncementMode::Malformed, {}, false},
  };
  const fs::path cache = CUtil::GetAnnouncementsFile();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    std::error_code ec;
    fs::remove(cache, ec);
    const std::string old = CacheWith("Cached news");
    if (row.cached) qvtest::WriteFile(cache, old);
    m_service.SetAnnouncementMode(row.mode);

    const auto run = Run();
    EXPECT_EQ(run.outcome.status, THREAD_TERMINATED);
    EXPECT_TRUE(run.outcome.lines.empty());
    EXPECT_EQ(Titles(run.outcome.messages), row.shown);
    if (row.cacheReplaced) {
      EXPECT_EQ(ReadFile(cache), run.outcome.messages.WriteText());
    } else if (row.cached) {
      EXPECT_EQ(ReadFile(cache), old);
    } else {
      EXPECT_FALSE(fs::exists(cache));
    }
    if (row.cached && !row.cacheReplaced) {
      EXPECT_EQ(run.outcome.messages.GetItem(0).description, "D & more");
    }
  }
  // Every request named the account and the agent.
  for (const auto& request : m_service.AnnouncementRequests()) {
    EXPECT_EQ(request.username, "walker");
    EXPECT_EQ(request.userAgent, CUtil::GetAgentName());
  }
}

TEST_F(ThreadMsgsTest, RetrievingLineIsPostedFirstAndRemovedAtTheEnd) {
  // The status update is posted, so the worker goes on; a peer that holds
  // the request until the dialog has seen the update makes the line
  // observable.
  qvtest::CScriptedHttpPeer peer({200});
  CUtil::SetAnnouncementsUrlSetting("http://" + peer.Server() + "/agent/announcement.qv?username=%s");
  std::atomic<bool> statusHandled{false};
  peer.SetHook([&](size_t) {
    for (int i = 0; i < 500 && !statusHandled.load(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  CThreadMsgs thread;
  std::vector<uint16_t> updates;
  std::vector<CStatusList::Entry> seenAtStatus;
  const auto outcome = RunWorkerToCompletion(
      thread, thread.GetStatusList(), [&thread](CMessageWindow* owner) { return thread.StartThread(owner); },
      [&](uint16_t kind) {
        updates.push_back(kind);
        if (kind == THREAD_UPD_STATUS) {
          seenAtStatus = thread.GetStatusList().GetAll();
          statusHandled.store(true);
        }
      });
  ASSERT_EQ(updates, (std::vector<uint16_t>{THREAD_UPD_STATUS, THREAD_UPD_COMPLETE}));
  EXPECT_EQ(seenAtStatus,
            (std::vector<CStatusList::Entry>{{STATUS_INFO, "Retreiving messages from Tavelnor."}}));
  EXPECT_TRUE(outcome.lines.empty());
  EXPECT_EQ(Titles(outcome.messages), std::vector<std::string>{"request 0"});
  ASSERT_EQ(peer.Requests().size(), 1u);
  EXPECT_EQ(peer.Requests()[0].requestLine, "GET /agent/announcement.qv?username=walker HTTP/1.1");
}

TEST_F(ThreadMsgsTest, UnreachableServiceShowsTheCacheAndSaysWhy) {
  qvtest::WriteFile(CUtil::GetAnnouncementsFile(), CacheWith("Cached news"));
  struct Row {
    const char* legend;
    std::string url;
    bool errorLine;
    uint32_t wininet;
  };
  const std::vector<Row> rows = {
      {"connection refused",
       "http://127.0.0.1:" + std::to_string(qvtest::UnusedPort()) + "/agent/announcement.qv?username=%s",
       true, ERROR_INTERNET_CANNOT_CONNECT},
      {"address of no known kind", "gopher://example.org/%s", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CUtil::SetAnnouncementsUrlSetting(row.url);
    const auto run = Run();
    EXPECT_EQ(Titles(run.outcome.messages), std::vector<std::string>{"Cached news"});
    if (row.errorLine) {
      ASSERT_EQ(run.outcome.lines.size(), 1u);
      EXPECT_EQ(run.outcome.lines[0].kind, STATUS_ERROR);
      EXPECT_EQ(run.outcome.lines[0].text,
                CUtil::BuildErrorList("Error retrieving messages from Tavelnor",
                                      static_cast<HRESULT>(0x80190000u | row.wininet),
                                      Win32MessageText(row.wininet), 0, ""));
    } else {
      EXPECT_TRUE(run.outcome.lines.empty());
    }
  }
}

}  // namespace
