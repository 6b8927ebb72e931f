// The message window on its own thread: ordering, inline sends, timers and
// closing. Tests with worker threads live with the thread tests, which also
// run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/MessageWindow.h"

namespace {

struct CRecorder {
  std::vector<std::string> seen;
  void Attach(CMessageWindow& window) {
    window.SetHandler([this](unsigned message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      seen.push_back(std::to_string(message) + ":" + std::to_string(wParam) + ":" + std::to_string(lParam));
      return static_cast<LRESULT>(wParam) + lParam;
    });
  }
};

TEST(MessageWindowTest, WordPackingKeepsBothHalves) {
  struct Row {
    const char* legend;
    uint16_t low;
    uint16_t high;
    uint32_t packed;
  };
  const Row rows[] = {
      {"thread type 1, progress", 1, 1, 0x00010001u},
      {"type 4, complete", 4, 2, 0x00020004u},
      {"both halves full", 0xFFFF, 0xFFFF, 0xFFFFFFFFu},
      {"zero", 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    EXPECT_EQ(MAKELONG(row.low, row.high), row.packed);
    EXPECT_EQ(LOWORD(row.packed), row.low);
    EXPECT_EQ(HIWORD(row.packed), row.high);
  }
  EXPECT_EQ(WM_THREAD_UPDATE, 0x401u);
}

TEST(MessageWindowTest, PostedMessagesAndTasksAreHandledInArrivalOrder) {
  CMessageWindow window;
  CRecorder recorder;
  recorder.Attach(window);
  EXPECT_TRUE(window.PostMessage(WM_USER + 1, 1, 0));
  EXPECT_TRUE(window.PostTask([&] { recorder.seen.push_back("task"); }));
  EXPECT_TRUE(window.PostMessage(WM_USER + 2, 2, -3));
  EXPECT_EQ(window.QueuedCount(), 3u);
  EXPECT_TRUE(recorder.seen.empty()) << "posting never handles at once";
  EXPECT_EQ(window.PumpPending(), 3);
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"1025:1:0", "task", "1026:2:-3"}));
  EXPECT_EQ(window.PumpPending(), 0);
}

TEST(MessageWindowTest, SendOnTheUiThreadIsHandledInlineAheadOfThePostedOnes) {
  CMessageWindow window;
  CRecorder recorder;
  recorder.Attach(window);
  window.PostMessage(WM_USER + 1, 1, 0);
  EXPECT_EQ(window.SendMessage(WM_USER + 3, 40, 2), 42);
  EXPECT_EQ(recorder.seen, std::vector<std::string>{"1027:40:2"});
  bool ran = false;
  EXPECT_TRUE(window.SendTask([&] { ran = true; }));
  EXPECT_TRUE(ran);
  EXPECT_EQ(window.QueuedCount(), 1u);
}

TEST(MessageWindowTest, HandlerMayPostAndQuitFromInsideTheLoop) {
  CMessageWindow window;
  int handled = 0;
  window.SetHandler([&](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
    ++handled;
    if (message == WM_USER + 1 && wParam < 3) window.PostMessage(WM_USER + 1, wParam + 1, 0);
    if (wParam == 3) window.Quit(7);
    return 0;
  });
  window.PostMessage(WM_USER + 1, 0, 0);
  EXPECT_EQ(window.Run(), 7);
  EXPECT_EQ(handled, 4);
  // Run can be entered again after a quit.
  window.PostMessage(WM_USER + 9, 10, 0);
  window.PostTask([&] { window.Quit(8); });
  EXPECT_EQ(window.Run(), 8);
}

TEST(MessageWindowTest, TimersFireUntilKilled) {
  CMessageWindow window;
  std::vector<WPARAM> timers;
  window.SetHandler([&](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == WM_TIMER) timers.push_back(wParam);
    if (timers.size() == 3) window.Quit(0);
    return 0;
  });
  window.SetTimer(5, 1);
  EXPECT_EQ(window.Run(), 0);
  EXPECT_EQ(timers, (std::vector<WPARAM>{5, 5, 5}));
  window.KillTimer(5);
  EXPECT_FALSE(window.PumpOne(std::chrono::milliseconds(20)));
}

TEST(MessageWindowTest, ClosedWindowRefusesEverything) {
  CMessageWindow window;
  CRecorder recorder;
  recorder.Attach(window);
  window.PostMessage(WM_USER, 0, 0);
  window.Close();
  EXPECT_TRUE(window.IsClosed());
  EXPECT_EQ(window.QueuedCount(), 0u) << "what was queued is dropped";
  EXPECT_FALSE(window.PostMessage(WM_USER, 0, 0));
  EXPECT_EQ(window.SendMessage(WM_USER, 1, 1), 0);
  EXPECT_FALSE(window.PostTask([] {}));
  EXPECT_TRUE(recorder.seen.empty());
  window.Close();  // twice is harmless
}

TEST(MessageWindowTest, WaitWithoutWorkersReturnsByThePredicateOrTheTimeout) {
  CMessageWindow window;
  CRecorder recorder;
  recorder.Attach(window);
  window.PostMessage(WM_USER, 0, 0);
  int calls = 0;
  EXPECT_TRUE(window.WaitHandlingSends([&] { return ++calls >= 3; }, std::chrono::seconds(5),
                                       std::chrono::milliseconds(1)));
  EXPECT_FALSE(window.WaitHandlingSends([] { return false; }, std::chrono::milliseconds(15)));
  EXPECT_TRUE(recorder.seen.empty()) << "a posted message waits for the loop";
  EXPECT_EQ(window.QueuedCount(), 1u);
}

}  // namespace
