// The part of the receive and transmit jobs that finds where a receiver may
// be: every (port, driver) pair in which a port found by a registered
// communications object has the GUIDs of a registered driver's own port.
// The dialog walks the pairs with GetFirstDevice and GetNextDevice and runs
// the job once per pair.
#pragma once

#include <atomic>

#include "threads/StatusList.h"
#include "threads/Thread.h"

class CCommsDevice;
class CGpsDevice;

class CThreadDevice : public CThread {
public:
  explicit CThreadDevice(ThreadType threadType);

  // UI thread, while no run is going on. Both return 1 when a pair is
  // current and 0 when the candidates are exhausted; each port tried gets
  // the "Searching for supported device on %s" line in statusList and a
  // status update of type threadType.
  virtual int GetFirstDevice(CMessageWindow* owner, CStatusList& statusList, uint16_t threadType);
  virtual int GetNextDevice(CStatusList& statusList, uint16_t threadType);
  // Instead of the search: the port the user named, listed or not. port is
  // a communications object of the port's kind pointed at it; it becomes
  // current with the first registered driver that serves it (announced like
  // a searched port). 1 when one does.
  int SelectDevice(CMessageWindow* owner, CCommsDevice* port, CStatusList& statusList, uint16_t threadType);

  // The communications object positioned on the port being tried.
  virtual CCommsDevice* GetCurrentPort() { return m_currentPort; }
  virtual CGpsDevice* GetCurrentDriver() { return m_currentDriver; }
  virtual int GetSuccessCount() { return m_successCount.load(); }
  virtual int GetFailureCount() { return m_failureCount.load(); }

  // A driver serves a port when one of its port's GUIDs, not all-zero,
  // equals either GUID of the port's communications object.
  static bool IsDriverForPort(CGpsDevice& driver, const CCommsDevice& port);

protected:
  // The device jobs count their runs: success when a run ends with success.
  void _AddSuccess() { ++m_successCount; }
  void _AddFailure() { ++m_failureCount; }
  // Points the driver's own port at the current port (path, name, the
  // Timeout setting) and clears both objects' errors of an earlier run.
  static void _AimDriver(const CCommsDevice& port, CGpsDevice& driver, unsigned timeout);

private:
  // Writes the port's status line and tells the dialog.
  void _AnnouncePort(CStatusList& statusList, uint16_t threadType);
  // From the driver registry's cursor on: the first driver for the current
  // port becomes current. False when none is left.
  bool _MatchDrivers(CGpsDevice* first);
  // The remaining ports of the current communications object, each
  // announced and tried against every driver.
  bool _SearchPorts(bool fromFirst, const char* logFormat, CStatusList& statusList, uint16_t threadType);

  CCommsDevice* m_currentPort = nullptr;
  CGpsDevice* m_currentDriver = nullptr;
  std::atomic<int> m_successCount{0};
  std::atomic<int> m_failureCount{0};
};
