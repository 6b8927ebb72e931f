// The port search of the old systems: a walk of the machine hive's Enum tree
// for device keys of one class, with the device-interface links found under
// DeviceClasses.
#include "link/CommsDevice.h"
#include "platform/Registry.h"
#include "util/TraceLog.h"

namespace {

const char kEnumKey[] = "Enum";
const char kDeviceClassesKey[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";
// A device name in the kernel's name space, and how files open it.
const char kDosDevicesPrefix[] = "\\DosDevices\\";
const char kWin32DevicePrefix[] = "\\\\.\\";

// Longest ClassGUID text read: a GUID in braces.
constexpr size_t kGuidTextLength = 38;
// Longest value text read by the interface-link search.
constexpr size_t kValueTextLength = 255;

std::string Join(const std::string& base, const std::string& name) {
  return base.empty() ? name : base + "\\" + name;
}

}  // namespace

void CCommsDevice::AppendDeviceList_win9x(const std::string& guidText) {
  LogWrite(LOG_INFO, "CCommsDevice::AppendDeviceList_win9x()");
  const CRegistry& hklm = CRegistry::Hive(RegHive::LocalMachine);
  if (!hklm.KeyExists(kEnumKey)) return;
  _RecurseAppendDeviceList_win9x(hklm, "", guidText);
}

void CCommsDevice::_RecurseAppendDeviceList_win9x(const CRegistry& hklm, const std::string& relativePath,
                                                  const std::string& guidText) {
  LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x() Enum\\%s", relativePath.c_str());
  LogWrite(LOG_INFO, "   GUID=%s", guidText.c_str());
  const std::string key = Join(kEnumKey, relativePath);
  std::string classGuid;
  if (!hklm.GetString(key, "ClassGUID", classGuid)) {
    for (const std::string& subkey : hklm.EnumSubkeys(key)) {
      _RecurseAppendDeviceList_win9x(hklm, Join(relativePath, subkey), guidText);
    }
    return;
  }
  classGuid = classGuid.substr(0, kGuidTextLength);
  LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x() test guid=%s", classGuid.c_str());
  if (!CommsEqualNoCase(classGuid, guidText)) return;

  std::string candidate;
  std::string symbolicName;
  if (hklm.GetString(key, "SymbolicName", symbolicName)) {
    LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x() SymbolicName=%s",
             symbolicName.c_str());
    const std::string prefix = symbolicName.substr(0, sizeof kDosDevicesPrefix - 1);
    LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x()       prefix=%s", prefix.c_str());
    candidate = CommsEqualNoCase(prefix, kDosDevicesPrefix)
                    ? kWin32DevicePrefix + symbolicName.substr(sizeof kDosDevicesPrefix - 1)
                    : symbolicName;
    LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x() found SymbolicName=%s",
             candidate.c_str());
  }
  std::string path;
  std::string portName;
  const bool hasPortName = hklm.GetString(key, "PortName", portName);
  if (!candidate.empty() || !hasPortName) {
    path = _FindDeviceInstance_win9x(hklm, relativePath);
  } else if (portName.rfind("COM", 0) == 0) {
    path = portName;
    LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x() found PortName=%s", path.c_str());
  }
  if (path.empty()) return;
  std::string friendlyName;
  hklm.GetString(key, "FriendlyName", friendlyName);
  LogWrite(LOG_INFO, "CCommsDevice::_RecurseAppendDeviceList_win9x() found friendly name=%s",
           friendlyName.c_str());
  _AppendDevice(path, friendlyName);
}

std::string CCommsDevice::_FindDeviceInstance_win9x(const CRegistry& hklm, const std::string& instancePath) {
  LogWrite(LOG_INFO, "CCommsDevice::_FindDeviceInstance_win9x() %s", instancePath.c_str());
  if (!hklm.KeyExists(kDeviceClassesKey)) return {};
  return _RecurseDeviceInstance_win9x(hklm, "", instancePath);
}

std::string CCommsDevice::_RecurseDeviceInstance_win9x(const CRegistry& hklm, const std::string& relativePath,
                                                       const std::string& instancePath) {
  LogWrite(LOG_INFO, "CCommsDevice::_RecurseDeviceInstance_win9x() DeviceClasses\\%s", relativePath.c_str());
  LogWrite(LOG_INFO, "   deviceInstance=%s", instancePath.c_str());
  const std::string key = Join(kDeviceClassesKey, relativePath);
  std::string deviceInstance;
  if (hklm.GetString(key, "DeviceInstance", deviceInstance)) {
    LogWrite(LOG_INFO, "CCommsDevice::_RecurseDeviceInstance_win9x() test deviceInstance=%s",
             deviceInstance.c_str());
    return deviceInstance == instancePath ? _RecurseValue_win9x(hklm, key, "SymbolicLink") : std::string();
  }
  for (const std::string& subkey : hklm.EnumSubkeys(key)) {
    std::string found = _RecurseDeviceInstance_win9x(hklm, Join(relativePath, subkey), instancePath);
    if (!found.empty()) return found;
  }
  return {};
}

std::string CCommsDevice::_RecurseValue_win9x(const CRegistry& hklm, const std::string& key,
                                              const std::string& valueName) {
  LogWrite(LOG_INFO, "CCommsDevice::_RecurseValue_win9x() %s", key.c_str());
  std::string value;
  if (hklm.GetString(key, valueName, value)) {
    value = value.substr(0, kValueTextLength);
    LogWrite(LOG_INFO, "CCommsDevice::_RecurseValue_win9x() found: %s=%s", valueName.c_str(), value.c_str());
    return value;
  }
  for (const std::string& subkey : hklm.EnumSubkeys(key)) {
    std::string found = _RecurseValue_win9x(hklm, Join(key, subkey), valueName);
    if (!found.empty()) return found;
  }
  return {};
}
