// The announcements job: fetches the service's announcements for the
// configured account when the start page is shown. The last feed that held
// items is kept in announcements.xml in the data folder and shown whenever
// the service has nothing to say or cannot be read.
//
// Status updates are posted; the completion is sent, so the dialog draws the
// feed while the worker waits.
#pragma once

#include <string>

#include "threads/StatusList.h"
#include "threads/Thread.h"

class CThreadMsgs : public CThread {
public:
  CThreadMsgs();
  ~CThreadMsgs() override;

  // Clears the status list and starts a run unless one is going on.
  bool StartThread(CMessageWindow* owner) override;
  // Refused (with a trace line) while a run is going on.
  void ResetThread() override;

  CStatusList& GetStatusList() { return m_statusList; }
  const CStatusList& GetStatusList() const { return m_statusList; }

  // The worker's entry point; param is the thread object.
  static void ThreadProc(void* param);

private:
  void _Run();
  // The run's end: publishes the feed, then tells the dialog.
  void _Complete();
  // Puts the cached feed back after an answer that is not worth keeping.
  void _ReloadCache(const std::string& cachePath);
  void _ReportUnfinishedRun(const std::string& reason) override;

  CStatusList m_statusList;
  CMsgFeed m_feed;  // the worker's; becomes the messages feed at the end of a run
};
