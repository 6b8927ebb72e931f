#include "link/CommsDevice.h"

#include <cctype>

#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/TraceLog.h"
#include "util/Util.h"

bool CommsEqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

namespace {

// The part of a path that names the device: interface paths of one device
// under two interface GUIDs differ only from the first "{" on.
std::string PathKey(const std::string& path) {
  return path.substr(0, path.find('{'));
}

// The kind of port that answers a device class or interface on this system.
bool PortKindOfGuid(const CommsGuid& guid, PortKind& kind) {
  if (guid == GUID_COMPORT_INTERFACE) {
    kind = PortKind::Serial;
    return true;
  }
  if (guid == GUID_GARMIN_USB_INTERFACE) {
    kind = PortKind::Usb;
    return true;
  }
  // Like a device-interface search for a setup class (the ports class):
  // nothing is registered under it.
  return false;
}

}  // namespace

CCommsDevice::CDeviceList::~CDeviceList() {
  m_entries.clear();
}

void CCommsDevice::CDeviceList::Append(std::string path, std::string friendlyName) {
  m_entries.push_back({std::move(path), std::move(friendlyName)});
}

void CCommsDevice::CDeviceList::RemoveAll() {
  LogWrite(LOG_INFO, "CCommsDevice::CDeviceList::RemoveAll()");
  m_entries.clear();
}

const CCommsDevice::CDeviceList::CEntry* CCommsDevice::CDeviceList::FindByKey(const std::string& path) const {
  const std::string key = PathKey(path);
  for (const CEntry& entry : m_entries) {
    if (CommsEqualNoCase(PathKey(entry.path), key)) return &entry;
  }
  return nullptr;
}

CCommsDevice::CCommsDevice() = default;

CCommsDevice::~CCommsDevice() = default;

void CCommsDevice::SetLastError(HRESULT code, unsigned messageId) {
  m_lastError = code;
  m_errorMessage = LoadString(messageId);
}

void CCommsDevice::SetLastErrorWithText(HRESULT code, const std::string& message) {
  m_lastError = code;
  m_errorMessage = message;
}

void CCommsDevice::ResetError() {
  m_lastError = S_OK;
  m_errorMessage.clear();
}

void CCommsDevice::SetDevicePath(const std::string& path) {
  m_devicePath = path.substr(0, MAX_DEVICE_PATH);
}

void CCommsDevice::SetFriendlyName(const std::string& name) {
  m_friendlyName = name.substr(0, MAX_FRIENDLY_NAME);
}

void CCommsDevice::SetClassGuid(const CommsGuid& guid) {
  m_classGuid = guid;
  m_classGuidText = guid.IsNull() ? std::string() : FormatCommsGuid(guid);
}

void CCommsDevice::SetInterfaceGuid(const CommsGuid& guid) {
  m_interfaceGuid = guid;
  m_interfaceGuidText = guid.IsNull() ? std::string() : FormatCommsGuid(guid);
}

bool CCommsDevice::FindFirstCommsDevice() {
  LogWrite(LOG_INFO, "CCommsDevice::FindFirstCommsDevice()");
  // Each search reports its own failure, not one of a search before.
  ResetError();
  m_deviceList.RemoveAll();
  const uint32_t platform = CUtil::GetPlatformId();
  const uint32_t major = CUtil::GetMajorVersion();
  // The major version only told old Windows systems without the device
  // interface apart; here it is the kernel's and says nothing about discovery.
  if (platform == 1 && major >= 4) {
    if (!m_classGuidText.empty()) AppendDeviceList_win9x(m_classGuidText);
    if (!m_interfaceGuidText.empty()) AppendDeviceList_win9x(m_interfaceGuidText);
  } else if (platform == 2) {
    if (!m_classGuidText.empty()) AppendDeviceList_win2k(m_classGuid);
    if (!m_interfaceGuidText.empty()) AppendDeviceList_win2k(m_interfaceGuid);
  }
  m_cursor = 0;
  return FindNextCommsDevice();
}

bool CCommsDevice::FindNextCommsDevice() {
  LogWrite(LOG_INFO, "CCommsDevice::FindNextCommsDevice()");
  if (m_cursor >= m_deviceList.Count()) return false;
  const CDeviceList::CEntry& entry = m_deviceList.At(m_cursor++);
  SetDevicePath(entry.path);
  SetFriendlyName(entry.friendlyName);
  return true;
}

void CCommsDevice::AppendDeviceList_win2k(const CommsGuid& guid) {
  LogWrite(LOG_INFO, "CCommsDevice::AppendDeviceList_win2k()");
  PortKind kind = PortKind::Serial;
  if (!PortKindOfGuid(guid, kind)) return;
  std::vector<PortEntry> ports;
  // Ports named in the settings are listed even when the system's own list
  // cannot be read; the failure is kept for the caller to see. A USB library
  // that does not start is told apart from a list that cannot be read.
  if (!m_enumerator.Enumerate(kind, CUtil::GetDevicePorts(), ports)) {
    const uint32_t error = m_enumerator.LastError();
    SetLastError(error == ERROR_DLL_INIT_FAILED ? HRESULT_FROM_WIN32(error) : E_HANDLE, IDS_ERR_USB_INIT);
  }
  for (const SkippedPort& skipped : m_enumerator.Skipped()) {
    LogWrite(LOG_INFO, "Comms device in use, not permitted or gone (skipped): %s, %s, error=%u",
             skipped.port.friendlyName.c_str(), skipped.port.path.c_str(), skipped.error);
  }
  for (const PortEntry& port : ports) _AppendDevice(port.path, port.friendlyName);
}

void CCommsDevice::_AppendDevice(const std::string& path, const std::string& friendlyName) {
  if (m_deviceList.FindByKey(path) != nullptr) {
    LogWrite(LOG_INFO, "Dup comms device (ignored): %s, %s", friendlyName.c_str(), path.c_str());
    return;
  }
  LogWrite(LOG_INFO, "Comms device: %s, %s", friendlyName.c_str(), path.c_str());
  m_deviceList.Append(path, friendlyName);
}
