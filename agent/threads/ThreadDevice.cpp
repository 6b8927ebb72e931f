#include "threads/ThreadDevice.h"

#include <cstdio>
#include <string>
#include <vector>

#include "data/GpsDevice.h"
#include "link/CommsDevice.h"
#include "link/CommsRegistry.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/StatusText.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

bool GuidMatches(const CommsGuid& guid, const CCommsDevice& port) {
  return !guid.IsNull() && (guid == port.GetClassGuid() || guid == port.GetInterfaceGuid());
}

}  // namespace

CThreadDevice::CThreadDevice(ThreadType threadType) : CThread(threadType) {}

void CThreadDevice::_AimDriver(const CCommsDevice& port, CGpsDevice& driver, unsigned timeout) {
  CCommsDevice* const comms = driver.GetCommsDevice();
  comms->ResetError();
  comms->SetDevicePath(port.GetDevicePath());
  comms->SetFriendlyName(port.GetFriendlyName());
  comms->SetTimeout(timeout);
  driver.ResetError();
}

bool CThreadDevice::IsDriverForPort(CGpsDevice& driver, const CCommsDevice& port) {
  const CCommsDevice* own = driver.GetCommsDevice();
  if (own == nullptr) return false;
  return GuidMatches(own->GetClassGuid(), port) || GuidMatches(own->GetInterfaceGuid(), port);
}

int CThreadDevice::GetFirstDevice(CMessageWindow* owner, CStatusList& statusList, uint16_t threadType) {
  _SetOwner(owner);
  m_successCount.store(0);
  m_failureCount.store(0);
  _ClearAbort();
  _SetResult(0);
  m_currentPort = nullptr;
  m_currentDriver = nullptr;
  LogWrite(LOG_INFO, "CThreadDevice::GetFirstDevice()");

  for (CCommsDevice* comms = CCommsRegistry::GetFirst(); comms != nullptr;
       comms = CCommsRegistry::GetNext()) {
    m_currentPort = comms;
    if (_SearchPorts(true, "CThreadDevice::GetFirstDevice() found installed comms device: %s", statusList,
                     threadType)) {
      return 1;
    }
  }
  m_currentPort = nullptr;
  m_currentDriver = nullptr;
  return 0;
}

int CThreadDevice::SelectDevice(CMessageWindow* owner, CCommsDevice* port, CStatusList& statusList,
                                uint16_t threadType) {
  _SetOwner(owner);
  m_successCount.store(0);
  m_failureCount.store(0);
  _ClearAbort();
  _SetResult(0);
  m_currentPort = port;
  m_currentDriver = nullptr;
  if (port == nullptr) return 0;
  LogWrite(LOG_INFO, "CThreadDevice::SelectDevice() comms device: %s", port->GetFriendlyName().c_str());
  _AnnouncePort(statusList, threadType);
  if (_MatchDrivers(CGpsDevice::FirstRegisteredDevice())) return 1;
  m_currentPort = nullptr;
  return 0;
}

int CThreadDevice::GetNextDevice(CStatusList& statusList, uint16_t threadType) {
  if (m_currentPort == nullptr) return 0;
  LogWrite(LOG_INFO, "CThreadDevice::GetNextDevice()");

  // The drivers after the current one, for the same port.
  _AnnouncePort(statusList, threadType);
  if (_MatchDrivers(CGpsDevice::NextRegisteredDevice())) return 1;

  const char* const logFormat = "CThreadDevice::GetNextDevice() comms device: %s";
  if (_SearchPorts(false, logFormat, statusList, threadType)) return 1;
  for (CCommsDevice* comms = CCommsRegistry::GetNext(); comms != nullptr; comms = CCommsRegistry::GetNext()) {
    m_currentPort = comms;
    if (_SearchPorts(true, logFormat, statusList, threadType)) return 1;
  }
  m_currentPort = nullptr;
  m_currentDriver = nullptr;
  return 0;
}

bool CThreadDevice::_SearchPorts(bool fromFirst, const char* logFormat, CStatusList& statusList,
                                 uint16_t threadType) {
  CCommsDevice* port = m_currentPort;
  for (bool found = fromFirst ? port->FindFirstCommsDevice() : port->FindNextCommsDevice(); found;
       found = port->FindNextCommsDevice()) {
    LogWrite(LOG_INFO, logFormat, port->GetFriendlyName().c_str());
    _AnnouncePort(statusList, threadType);
    if (_MatchDrivers(CGpsDevice::FirstRegisteredDevice())) return true;
  }
  return false;
}

bool CThreadDevice::_MatchDrivers(CGpsDevice* first) {
  for (CGpsDevice* driver = first; driver != nullptr; driver = CGpsDevice::NextRegisteredDevice()) {
    if (IsDriverForPort(*driver, *m_currentPort)) {
      m_currentDriver = driver;
      return true;
    }
  }
  m_currentDriver = nullptr;
  return false;
}

void CThreadDevice::_AnnouncePort(CStatusList& statusList, uint16_t threadType) {
  statusList.SetLast(STATUS_INFO,
                     FillStatusText(LoadString(IDS_STATUS_SEARCHING_ON), m_currentPort->GetFriendlyName()));
  _PostUpdate(threadType, THREAD_UPD_STATUS);
}
