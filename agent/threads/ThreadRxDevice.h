// The receive job: one run takes everything a receiver holds on the current
// (port, driver) pair of the candidate search, then marks which of the
// received activities the sent-activity history does not know yet. The
// dialog (or the command-line tool, through the sync workflow) selects the
// pair, starts the run and, after the completion update, reads the status
// and error lists, the counters, newActivitiesFound and the driver's data set
// with its included flags.
#pragma once

#include <atomic>
#include <string>

#include "import/SentHistory.h"
#include "threads/StatusList.h"
#include "threads/ThreadDevice.h"

class CGpsDataSegment;
class CGpsDataSet;

class CThreadRxDevice : public CThreadDevice {
public:
  CThreadRxDevice();
  ~CThreadRxDevice() override;

  // Starts one run on the current pair unless a run is going on.
  bool StartThread(CMessageWindow* owner) override;
  // Forgets the history and the status lines (the error lines stay), then
  // the common reset; refused while a run is going on.
  void ResetThread() override;

  // Every device search for retrieval starts here: the history is read
  // afresh (so another instance's additions count), then the first pair is
  // sought with this job's status list. 1 when a pair is current.
  int LoadHistoryAndGetFirstDevice(CMessageWindow* owner);
  // The same with the port the user named instead of the search.
  int LoadHistoryAndSelectDevice(CMessageWindow* owner, CCommsDevice* port);
  // The next pair, with this job's status list.
  int GetNextDevice();
  using CThreadDevice::GetNextDevice;
  // Writes the history back to the history file; a failure is silent.
  void SaveHistory() const;

  // UI thread, only while no run is going on.
  CSentHistory& GetHistory() { return m_history; }
  CStatusList& GetStatusList() { return m_statusList; }
  CStatusList& GetErrorList() { return m_errorList; }
  int GetNewActivitiesFound() const { return m_newActivitiesFound.load(); }

  // The begin text of an activity: the ISO-8601 UTC time of the segment's
  // first point; empty when it has no first point or that has no instant time.
  static std::string GetActivityBegin(const CGpsDataSegment& segment);
  // Sets every segment's included flag: 1 when the history does not know
  // the activity under the data set's device key, 0 otherwise (an activity
  // without a begin counts as known). True when at least one is new.
  static bool MarkNewActivities(CGpsDataSet& data, const CSentHistory& history);

private:
  static void ThreadProc(void* param);
  void _Run();
  // The end of a run that failed: the line in both lists, then the counters
  // and the completion update.
  void _EndWithFailure(int kind, const std::string& text);
  void _ReportUnfinishedRun(const std::string& reason) override;

  CSentHistory m_history;
  CStatusList m_errorList;
  CStatusList m_statusList;
  std::atomic<int> m_newActivitiesFound{0};
};
