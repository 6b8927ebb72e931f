#include "threads/Thread.h"

#include <exception>
#include <system_error>

#include "util/TraceLog.h"

struct CThread::CRun {
  std::atomic<bool> returned{false};
};

CThread::CThread(ThreadType threadType) : m_threadType(threadType) {}

CThread::~CThread() {
  m_abortRequested.store(1);
  if (IsThreadActive()) LogWrite(LOG_WARN, "CThread::~CThread(): worker thread still running");
  _ReleaseWorker();
}

void CThread::ResetThread() {
  m_messages.Reset();
  _ReleaseWorker();
  m_owner.store(nullptr);
  m_abortRequested.store(0);
  m_status.store(THREAD_IDLE);
  m_progressPercent.store(0);
  m_lastProgressTick.store(0);
  m_result.store(1);
}

uint32_t CThread::GetTickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

bool CThread::_CanStart(CMessageWindow* owner, const char* runningWarning) {
  m_owner.store(owner);
  if (m_status.load() != THREAD_RUNNING) return true;
  if (runningWarning != nullptr) LogWrite(LOG_WARN, "%s", runningWarning);
  return false;
}

bool CThread::_LaunchThread(void (*threadProc)(void* param)) {
  _ReleaseWorker();
  m_status.store(THREAD_RUNNING);
  auto run = std::make_shared<CRun>();
  try {
    m_worker = std::thread([this, threadProc, run] {
      try {
        threadProc(this);
      } catch (const std::exception& error) {
        // The jobs report their failures as results; this only guards the
        // process against one that slipped through.
        LogWrite(LOG_ERROR, "CThread::ThreadProc() unexpected exception: %s", error.what());
        m_result.store(0);
        m_status.store(THREAD_TERMINATED);
      } catch (...) {
        LogWrite(LOG_ERROR, "CThread::ThreadProc() unexpected exception");
        m_result.store(0);
        m_status.store(THREAD_TERMINATED);
      }
      run->returned.store(true);
    });
  } catch (const std::system_error& error) {
    LogWrite(LOG_ERROR, "CThread::StartThread() unable to create thread: %s", error.what());
    m_result.store(0);
    m_status.store(THREAD_TERMINATED);
    return false;
  }
  m_run = std::move(run);
  return true;
}

void CThread::_ReleaseWorker() {
  if (m_worker.joinable()) {
    if (m_run && m_run->returned.load()) {
      m_worker.join();
    } else {
      // Still on its way out (for instance sending its completion to the
      // dialog that is restarting it right now); joining could deadlock.
      m_worker.detach();
    }
  }
  m_run.reset();
}

bool CThread::IsThreadActive() const {
  return m_run && !m_run->returned.load();
}

bool CThread::WaitForThread(std::chrono::milliseconds timeout) {
  if (IsThreadActive()) {
    CMessageWindow* owner = m_owner.load();
    const auto done = [this] { return !IsThreadActive(); };
    if (owner != nullptr && owner->IsUiThread()) {
      owner->WaitHandlingSends(done, timeout);
    } else {
      const auto deadline = std::chrono::steady_clock::now() + timeout;
      while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    if (IsThreadActive()) return false;
  }
  _ReleaseWorker();
  return true;
}

bool CThread::_PostUpdate(uint16_t threadType, ThreadUpdate kind) {
  CMessageWindow* owner = m_owner.load();
  if (owner == nullptr) return false;
  return owner->PostMessage(WM_THREAD_UPDATE, MAKELONG(threadType, kind), 0);
}

void CThread::_SendUpdate(ThreadUpdate kind) {
  CMessageWindow* owner = m_owner.load();
  if (owner != nullptr) owner->SendMessage(WM_THREAD_UPDATE, MAKELONG(m_threadType, kind), 0);
}

int CThread::OnProgress(int percent) {
  m_progressPercent.store(percent);
  const uint32_t now = m_tickSource();
  // Unsigned difference: correct across the tick counter's wrap.
  if (now - m_lastProgressTick.load() >= 500u || percent % 5 == 0) {
    m_lastProgressTick.store(now);
    _PostUpdate(THREAD_UPD_PROGRESS);
  }
  return m_abortRequested.load() != 0 ? 0 : 1;
}

int ProgressCallback(void* thread, int percent) {
  if (thread == nullptr) return 0;
  return static_cast<CThread*>(thread)->OnProgress(percent);
}
