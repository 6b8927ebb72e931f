// The frame every background job of the agent runs in. The dialog owns one
// object per job for its whole life and starts it again for every run; the
// worker thread writes its own lists, counters and result and then posts or
// sends WM_THREAD_UPDATE, and the dialog reads that state only while it
// handles the message or after completion. The flags the two sides share
// while a worker runs are atomic; everything else is handed over by the
// message, which orders the worker's writes before the dialog's reads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/MessageWindow.h"
#include "threads/MsgFeed.h"

enum ThreadStatus : int {
  THREAD_IDLE = 0,
  THREAD_RUNNING = 1,
  THREAD_ABORTED = 2,
  THREAD_TERMINATED = 3,
};

// Low word of WM_THREAD_UPDATE's wParam: who sends.
enum ThreadType : uint16_t {
  THREAD_TYPE_MSGS = 0,
  THREAD_TYPE_RXDEVICE = 1,
  THREAD_TYPE_RXFILE = 2,
  THREAD_TYPE_TXDEVICE = 3,
  THREAD_TYPE_TXSERVER = 4,
};

// High word of WM_THREAD_UPDATE's wParam: what changed.
enum ThreadUpdate : uint16_t {
  THREAD_UPD_STATUS = 0,    // the status list
  THREAD_UPD_PROGRESS = 1,  // the progress percentage
  THREAD_UPD_COMPLETE = 2,  // the run has ended: status, result, lists and counters are final
};

class CThread {
public:
  // Milliseconds on a clock that wraps at 2^32, like the desktop's tick count.
  using TickSource = uint32_t (*)();

  explicit CThread(ThreadType threadType);
  // The owner waits for a running worker (WaitForThread) before it destroys
  // the object; a worker still running here is left to finish on its own.
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // Stores owner; starts a new run unless one is running. True when started.
  virtual bool StartThread(CMessageWindow* owner) = 0;
  // Back to THREAD_IDLE with result 1, no owner and an empty messages feed;
  // refused while a run is going on (see _CanReset).
  virtual void ResetThread();

  ThreadType GetThreadType() const { return m_threadType; }
  int GetStatus() const { return m_status.load(); }
  bool IsRunning() const { return GetStatus() == THREAD_RUNNING; }
  // 1 when the last run succeeded.
  int GetResult() const { return m_result.load(); }
  int GetProgressPercent() const { return m_progressPercent.load(); }
  CMessageWindow* GetOwner() const { return m_owner.load(); }
  // Filled by the announcements and upload jobs; read by the dialog only
  // after the matching update.
  CMsgFeed& GetMessages() { return m_messages; }
  const CMsgFeed& GetMessages() const { return m_messages; }

  // The dialog's only write while a worker runs: the worker and its
  // progress callback stop at their next test.
  void RequestAbort() { m_abortRequested.store(1); }
  bool IsAbortRequested() const { return m_abortRequested.load() != 0; }

  // True from a start until the worker's thread function has returned; a
  // worker already reports THREAD_TERMINATED while it is still sending its
  // completion, so this, not the status, is what an exit waits for.
  bool IsThreadActive() const;
  // Waits at most timeout for the worker to return, handling sent messages
  // meanwhile when called on the owner's UI thread, and then releases the
  // thread. True when no worker is left.
  bool WaitForThread(std::chrono::milliseconds timeout);

  // The body of the progress callback installed in a GPS device: stores the
  // percentage, posts a progress update at most every 500 ms unless the
  // percentage is a multiple of 5, and answers 0 once an abort is requested.
  int OnProgress(int percent);

  // Tests replace the clock of the progress rate limit.
  void SetTickSource(TickSource source) { m_tickSource = source; }
  static uint32_t GetTickCount();

protected:
  // The common start rules: stores owner; when a run is going on, writes
  // runningWarning (if any) to the trace and answers false.
  bool _CanStart(CMessageWindow* owner, const char* runningWarning);
  // Starts threadProc(this) on a new thread once the previous worker is out
  // of the way. The status is THREAD_RUNNING from here on, so a second start
  // before the worker got going is refused too. False when no thread could
  // be created. However threadProc ends (it returns, fails or throws), the
  // run ends with exactly one completion update: when threadProc did not
  // send one, _ReportUnfinishedRun writes the status line and the frame
  // ends the run with result 0 and THREAD_TERMINATED.
  bool _LaunchThread(void (*threadProc)(void* param));
  // The common reset rule, for a job's ResetThread before it touches its
  // own lists: false (with runningWarning, if any, in the trace) while a run
  // is going on, since the worker still uses them; otherwise waits for the
  // previous worker to be out of the way.
  bool _CanReset(const char* runningWarning);
  // A run ended without its completion; reason says why (the exception's
  // text). The job writes its failure line, posts the status update and
  // counts the failure; the frame then completes the run.
  virtual void _ReportUnfinishedRun(const std::string& reason);

  void _SetStatus(int status) { m_status.store(status); }
  void _SetResult(int result) { m_result.store(result); }
  void _SetOwner(CMessageWindow* owner) { m_owner.store(owner); }
  void _ClearAbort() { m_abortRequested.store(0); }

  // WM_THREAD_UPDATE to the owner, asynchronous or waiting until the dialog
  // handled it; nothing happens without an owner.
  bool _PostUpdate(ThreadUpdate kind) { return _PostUpdate(m_threadType, kind); }
  bool _PostUpdate(uint16_t threadType, ThreadUpdate kind);
  void _SendUpdate(ThreadUpdate kind);

private:
  struct CRun;  // what one started worker shares with this object
  void _ReleaseWorker();
  // True when no worker of an earlier run can still touch this object.
  bool _WaitForPreviousWorker();
  // The worker's last step: completes a run that threadProc left unfinished.
  void _EndRun(CRun& run, const std::string& failure);

  const ThreadType m_threadType;
  std::atomic<int> m_abortRequested{0};
  std::atomic<int> m_status{THREAD_IDLE};
  std::atomic<int> m_result{1};
  std::atomic<int> m_progressPercent{0};
  std::atomic<uint32_t> m_lastProgressTick{0};
  std::atomic<CMessageWindow*> m_owner{nullptr};
  CMsgFeed m_messages;
  TickSource m_tickSource = &CThread::GetTickCount;
  std::thread m_worker;
  std::shared_ptr<CRun> m_run;
};

// The progress callback the receive and transmit jobs install in the GPS
// device, with their thread object as context: 0 (stop) for a null context.
int ProgressCallback(void* thread, int percent);
