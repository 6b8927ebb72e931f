#include "threads/ThreadRxDevice.h"

#include <cstdio>
#include <vector>

#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "data/GpsUnits.h"
#include "garmin/GarminErrors.h"
#include "link/CommsDevice.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/StatusText.h"
#include "util/TraceLog.h"
#include "util/Util.h"

CThreadRxDevice::CThreadRxDevice() : CThreadDevice(THREAD_TYPE_RXDEVICE) {}

CThreadRxDevice::~CThreadRxDevice() {
  // The worker uses this object's lists and history until it returns.
  RequestAbort();
  WaitForThread(std::chrono::seconds(5));
}

bool CThreadRxDevice::StartThread(CMessageWindow* owner) {
  if (!_CanStart(owner, "CThreadRxDevice::StartThread(): RX device thread is already running.")) return false;
  LogWrite(LOG_INFO, "CThreadRxDevice::StartThread(): starting thread");
  return _LaunchThread(&CThreadRxDevice::ThreadProc);
}

void CThreadRxDevice::ResetThread() {
  // The worker reads the history and writes the lists until its run ends.
  if (!_CanReset("CThreadRxDevice::ResetThread(): RX device thread is running.")) return;
  m_history.Reset();
  m_statusList.Clear();
  CThreadDevice::ResetThread();
}

int CThreadRxDevice::LoadHistoryAndGetFirstDevice(CMessageWindow* owner) {
  m_history.LoadHistory();
  return GetFirstDevice(owner, m_statusList, THREAD_TYPE_RXDEVICE);
}

int CThreadRxDevice::LoadHistoryAndSelectDevice(CMessageWindow* owner, CCommsDevice* port) {
  m_history.LoadHistory();
  return SelectDevice(owner, port, m_statusList, THREAD_TYPE_RXDEVICE);
}

int CThreadRxDevice::GetNextDevice() {
  return GetNextDevice(m_statusList, THREAD_TYPE_RXDEVICE);
}

void CThreadRxDevice::SaveHistory() const {
  m_history.SaveHistory();
}

std::string CThreadRxDevice::GetActivityBegin(const CGpsDataSegment& segment) {
  if (segment.first == nullptr) return {};
  const CGpsDataValue* time = segment.first->FindValue(QUANTITY_TIME, MODIFIER_INSTANT);
  return time != nullptr ? time->Format(UNIT_UNIXTIME) : std::string();
}

bool CThreadRxDevice::MarkNewActivities(CGpsDataSet& data, const CSentHistory& history) {
  bool newFound = false;
  for (CGpsDataTrack* track : data.GetTracks()) {
    for (CGpsDataSegment* segment : track->GetSegments()) {
      const std::string begin = GetActivityBegin(*segment);
      const bool known = begin.empty() || history.Find(data.prefix, begin) != nullptr;
      segment->included = known ? 0 : 1;
      if (!known) newFound = true;
    }
  }
  return newFound;
}

void CThreadRxDevice::ThreadProc(void* param) {
  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc()");
  if (param == nullptr) {
    LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - terminated (invalid pParam)");
    return;
  }
  static_cast<CThreadRxDevice*>(static_cast<CThread*>(param))->_Run();
}

void CThreadRxDevice::_EndWithFailure(int kind, const std::string& text) {
  m_statusList.SetLast(kind, text);
  m_errorList.Append(kind, text);
  _PostUpdate(THREAD_UPD_STATUS);
  _SetResult(0);
  _SetStatus(THREAD_TERMINATED);
  _AddFailure();
  _PostUpdate(THREAD_UPD_COMPLETE);
  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - terminated");
}

void CThreadRxDevice::_ReportUnfinishedRun(const std::string& reason) {
  const std::string text = CUtil::BuildErrorList(LoadString(IDS_ERR_INTERNAL), 0, reason, 0, std::string());
  m_statusList.SetLast(STATUS_ERROR, text);
  m_errorList.Append(STATUS_ERROR, text);
  _PostUpdate(THREAD_UPD_STATUS);
  _AddFailure();
  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - terminated");
}

void CThreadRxDevice::_Run() {
  _SetStatus(THREAD_RUNNING);
  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() status: THREAD_RUNNING");
  CCommsDevice* const port = GetCurrentPort();
  CGpsDevice* const driver = GetCurrentDriver();
  CCommsDevice* const comms = driver != nullptr ? driver->GetCommsDevice() : nullptr;
  _SetResult(1);
  m_newActivitiesFound.store(0);
  if (port == nullptr || comms == nullptr) {
    // Started without a pair from the candidate search: nothing to talk to.
    // The frame ends the run as a failure.
    LogWrite(LOG_ERROR, "CThreadRxDevice::ThreadProc() - no device selected");
    return;
  }
  const bool powerDown = CUtil::GetPowerdown();
  const unsigned timeout = CUtil::GetDeviceTimeout();

  // Kept as copies: once the completion is posted the dialog may move the
  // search on, which rewrites the port object and clears the data set.
  const std::string portName = port->GetFriendlyName();
  m_statusList.SetLast(STATUS_BUSY, FillStatusText(IDS_STATUS_CONNECTING_ON, portName));
  _PostUpdate(THREAD_UPD_STATUS);

  _AimDriver(*port, *driver, timeout);
  driver->SetRxProgressCallback(&ProgressCallback, static_cast<CThread*>(this));
  driver->SetTxProgressCallback(nullptr, nullptr);

  if (!driver->OpenGpsDevice(GPS_DIRECTION_TX)) {
    const HRESULT gpsError = driver->GetErrorCode();
    const HRESULT commsError = comms->GetLastError();
    const std::string location = LocationText(driver->GetDataSet().deviceDescription, portName);
    const uint32_t code = HRESULT_CODE(gpsError);
    // A link time-out (no driver error, the port's 1460) means nobody answered.
    const bool unsupported = code == GARMIN_ERROR_UNSUPPORTED_LINK || code == ERROR_READ_FAULT;
    const int kind = unsupported ? STATUS_UNSUPPORTED : STATUS_WARNING;
    const std::string text =
        FillStatusText(unsupported ? IDS_STATUS_UNSUPPORTED_FOUND : IDS_STATUS_NO_DEVICE_ON, location);
    LogWrite(LOG_ERROR, "CThreadRxDevice::ThreadProc() - Trying to open GPS device: %s %u", location.c_str(),
             static_cast<unsigned>(gpsError != 0 ? gpsError : commsError));
    _EndWithFailure(kind, text);
    return;
  }

  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - GPS device opened: %s", portName.c_str());
  const std::string product = driver->GetDataSet().deviceDescription;
  m_statusList.SetLast(STATUS_BUSY, FillStatusText(IDS_STATUS_RX_PROGRESS, product, portName));
  _PostUpdate(THREAD_UPD_STATUS);

  unsigned count = 0;
  const bool received = driver->RxGpsData(count);

  if (received && powerDown) {
    if (driver->PowerDown()) {
      LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - GPS device powered down");
    } else {
      LogWrite(LOG_ERROR, "CThreadRxDevice::ThreadProc() - Unable to power down GPS device");
    }
  }
  driver->CloseGpsDevice();
  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - GPS device closed: %s", product.c_str());

  // An abort wins over whatever the transfer reported: the user asked to
  // stop, so nothing of this run is used.
  if (IsAbortRequested()) {
    const std::string text = FillStatusText(IDS_STATUS_RX_ABORTED, product, portName);
    m_statusList.SetLast(STATUS_WARNING, text);
    m_errorList.Append(STATUS_WARNING, text);
    _SetResult(0);
    _SetStatus(THREAD_ABORTED);
    _AddFailure();
    _PostUpdate(THREAD_UPD_COMPLETE);
    LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - terminated (user aborted)");
    return;
  }

  if (!received) {
    LogWrite(LOG_ERROR, "CThreadRxDevice::ThreadProc() - Unable to retrieve GPS data records");
    const HRESULT gpsError = driver->GetErrorCode();
    const HRESULT commsError = comms->GetLastError();
    const std::string gpsText = driver->GetErrorText();
    const std::string commsText = comms->GetErrorMessage();
    int kind = STATUS_ERROR;
    std::string text;
    if (HRESULT_CODE(gpsError) == GARMIN_ERROR_UNSUPPORTED_LINK) {
      kind = STATUS_UNSUPPORTED;
      text = FillStatusText(IDS_STATUS_UNSUPPORTED_DEVICE, product, portName);
      LogWrite(LOG_ERROR, "CThreadRxDevice::ThreadProc() - Unsupported device: %s on %s", product.c_str(),
               portName.c_str());
    } else {
      text = CUtil::BuildErrorList(FillStatusText(IDS_STATUS_RX_ERROR, product, portName), gpsError, gpsText,
                                   commsError, commsText);
      LogWrite(LOG_ERROR, "CThreadRxDevice::ThreadProc() - Error retrieving data from %s on %s",
               product.c_str(), portName.c_str());
    }
    _EndWithFailure(kind, text);
    return;
  }

  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - %d GPS data records retrieved",
           static_cast<int>(count));
  if (MarkNewActivities(driver->GetDataSet(), m_history)) m_newActivitiesFound.store(1);
  m_statusList.SetLast(STATUS_DONE, FillStatusText(IDS_STATUS_RX_DONE, product, portName));
  _PostUpdate(THREAD_UPD_STATUS);
  _SetResult(1);
  _SetStatus(THREAD_TERMINATED);
  _AddSuccess();
  _PostUpdate(THREAD_UPD_COMPLETE);
  LogWrite(LOG_INFO, "CThreadRxDevice::ThreadProc() - terminated (OK) %s on %s", product.c_str(),
           portName.c_str());
}
