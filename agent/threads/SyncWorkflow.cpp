#include "threads/SyncWorkflow.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "import/ImportReader.h"
#include "link/CommsDevice.h"
#include "link/CommsRegistry.h"
#include "link/CommsSerial.h"
#include "link/CommsUsb.h"
#include "link/GpsGarminSerial.h"
#include "platform/AtomicFile.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/ThreadRxDevice.h"
#include "util/TraceLog.h"
#include "util/Util.h"

// The USB engine joins the registry as soon as it is part of the build.
#if __has_include("link/GpsGarminUsb.h")
#include "link/GpsGarminUsb.h"
#define QV_SYNC_HAS_USB_ENGINE 1
#else
#define QV_SYNC_HAS_USB_ENGINE 0
#endif

namespace {

// How long a finished worker may take to return from its thread function.
constexpr std::chrono::seconds kWorkerExit{5};

// A path pattern of the string table filled with its parts.
template <class... Args>
std::string FillPath(unsigned id, const Args&... parts) {
  const std::string pattern = LoadString(id);
  const int needed = std::snprintf(nullptr, 0, pattern.c_str(), parts.c_str()...);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  std::snprintf(text.data(), text.size(), pattern.c_str(), parts.c_str()...);
  text.resize(static_cast<size_t>(needed));
  return text;
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, LoadString(IDS_FORMAT_TIMESTAMP).c_str(), &local);
  return std::string(buffer, n);
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

std::string DeviceText(const CGpsDataSet& data, const CCommsDevice* port) {
  const std::string portName = port != nullptr ? port->GetFriendlyName() : std::string();
  if (data.deviceDescription.empty()) return portName;
  return data.deviceDescription + " on " + portName;
}

}  // namespace

CSyncWorkflow::CSyncWorkflow(CThreadRxDevice& thread) : m_thread(thread) {}

void CSyncWorkflow::RegisterDeviceObjects() {
  // One protocol object per link kind for the life of the process; the
  // standalone serial object only lists the serial ports.
  static CGpsGarminSerial serialEngine;
  static CCommsSerial serialPorts;
#if QV_SYNC_HAS_USB_ENGINE
  static CGpsGarminUsb usbEngine;
  CCommsRegistry::Register(usbEngine.GetCommsDevice());
#endif
  CCommsRegistry::Register(&serialPorts);
#if QV_SYNC_HAS_USB_ENGINE
  CGpsDevice::RegisterDevice(&usbEngine);
#endif
  CGpsDevice::RegisterDevice(&serialEngine);
}

std::unique_ptr<CCommsDevice> CSyncWorkflow::MakeNamedPort(const std::string& port) {
  const std::string path = port.rfind("serial:", 0) == 0 ? port.substr(7) : port;
  if (path.empty()) return nullptr;
  std::unique_ptr<CCommsDevice> named;
  if (path.rfind("usb:", 0) == 0 || path.rfind("usbsim:", 0) == 0) {
    named = std::make_unique<CCommsUsb>();
  } else {
    named = std::make_unique<CCommsSerial>();
  }
  named->SetDevicePath(path);
  named->SetFriendlyName(path);
  return named;
}

void CSyncWorkflow::SetPortFilter(const std::string& port) {
  m_givenPort = MakeNamedPort(port);
  m_portFilter = m_givenPort ? m_givenPort->GetDevicePath() : std::string();
}

bool CSyncWorkflow::_FindCandidate(bool first) {
  if (m_givenPort) return first && m_thread.LoadHistoryAndSelectDevice(m_owner, m_givenPort.get()) != 0;
  return (first ? m_thread.LoadHistoryAndGetFirstDevice(m_owner) : m_thread.GetNextDevice()) != 0;
}

bool CSyncWorkflow::StartSearch(CMessageWindow* owner) {
  m_owner = owner;
  m_stopRequested = false;
  m_queueFailures = 0;
  m_report = CSyncRunReport();
  m_thread.ResetThread();
  // The failures of an earlier search must not reappear at the end of this one.
  m_thread.GetErrorList().Clear();
  m_thread.GetStatusList().Append(STATUS_INFO, IDS_STATUS_SEARCHING);
  if (_FindCandidate(true)) {
    if (_StartRun()) return true;
    EndSearch();
    return false;
  }
  m_thread.GetStatusList().SetLast(STATUS_WARNING, IDS_MSG_NO_DEVICE);
  return false;
}

bool CSyncWorkflow::_StartRun() {
  // The previous run's worker is on its way out right after its completion
  // update; waiting for it means no worker is ever left running unwatched.
  m_thread.WaitForThread(kWorkerExit);
  return m_thread.StartThread(m_owner);
}

ESyncStep CSyncWorkflow::OnReceiveComplete(EActivityChoice choice) {
  m_report = CSyncRunReport();
  if (m_thread.GetResult() == 1) {
    CGpsDevice* driver = m_thread.GetCurrentDriver();
    CGpsDataSet& data = driver->GetDataSet();
    m_report.device = DeviceText(data, m_thread.GetCurrentPort());
    const bool newFound = m_thread.GetNewActivitiesFound() != 0;
    switch (choice) {
      case EActivityChoice::AskUser:
        if (CUtil::GetEditActivities() || !newFound) {
          m_report.outcome = ERxOutcome::ChoicePending;
          return ESyncStep::ChooseActivities;
        }
        _QueueIncluded(0);
        break;
      case EActivityChoice::NewOnly:
        if (newFound) {
          _QueueIncluded(0);
        } else {
          m_report.outcome = ERxOutcome::NothingNew;
        }
        break;
      case EActivityChoice::All: {
        // Activities sent before go again, so the service must accept them
        // even where they overlap what it holds: the resend queue.
        int received = 0;
        for (const CGpsDataTrack* track : data.GetTracks()) received += track->GetSegments().GetCount();
        const int known = received - CountIncludedActivities(data);
        for (CGpsDataTrack* track : data.GetTracks()) track->SetIncluded(1);
        if (CountIncludedActivities(data) == 0) {
          m_report.outcome = ERxOutcome::NothingNew;
        } else {
          _QueueIncluded(known > 0 ? 1 : 0);
        }
        break;
      }
    }
  }
  return _ContinueOrEnd();
}

ESyncStep CSyncWorkflow::ContinueSearch() {
  return _ContinueOrEnd();
}

ESyncStep CSyncWorkflow::_ContinueOrEnd() {
  CStatusList& status = m_thread.GetStatusList();
  bool next = true;
  if (m_thread.GetResult() == 1) {
    next = CUtil::GetMultipleDevices();
    status.Append(STATUS_INFO, IDS_STATUS_SEARCHING);
  } else {
    status.SetLast(STATUS_INFO, IDS_STATUS_SEARCHING);
  }
  if (m_stopRequested) next = false;
  if (next && _FindCandidate(false) && _StartRun()) return ESyncStep::NextDevice;
  EndSearch();
  return ESyncStep::SearchEnded;
}

bool CSyncWorkflow::SendChosenActivities() {
  m_report.errorText.clear();
  m_report.files.clear();
  CGpsDevice* driver = m_thread.GetCurrentDriver();
  if (driver == nullptr) return false;
  const int chosen = CountIncludedActivities(driver->GetDataSet());
  bool queued = true;
  if (chosen > 0) {
    queued = WriteQueueDocument(1);
    m_report.outcome = queued ? ERxOutcome::Queued : ERxOutcome::QueueFailed;
    m_report.activities = queued ? chosen : 0;
    if (!queued) ++m_queueFailures;
  } else {
    m_report.outcome = ERxOutcome::NothingNew;
  }
  // What the user left out counts as seen; what was chosen only once it is
  // in the queue, so that a failed document leaves it new for the next try.
  if (_RecordActivities(queued ? ESelect::All : ESelect::NotIncluded) > 0) m_thread.SaveHistory();
  return queued;
}

void CSyncWorkflow::_QueueIncluded(int resend) {
  const int included = CountIncludedActivities(m_thread.GetCurrentDriver()->GetDataSet());
  if (!WriteQueueDocument(resend)) {
    m_report.outcome = ERxOutcome::QueueFailed;
    ++m_queueFailures;
    return;
  }
  m_report.outcome = ERxOutcome::Queued;
  m_report.activities = included;
  if (_RecordActivities(ESelect::Included) > 0) m_thread.SaveHistory();
}

int CSyncWorkflow::_RecordActivities(ESelect select) {
  CGpsDevice* driver = m_thread.GetCurrentDriver();
  if (driver == nullptr) return 0;
  const CGpsDataSet& data = driver->GetDataSet();
  CSentHistory& history = m_thread.GetHistory();
  int added = 0;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    for (const CGpsDataSegment* segment : track->GetSegments()) {
      if (select == ESelect::Included && segment->included == 0) continue;
      if (select == ESelect::NotIncluded && segment->included != 0) continue;
      const std::string begin = CThreadRxDevice::GetActivityBegin(*segment);
      // An activity without a time cannot be looked up again; an entry for
      // it would only take a place in the history.
      if (data.prefix.empty() || begin.empty()) continue;
      if (history.Find(data.prefix, begin) != nullptr) continue;
      history.Add(data.prefix, begin);
      ++added;
    }
  }
  return added;
}

void CSyncWorkflow::EndSearch() {
  CStatusList& status = m_thread.GetStatusList();
  if (m_thread.GetFailureCount() < 1 || m_thread.GetSuccessCount() > 0) {
    status.RemoveLast();
  } else {
    status.TakeAll(m_thread.GetErrorList());
    status.Append(STATUS_WARNING, IDS_STATUS_NO_DEVICE_USB);
  }
}

void CSyncWorkflow::RequestStop() {
  m_stopRequested = true;
  if (m_thread.IsRunning()) m_thread.RequestAbort();
}

bool CSyncWorkflow::IsUploadDue() {
  const uint64_t queued = CUtil::GetQueuedBytes();
  if (queued > 0) {
    LogWrite(LOG_INFO, "RX device successful. Total QVX file size = %d", static_cast<int>(queued));
  } else {
    LogWrite(LOG_INFO, "RX device not successful.");
  }
  return queued > 0 || LogIsEnabled();
}

int CSyncWorkflow::CountIncludedActivities(const CGpsDataSet& data) {
  int count = 0;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    for (const CGpsDataSegment* segment : track->GetSegments()) count += segment->included != 0 ? 1 : 0;
  }
  return count;
}

std::string CSyncWorkflow::ClaimQueueName(const std::string& folder, const std::string& stamp) {
  const std::string qvx = LoadString(IDS_EXT_QVX);
  const std::string gz = LoadString(IDS_EXT_GZ);
  const std::string txt = "txt";
  const auto queued = [&](const std::string& name) {
    return Exists(FillPath(IDS_FORMAT_PATH_EXT_EXT, folder, name, qvx, gz)) ||
           Exists(FillPath(IDS_FORMAT_PATH_EXT_EXT, folder, name, txt, gz));
  };
  for (int n = 1; n <= 1000; ++n) {
    const std::string name = n == 1 ? stamp : stamp + "-" + std::to_string(n);
    if (queued(name)) continue;
    // The plain document, created exclusively, is the claim: every writer
    // (this process or another instance of the agent) claims before it
    // writes, and drops its claim only once its compressed files exist.
    const std::string claim = FillPath(IDS_FORMAT_PATH_EXT, folder, name, qvx);
    int error = 0;
    if (!CreateNewFile(claim, &error)) {
      if (error == EEXIST) continue;
      LogWrite(LOG_ERROR, "WriteQueueDocument(): unable to create %s (%d)", claim.c_str(), error);
      return std::string();
    }
    // Queued under this name by a writer that finished since the test above.
    if (queued(name)) {
      RemoveFile(claim);
      continue;
    }
    return name;
  }
  return std::string();
}

bool CSyncWorkflow::WriteQueueDocument(int resend) {
  m_report.files.clear();
  m_report.errorText.clear();
  CGpsDevice* driver = m_thread.GetCurrentDriver();
  const std::string folder = CUtil::GetQueueFolder(resend);
  if (driver == nullptr || folder.empty()) {
    LogWrite(LOG_ERROR, "WriteQueueDocument(): no data or no queue folder");
    m_report.errorText = CUtil::GetSystemMessage(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const std::string qvx = LoadString(IDS_EXT_QVX);
  const std::string gz = LoadString(IDS_EXT_GZ);
  const std::string txt = "txt";

  const std::string name = ClaimQueueName(folder, LocalTimeStamp());
  if (name.empty()) {
    m_report.errorText = CUtil::GetSystemMessage(ERROR_CANNOT_MAKE);
    return false;
  }
  const std::string documentPath = FillPath(IDS_FORMAT_PATH_EXT, folder, name, qvx);
  const std::string diagnosticsPath = FillPath(IDS_FORMAT_PATH_EXT, folder, name, txt);
  LogWrite(LOG_INFO, "QVX file: %s", documentPath.c_str());
  LogWrite(LOG_INFO, "Creating QVX file");

  bool queued = false;
  if (driver->CreateQvxFile(documentPath.c_str()) != 0) {
    const std::string target = FillPath(IDS_FORMAT_PATH_EXT_EXT, folder, name, qvx, gz);
    const uint32_t error = CUtil::GzipFileNew(documentPath.c_str(), target.c_str());
    if (error == 0) {
      LogWrite(LOG_INFO, "Compressed QVX file: %s", target.c_str());
      m_report.files.push_back(target);
      queued = true;
    } else {
      LogWrite(LOG_ERROR, "Unable to compress QVX file: %s (%u)", target.c_str(), error);
      m_report.errorText = CUtil::GetSystemMessage(error);
    }
  } else {
    m_report.errorText = driver->GetErrorText();
    const std::string reason = CUtil::GetErrorText(driver->GetErrorCode());
    if (!reason.empty()) m_report.errorText += (m_report.errorText.empty() ? "" : " ") + ("(" + reason + ")");
  }

  // The report only makes sense beside the document it explains.
  if (queued && driver->DiagnosticsFileCreated(diagnosticsPath.c_str()) != 0) {
    LogWrite(LOG_INFO, "Diagnostics file: %s", diagnosticsPath.c_str());
    const std::string target = FillPath(IDS_FORMAT_PATH_EXT_EXT, folder, name, txt, gz);
    const uint32_t error = CUtil::GzipFileNew(diagnosticsPath.c_str(), target.c_str());
    if (error == 0) {
      LogWrite(LOG_INFO, "Compressed diagnostics file: %s", target.c_str());
      m_report.files.push_back(target);
    } else {
      LogWrite(LOG_ERROR, "Unable to compress diagnostics file: %s (%u)", target.c_str(), error);
    }
  }
  RemoveFile(documentPath);
  RemoveFile(diagnosticsPath);
  return queued;
}

bool CSyncWorkflow::QueueImportFile(const std::string& path, int resend, std::string& queuedPath,
                                    std::string& errorText) {
  queuedPath.clear();
  errorText.clear();
  const std::string folder = CUtil::GetQueueFolder(resend);
  if (folder.empty()) {
    errorText = CUtil::GetSystemMessage(ERROR_PATH_NOT_FOUND);
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string extension = GetFileExtension(path);
  const std::string gz = LoadString(IDS_EXT_GZ);
  // Published without replacing: another writer (a second agent, the
  // command line) may take the same stamp in the same second.
  const std::string stamp = LocalTimeStamp();
  std::string target;
  uint32_t error = ERROR_FILE_EXISTS;
  for (int n = 1; n <= 1000 && error == ERROR_FILE_EXISTS; ++n) {
    const std::string name = n == 1 ? stamp : stamp + "-" + std::to_string(n);
    target = FillPath(IDS_FORMAT_PATH_EXT_EXT, folder, name, extension, gz);
    error = CUtil::GzipFileNew(path.c_str(), target.c_str());
  }
  if (error != 0) {
    errorText = CUtil::GetSystemMessage(error);
    return false;
  }
  LogWrite(LOG_INFO, "Compressed import file: %s", target.c_str());
  queuedPath = target;
  return true;
}
