// Ctrl+C and termination requests as an ordinary event of the program rather
// than an interruption in the middle of whatever a thread is doing. While an
// object of this class lives, SIGINT and SIGTERM are blocked in every thread
// and taken by one watcher thread, which calls the handler there; no system
// call of a worker is interrupted by them. A second signal while the first
// is still being handled ends the process the usual way.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

class CInterruptSignal {
public:
  // Called on the watcher thread with the signal number.
  using Handler = std::function<void(int signalNumber)>;

  // Create it before the process starts any other thread: threads inherit
  // the blocked signals from the thread that creates them.
  explicit CInterruptSignal(Handler handler);
  // Stops the watcher and restores the previous signal mask.
  ~CInterruptSignal();
  CInterruptSignal(const CInterruptSignal&) = delete;
  CInterruptSignal& operator=(const CInterruptSignal&) = delete;

  // False when the signals could not be taken over (they keep their usual effect).
  bool IsActive() const { return m_active; }
  // Signals handled so far.
  int GetCount() const { return m_count.load(); }

private:
  void _Watch();

  Handler m_handler;
  bool m_active = false;
  std::atomic<bool> m_stopping{false};
  std::atomic<int> m_count{0};
  unsigned char m_previousMask[128] = {};  // the caller's signal mask, restored at the end
  std::thread m_watcher;
};
