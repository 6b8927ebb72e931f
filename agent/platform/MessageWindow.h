// The user-interface thread's message queue: workers post (queue and go on)
// or send (queue and wait until the UI thread has handled the message), and
// one event loop on the UI thread hands every message to one handler.
//
// The window belongs to the thread that created it. A send from that thread
// calls the handler at once; a send from any other thread waits until the
// UI thread handled it, so the worker may rely on the UI thread having read
// its state when the send returns. Posted and sent messages are handled in
// the order they arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// Message numbers keep the values the agent's logic was written against.
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_USER = 0x0400;
// A worker thread's state changed; wParam = MAKELONG(thread type, update kind).
constexpr unsigned WM_THREAD_UPDATE = WM_USER + 1;

constexpr uint32_t MAKELONG(uint16_t low, uint16_t high) {
  return static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16);
}
constexpr uint16_t LOWORD(uint64_t value) {
  return static_cast<uint16_t>(value & 0xFFFFu);
}
constexpr uint16_t HIWORD(uint64_t value) {
  return static_cast<uint16_t>((value >> 16) & 0xFFFFu);
}

class CMessageWindow {
public:
  using Handler = std::function<LRESULT(unsigned message, WPARAM wParam, LPARAM lParam)>;

  // The calling thread becomes the window's UI thread.
  CMessageWindow();
  // Releases every worker still waiting in SendMessage (its send returns 0).
  ~CMessageWindow();
  CMessageWindow(const CMessageWindow&) = delete;
  CMessageWindow& operator=(const CMessageWindow&) = delete;

  // Set on the UI thread before any worker sends or posts.
  void SetHandler(Handler handler);

  // Any thread. False once the window is closed.
  bool PostMessage(unsigned message, WPARAM wParam, LPARAM lParam);
  // Any thread. The handler's result, or 0 when the window is closed before
  // the message was handled.
  LRESULT SendMessage(unsigned message, WPARAM wParam, LPARAM lParam);
  // Runs a piece of work on the UI thread, in order with the messages: for
  // events that arrive on other threads (browser, instance channel).
  bool PostTask(std::function<void()> task);
  // The same, waiting until the UI thread ran it; runs at once on the UI thread.
  bool SendTask(std::function<void()> task);

  // UI thread: handles messages and timers until Quit; returns Quit's code.
  int Run();
  // Any thread: makes Run return after the message being handled.
  void Quit(int exitCode);

  // UI thread, for step-by-step driving: handles what is queued now (and
  // timers that are due) without waiting; returns how many were handled.
  int PumpPending();
  // UI thread: waits at most `timeout` for one message or due timer and
  // handles it; false when nothing came.
  bool PumpOne(std::chrono::milliseconds timeout);

  // UI thread: waits until `done` is true or the timeout passed, handling
  // only sent messages and tasks meanwhile, so that a worker blocked in
  // SendMessage can finish instead of deadlocking the wait. Posted messages
  // stay queued. True when `done` became true. `done` is tested at least
  // every `poll` interval as well as after every handled send.
  bool WaitHandlingSends(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                         std::chrono::milliseconds poll = std::chrono::milliseconds(10));

  // UI thread: WM_TIMER with wParam = id every intervalMs until KillTimer;
  // setting an existing id restarts it.
  void SetTimer(uintptr_t id, unsigned intervalMs);
  void KillTimer(uintptr_t id);

  // Refuses further messages and releases every waiting sender; idempotent.
  void Close();
  bool IsClosed() const;
  bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }
  // Messages and tasks waiting to be handled.
  size_t QueuedCount() const;

private:
  struct SendState;
  struct Entry {
    unsigned message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> task;         // set for tasks instead of a message
    std::shared_ptr<SendState> sender;  // set when a thread waits for the result
  };
  using Clock = std::chrono::steady_clock;

  bool _Enqueue(Entry entry);
  LRESULT _Dispatch(const Entry& entry);
  void _Complete(const Entry& entry, LRESULT result);
  // With the lock held: the next thing to handle, if any (sends only when
  // sendsOnly); a due timer becomes a WM_TIMER entry.
  bool _TakeNext(bool sendsOnly, Entry& entry);
  Clock::time_point _NextTimerDue() const;

  const std::thread::id m_uiThread;
  Handler m_handler;
  mutable std::mutex m_mutex;
  std::condition_variable m_queueChanged;  // the UI thread waits on it
  std::condition_variable m_sendDone;      // senders wait on it
  std::deque<Entry> m_queue;
  struct Timer {
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };
  std::map<uintptr_t, Timer> m_timers;
  bool m_quit = false;
  int m_exitCode = 0;
  bool m_closed = false;
  size_t m_waitingSenders = 0;  // threads inside SendMessage or SendTask
};
