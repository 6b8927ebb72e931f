#include "platform/InterruptSignal.h"

#include <pthread.h>
#include <signal.h>

#include <cstring>

namespace {

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

static_assert(sizeof(sigset_t) <= 128, "the saved mask must fit");

}  // namespace

CInterruptSignal::CInterruptSignal(Handler handler) : m_handler(std::move(handler)) {
  const sigset_t set = WatchedSignals();
  sigset_t previous;
  if (pthread_sigmask(SIG_BLOCK, &set, &previous) != 0) return;
  std::memcpy(m_previousMask, &previous, sizeof previous);
  m_active = true;
  m_watcher = std::thread([this] { _Watch(); });
}

CInterruptSignal::~CInterruptSignal() {
  if (!m_active) return;
  m_stopping.store(true);
  pthread_kill(m_watcher.native_handle(), SIGTERM);
  m_watcher.join();
  sigset_t previous;
  std::memcpy(&previous, m_previousMask, sizeof previous);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void CInterruptSignal::_Watch() {
  const sigset_t set = WatchedSignals();
  for (;;) {
    int signalNumber = 0;
    if (sigwait(&set, &signalNumber) != 0) continue;
    if (m_stopping.load()) return;
    if (m_count.fetch_add(1) > 0) {
      // The user insists: the default action, which ends the process.
      signal(signalNumber, SIG_DFL);
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, signalNumber);
      pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
      raise(signalNumber);
      return;
    }
    if (m_handler) m_handler(signalNumber);
  }
}
