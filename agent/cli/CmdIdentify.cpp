// qvagent-cli identify: validates the receiver on the first port that
// answers (or on the port given) and prints what it reported.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliCommand.h"
#include "garmin/GarminErrors.h"
#include "link/CommsSerial.h"
#include "link/GpsGarminSerial.h"
#include "link/GpsGarminUsb.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/Util.h"

namespace {

struct CandidatePort {
  std::string path;
  std::string friendlyName;
  bool usb = false;
};

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

std::string ProtocolList(const CGpsGarmin& gps) {
  std::string text;
  for (size_t i = 0; i < gps.GetProtocolCount(); ++i) {
    if (!text.empty()) text += ' ';
    text += FormatProtocolTag(gps.GetProtocols()[i]);
  }
  return text;
}

// What the receive search reports for a port where validation failed.
std::string FailureText(CGpsGarmin& gps, const CandidatePort& port) {
  const std::string& product = gps.GetDataSet().deviceDescription;
  const std::string location = product.empty() ? port.friendlyName : product + " on " + port.friendlyName;
  const uint32_t code = HRESULT_CODE(gps.GetErrorCode());
  const bool unsupported = code == GARMIN_ERROR_UNSUPPORTED_LINK || code == ERROR_READ_FAULT;
  return FormatStatus(unsupported ? IDS_STATUS_UNSUPPORTED_FOUND : IDS_STATUS_NO_DEVICE_ON, location);
}

bool Identify(CGpsGarmin& gps, const CandidatePort& port) {
  gps.GetDataSet().Clear();
  CCommsDevice* comms = gps.GetCommsDevice();
  comms->ResetError();
  gps.CGpsGarmin::ResetError();
  comms->SetDevicePath(port.path);
  comms->SetFriendlyName(port.friendlyName);
  comms->SetTimeout(CUtil::GetDeviceTimeout());
  if (!gps.OpenGpsDevice(GPS_DIRECTION_TX)) return false;
  const CGpsDataSet& set = gps.GetDataSet();
  std::printf("Product: %s\n", set.deviceDescription.c_str());
  std::printf("Product ID: %s\n", set.productId.c_str());
  std::printf("Software version: %s\n", set.firmwareVersion.c_str());
  std::printf("Serial number: %s\n", set.serialNumber.c_str());
  std::printf("Protocols: %s\n", ProtocolList(gps).c_str());
  std::printf("Prefix: %s\n", set.prefix.c_str());
  gps.CloseGpsDevice();
  return true;
}

int RunIdentify(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  std::string port;
  std::string error;
  const bool portGiven = CliTakeOption(rest, "--port", port, error);
  if (!error.empty()) return CliUsageError(error);
  if (!rest.empty()) return CliUsageError("unexpected argument '" + rest.front() + "'");

  std::vector<CandidatePort> candidates;
  if (portGiven) {
    if (port.rfind("serial:", 0) == 0) port = port.substr(7);
    if (port.empty()) return CliUsageError("option --port needs a port");
    candidates.push_back({port, port, IsUsbPath(port)});
  } else {
    // USB first: a receiver there answers at once, a serial search may wait on every port.
    CGpsGarminUsb usb;
    for (bool found = usb.FindFirstCommsDevice(); found; found = usb.FindNextCommsDevice()) {
      candidates.push_back({usb.GetDevicePath(), usb.GetFriendlyName(), true});
    }
    CCommsSerial serial;
    for (bool found = serial.FindFirstCommsDevice(); found; found = serial.FindNextCommsDevice()) {
      candidates.push_back({serial.GetDevicePath(), serial.GetFriendlyName(), false});
    }
  }
  if (candidates.empty()) {
    std::printf("%s\n", LoadString(IDS_MSG_NO_DEVICE).c_str());
    return CLI_FAILED;
  }
  // What went wrong on each port is shown only when no port answered.
  std::vector<std::string> failures;
  CGpsGarminSerial serialGps;
  CGpsGarminUsb usbGps;
  for (const CandidatePort& candidate : candidates) {
    CGpsGarmin& gps = candidate.usb ? static_cast<CGpsGarmin&>(usbGps) : static_cast<CGpsGarmin&>(serialGps);
    if (Identify(gps, candidate)) return CLI_OK;
    failures.push_back(FailureText(gps, candidate));
  }
  for (const std::string& text : failures) std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  return CLI_FAILED;
}

const CCliRegistrar registrar({"identify", "identify [--port PORT]",
                               "identify the receiver on the first port that answers, or on PORT",
                               RunIdentify});

}  // namespace
