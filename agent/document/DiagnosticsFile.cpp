// The plain-text report written next to an exchange document when a
// retrieval delivered data that looks incomplete, so that the service's staff
// can see what the receiver sent.
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "data/GpsDevice.h"
#include "data/GpsUnits.h"
#include "data/TimeText.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

// The report was first written by a text-mode stream that stored every line
// end as CR LF; the service's tools read it that way, so it keeps them.
class CReportFile {
public:
  explicit CReportFile(FILE* file) : m_file(file) {}
  __attribute__((format(printf, 2, 3))) void Line(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::string text;
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof buffer) {
      text.assign(buffer, static_cast<size_t>(n));
    } else {
      text.resize(static_cast<size_t>(n) + 1);
      va_start(args, format);
      std::vsnprintf(text.data(), text.size(), format, args);
      va_end(args);
      text.resize(static_cast<size_t>(n));
    }
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    std::fwrite(out.data(), 1, out.size(), m_file);
  }

private:
  FILE* m_file;
};

const char* Dash(const std::string& text) {
  return text.empty() ? "-" : text.c_str();
}

void WriteLaps(CReportFile& report, const CGpsDataSet& data) {
  const auto& laps = data.GetLaps();
  if (laps.IsEmpty()) {
    report.Line("\nLaps: none\n");
    return;
  }
  report.Line("\nLaps[%d]: trackIdx firstTm lastTm durtn firstId lastId\n", laps.GetCount());
  int position = 0;
  for (const CGpsDataLap* lap : laps) {
    const CGpsDataValue* start = nullptr;
    const CGpsDataValue* end = nullptr;
    const CGpsDataValue* duration = nullptr;
    for (const CGpsDataValue* value : lap->GetValues()) {
      if (value->GetQuantity() != QUANTITY_TIME) continue;
      if (value->GetModifier() == MODIFIER_START) start = value;
      if (value->GetModifier() == MODIFIER_END) end = value;
      if (value->GetModifier() == MODIFIER_SUM) duration = value;
    }
    const std::string startText = start != nullptr ? start->Format(UNIT_UNIXTIME) : std::string();
    std::string endText = end != nullptr ? end->Format(UNIT_UNIXTIME) : std::string();
    const std::string durationText = duration != nullptr ? duration->Format(UNIT_SECONDS) : std::string();
    if (end == nullptr && start != nullptr && duration != nullptr) {
      int64_t endUnix = 0;
      if (GetEndFromDuration(*start, *duration, &endUnix)) endText = FormatUtcTime(endUnix);
    }
    report.Line("  [%02d]: %d %s %s %s %s %s\n", position++, lap->trackIndex, Dash(startText), Dash(endText),
                Dash(durationText), lap->firstId.c_str(), lap->lastId.c_str());
  }
}

// The id and the time text of a track's first or last point.
void PointColumns(const CGpsDataTrackPoint* point, std::string& id, std::string& time) {
  id.clear();
  time.clear();
  if (point == nullptr) return;
  id = point->GetId();
  if (const CGpsDataValue* value = point->FindValue(QUANTITY_TIME, MODIFIER_INSTANT)) {
    time = value->Format(UNIT_UNIXTIME);
  }
}

void WriteTracks(CReportFile& report, const CGpsDataSet& data) {
  const auto& tracks = data.GetTracks();
  if (tracks.IsEmpty()) {
    report.Line("\nTracks: none\n");
    return;
  }
  report.Line("\nTracks[%d]: id profile #pnts #segs firstTm lastTm firstId lastId\n", tracks.GetCount());
  for (const CGpsDataTrack* track : tracks) {
    std::string firstId, firstTime, lastId, lastTime;
    PointColumns(track->GetPoints().GetHead(), firstId, firstTime);
    PointColumns(track->GetPoints().GetTail(), lastId, lastTime);
    report.Line("  [%02d]: %s %s %u %u %s %s %s %s\n", track->index, track->GetId().c_str(),
                Dash(track->profile), static_cast<unsigned>(track->GetPoints().GetCount()),
                static_cast<unsigned>(track->GetSegments().GetCount()), Dash(firstTime), Dash(lastTime),
                Dash(firstId), Dash(lastId));
  }
}

}  // namespace

int CGpsDevice::DiagnosticsFileCreated(const char* path) {
  LogWrite(LOG_INFO, "CGpsDevice::DiagnosticsFileCreated()");
  if (IsRxDataValid()) return 0;
  FILE* file = path != nullptr ? std::fopen(path, "wb") : nullptr;
  if (file == nullptr) {
    LogWrite(LOG_ERROR, "CGpsDevice::DiagnosticsFileCreated() unable to create file");
    return 0;
  }
  const CGpsDataSet& data = GetDataSet();
  CReportFile report(file);

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char created[64];
  std::strftime(created, sizeof created, "%Y-%m-%d %H:%M:%S", &local);

  report.Line("Diagnostics\n");
  report.Line("%s %s\n", "Created: ", created);
  report.Line("%s %s\n", "QVAgent version: ", CUtil::GetVersion().c_str());
  report.Line("Device: %s %s\n", data.deviceName.c_str(), data.deviceDescription.c_str());
  report.Line("Firmware version: %s\n", data.firmwareVersion.c_str());
  report.Line("Product ID: %s\n", data.productId.c_str());
  report.Line("Serial#: %s\n", data.serialNumber.c_str());

  const auto& runs = data.GetRuns();
  if (runs.IsEmpty()) {
    report.Line("\nRuns: none\n");
  } else {
    report.Line("\nRuns[%d]: sport program multisport trackIdx firstLapIdx lastLapIdx\n", runs.GetCount());
    int position = 0;
    for (const CGpsDataRun* run : runs) {
      report.Line("  [%02d]: %d %d %d %d %u %u\n", position++, run->sport, run->program, run->multisport,
                  run->trackIndex, static_cast<unsigned>(run->firstLapIndex),
                  static_cast<unsigned>(run->lastLapIndex));
    }
  }

  WriteLaps(report, data);
  WriteTracks(report, data);

  const auto& profiles = data.GetProfiles();
  if (profiles.IsEmpty()) {
    report.Line("\nUser profiles: none\n");
  } else {
    report.Line("\nUser profiles[%d]: name desc\n", profiles.GetCount());
    int position = 0;
    for (const CGpsDataProfile* profile : profiles) {
      report.Line("  [%02d]: %s %s\n", position++, profile->namePair.name.c_str(),
                  profile->description.c_str());
    }
  }

  const int workouts = data.GetWorkouts().GetCount();
  if (workouts > 0) {
    report.Line("\nWorkouts: %d\n", workouts);
  } else {
    report.Line("\nWorkouts: none\n");
  }
  const int occurrences = data.GetOccurrences().GetCount();
  if (occurrences > 0) {
    report.Line("\nWorkout occurrences: %d\n", occurrences);
  } else {
    report.Line("\nWorkout occurrences: none\n");
  }
  if (data.GetLimits() != nullptr) {
    report.Line("\nWorkout limits: %d\n", 1);
  } else {
    report.Line("\nWorkout limits: none\n");
  }
  std::fclose(file);
  return 1;
}
