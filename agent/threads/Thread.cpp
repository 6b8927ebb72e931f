#include "threads/Thread.h"

#include <exception>
#include <system_error>

#include "util/TraceLog.h"

struct CThread::CRun {
  std::atomic<bool> returned{false};
  // Set before the completion goes out: from then on the worker touches
  // nothing of the object, it may only still be sending that completion.
  std::atomic<bool> completed{false};
};

namespace {

// The longest a start or a reset waits for the previous worker to report.
constexpr std::chrono::seconds kPreviousWorkerWait{5};

// The run of the worker on this thread, so that a completion the job sends
// is recorded for its own run even when the dialog has started the next.
thread_local std::atomic<bool>* t_runCompleted = nullptr;

}  // namespace

CThread::CThread(ThreadType threadType) : m_threadType(threadType) {}

CThread::~CThread() {
  m_abortRequested.store(1);
  if (IsThreadActive()) LogWrite(LOG_WARN, "CThread::~CThread(): worker thread still running");
  _ReleaseWorker();
}

void CThread::ResetThread() {
  if (!_CanReset(nullptr)) return;
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

bool CThread::_CanReset(const char* runningWarning) {
  if (m_status.load() == THREAD_RUNNING) {
    if (runningWarning != nullptr) LogWrite(LOG_WARN, "%s", runningWarning);
    return false;
  }
  return _WaitForPreviousWorker();
}

bool CThread::_WaitForPreviousWorker() {
  // A worker past its completion is not waited for: it may be sending that
  // completion to the very handler that calls here.
  if (IsThreadActive() && !m_run->completed.load()) WaitForThread(kPreviousWorkerWait);
  if (IsThreadActive() && !m_run->completed.load()) {
    LogWrite(LOG_ERROR, "CThread::StartThread() previous worker thread still running");
    return false;
  }
  _ReleaseWorker();
  return true;
}

bool CThread::_LaunchThread(void (*threadProc)(void* param)) {
  if (!_WaitForPreviousWorker()) return false;
  m_status.store(THREAD_RUNNING);
  auto run = std::make_shared<CRun>();
  try {
    m_worker = std::thread([this, threadProc, run] {
      t_runCompleted = &run->completed;
      std::string failure;
      try {
        threadProc(this);
      } catch (const std::exception& error) {
        // The jobs report their failures as results; this only guards the
        // dialog against one that slipped through.
        LogWrite(LOG_ERROR, "CThread::ThreadProc() unexpected exception: %s", error.what());
        failure = error.what();
      } catch (...) {
        LogWrite(LOG_ERROR, "CThread::ThreadProc() unexpected exception");
        failure = "unknown exception";
      }
      _EndRun(*run, failure);
      t_runCompleted = nullptr;
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

void CThread::_EndRun(CRun& run, const std::string& failure) {
  if (run.completed.load()) return;
  try {
    _ReportUnfinishedRun(failure);
  } catch (...) {
    LogWrite(LOG_ERROR, "CThread::ThreadProc() unable to report the failure");
  }
  m_result.store(0);
  m_status.store(THREAD_TERMINATED);
  _PostUpdate(THREAD_UPD_COMPLETE);
}

void CThread::_ReportUnfinishedRun(const std::string&) {}

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
  if (kind == THREAD_UPD_COMPLETE && t_runCompleted != nullptr) t_runCompleted->store(true);
  CMessageWindow* owner = m_owner.load();
  if (owner == nullptr) return false;
  return owner->PostMessage(WM_THREAD_UPDATE, MAKELONG(threadType, kind), 0);
}

void CThread::_SendUpdate(ThreadUpdate kind) {
  if (kind == THREAD_UPD_COMPLETE && t_runCompleted != nullptr) t_runCompleted->store(true);
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
