// The message window between a UI thread and real worker threads: a send
// returns only after the UI thread handled it, order is kept, and neither an
// exit wait nor closing the window can leave a worker blocked.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/MessageWindow.h"

namespace {

using namespace std::chrono_literals;

TEST(MessageWindowWorkersTest, SendWaitsUntilTheUiThreadHandledIt) {
  CMessageWindow window;
  int stateWrittenByUi = 0;  // touched only by the UI thread until the send returns
  window.SetHandler([&](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == WM_USER + 5) {
      stateWrittenByUi = static_cast<int>(wParam);
      window.Quit(0);
    }
    return 99;
  });
  LRESULT answer = 0;
  int seenByWorker = 0;
  std::thread worker([&] {
    answer = window.SendMessage(WM_USER + 5, 17, 0);
    seenByWorker = stateWrittenByUi;  // ordered after the handler by the send
  });
  EXPECT_EQ(window.Run(), 0);
  worker.join();
  EXPECT_EQ(answer, 99);
  EXPECT_EQ(seenByWorker, 17);
}

TEST(MessageWindowWorkersTest, PostsAndSendsOfOneWorkerArriveInOrder) {
  CMessageWindow window;
  std::vector<WPARAM> order;
  window.SetHandler([&](unsigned, WPARAM wParam, LPARAM) -> LRESULT {
    order.push_back(wParam);
    if (wParam == 99) window.Quit(0);
    return 0;
  });
  std::thread worker([&] {
    for (WPARAM i = 0; i < 50; ++i) {
      if (i % 7 == 0) {
        window.SendMessage(WM_THREAD_UPDATE, i, 0);
      } else {
        window.PostMessage(WM_THREAD_UPDATE, i, 0);
      }
    }
    window.SendMessage(WM_THREAD_UPDATE, 99, 0);
  });
  window.Run();
  worker.join();
  ASSERT_EQ(order.size(), 51u);
  for (WPARAM i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
}

TEST(MessageWindowWorkersTest, ManyWorkersPostingAndSendingAtOnceAreAllHandled) {
  CMessageWindow window;
  constexpr int kWorkers = 6;
  constexpr int kEach = 200;
  int total = 0;
  std::atomic<int> finished{0};
  window.SetHandler([&](unsigned, WPARAM, LPARAM lParam) -> LRESULT {
    ++total;
    return lParam;
  });
  std::vector<std::thread> workers;
  std::atomic<int> wrongAnswers{0};
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kEach; ++i) {
        if ((i + w) % 2 == 0) {
          if (window.SendMessage(WM_USER + 1, static_cast<WPARAM>(w), i) != i) ++wrongAnswers;
        } else {
          window.PostMessage(WM_USER + 1, static_cast<WPARAM>(w), i);
        }
      }
      ++finished;
      window.PostTask([] {});
    });
  }
  while (finished.load() < kWorkers || window.QueuedCount() > 0) window.PumpOne(50ms);
  for (auto& t : workers) t.join();
  window.PumpPending();
  EXPECT_EQ(total, kWorkers * kEach);
  EXPECT_EQ(wrongAnswers.load(), 0);
}

TEST(MessageWindowWorkersTest, ExitWaitHandlesTheSendOfAWorkerThatIsFinishing) {
  // A worker that ends by sending its completion: a wait that did not
  // handle sends would wait for a worker that waits for it.
  CMessageWindow window;
  std::vector<unsigned> handled;
  window.SetHandler([&](unsigned message, WPARAM, LPARAM) -> LRESULT {
    handled.push_back(message);
    return 0;
  });
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    window.PostMessage(WM_USER + 7, 0, 0);
    window.SendMessage(WM_THREAD_UPDATE, MAKELONG(4, 2), 0);
    returned = true;
  });
  EXPECT_TRUE(window.WaitHandlingSends([&] { return returned.load(); }, 10s));
  worker.join();
  EXPECT_EQ(handled, std::vector<unsigned>{WM_THREAD_UPDATE});
  EXPECT_EQ(window.QueuedCount(), 1u) << "the posted message stays for the loop";
}

TEST(MessageWindowWorkersTest, ClosingReleasesABlockedSenderWithZero) {
  auto window = std::make_unique<CMessageWindow>();
  window->SetHandler([](unsigned, WPARAM, LPARAM) -> LRESULT { return 5; });
  std::atomic<bool> sent{false};
  LRESULT answer = -1;
  std::thread worker([&] {
    sent = true;
    answer = window->SendMessage(WM_THREAD_UPDATE, 0, 0);
  });
  while (!sent.load() || window->QueuedCount() == 0) std::this_thread::sleep_for(1ms);
  window.reset();  // the destructor closes and waits for the sender to leave
  worker.join();
  EXPECT_EQ(answer, 0);
}

TEST(MessageWindowWorkersTest, SendTaskRunsOnTheUiThread) {
  CMessageWindow window;
  const auto uiThread = std::this_thread::get_id();
  std::thread::id ranOn;
  bool result = false;
  std::thread worker([&] {
    result = window.SendTask([&] { ranOn = std::this_thread::get_id(); });
    window.PostTask([&] { window.Quit(0); });
  });
  window.Run();
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, uiThread);
}

}  // namespace
