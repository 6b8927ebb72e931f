// The transmit job: one run sends the data the dialog handed over (tracks
// and courses of an import) to the receiver on the current (port, driver)
// pair of the candidate search. The dialog (or the command-line tool) sets
// the data, selects the pair, starts the run and, after the completion
// update, reads the status and error lists and the counters.
#pragma once

#include <string>

#include "threads/StatusList.h"
#include "threads/ThreadDevice.h"

class CGpsDataSet;

class CThreadTxDevice : public CThreadDevice {
public:
  CThreadTxDevice();
  ~CThreadTxDevice() override;

  // Starts one run on the current pair unless a run is going on.
  bool StartThread(CMessageWindow* owner) override;
  // Clears the status lines (the error lines stay), then the common reset.
  void ResetThread() override;

  // The first and next pairs, with this job's status list.
  int GetFirstDevice(CMessageWindow* owner);
  int GetNextDevice();
  using CThreadDevice::GetFirstDevice;
  using CThreadDevice::GetNextDevice;

  // UI thread, only while no run is going on. The data stay owned by the
  // caller and must live until the completion update; null sends nothing
  // and the run fails.
  void SetTxData(CGpsDataSet* data) { m_txData = data; }
  CGpsDataSet* GetTxData() const { return m_txData; }
  CStatusList& GetStatusList() { return m_statusList; }
  CStatusList& GetErrorList() { return m_errorList; }

private:
  static void ThreadProc(void* param);
  // The progress callback of the runs: the common one for each new percent;
  // the driver's question whether to go on between two packets, asked again
  // at the same percent, is answered without a new progress update.
  static int TxProgressCallback(void* thread, int percent);
  void _Run();
  void _ReportUnfinishedRun(const std::string& reason) override;
  // The end of a run that failed: the counters and the completion update.
  void _EndRun(int status);

  CStatusList m_errorList;
  CStatusList m_statusList;
  CGpsDataSet* m_txData = nullptr;
  int m_lastPercent = -1;  // worker thread only
};
