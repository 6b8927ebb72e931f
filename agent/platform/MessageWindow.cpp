#include "platform/MessageWindow.h"

#include <algorithm>

struct CMessageWindow::SendState {
  bool done = false;
  bool handled = false;
  LRESULT result = 0;
};

CMessageWindow::CMessageWindow() : m_uiThread(std::this_thread::get_id()) {}

CMessageWindow::~CMessageWindow() {
  Close();
  // A released sender still has to leave its wait on our mutex and condition
  // variable before they are destroyed.
  std::unique_lock<std::mutex> lock(m_mutex);
  m_sendDone.wait(lock, [this] { return m_waitingSenders == 0; });
}

void CMessageWindow::SetHandler(Handler handler) {
  m_handler = std::move(handler);
}

bool CMessageWindow::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
  Entry entry;
  entry.message = message;
  entry.wParam = wParam;
  entry.lParam = lParam;
  return _Enqueue(std::move(entry));
}

bool CMessageWindow::PostTask(std::function<void()> task) {
  if (!task) return false;
  Entry entry;
  entry.task = std::move(task);
  return _Enqueue(std::move(entry));
}

bool CMessageWindow::_Enqueue(Entry entry) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed) return false;
    m_queue.push_back(std::move(entry));
  }
  m_queueChanged.notify_all();
  return true;
}

LRESULT CMessageWindow::SendMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
  if (IsUiThread()) {
    if (IsClosed()) return 0;
    Entry entry;
    entry.message = message;
    entry.wParam = wParam;
    entry.lParam = lParam;
    return _Dispatch(entry);
  }
  auto state = std::make_shared<SendState>();
  Entry entry;
  entry.message = message;
  entry.wParam = wParam;
  entry.lParam = lParam;
  entry.sender = state;
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_closed) return 0;
  m_queue.push_back(std::move(entry));
  ++m_waitingSenders;
  m_queueChanged.notify_all();
  m_sendDone.wait(lock, [&] { return state->done; });
  --m_waitingSenders;
  m_sendDone.notify_all();
  return state->result;
}

bool CMessageWindow::SendTask(std::function<void()> task) {
  if (!task) return false;
  if (IsUiThread()) {
    if (IsClosed()) return false;
    task();
    return true;
  }
  auto state = std::make_shared<SendState>();
  Entry entry;
  entry.task = std::move(task);
  entry.sender = state;
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_closed) return false;
  m_queue.push_back(std::move(entry));
  ++m_waitingSenders;
  m_queueChanged.notify_all();
  m_sendDone.wait(lock, [&] { return state->done; });
  --m_waitingSenders;
  m_sendDone.notify_all();
  return state->handled;
}

LRESULT CMessageWindow::_Dispatch(const Entry& entry) {
  if (entry.task) {
    entry.task();
    return 0;
  }
  return m_handler ? m_handler(entry.message, entry.wParam, entry.lParam) : 0;
}

void CMessageWindow::_Complete(const Entry& entry, LRESULT result) {
  if (!entry.sender) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    entry.sender->result = result;
    entry.sender->handled = true;
    entry.sender->done = true;
  }
  m_sendDone.notify_all();
}

bool CMessageWindow::_TakeNext(bool sendsOnly, Entry& entry) {
  if (sendsOnly) {
    auto it =
        std::find_if(m_queue.begin(), m_queue.end(), [](const Entry& e) { return e.sender != nullptr; });
    if (it == m_queue.end()) return false;
    entry = std::move(*it);
    m_queue.erase(it);
    return true;
  }
  if (!m_queue.empty()) {
    entry = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
  }
  // Timers come last, as on the desktop: they never hold up a worker.
  const auto now = Clock::now();
  for (auto& [id, timer] : m_timers) {
    if (timer.due <= now) {
      timer.due = now + timer.interval;
      entry = Entry();
      entry.message = WM_TIMER;
      entry.wParam = id;
      return true;
    }
  }
  return false;
}

CMessageWindow::Clock::time_point CMessageWindow::_NextTimerDue() const {
  auto next = Clock::time_point::max();
  for (const auto& [id, timer] : m_timers) next = std::min(next, timer.due);
  return next;
}

int CMessageWindow::Run() {
  for (;;) {
    Entry entry;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      for (;;) {
        if (m_quit) {
          m_quit = false;
          return m_exitCode;
        }
        if (_TakeNext(false, entry)) break;
        const auto due = _NextTimerDue();
        if (due == Clock::time_point::max()) {
          m_queueChanged.wait(lock);
        } else {
          m_queueChanged.wait_until(lock, due);
        }
      }
    }
    _Complete(entry, _Dispatch(entry));
  }
}

void CMessageWindow::Quit(int exitCode) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
    m_exitCode = exitCode;
  }
  m_queueChanged.notify_all();
}

int CMessageWindow::PumpPending() {
  size_t budget = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    budget = m_queue.size() + m_timers.size();
  }
  int handled = 0;
  while (budget-- > 0) {
    Entry entry;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!_TakeNext(false, entry)) break;
    }
    _Complete(entry, _Dispatch(entry));
    ++handled;
  }
  return handled;
}

bool CMessageWindow::PumpOne(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  Entry entry;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!_TakeNext(false, entry)) {
      const auto until = std::min(deadline, _NextTimerDue());
      if (Clock::now() >= deadline) return false;
      m_queueChanged.wait_until(lock, until);
    }
  }
  _Complete(entry, _Dispatch(entry));
  return true;
}

bool CMessageWindow::WaitHandlingSends(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                                       std::chrono::milliseconds poll) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    Entry entry;
    bool got = false;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      got = _TakeNext(true, entry);
      if (!got) {
        m_queueChanged.wait_until(lock, std::min(deadline, now + poll), [this] {
          return std::any_of(m_queue.begin(), m_queue.end(),
                             [](const Entry& e) { return e.sender != nullptr; });
        });
      }
    }
    if (got) _Complete(entry, _Dispatch(entry));
  }
}

void CMessageWindow::SetTimer(uintptr_t id, unsigned intervalMs) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::chrono::milliseconds interval(intervalMs);
    m_timers[id] = Timer{interval, Clock::now() + interval};
  }
  m_queueChanged.notify_all();
}

void CMessageWindow::KillTimer(uintptr_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_timers.erase(id);
}

void CMessageWindow::Close() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    for (Entry& entry : m_queue) {
      if (entry.sender) entry.sender->done = true;
    }
    m_queue.clear();
    m_timers.clear();
  }
  m_sendDone.notify_all();
  m_queueChanged.notify_all();
}

bool CMessageWindow::IsClosed() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_closed;
}

size_t CMessageWindow::QueuedCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_queue.size();
}
