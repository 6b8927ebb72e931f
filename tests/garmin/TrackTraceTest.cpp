// The trace lines of the track, lap and run transfers and of the linking,
// exactly as support staff search for them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "data/LapLinking.h"
#include "garmin/TrackDecoders.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

using namespace rxtest;

struct TraceCase {
  const char* legend;
  std::function<void()> run;
  std::vector<std::string> lines;
};

Bytes D303(uint32_t time, int32_t lat, uint8_t heartRate) {
  Bytes b(17, 0);
  PutU32(b, 0, static_cast<uint32_t>(lat));
  PutU32(b, 4, static_cast<uint32_t>(lat));
  PutU32(b, 8, time);
  PutF32(b, 12, 1.0e25f);
  PutU8(b, 16, heartRate);
  return b;
}

void Decode303(const Bytes& b) {
  CGpsDataSet set;
  DecodeD303TrackPoint(b.data(), b.size(), *set.AddTrack("", -1));
}

void Transfer(std::initializer_list<const char*> protocols, uint16_t command,
              std::vector<ScriptPacket> packets, bool (CGpsGarmin::*step)()) {
  CScriptedGarmin gps;
  gps.Protocols(protocols);
  gps.Answer(command, std::move(packets));
  (gps.*step)();
}

TEST(TrackTrace, TransfersDecodersAndLinkingAreTraced) {
  qvtest::CTempDir dir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));
  const std::vector<TraceCase> cases = {
      {"D303 point without time, position or heart rate",
       [] { Decode303(D303(0, 0x7FFFFFFF, 0)); },
       {"Rx D303 Track point: ignored (invalid time, position & heartrate)"}},
      {"D303 point without time and position",
       [] { Decode303(D303(0xFFFFFFFF, 0x7FFFFFFF, 120)); },
       {"Rx D303 Track point: ignored (invalid time & position)"}},
      {"D303 point without time",
       [] { Decode303(D303(0, 5, 0)); },
       {"Rx D303 Track point: ignored (invalid time)"}},
      {"short D303 point", [] { Decode303(Bytes(16, 0)); }, {"Rx D303 Track point: bad data"}},
      {"A301 transfer",
       [] {
         Transfer({"A301", "D311", "D304"}, CMD_TRANSFER_TRK,
                  {Records(2),
                   {APP_PID_TRK_HDR, D311Header(4)},
                   {77, {9}},
                   {APP_PID_TRK_DATA, D304Point(1000)},
                   Complete(6)},
                  &CGpsGarmin::RxGpsDataTracks);
       },
       {"RxA301A302TrackLog(): CMD_TRANSFER_TRK", "APP_PID_RECORDS", "APP_PID_TRK_HDR",
        "D311 track header: index=4",
        "CGpsGarmin::RxA301A302TrackLog: unexpected PID ignored: 77, datasize=1, data=9", "APP_PID_TRK_DATA",
        "APP_PID_XFER_CMPLT"}},
      {"A300 count mismatch",
       [] {
         Transfer({"A300", "D304"}, CMD_TRANSFER_TRK, {Records(2), Complete(6)},
                  &CGpsGarmin::RxGpsDataTracks);
       },
       {"RxA300TrackLog(): CMD_TRANSFER_TRK", "Rx A300 Track: 2 packets expected, 0 packets received"}},
      {"A301 too many and no tracks",
       [] {
         Transfer({"A301", "D310", "D304"}, CMD_TRANSFER_TRK, {Records(0), {APP_PID_TRK_DATA, D304Point(1)}},
                  &CGpsGarmin::RxGpsDataTracks);
       },
       {"RxA301A302TrackLog(): no tracks available", "Rx A301/A302 Track: too many packets"}},
      {"no track protocol",
       [] { Transfer({"A906"}, CMD_TRANSFER_TRK, {}, &CGpsGarmin::RxGpsDataTracks); },
       {"CGpsGarmin::RxGpsDataTracks(): track log transfer protocol unsupported"}},
      {"laps",
       [] {
         Transfer({"A906", "D906"}, CMD_TRANSFER_LAPS, {Records(0), {APP_PID_LAP, Bytes(31, 0)}},
                  &CGpsGarmin::RxGpsDataLaps);
       },
       {"A906Lap(): CMD_TRANSFER_LAPS", "RxA906Lap(): no laps available", "APP_PID_LAP",
        "Rx A906 Lap: too many packets"}},
      {"short lap",
       [] {
         Transfer({"A906", "D1011"}, CMD_TRANSFER_LAPS, {Records(1), {APP_PID_LAP, Bytes(42, 0)}},
                  &CGpsGarmin::RxGpsDataLaps);
       },
       {"D1011 lap"}},
      {"runs",
       [] {
         Transfer({"A1000", "D1009"}, CMD_TRANSFER_RUNS,
                  {Records(1), {APP_PID_RUN, D1009Run(0xFFFF, 1, 2, 1)}, Complete(450)},
                  &CGpsGarmin::RxGpsDataRuns);
       },
       {"A1000Run(): CMD_TRANSFER_RUNS", "RxA1000Run(): APP_PID_RECORDS 1", "APP_PID_RUN (1 of 1)",
        "Rx D1009 Run: trackId=-1 firstLapIndex=1 lastLapIndex=2",
        "              nSportType=1, nProgramType=0, nMultisport=0"}},
      {"run count without its count",
       [] {
         Transfer({"A1000", "D1000"}, CMD_TRANSFER_RUNS, {{APP_PID_RECORDS, {1}}},
                  &CGpsGarmin::RxGpsDataRuns);
       },
       {"RxA1000Run(): returned packet size = 1"}},
      {"no lap and run protocols",
       [] {
         CScriptedGarmin gps;
         gps.RxGpsDataLaps();
         gps.RxGpsDataRuns();
       },
       {"CGpsGarmin::RxGpsDataLaps(): lap transfer protocol unsupported",
        "CGpsGarmin::RxGpsDataRuns(): run transfer protocol unsupported"}},
      {"linking",
       [] {
         CGpsDataSet set;
         set.prefix = "p";
         CGpsDataTrack* track = set.AddTrack("", 0);
         track->AddPoint(0)->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1000);
         CGpsDataLap* lap = set.AddLap();
         lap->trackIndex = 7;
         lap->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, 1000);
         CGpsDataLap* open = set.AddLap();
         open->trackIndex = 0;
         open->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, 1000);
         LinkD906LapGroups(set);
         CGpsDataRun run;
         run.trackIndex = 0;
         run.firstLapIndex = 1;
         run.lastLapIndex = 1;
         LinkRunLaps(set, run);
         run.trackIndex = 3;
         LinkRunLaps(set, run);
       },
       {"CGpsGarmin::LinkD906Laps(): No track found with trackIndex=7",
        "CGpsGarmin::LinkD906Laps(): first track point=p-0-1",
        "CGpsGarmin::LinkD906Laps(): track point for end of lap not found. End lap time=0",
        "CGpsGarmin::LinkD906Laps(): start track point id=p-0-1",
        "CGpsGarmin::LinkRun(): trackIndex=0, firstLapIndex=1, lastLapIndex=1",
        "CGpsGarmin::LinkRun(): track point for end of lap not found (lapIndex 1). End lap time=0",
        "CGpsGarmin::LinkRun(): start track point id=p-0-1 (lapIndex 1)",
        "CGpsGarmin::LinkRun(): No track found with trackIndex=3"}},
  };
  std::vector<size_t> ends;
  for (const TraceCase& c : cases) {
    c.run();
    ends.push_back(qvtest::ReadFile(LogPath()).size());
  }
  const std::string trace = qvtest::ReadFile(LogPath());
  LogClose();
  size_t begin = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].legend);
    const std::string part = trace.substr(begin, ends[i] - begin);
    size_t at = 0;
    // In this order.
    for (const std::string& line : cases[i].lines) {
      const size_t found = part.find(line, at);
      EXPECT_NE(found, std::string::npos) << line;
      if (found != std::string::npos) at = found + line.size();
    }
    begin = ends[i];
  }
}

}  // namespace
