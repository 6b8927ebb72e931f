// The worker frame with real threads and a real message window: start rules,
// the update protocol, aborts, restarts from the completion handler, the
// progress callback's rate limit and the wait at exit.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/TestEnv.h"
#include "threads/StatusList.h"
#include "threads/Thread.h"
#include "util/TraceLog.h"

namespace {

using namespace std::chrono_literals;

// A job that reports a busy line, waits until released or aborted and ends
// by sending its completion, as the upload job does.
class CProbeThread : public CThread {
public:
  CProbeThread() : CThread(THREAD_TYPE_TXSERVER) {}
  ~CProbeThread() override { WaitForThread(10s); }

  bool StartThread(CMessageWindow* owner) override {
    if (!_CanStart(owner, "CProbeThread::StartThread(): probe thread is already running.")) return false;
    statusList.Clear();
    return _LaunchThread(&ThreadProc);
  }
  void ResetThread() override {
    statusList.Clear();
    CThread::ResetThread();
  }
  // The device search sets the owner the same way, without a run.
  void AttachOwner(CMessageWindow* owner) { _SetOwner(owner); }

  static void ThreadProc(void* param) {
    if (param == nullptr) return;
    auto* self = static_cast<CProbeThread*>(param);
    self->_SetStatus(THREAD_RUNNING);
    self->statusList.Append(STATUS_BUSY, "working " + std::to_string(++self->runs));
    self->_PostUpdate(THREAD_UPD_STATUS);
    while (!self->release.load() && !self->IsAbortRequested()) std::this_thread::sleep_for(1ms);
    if (self->fail.load() == 1) throw std::runtime_error("probe failure");
    if (self->fail.load() == 2) throw 42;
    if (self->fail.load() == 3) return;  // forgets its completion
    const bool aborted = self->IsAbortRequested();
    self->statusList.SetLast(aborted ? STATUS_WARNING : STATUS_DONE, aborted ? "aborted" : "done");
    self->_SetResult(aborted ? 0 : 1);
    self->_SetStatus(aborted ? THREAD_ABORTED : THREAD_TERMINATED);
    self->_SendUpdate(THREAD_UPD_COMPLETE);
  }

  CStatusList statusList;  // worker writes, UI reads after an update
  int runs = 0;            // worker only
  std::atomic<bool> release{false};
  std::atomic<int> fail{0};  // 1 throws, 2 throws a non-exception, 3 returns without completing

protected:
  void _ReportUnfinishedRun(const std::string& reason) override {
    statusList.SetLast(STATUS_ERROR, "failed: " + reason);
    _PostUpdate(THREAD_UPD_STATUS);
  }
};

struct CUpdate {
  uint16_t type;
  uint16_t kind;
  std::string lastLine;  // what the dialog read while handling it
  int status;
};

// Records every WM_THREAD_UPDATE the way the dialog reads state: inside the handler.
void RecordUpdates(CMessageWindow& window, CProbeThread& thread, std::vector<CUpdate>& updates,
                   std::function<void(const CUpdate&)> then = nullptr) {
  window.SetHandler(
      [&window, &thread, &updates, then](unsigned message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        EXPECT_EQ(message, WM_THREAD_UPDATE);
        EXPECT_EQ(lParam, 0);
        const auto last = thread.statusList.GetLast();
        updates.push_back({LOWORD(wParam), HIWORD(wParam), last ? last->text : "", thread.GetStatus()});
        if (then) then(updates.back());
        if (HIWORD(wParam) == THREAD_UPD_COMPLETE && !then) window.Quit(0);
        return 0;
      });
}

TEST(ThreadTest, ARunReportsStatusThenCompletionWithFinalState) {
  CMessageWindow window;
  CProbeThread thread;
  std::vector<CUpdate> updates;
  RecordUpdates(window, thread, updates);
  EXPECT_EQ(thread.GetStatus(), THREAD_IDLE);
  EXPECT_EQ(thread.GetResult(), 1);
  thread.release = true;
  ASSERT_TRUE(thread.StartThread(&window));
  EXPECT_EQ(thread.GetOwner(), &window);
  window.Run();
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_EQ(updates[0].type, THREAD_TYPE_TXSERVER);
  EXPECT_EQ(updates[0].kind, THREAD_UPD_STATUS);
  EXPECT_EQ(updates[1].kind, THREAD_UPD_COMPLETE);
  EXPECT_EQ(updates[1].lastLine, "done");
  EXPECT_EQ(updates[1].status, THREAD_TERMINATED) << "status is final before the completion";
  EXPECT_TRUE(thread.WaitForThread(10s));
  EXPECT_FALSE(thread.IsThreadActive());
  EXPECT_EQ(thread.GetResult(), 1);
}

TEST(ThreadTest, StartingARunningThreadOnlyUpdatesTheOwnerAndWarns) {
  qvtest::CTempDir traceDir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_DEBUG, traceDir.Str()));
  CMessageWindow window;
  CMessageWindow other;
  CProbeThread thread;
  std::vector<CUpdate> updates;
  RecordUpdates(window, thread, updates);
  ASSERT_TRUE(thread.StartThread(&window));
  EXPECT_TRUE(thread.IsRunning()) << "running from the start, before the worker got going";
  EXPECT_FALSE(thread.StartThread(&other));
  EXPECT_EQ(thread.GetOwner(), &other);
  thread.StartThread(&window);
  thread.release = true;
  window.Run();
  EXPECT_TRUE(thread.WaitForThread(10s));
  const std::string trace = qvtest::ReadFile(LogPath());
  LogClose();
  // The status update may have gone to the other window while it was the owner.
  ASSERT_FALSE(updates.empty());
  EXPECT_EQ(updates.back().kind, THREAD_UPD_COMPLETE);
  EXPECT_EQ(thread.runs, 1) << "one run only";
  size_t warnings = 0;
  for (size_t at = trace.find("probe thread is already running."); at != std::string::npos;
       at = trace.find("probe thread is already running.", at + 1)) {
    ++warnings;
  }
  EXPECT_EQ(warnings, 2u);
}

TEST(ThreadTest, AbortEndsTheRunAsAborted) {
  CMessageWindow window;
  CProbeThread thread;
  std::vector<CUpdate> updates;
  RecordUpdates(window, thread, updates, [&](const CUpdate& update) {
    if (update.kind == THREAD_UPD_STATUS) thread.RequestAbort();
    if (update.kind == THREAD_UPD_COMPLETE) window.Quit(0);
  });
  ASSERT_TRUE(thread.StartThread(&window));
  window.Run();
  EXPECT_EQ(thread.GetStatus(), THREAD_ABORTED);
  EXPECT_EQ(thread.GetResult(), 0);
  EXPECT_EQ(updates.back().lastLine, "aborted");
}

TEST(ThreadTest, RestartFromTheHandlerOfASentCompletionDoesNotDeadlock) {
  // The previous worker is still inside its SendMessage while the dialog
  // starts the next run from that very message.
  CMessageWindow window;
  CProbeThread thread;
  thread.release = true;
  std::vector<CUpdate> updates;
  int completions = 0;
  RecordUpdates(window, thread, updates, [&](const CUpdate& update) {
    if (update.kind != THREAD_UPD_COMPLETE) return;
    if (++completions < 3) {
      EXPECT_TRUE(thread.StartThread(&window));
    } else {
      window.Quit(0);
    }
  });
  ASSERT_TRUE(thread.StartThread(&window));
  window.Run();
  EXPECT_EQ(completions, 3);
  EXPECT_TRUE(thread.WaitForThread(10s));
  EXPECT_EQ(updates.back().lastLine, "done");
  EXPECT_EQ(thread.statusList.GetCount(), 1u) << "each start cleared the list";
}

TEST(ThreadTest, ExitWaitLetsAWorkerSendItsCompletion) {
  CMessageWindow window;
  CProbeThread thread;
  std::vector<CUpdate> updates;
  RecordUpdates(window, thread, updates, [](const CUpdate&) {});
  ASSERT_TRUE(thread.StartThread(&window));
  thread.RequestAbort();
  EXPECT_TRUE(thread.WaitForThread(10s));
  ASSERT_FALSE(updates.empty());
  EXPECT_EQ(updates.back().kind, THREAD_UPD_COMPLETE);
  EXPECT_EQ(window.QueuedCount(), 1u) << "the posted status update waits for the loop";
}

TEST(ThreadTest, EveryWayOutOfAJobCompletesOnceAfterAFailureLine) {
  const struct {
    int fail;
    const char* line;
  } cases[] = {{1, "failed: probe failure"}, {2, "failed: unknown exception"}, {3, "failed: "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fail);
    CMessageWindow window;
    CProbeThread thread;
    std::vector<CUpdate> updates;
    RecordUpdates(window, thread, updates, [](const CUpdate&) {});
    thread.fail = c.fail;
    thread.release = true;
    ASSERT_TRUE(thread.StartThread(&window));
    // Waits for the completion, which a lost one would never bring.
    for (int i = 0; i < 200 && (updates.empty() || updates.back().kind != THREAD_UPD_COMPLETE); ++i) {
      window.PumpOne(50ms);
    }
    EXPECT_TRUE(thread.WaitForThread(10s));
    window.PumpPending();
    ASSERT_EQ(updates.size(), 3u) << "start, the failure line, one completion";
    EXPECT_EQ(updates[2].kind, THREAD_UPD_COMPLETE);
    EXPECT_EQ(updates[2].lastLine, c.line);
    EXPECT_EQ(updates[2].status, THREAD_TERMINATED);
    EXPECT_EQ(thread.GetResult(), 0);
  }
}

TEST(ThreadTest, ResetIsRefusedWhileARunGoesOn) {
  CMessageWindow window;
  CProbeThread thread;
  std::vector<CUpdate> updates;
  RecordUpdates(window, thread, updates);
  ASSERT_TRUE(thread.StartThread(&window));
  thread.ResetThread();
  const int status = thread.GetStatus();
  thread.release = true;
  ASSERT_EQ(status, THREAD_RUNNING);
  EXPECT_EQ(thread.GetOwner(), &window);
  window.Run();
  EXPECT_EQ(updates.back().lastLine, "done");
  EXPECT_EQ(thread.runs, 1);
}

TEST(ThreadTest, ResetReturnsToIdle) {
  CMessageWindow window;
  CProbeThread thread;
  thread.release = true;
  ASSERT_TRUE(thread.StartThread(&window));
  ASSERT_TRUE(thread.WaitForThread(10s));
  thread.GetMessages().ParseText("<rss><channel><item/></channel></rss>");
  thread.RequestAbort();
  ProgressCallback(&thread, 40);
  thread.ResetThread();
  EXPECT_EQ(thread.GetStatus(), THREAD_IDLE);
  EXPECT_EQ(thread.GetResult(), 1);
  EXPECT_EQ(thread.GetOwner(), nullptr);
  EXPECT_FALSE(thread.IsAbortRequested());
  EXPECT_EQ(thread.GetProgressPercent(), 0);
  EXPECT_EQ(thread.GetMessages().GetItemCount(), 0u);
  EXPECT_TRUE(thread.statusList.IsEmpty());
}

std::atomic<uint32_t> g_fakeTick{0};
uint32_t FakeTick() {
  return g_fakeTick.load();
}

TEST(ThreadTest, ProgressIsRateLimitedUnlessAMultipleOfFive) {
  CMessageWindow window;
  CProbeThread thread;
  std::vector<WPARAM> posted;
  window.SetHandler([&](unsigned, WPARAM wParam, LPARAM) -> LRESULT {
    posted.push_back(wParam);
    return 0;
  });
  g_fakeTick = 0;
  thread.SetTickSource(&FakeTick);
  EXPECT_EQ(ProgressCallback(&thread, 50), 1);
  window.PumpPending();
  EXPECT_TRUE(posted.empty()) << "nothing is posted without an owner";

  thread.AttachOwner(&window);
  struct Row {
    const char* legend;
    uint32_t tick;
    int percent;
    bool posts;
  };
  const Row rows[] = {
      {"first report, long after the last", 1000, 1, true},
      {"10 ms later", 1010, 2, false},
      {"a multiple of 5 posts at 10 ms", 1020, 35, true},
      {"36 at 10 ms only stores", 1030, 36, false},
      {"499 ms after the last post", 1519, 37, false},
      {"500 ms after the last post", 1520, 38, true},
      {"0 is a multiple of 5", 1521, 0, true},
      {"100 is a multiple of 5", 1522, 100, true},
      {"just before the tick count wraps", 0xFFFFFF00u, 39, true},
      {"wrapped, 496 ms later", 0x000000F0u, 41, false},
      {"wrapped, 500 ms later", 0x000000F4u, 42, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    g_fakeTick = row.tick;
    EXPECT_EQ(ProgressCallback(&thread, row.percent), 1);
    EXPECT_EQ(thread.GetProgressPercent(), row.percent) << "always stored";
    window.PumpPending();
    if (row.posts) {
      ASSERT_EQ(posted.size(), 1u);
      EXPECT_EQ(posted[0], MAKELONG(THREAD_TYPE_TXSERVER, THREAD_UPD_PROGRESS));
    } else {
      EXPECT_TRUE(posted.empty());
    }
    posted.clear();
  }
}

TEST(ThreadTest, ProgressAsksToStopOnceAnAbortIsRequested) {
  CProbeThread thread;
  thread.SetTickSource(&FakeTick);
  EXPECT_EQ(ProgressCallback(nullptr, 10), 0) << "no context";
  EXPECT_EQ(ProgressCallback(&thread, 10), 1);
  thread.RequestAbort();
  for (int percent : {11, 15, 0, 100}) {
    SCOPED_TRACE(percent);
    EXPECT_EQ(ProgressCallback(&thread, percent), 0);
  }
}

TEST(ThreadTest, ProgressFromAWorkerWhileTheDialogAborts) {
  // The shape of a real transfer: the worker reports, the dialog reads the
  // percentage while handling the updates and asks to stop.
  CMessageWindow window;
  CProbeThread thread;
  std::atomic<bool> stopped{false};
  bool stoppedByAbort = false;  // worker only until joined
  int lastShown = -1;
  window.SetHandler([&](unsigned, WPARAM wParam, LPARAM) -> LRESULT {
    if (HIWORD(wParam) == THREAD_UPD_PROGRESS) {
      lastShown = thread.GetProgressPercent();
      if (lastShown >= 60) thread.RequestAbort();
    }
    return 0;
  });
  thread.AttachOwner(&window);
  std::thread worker([&] {
    // Round and round until told to stop, however slowly the dialog answers.
    for (int step = 0; step < 1000000 && !stoppedByAbort; ++step) {
      stoppedByAbort = ProgressCallback(&thread, step % 101) == 0;
      std::this_thread::sleep_for(100us);
    }
    stopped = true;
  });
  while (!stopped.load()) window.PumpOne(20ms);
  worker.join();
  window.PumpPending();
  EXPECT_TRUE(stoppedByAbort);
  EXPECT_GE(lastShown, 60);
}

}  // namespace
