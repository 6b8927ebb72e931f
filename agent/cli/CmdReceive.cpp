// qvagent-cli receive: downloads everything the receiver on the first port
// that answers (or on the port given) holds, as the receive thread does: runs,
// laps, track log, profile, workouts, occurrences and limits, linked; then
// optionally switches it off and writes the diagnostics report when the data
// call for one.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliPorts.h"
#include "data/GpsUnits.h"
#include "garmin/GpsGarmin.h"
#include "link/CommsDevice.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/Util.h"

void PrintReceiveSummary(const CGpsDataSet& set, FILE* out);

namespace {

// The UTC text of a point's time; "-" when it has none.
std::string PointTimeText(const CGpsDataTrackPoint* point) {
  const CGpsDataValue* time = point != nullptr ? point->FindValue(QUANTITY_TIME, MODIFIER_INSTANT) : nullptr;
  const std::string text = time != nullptr ? time->Format(UNIT_UNIXTIME) : std::string();
  return text.empty() ? "-" : text;
}

// The exchange document of what was received; with gzip it is compressed the
// way the upload queue holds documents (FILE.gz, the plain file removed). The
// compressed file appears only once it is complete.
int WriteDocument(CGpsGarmin& gps, const std::string& path, bool gzip) {
  if (gps.CreateQvxFile(path.c_str()) == 0) {
    return CliFailure("unable to write " + path + ": " + gps.GetErrorText() + " " +
                      CUtil::GetErrorText(gps.GetErrorCode()));
  }
  if (!gzip) {
    std::printf("Document written to %s\n", path.c_str());
    return CLI_OK;
  }
  const std::string target = path + "." + LoadString(IDS_EXT_GZ);
  const uint32_t error = CUtil::GzipFileWhole(path.c_str(), target.c_str());
  if (error != 0) return CliFailure("unable to compress " + path + ": " + CUtil::GetSystemMessage(error));
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::printf("Document written to %s\n", target.c_str());
  return CLI_OK;
}

// The report is written only when the data look incomplete.
int WriteDiagnostics(CGpsGarmin& gps, const std::string& path) {
  if (gps.IsRxDataValid()) {
    std::printf("Data consistent, no diagnostics file\n");
    return CLI_OK;
  }
  if (gps.DiagnosticsFileCreated(path.c_str()) == 0) return CliFailure("unable to write " + path);
  std::printf("Diagnostics written to %s\n", path.c_str());
  return CLI_OK;
}

int RunReceive(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  std::string port;
  std::string error;
  const bool portGiven = CliTakeOption(rest, "--port", port, error);
  if (!error.empty()) return CliUsageError(error);
  const bool summary = CliTakeFlag(rest, "--summary");
  const bool powerDown = CliTakeFlag(rest, "--powerdown");
  std::string diagnostics;
  const bool diagnosticsGiven = CliTakeOption(rest, "--diagnostics", diagnostics, error);
  if (!error.empty()) return CliUsageError(error);
  std::string out;
  const bool outGiven = CliTakeOption(rest, "--out", out, error);
  if (!error.empty()) return CliUsageError(error);
  const bool gzip = CliTakeFlag(rest, "--gzip");
  if (!CliTakeBitRateOption(rest, error)) return CliUsageError(error);
  if (gzip && !outGiven) return CliUsageError("--gzip needs --out FILE");
  if (!rest.empty()) return CliUsageError("unexpected argument '" + rest.front() + "'");

  const std::vector<CandidatePort> candidates = CandidatePorts(portGiven, port);
  if (portGiven && candidates.empty()) return CliUsageError("option --port needs a port");
  if (candidates.empty()) {
    std::printf("%s\n", LoadString(IDS_MSG_NO_DEVICE).c_str());
    return CLI_FAILED;
  }
  for (const CandidatePort& candidate : candidates) {
    std::unique_ptr<CGpsGarmin> gps = CreateReceiver(candidate);
    if (!gps->OpenGpsDevice(GPS_DIRECTION_RX)) {
      std::printf("%s\n", OpenFailureText(*gps, candidate).c_str());
      continue;
    }
    unsigned count = 0;
    const bool ok = gps->RxGpsData(count);
    if (ok && powerDown) {
      std::printf("%s\n", gps->PowerDown() ? "Receiver powered down" : "Unable to power down the receiver");
    }
    gps->CloseGpsDevice();
    const CGpsDataSet& set = gps->GetDataSet();
    if (summary) PrintReceiveSummary(set, stdout);
    std::printf("Received %d runs, %d laps, %d tracks, %d track points from %s\n", set.GetRuns().GetCount(),
                set.GetLaps().GetCount(), set.GetTracks().GetCount(), set.CountTrackPoints(),
                set.deviceDescription.c_str());
    if (ok) {
      std::printf("Received %d profiles, %d workouts, %d workout occurrences, %d workout limits\n",
                  set.GetProfiles().GetCount(), set.GetWorkouts().GetCount(), set.GetOccurrences().GetCount(),
                  set.GetLimits() != nullptr ? 1 : 0);
      std::printf("%u records received\n", count);
      if (outGiven) {
        const int rc = WriteDocument(*gps, out, gzip);
        if (rc != CLI_OK) return rc;
      }
      if (diagnosticsGiven) return WriteDiagnostics(*gps, diagnostics);
      return CLI_OK;
    }
    const std::string& text =
        !gps->GetErrorText().empty() ? gps->GetErrorText() : gps->GetCommsDevice()->GetErrorMessage();
    return CliFailure("receive failed: " + text);
  }
  std::fflush(stdout);
  return CLI_FAILED;
}

const CCliRegistrar registrar(
    {"receive",
     "receive [--port PORT] [--baud RATE] [--summary] [--powerdown] [--out FILE.qvx [--gzip]] "
     "[--diagnostics FILE]",
     "download everything from the receiver; --baud asks a serial receiver for RATE (0: stay at 9600), "
     "--summary lists the activities, --powerdown switches it off, --out writes the exchange document "
     "(--gzip: compressed as queued), --diagnostics writes FILE when the data look incomplete",
     RunReceive});

}  // namespace

// One line per track (id, ident, points, segments, first and last time), per
// lap (position, track index, first and last point id) and per run.
void PrintReceiveSummary(const CGpsDataSet& set, FILE* out) {
  for (const CGpsDataTrack* track : set.GetTracks()) {
    std::fprintf(out, "track %s \"%s\" points=%d segments=%d first=%s last=%s\n", track->GetId().c_str(),
                 track->ident.c_str(), track->GetPoints().GetCount(), track->GetSegments().GetCount(),
                 PointTimeText(track->GetPoints().GetHead()).c_str(),
                 PointTimeText(track->GetPoints().GetTail()).c_str());
  }
  int index = 0;
  for (const CGpsDataLap* lap : set.GetLaps()) {
    std::fprintf(out, "lap %d track=%d first=%s last=%s%s\n", index++, lap->trackIndex,
                 lap->firstId.empty() ? "-" : lap->firstId.c_str(),
                 lap->lastId.empty() ? "-" : lap->lastId.c_str(), lap->pending != 0 ? "" : " (no track)");
  }
  index = 0;
  for (const CGpsDataRun* run : set.GetRuns()) {
    std::fprintf(out, "run %d track=%d laps=%d-%d sport=%d\n", index++, run->trackIndex, run->firstLapIndex,
                 run->lastLapIndex, run->sport);
  }
}
