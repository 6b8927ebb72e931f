#include "threads/ThreadTxDevice.h"

#include <cstdio>
#include <vector>

#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "garmin/GarminErrors.h"
#include "link/CommsDevice.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/StatusText.h"
#include "util/TraceLog.h"
#include "util/Util.h"

CThreadTxDevice::CThreadTxDevice() : CThreadDevice(THREAD_TYPE_TXDEVICE) {}

CThreadTxDevice::~CThreadTxDevice() {
  // The worker uses this object's lists until it returns.
  RequestAbort();
  WaitForThread(std::chrono::seconds(5));
}

bool CThreadTxDevice::StartThread(CMessageWindow* owner) {
  if (!_CanStart(owner, "TX device thread is already running.")) return false;
  return _LaunchThread(&CThreadTxDevice::ThreadProc);
}

void CThreadTxDevice::ResetThread() {
  // The worker writes the lists until its run ends.
  if (!_CanReset("CThreadTxDevice::ResetThread(): TX device thread is running.")) return;
  m_statusList.Clear();
  CThreadDevice::ResetThread();
}

int CThreadTxDevice::GetFirstDevice(CMessageWindow* owner) {
  return GetFirstDevice(owner, m_statusList, THREAD_TYPE_TXDEVICE);
}

int CThreadTxDevice::GetNextDevice() {
  return GetNextDevice(m_statusList, THREAD_TYPE_TXDEVICE);
}

void CThreadTxDevice::ThreadProc(void* param) {
  LogWrite(LOG_INFO, "TxDevice ThreadProc()");
  if (param == nullptr) return;
  static_cast<CThreadTxDevice*>(static_cast<CThread*>(param))->_Run();
}

int CThreadTxDevice::TxProgressCallback(void* thread, int percent) {
  if (thread == nullptr) return 0;
  auto* self = static_cast<CThreadTxDevice*>(static_cast<CThread*>(thread));
  if (percent == self->m_lastPercent) return self->IsAbortRequested() ? 0 : 1;
  self->m_lastPercent = percent;
  return ProgressCallback(thread, percent);
}

void CThreadTxDevice::_EndRun(int status) {
  _SetResult(0);
  _SetStatus(status);
  _AddFailure();
  _PostUpdate(THREAD_UPD_COMPLETE);
}

void CThreadTxDevice::_ReportUnfinishedRun(const std::string& reason) {
  const std::string text = CUtil::BuildErrorList(LoadString(IDS_ERR_INTERNAL), 0, reason, 0, std::string());
  m_statusList.SetLast(STATUS_ERROR, text);
  m_errorList.Append(STATUS_ERROR, text);
  _PostUpdate(THREAD_UPD_STATUS);
  _AddFailure();
  LogWrite(LOG_INFO, "TX device thread terminated.");
}

void CThreadTxDevice::_Run() {
  LogWrite(LOG_INFO, "TX device thread started.");
  CCommsDevice* const port = GetCurrentPort();
  CGpsDevice* const driver = GetCurrentDriver();
  CCommsDevice* const comms = driver != nullptr ? driver->GetCommsDevice() : nullptr;
  _SetResult(1);
  _SetStatus(THREAD_RUNNING);
  if (port == nullptr || comms == nullptr) {
    // Started without a pair from the candidate search: nothing to talk to.
    LogWrite(LOG_ERROR, "TX device thread: no device selected");
    _EndRun(THREAD_TERMINATED);
    return;
  }
  const bool powerDown = CUtil::GetPowerdown();
  const unsigned timeout = CUtil::GetDeviceTimeout();

  // Kept as copies: once the completion is posted the dialog may move the
  // search on, which rewrites the port object.
  const std::string portName = port->GetFriendlyName();
  m_statusList.SetLast(STATUS_BUSY, FillStatusText(IDS_STATUS_CONNECTING_ON, portName));
  _PostUpdate(THREAD_UPD_STATUS);

  _AimDriver(*port, *driver, timeout);
  driver->SetRxProgressCallback(nullptr, nullptr);
  m_lastPercent = -1;
  driver->SetTxProgressCallback(&TxProgressCallback, static_cast<CThread*>(this));

  if (!driver->OpenGpsDevice(GPS_DIRECTION_TX)) {
    const std::string location = LocationText(driver->GetDataSet().deviceDescription, portName);
    if (IsAbortRequested()) {
      const std::string text = FillStatusText(IDS_STATUS_TX_CONNECT_ABORTED, location);
      m_statusList.SetLast(STATUS_WARNING, text);
      m_errorList.Append(STATUS_WARNING, text);
      _EndRun(THREAD_ABORTED);
      return;
    }
    const uint32_t code = HRESULT_CODE(driver->GetErrorCode());
    const bool unsupported = code == GARMIN_ERROR_UNSUPPORTED_LINK || code == ERROR_READ_FAULT;
    const int kind = unsupported ? STATUS_UNSUPPORTED : STATUS_WARNING;
    const std::string text =
        FillStatusText(unsupported ? IDS_STATUS_UNSUPPORTED_FOUND : IDS_STATUS_NO_DEVICE_ON, location);
    m_statusList.SetLast(kind, text);
    m_errorList.Append(kind, text);
    _PostUpdate(THREAD_UPD_STATUS);
    _EndRun(THREAD_TERMINATED);
    return;
  }

  LogWrite(LOG_INFO, "GPS device opened: %s", portName.c_str());
  const std::string product = driver->GetDataSet().deviceDescription;
  m_statusList.SetLast(STATUS_BUSY, FillStatusText(IDS_STATUS_TX_PROGRESS, product, portName));
  _PostUpdate(THREAD_UPD_STATUS);

  unsigned count = 0;
  bool sent = false;
  if (m_txData != nullptr) sent = driver->TxGpsData(m_txData, count);
  if (sent && powerDown) {
    if (driver->PowerDown()) {
      LogWrite(LOG_INFO, "GPS device powered down");
    } else {
      LogWrite(LOG_ERROR, "Unable to power down GPS device");
    }
  }
  // Taken before the close, which may clear them.
  const HRESULT gpsError = driver->GetErrorCode();
  const std::string gpsText = driver->GetErrorText();
  const HRESULT commsError = comms->GetLastError();
  const std::string commsText = comms->GetErrorMessage();
  driver->CloseGpsDevice();
  LogWrite(LOG_INFO, "GPS device closed: %s", product.c_str());

  // An abort wins over whatever the transfer reported.
  if (IsAbortRequested()) {
    const std::string text = FillStatusText(IDS_STATUS_TX_ABORTED, product, portName);
    m_statusList.SetLast(STATUS_WARNING, text);
    m_errorList.Append(STATUS_WARNING, text);
    _EndRun(THREAD_ABORTED);
    return;
  }

  if (!sent) {
    LogWrite(LOG_ERROR, "Unable to transfer GPS data records");
    const uint32_t code = HRESULT_CODE(gpsError);
    if (code == GARMIN_ERROR_UNSUPPORTED_LINK) {
      const std::string text = FillStatusText(IDS_STATUS_UNSUPPORTED_DEVICE, product, portName);
      m_statusList.SetLast(STATUS_UNSUPPORTED, text);
      m_errorList.Append(STATUS_UNSUPPORTED, text);
    }
    int kind = STATUS_ERROR;
    std::string text;
    if (code == ERROR_INVALID_DATA) {
      kind = STATUS_UNSUPPORTED;
      text = FillStatusText(IDS_STATUS_TX_INCOMPATIBLE, product, portName);
    } else {
      text = CUtil::BuildErrorList(FillStatusText(IDS_STATUS_TX_ERROR, product, portName), gpsError, gpsText,
                                   commsError, commsText);
    }
    m_statusList.SetLast(kind, text);
    m_errorList.Append(kind, text);
    _PostUpdate(THREAD_UPD_STATUS);
    _EndRun(THREAD_TERMINATED);
    return;
  }

  LogWrite(LOG_INFO, "%d GPS data records transferred", static_cast<int>(count));
  m_statusList.SetLast(STATUS_DONE, FillStatusText(IDS_STATUS_TX_DONE, product, portName));
  _PostUpdate(THREAD_UPD_STATUS);
  _SetResult(1);
  _SetStatus(THREAD_TERMINATED);
  _AddSuccess();
  _PostUpdate(THREAD_UPD_COMPLETE);
}
