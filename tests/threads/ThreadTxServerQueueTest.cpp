// The upload job against the reference service and a scripted peer: which
// documents go where, which line the dialog shows, and in which order the
// two queues are visited.
#include <gtest/gtest.h>

#include "ThreadTxServerTestFixture.h"
#include "ThreadTxServerTestPeer.h"
#include "platform/MessageWindow.h"
#include "threads/Thread.h"

namespace {

using qvtest::CUploadTest;
using qvtest::GzipText;
using qvtest::ReadFile;
namespace fs = std::filesystem;

class ThreadTxServerQueueTest : public CUploadTest {};

const std::string kDone =
    "You successfully retrieved the activity data from your GPS device. Review what was sent to "
    "your Tavelnor Inbox on the right.";

TEST_F(ThreadTxServerQueueTest, EmptyQueuesEndWithoutAStatusLine) {
  // Only ".gz" files are documents; anything else in the queue is left alone.
  qvtest::WriteFile(Queue() / "notes.txt", "not a document");
  qvtest::WriteFile(Queue(1) / "Log_20240101_101010.txt", "a trace still being written");
  const auto run = Run();
  EXPECT_EQ(run.outcome.status, THREAD_TERMINATED);
  EXPECT_EQ(run.outcome.result, 1);
  EXPECT_TRUE(run.outcome.lines.empty());
  EXPECT_EQ(run.updates, std::vector<uint16_t>{THREAD_UPD_COMPLETE});
  EXPECT_TRUE(m_service.Uploads().empty());
  EXPECT_EQ(Names(Queue()), std::vector<std::string>{"notes.txt"});
}

TEST_F(ThreadTxServerQueueTest, SecondOfThreeFilesFailingLeavesItAndTheRestQueued) {
  qvtest::CScriptedHttpPeer peer({200, 500});
  CUtil::SetServerName(peer.Server());
  Queued("20240101_1.gz", GzipText("first"));
  Queued("20240101_2.gz", GzipText("second"));
  Queued("20240101_3.gz", GzipText("third"));
  Queued("20240101_4.gz", GzipText("resend"), 1);

  const auto run = Run();
  EXPECT_EQ(run.outcome.result, 0);
  EXPECT_EQ(Names(Data("Sent")), std::vector<std::string>{"20240101_1.gz"});
  EXPECT_EQ(Names(Queue()), (std::vector<std::string>{"20240101_2.gz", "20240101_3.gz"}));
  EXPECT_EQ(Names(Queue(1)), std::vector<std::string>{"20240101_4.gz"}) << "resend queue not visited";
  const auto requests = peer.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(qvtest::GunzipText(requests[1].body), "second");

  ASSERT_EQ(run.outcome.lines.size(), 1u);
  EXPECT_EQ(run.outcome.lines[0].kind, STATUS_ERROR);
  EXPECT_EQ(
      run.outcome.lines[0].text,
      "Unable to send data to Tavelnor. Your data has been added to the local Queue to be sent when "
      "Tavelnor is available through the Internet.<ul class=\"errorlist\"><li>Unable to connect to server "
      "(HTTP status 500)</li></ul>");
  // The feed holds the answer to the last file posted.
  ASSERT_EQ(run.outcome.messages.GetItemCount(), 1u);
  EXPECT_EQ(run.outcome.messages.GetItem(0).title, "request 1");

  // The dialog got the sending line, synchronously, before anything went out.
  ASSERT_EQ(run.updates, (std::vector<uint16_t>{THREAD_UPD_STATUS, THREAD_UPD_COMPLETE}));
  ASSERT_EQ(run.seen[0].size(), 1u);
  EXPECT_EQ(run.seen[0][0], (CStatusList::Entry{STATUS_BUSY, "Sending data to Tavelnor..."}));

  // The next run starts again from the first document still queued.
  const auto retry = Run();
  EXPECT_EQ(retry.outcome.result, 1);
  EXPECT_EQ(peer.Requests().size(), 5u);
  EXPECT_TRUE(Names(Queue()).empty());
  EXPECT_TRUE(Names(Queue(1)).empty());
  EXPECT_EQ(Names(Data("Sent")).size(), 4u);
  ASSERT_EQ(retry.outcome.lines.size(), 1u);
  EXPECT_EQ(retry.outcome.lines[0], (CStatusList::Entry{STATUS_DONE, kDone}));
}

TEST_F(ThreadTxServerQueueTest, RefusedDocumentGoesToErrorReplacingOneOfTheSameName) {
  Queued("a.gz", GzipText("<qvx/>"));
  Queued("b.gz", "this is not gzip");
  Queued("c.gz", GzipText("<qvx/>"));
  qvtest::WriteFile(Data("Sent") / "a.gz", "older copy");
  qvtest::WriteFile(Data("Error") / "b.gz", "older refused copy");

  const auto run = Run();
  EXPECT_EQ(run.outcome.result, 0);
  EXPECT_EQ(ReadFile(Data("Sent") / "a.gz"), GzipText("<qvx/>"));
  EXPECT_EQ(ReadFile(Data("Error") / "b.gz"), "this is not gzip");
  EXPECT_EQ(Names(Queue()), std::vector<std::string>{"c.gz"}) << "the pass stops at the refusal";
  ASSERT_EQ(run.outcome.lines.size(), 1u);
  EXPECT_EQ(run.outcome.lines[0].kind, STATUS_ERROR);
  EXPECT_EQ(
      run.outcome.lines[0].text,
      "Error sending data to Tavelnor.<ul class=\"errorlist\"><li>The activity data is corrupt. Please send "
      "an email to support@tavelnor.com so that we can help you. (The server had an error analyzing your "
      "activity data.)</li></ul>");
  ASSERT_GE(run.outcome.messages.GetItemCount(), 1u);
  EXPECT_EQ(run.outcome.messages.GetItem(0).title, "Upload rejected");
}

TEST_F(ThreadTxServerQueueTest, ResendQueueGoesOnlyAfterTheWholeQueueWasSent) {
  struct Row {
    const char* legend;
    std::vector<std::pair<std::string, std::string>> queue;   // name, content
    std::vector<std::pair<std::string, std::string>> resend;  // name, content
    std::vector<std::string> conflictsAllowed;                // per upload, in order
    int result;
    std::vector<std::string> resendLeft;
  };
  const std::string good = GzipText("<qvx/>");
  const std::vector<Row> rows = {
      {"both queues accepted",
       {{"q1.gz", good}, {"q2.gz", good}},
       {{"r1.gz", good}},
       {"false", "false", "true"},
       1,
       {}},
      {"refusal in the queue keeps the resend queue",
       {{"q1.gz", "bad"}},
       {{"r1.gz", good}},
       {"false"},
       0,
       {"r1.gz"}},
      {"resend queue alone", {}, {{"r1.gz", good}, {"r2.gz", good}}, {"true", "true"}, 1, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    m_service.ClearRecords();
    for (const auto& [name, content] : row.queue) Queued(name, content);
    for (const auto& [name, content] : row.resend) Queued(name, content, 1);
    const auto run = Run();
    EXPECT_EQ(run.outcome.result, row.result);
    std::vector<std::string> flags;
    for (const auto& upload : m_service.Uploads()) {
      const auto found = upload.query.find("timeConflictsAllowed");
      flags.push_back(found != upload.query.end() ? found->second : "(missing)");
    }
    EXPECT_EQ(flags, row.conflictsAllowed);
    EXPECT_EQ(Names(Queue(1)), row.resendLeft);
    std::error_code ec;
    for (const auto& name : Names(Queue())) fs::remove(Queue() / name, ec);
    for (const auto& name : Names(Queue(1))) fs::remove(Queue(1) / name, ec);
  }
}

TEST_F(ThreadTxServerQueueTest, AcceptedDocumentWhoseReplyIsNotXmlStillCounts) {
  m_service.SetUploadReply("Thanks! <b>not a feed");
  Queued("a.gz", GzipText("<qvx/>"));
  const auto run = Run();
  EXPECT_EQ(run.outcome.result, 1);
  EXPECT_EQ(Names(Data("Sent")), std::vector<std::string>{"a.gz"});
  EXPECT_EQ(run.outcome.messages.GetItemCount(), 0u);
  ASSERT_EQ(run.outcome.lines.size(), 1u);
  EXPECT_EQ(run.outcome.lines[0], (CStatusList::Entry{STATUS_DONE, kDone}));
}

TEST_F(ThreadTxServerQueueTest, WhatArrivesIsTheQueuedFileAndTheAccountAsTyped) {
  CUtil::SetAccountName("Tom+Jerry & Co=1");
  CUtil::SetEmail("tom+jerry@example.org");
  // Random bytes inside a gzip member: every byte value travels.
  const std::string document = GzipText(qvtest::RandomBytes(200 * 1024, 7));
  Queued("big.gz", document);
  const auto run = Run();
  ASSERT_EQ(run.outcome.result, 1);
  const auto uploads = m_service.Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_TRUE(uploads[0].body == document) << "body differs from the queued file";
  EXPECT_EQ(uploads[0].query.find("username.value")->second, "Tom+Jerry & Co=1");
  EXPECT_EQ(uploads[0].query.find("emailAddress.value")->second, "tom+jerry@example.org");
  EXPECT_EQ(uploads[0].query.count("timeConflictsAllowed"), 1u);
  EXPECT_EQ(uploads[0].userAgent, CUtil::GetAgentName());
  EXPECT_EQ(ReadFile(Data("Sent") / "big.gz"), document);
}

TEST_F(ThreadTxServerQueueTest, TraceIsClosedAndSentWithTheUploadItStarts) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, Queue().string()));
  LogWrite(LOG_INFO, "before the upload");
  const std::string trace = fs::path(LogPath()).filename().string();
  Queued("a.gz", GzipText("<qvx/>"));

  const auto run = Run();
  EXPECT_EQ(run.outcome.result, 1);
  EXPECT_FALSE(LogIsEnabled()) << "tracing stays off until enabled again";
  EXPECT_TRUE(Names(Queue()).empty());
  EXPECT_EQ(Names(Data("Sent")), (std::vector<std::string>{trace + ".gz", "a.gz"}));
  const auto uploads = m_service.Uploads();
  ASSERT_EQ(uploads.size(), 2u);
  const std::string text = qvtest::GunzipText(ReadFile(Data("Sent") / (trace + ".gz")));
  EXPECT_NE(text.find("before the upload"), std::string::npos);
  EXPECT_NE(text.find("TX server thread started."), std::string::npos);
  EXPECT_NE(text.find("Closing log file for synchronization"), std::string::npos);
}

TEST_F(ThreadTxServerQueueTest, AbortTakesEffectAfterTheFileBeingPostedWasFiled) {
  qvtest::CScriptedHttpPeer peer({});
  CUtil::SetServerName(peer.Server());
  Queued("a.gz", GzipText("1"));
  Queued("b.gz", GzipText("2"));
  CThreadTxServer thread;
  peer.SetHook([&thread](size_t) { thread.RequestAbort(); });
  const auto run = Run(thread);
  EXPECT_EQ(peer.Requests().size(), 1u);
  EXPECT_EQ(Names(Data("Sent")), std::vector<std::string>{"a.gz"});
  EXPECT_EQ(Names(Queue()), std::vector<std::string>{"b.gz"});
  EXPECT_EQ(run.outcome.status, THREAD_TERMINATED);
}

TEST_F(ThreadTxServerQueueTest, DocumentThatCannotBeFiledStaysQueued) {
  // A file where the Sent folder belongs: the accepted document cannot be
  // moved there and must not be lost.
  qvtest::WriteFile(Data("Sent"), "in the way");
  Queued("a.gz", GzipText("<qvx/>"));
  const auto run = Run();
  EXPECT_EQ(run.outcome.result, 0);
  EXPECT_EQ(Names(Queue()), std::vector<std::string>{"a.gz"});
  ASSERT_EQ(run.outcome.lines.size(), 1u);
  EXPECT_EQ(
      run.outcome.lines[0].text,
      FailureLine(IDS_MSG_UPLOAD_QUEUED, HRESULT_FROM_WIN32(Win32FromErrno(ENOTDIR)), "Unable to move file"));
}

TEST_F(ThreadTxServerQueueTest, SecondStartWhileRunningIsRefused) {
  m_service.SetUploadAnswer(UploadAnswer::Slow, std::chrono::milliseconds(300));
  Queued("a.gz", GzipText("<qvx/>"));
  CThreadTxServer thread;
  bool refused = false;
  auto outcome = RunWorkerToCompletion(
      thread, thread.GetStatusList(), [&thread](CMessageWindow* owner) { return thread.StartThread(owner); },
      [&](uint16_t kind) {
        if (kind == THREAD_UPD_STATUS) {
          refused = !thread.StartThread(nullptr);
          thread.ResetThread();  // refused as well: the worker still owns the list
          EXPECT_EQ(thread.GetStatusList().GetCount(), 1u);
        }
      });
  EXPECT_TRUE(refused);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(m_service.Uploads().size(), 1u);
}

}  // namespace
