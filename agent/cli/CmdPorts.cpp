// qvagent-cli ports: the candidate ports a receiver search would try.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "link/CommsSerial.h"
#include "link/GpsGarminUsb.h"
#include "platform/PortEnumerator.h"
#include "util/Util.h"

namespace {

void PrintPort(const std::string& path, const std::string& friendlyName, PortKind kind) {
  std::printf("%s\t%s\t%s\n", path.c_str(), friendlyName.c_str(), CPortEnumerator::KindName(kind));
}

int RunPorts(const std::vector<std::string>& args) {
  if (!args.empty()) return CliUsageError("ports takes no arguments");
  // Serial ports as the receive search finds them, duplicates dropped.
  CCommsSerial serial;
  for (bool found = serial.FindFirstCommsDevice(); found; found = serial.FindNextCommsDevice()) {
    PrintPort(serial.GetDevicePath(), serial.GetFriendlyName(), PortKind::Serial);
  }
  if (serial.GetLastError() != S_OK)
    std::fprintf(stderr, "qvagent-cli: %s\n", serial.GetErrorMessage().c_str());
  CGpsGarminUsb usb;
  for (bool found = usb.FindFirstCommsDevice(); found; found = usb.FindNextCommsDevice()) {
    PrintPort(usb.GetDevicePath(), usb.GetFriendlyName(), PortKind::Usb);
  }
  if (usb.GetLastError() != S_OK) std::fprintf(stderr, "qvagent-cli: %s\n", usb.GetErrorMessage().c_str());
  std::fflush(stdout);
  return CLI_OK;
}

const CCliRegistrar registrar({"ports", "ports",
                               "list the ports a receiver is searched on (path, name, kind)", RunPorts});

}  // namespace
