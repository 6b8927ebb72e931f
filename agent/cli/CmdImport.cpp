// qvagent-cli import: reads an activity file (GPX, training-centre, KML) with
// the agent's import job and prints its final status line; --summary lists
// what the file held, --out writes the exchange document of it. With
// --queue the file goes unchanged to the upload queue instead, as the import
// page's "to the service" does, and --upload then sends the queue.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "document/QvxDocument.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/SyncWorkflow.h"
#include "threads/ThreadRxFile.h"
#include "threads/UploadWorkflow.h"
#include "util/Util.h"

namespace {

// The UTC text of a point's time; "-" when it has none.
std::string TimeText(const CGpsDataTrackPoint* point) {
  const CGpsDataValue* time = point != nullptr ? point->FindValue(QUANTITY_TIME, MODIFIER_INSTANT) : nullptr;
  const std::string text = time != nullptr ? time->Format(UNIT_UNIXTIME) : std::string();
  return text.empty() ? "-" : text;
}

int CountFilledSegments(const CGpsDataTrack& track) {
  int count = 0;
  for (const CGpsDataSegment* segment : track.GetSegments()) count += segment->first != nullptr ? 1 : 0;
  return count;
}

void PrintSummary(const CGpsDataSet& data) {
  for (const CGpsDataTrack* track : data.GetTracks()) {
    std::printf("track %d \"%s\" points=%d segments=%d first=%s last=%s\n", track->index,
                track->ident.c_str(), track->GetPoints().GetCount(), CountFilledSegments(*track),
                TimeText(track->GetPoints().GetHead()).c_str(),
                TimeText(track->GetPoints().GetTail()).c_str());
  }
  int index = 0;
  for (const CGpsDataLap* lap : data.GetLaps()) {
    std::printf("lap %d first=%s last=%s\n", index++, lap->firstId.empty() ? "-" : lap->firstId.c_str(),
                lap->lastId.empty() ? "-" : lap->lastId.c_str());
  }
  index = 0;
  for (const CGpsDataRun* run : data.GetRuns()) {
    std::printf("run %d track=%d laps=%d-%d sport=%d program=%d multisport=%d\n", index++, run->trackIndex,
                run->firstLapIndex, run->lastLapIndex, run->sport, run->program, run->multisport);
  }
  for (const CGpsDataCourse* course : data.GetCourses()) {
    std::printf(
        "course \"%s\" laps=%zu points=%d course-points=%d\n", course->name.c_str(), course->GetLaps().size(),
        course->track != nullptr ? course->track->GetPoints().GetCount() : 0, course->GetPoints().GetCount());
  }
}

// The document prints a point's position only in the form a receiver
// delivers it (semicircles); positions read from files are decimal degrees,
// so each such point gets its position in that form too before the document
// is written, and the document carries the points' positions.
bool AddReceiverPositions(CGpsDataSet& data) {
  // 2^31 semicircles are 180 degrees; rounded, so that the degrees read back
  // as written.
  const auto semicircles = [](float degrees) {
    const double value = std::round(static_cast<double>(degrees) * (2147483648.0 / 180.0));
    return static_cast<int>(std::clamp(value, -2147483648.0, 2147483647.0));
  };
  for (CGpsDataTrack* track : data.GetTracks()) {
    for (CGpsDataTrackPoint* point : track->GetPoints()) {
      const CGpsDataValue* position = point->FindValue(QUANTITY_POSITION, MODIFIER_INSTANT);
      float longitude = 0;
      float latitude = 0;
      if (position == nullptr || position->GetUnit() != UNIT_DEGREES ||
          !position->GetPairFloat(UNIT_DEGREES, &longitude, &latitude) || !std::isfinite(longitude) ||
          !std::isfinite(latitude)) {
        continue;
      }
      if (point->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, semicircles(longitude),
                            semicircles(latitude)) == nullptr) {
        return false;
      }
    }
  }
  return true;
}

int QueueFile(const std::string& file, bool timeConflicts, bool upload) {
  std::string queued;
  std::string error;
  if (!CSyncWorkflow::QueueImportFile(file, timeConflicts ? 1 : 0, queued, error)) {
    return CliFailure("unable to queue " + file + ": " + error);
  }
  std::printf("Queued %s\n", queued.c_str());
  std::fflush(stdout);
  if (!upload) return CLI_OK;
  std::string finalLine;
  const int result = RunUploadJob([&](const std::string& line) { finalLine = line; });
  std::printf("%s\n", finalLine.c_str());
  std::fflush(stdout);
  return result == 1 ? CLI_OK : CLI_FAILED;
}

int RunImport(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  std::string error;
  std::string out;
  const bool outGiven = CliTakeOption(rest, "--out", out, error);
  if (!error.empty()) return CliUsageError(error);
  const bool summary = CliTakeFlag(rest, "--summary");
  const bool queue = CliTakeFlag(rest, "--queue");
  const bool timeConflicts = CliTakeFlag(rest, "--time-conflicts");
  const bool upload = CliTakeFlag(rest, "--upload");
  if (rest.empty()) return CliUsageError("import needs a FILE");
  const std::string file = rest.front();
  rest.erase(rest.begin());
  if (!rest.empty()) return CliUsageError("unexpected argument '" + rest.front() + "'");
  if ((timeConflicts || upload) && !queue) return CliUsageError("--time-conflicts and --upload need --queue");
  if (queue && (summary || outGiven))
    return CliUsageError("--queue sends the file unread: no --summary or --out");
  if (queue) return QueueFile(file, timeConflicts, upload);

  CThreadRxFile thread;
  thread.SetImportPath(file);
  thread.GetStatusList().Append(STATUS_BUSY, IDS_STATUS_READING_FILE);
  const WorkerOutcome outcome = RunWorkerToCompletion(
      thread, thread.GetStatusList(), [&](CMessageWindow* owner) { return thread.StartThread(owner); });
  if (!outcome.lines.empty()) std::printf("%s\n", StatusLineToText(outcome.lines.back().text).c_str());
  std::fflush(stdout);
  CGpsDataSet* data = thread.GetImportedData();
  if (outcome.result != 1 || data == nullptr) return CLI_FAILED;
  if (summary) PrintSummary(*data);
  if (outGiven) {
    CQvxDocument document;
    if (!AddReceiverPositions(*data)) return CliFailure(LoadString(IDS_ERR_OUT_OF_MEMORY));
    if (!document.Create(*data, out.c_str())) {
      return CliFailure("unable to write " + out + ": " + LoadString(document.GetErrorId()) + " " +
                        CUtil::GetErrorText(document.GetErrorCode()));
    }
    std::printf("Document written to %s\n", out.c_str());
  }
  std::fflush(stdout);
  return CLI_OK;
}

const CCliRegistrar registrar(
    {"import", "import FILE [--summary] [--out FILE.qvx] | import FILE --queue [--time-conflicts] [--upload]",
     "read an activity file (GPX, TCX/HST/CRS, KML); --summary lists its tracks, laps, runs and courses, "
     "--out "
     "writes its exchange document; --queue puts the file unchanged into the upload queue (--time-conflicts: "
     "the resend queue), --upload then sends the queue",
     RunImport});

}  // namespace
