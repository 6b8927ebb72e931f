// qvagent-cli identify: validates the receiver on the first port that
// answers (or on the port given) and prints what it reported.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliPorts.h"
#include "garmin/GpsGarmin.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

namespace {

std::string ProtocolList(const CGpsGarmin& gps) {
  std::string text;
  for (size_t i = 0; i < gps.GetProtocolCount(); ++i) {
    if (!text.empty()) text += ' ';
    text += FormatProtocolTag(gps.GetProtocols()[i]);
  }
  return text;
}

void PrintIdentity(const CGpsGarmin& gps) {
  const CGpsDataSet& set = gps.GetDataSet();
  std::printf("Product: %s\n", set.deviceDescription.c_str());
  std::printf("Product ID: %s\n", set.productId.c_str());
  std::printf("Software version: %s\n", set.firmwareVersion.c_str());
  std::printf("Serial number: %s\n", set.serialNumber.c_str());
  std::printf("Protocols: %s\n", ProtocolList(gps).c_str());
  std::printf("Prefix: %s\n", set.prefix.c_str());
}

int RunIdentify(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  std::string port;
  std::string error;
  const bool portGiven = CliTakeOption(rest, "--port", port, error);
  if (!error.empty()) return CliUsageError(error);
  if (!rest.empty()) return CliUsageError("unexpected argument '" + rest.front() + "'");

  const std::vector<CandidatePort> candidates = CandidatePorts(portGiven, port);
  if (portGiven && candidates.empty()) return CliUsageError("option --port needs a port");
  if (candidates.empty()) {
    std::printf("%s\n", LoadString(IDS_MSG_NO_DEVICE).c_str());
    return CLI_FAILED;
  }
  // What went wrong on each port is shown only when no port answered.
  std::vector<std::string> failures;
  for (const CandidatePort& candidate : candidates) {
    std::unique_ptr<CGpsGarmin> gps = CreateReceiver(candidate);
    if (gps->OpenGpsDevice(GPS_DIRECTION_TX)) {
      PrintIdentity(*gps);
      gps->CloseGpsDevice();
      return CLI_OK;
    }
    failures.push_back(OpenFailureText(*gps, candidate));
  }
  for (const std::string& text : failures) std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  return CLI_FAILED;
}

const CCliRegistrar registrar({"identify", "identify [--port PORT]",
                               "identify the receiver on the first port that answers, or on PORT",
                               RunIdentify});

}  // namespace
