#include "cli/CliPorts.h"

#include <cstdio>

#include "garmin/GarminErrors.h"
#include "link/CommsSerial.h"
#include "link/GpsGarminSerial.h"
#include "link/GpsGarminUsb.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/Util.h"

namespace {

bool IsUsbPath(const std::string& path) {
  return path.rfind("usb:", 0) == 0 || path.rfind("usbsim:", 0) == 0;
}

// A status text of the string table with its one "%s" filled in.
std::string FormatStatus(unsigned id, const std::string& argument) {
  const std::string format = LoadString(id);
  std::string text;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == 's') {
        text += argument;
        ++i;
        continue;
      }
      if (format[i + 1] == '%') ++i;
    }
    text += format[i];
  }
  return text;
}

}  // namespace

std::vector<CandidatePort> CandidatePorts(bool portGiven, const std::string& port) {
  std::vector<CandidatePort> candidates;
  if (portGiven) {
    const std::string path = port.rfind("serial:", 0) == 0 ? port.substr(7) : port;
    if (!path.empty()) candidates.push_back({path, path, IsUsbPath(path)});
    return candidates;
  }
  CGpsGarminUsb usb;
  for (bool found = usb.FindFirstCommsDevice(); found; found = usb.FindNextCommsDevice()) {
    candidates.push_back({usb.GetDevicePath(), usb.GetFriendlyName(), true});
  }
  // The search goes on with the other kind, but the user learns why no USB
  // receiver could be found.
  if (usb.GetLastError() != S_OK) std::fprintf(stderr, "qvagent-cli: %s\n", usb.GetErrorMessage().c_str());
  CCommsSerial serial;
  for (bool found = serial.FindFirstCommsDevice(); found; found = serial.FindNextCommsDevice()) {
    candidates.push_back({serial.GetDevicePath(), serial.GetFriendlyName(), false});
  }
  return candidates;
}

std::unique_ptr<CGpsGarmin> CreateReceiver(const CandidatePort& port) {
  std::unique_ptr<CGpsGarmin> gps;
  if (port.usb) {
    gps = std::make_unique<CGpsGarminUsb>();
  } else {
    gps = std::make_unique<CGpsGarminSerial>();
  }
  CCommsDevice* comms = gps->GetCommsDevice();
  comms->SetDevicePath(port.path);
  comms->SetFriendlyName(port.friendlyName);
  comms->SetTimeout(CUtil::GetDeviceTimeout());
  return gps;
}

std::string OpenFailureText(CGpsGarmin& gps, const CandidatePort& port) {
  const std::string& product = gps.GetDataSet().deviceDescription;
  const std::string location = product.empty() ? port.friendlyName : product + " on " + port.friendlyName;
  const uint32_t code = HRESULT_CODE(gps.GetErrorCode());
  const bool unsupported = code == GARMIN_ERROR_UNSUPPORTED_LINK || code == ERROR_READ_FAULT;
  return FormatStatus(unsupported ? IDS_STATUS_UNSUPPORTED_FOUND : IDS_STATUS_NO_DEVICE_ON, location);
}
