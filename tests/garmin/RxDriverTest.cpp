// The whole download from a scripted receiver: the order of the transfers,
// which failures end it, the record count and the linking that follows;
// switching the receiver off; the test that decides on a diagnostics report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

using namespace rxtest;

constexpr uint32_t kStart = 1000000000;  // device seconds of the first point

const std::vector<uint16_t> kAllCommands = {CMD_TRANSFER_RUNS,          CMD_TRANSFER_LAPS,
                                            CMD_TRANSFER_TRK,           CMD_TRANSFER_USER_PROFILE,
                                            CMD_TRANSFER_WORKOUTS,      CMD_TRANSFER_WORKOUT_OCCURRENCES,
                                            CMD_TRANSFER_WORKOUT_LIMITS};

// A Forerunner-class receiver: one run of sport 1 over track 0 with two laps
// of 5 minutes, a track of 11 points a minute apart, the profile (biking with
// heart-rate zones), two workouts, three occurrences and the limits.
void ScriptForerunner(CScriptedGarmin& gps) {
  gps.GetDataSet().productId = "484";
  gps.Protocols({"P000", "L001", "A010", "A1000", "D1009", "A906", "D1001", "A302", "D311", "D304", "A1004",
                 "D1004", "A1002", "D1002", "A1003", "D1003", "A1005", "D1005"});
  gps.Answer(CMD_TRANSFER_RUNS, Counted(CMD_TRANSFER_RUNS, APP_PID_RUN, {D1009Run(0, 0, 1, 1)}));
  gps.Answer(CMD_TRANSFER_LAPS, Counted(CMD_TRANSFER_LAPS, APP_PID_LAP,
                                        {D1001Lap(kStart, 30000), D1001Lap(kStart + 300, 30000)}));
  std::vector<ScriptPacket> track{Records(12), {APP_PID_TRK_HDR, D311Header(0)}};
  for (uint32_t i = 0; i <= 10; ++i) track.push_back({APP_PID_TRK_DATA, D304Point(kStart + 60 * i)});
  track.push_back(Complete(CMD_TRANSFER_TRK));
  gps.Answer(CMD_TRANSFER_TRK, track);
  CD1004 profile;
  for (int i = 0; i < 5; ++i) profile.HeartRateZone(1, i, static_cast<uint8_t>(100 + 10 * i), 110 + 10 * i);
  gps.Answer(CMD_TRANSFER_USER_PROFILE, {{APP_PID_USER_PROFILE, profile.bytes}});
  gps.Answer(CMD_TRANSFER_WORKOUTS,
             Counted(CMD_TRANSFER_WORKOUTS, APP_PID_WORKOUT,
                     {CD1002().Sport(1).AddStep({"Hill", 0, 0, 600, 1, 0, 1, 2}).bytes, CD1002().bytes}));
  gps.Answer(CMD_TRANSFER_WORKOUT_OCCURRENCES,
             Counted(CMD_TRANSFER_WORKOUT_OCCURRENCES, APP_PID_WORKOUT_OCCURRENCE,
                     {Bytes(20, 0), Bytes(20, 0), Bytes(20, 0)}));
  gps.Answer(CMD_TRANSFER_WORKOUT_LIMITS, {{APP_PID_WORKOUT_LIMITS, Bytes(12, 0)}});
}

constexpr unsigned kForerunnerRecords = 1 + 2 + 11 + 3 + 2 + 3 + 1;

TEST(RxDriver, FullDownloadInOrderWithLinking) {
  CScriptedGarmin gps;
  ScriptForerunner(gps);
  // Whatever an earlier download left goes first.
  gps.GetDataSet().AddWorkout();
  unsigned count = 99;
  ASSERT_TRUE(gps.RxGpsData(count));
  EXPECT_EQ(count, kForerunnerRecords);
  EXPECT_EQ(gps.commands, kAllCommands);
  EXPECT_EQ(gps.GetErrorCode(), S_OK);

  const CGpsDataSet& set = gps.GetDataSet();
  EXPECT_EQ(set.GetWorkouts().GetCount(), 2);
  ASSERT_EQ(set.GetTracks().GetCount(), 1);
  const CGpsDataTrack& track = *set.GetTracks().GetHead();
  const std::string prefix = set.prefix;
  // The run's sport picks the biking profile for its track.
  EXPECT_EQ(track.activityName, "1");
  EXPECT_EQ(track.profile, prefix + "-D1004-1");
  const CGpsDataLap& first = *set.GetLaps().GetHead();
  const CGpsDataLap& second = *set.GetLaps().GetTail();
  EXPECT_EQ(first.firstId, track.GetId() + "-1");
  EXPECT_EQ(first.lastId, track.GetId() + "-6");
  EXPECT_EQ(second.firstId, track.GetId() + "-6");
  EXPECT_EQ(second.lastId, track.GetId() + "-11");
  // The profile arrived before the workouts, so zone targets refer to it.
  const CGpsDataWorkoutStep& step = *set.GetWorkouts().GetHead()->GetSteps().GetHead();
  EXPECT_EQ(step.GetValues().GetTail()->GetReference(), prefix + "-D1004-1-heart_rate_zones-1");
  EXPECT_TRUE(gps.IsRxDataValid());
}

TEST(RxDriver, WhichFailuresEndTheDownload) {
  struct Case {
    const char* legend;
    void (*change)(CScriptedGarmin& gps);
    bool ok;
    std::vector<uint16_t> commands;
    HRESULT gpsError;
    unsigned messageId;  // with gpsError
    bool commsError;
    unsigned count;  // when ok
  };
  const std::vector<uint16_t> fromTracks(kAllCommands.begin() + 2, kAllCommands.end());
  const Case cases[] = {
      {"no runs and no laps: the track log still comes",
       [](CScriptedGarmin& gps) {
         gps.Protocols({"L001", "A302", "D311", "D304", "A1004", "D1004", "A1002", "D1002", "A1003", "D1003",
                        "A1005", "D1005"});
       },
       true, fromTracks, S_OK, 0, false, 11 + 3 + 2 + 3 + 1},
      {"run data type missing",
       [](CScriptedGarmin& gps) {
         gps.Protocols({"L001", "A1000", "A906", "D1001", "A302", "D311", "D304"});
       },
       true,
       {CMD_TRANSFER_LAPS, CMD_TRANSFER_TRK},
       S_OK,
       0,
       false,
       2 + 11},
      {"malformed run ends it before laps and tracks",
       [](CScriptedGarmin& gps) {
         gps.Answer(CMD_TRANSFER_RUNS, Counted(CMD_TRANSFER_RUNS, APP_PID_RUN, {Bytes(100, 0)}));
       },
       false,
       {CMD_TRANSFER_RUNS},
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       false,
       0},
      {"lost laps end it",
       [](CScriptedGarmin& gps) {
         gps.Answer(CMD_TRANSFER_LAPS,
                    {Records(3), {APP_PID_LAP, D1001Lap(kStart, 100)}, Complete(CMD_TRANSFER_LAPS)});
       },
       false,
       {CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS},
       HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST,
       false,
       0},
      {"no track log protocol",
       [](CScriptedGarmin& gps) {
         gps.Protocols({"L001", "A1000", "D1009", "A906", "D1001", "A1004", "D1004"});
       },
       false,
       {CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS},
       HR_UNSUPPORTED_LINK,
       IDS_ERR_TRACKLOG_PROTOCOL,
       false,
       0},
      {"a silent run request is a link failure and goes on",
       [](CScriptedGarmin& gps) { gps.unacknowledged = {CMD_TRANSFER_RUNS}; }, true, kAllCommands, S_OK, 0,
       true, kForerunnerRecords - 1},
      {"laps cut short: a link failure that ends it",
       [](CScriptedGarmin& gps) {
         gps.Answer(CMD_TRANSFER_LAPS, {Records(3), {APP_PID_LAP, D1001Lap(kStart, 100)}});
       },
       false,
       {CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS},
       S_OK,
       0,
       true,
       0},
      {"a track log cut short ends it",
       [](CScriptedGarmin& gps) {
         gps.Answer(CMD_TRANSFER_TRK, {Records(12), {APP_PID_TRK_HDR, D311Header(0)}});
       },
       false,
       {CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS, CMD_TRANSFER_TRK},
       S_OK,
       0,
       true,
       0},
      {"no profile type: workouts still come, unreferenced",
       [](CScriptedGarmin& gps) {
         gps.Protocols({"L001", "A1000", "D1009", "A906", "D1001", "A302", "D311", "D304", "A1004", "A1002",
                        "D1002", "A1003", "D1003", "A1005", "D1005"});
       },
       true,
       {CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS, CMD_TRANSFER_TRK, CMD_TRANSFER_WORKOUTS,
        CMD_TRANSFER_WORKOUT_OCCURRENCES, CMD_TRANSFER_WORKOUT_LIMITS},
       S_OK,
       0,
       false,
       kForerunnerRecords - 3},
      {"lost workouts end it",
       [](CScriptedGarmin& gps) {
         gps.Answer(CMD_TRANSFER_WORKOUTS, {Records(2), Complete(CMD_TRANSFER_WORKOUTS)});
       },
       false, std::vector<uint16_t>(kAllCommands.begin(), kAllCommands.begin() + 5), HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST, false, 0},
      {"limits of 11 bytes end it",
       [](CScriptedGarmin& gps) {
         gps.Answer(CMD_TRANSFER_WORKOUT_LIMITS, {{APP_PID_WORKOUT_LIMITS, Bytes(11, 0)}});
       },
       false, kAllCommands, HR_READ_FAULT, IDS_ERR_BAD_PACKET, false, 0},
      {"no limits protocol",
       [](CScriptedGarmin& gps) {
         gps.Protocols({"L001", "A1000", "D1009", "A906", "D1001", "A302", "D311", "D304", "A1004", "D1004",
                        "A1002", "D1002", "A1003", "D1003"});
       },
       true, std::vector<uint16_t>(kAllCommands.begin(), kAllCommands.end() - 1), S_OK, 0, false,
       kForerunnerRecords - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    ScriptForerunner(gps);
    c.change(gps);
    unsigned count = 0;
    EXPECT_EQ(gps.RxGpsData(count), c.ok);
    EXPECT_EQ(gps.commands, c.commands);
    EXPECT_EQ(gps.GetErrorCode(), c.gpsError);
    if (c.gpsError != S_OK) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(c.messageId));
    }
    EXPECT_EQ(gps.GetCommsDevice()->GetLastError() != S_OK, c.commsError);
    if (c.ok) {
      EXPECT_EQ(count, c.count);
    }
  }
}

TEST(RxDriver, RunsTakePrecedenceOverLapTrackIndexes) {
  CScriptedGarmin gps;
  ScriptForerunner(gps);
  gps.Protocols({"L001", "A1000", "D1009", "A906", "D906", "A302", "D311", "D304"});
  // Track index 254 would take the laps out of every track if they were
  // linked by their own indexes.
  gps.Answer(CMD_TRANSFER_LAPS, Counted(CMD_TRANSFER_LAPS, APP_PID_LAP,
                                        {D906Lap(kStart, 30000, 254), D906Lap(kStart + 300, 30000, 254)}));
  unsigned count = 0;
  ASSERT_TRUE(gps.RxGpsData(count));
  const CGpsDataSet& set = gps.GetDataSet();
  const std::string trackId = set.GetTracks().GetHead()->GetId();
  for (const CGpsDataLap* lap : set.GetLaps()) {
    EXPECT_EQ(lap->pending, 1);
    EXPECT_EQ(lap->firstId.rfind(trackId + "-", 0), 0u);
    EXPECT_FALSE(lap->lastId.empty());
  }
  EXPECT_TRUE(gps.IsRxDataValid());
}

TEST(RxDriver, LapsWithoutRunsLinkOnlyByTheirOwnTrackIndex) {
  qvtest::CTempDir dir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));

  struct Case {
    const char* legend;
    const char* lapType;
    std::vector<Bytes> laps;
    bool linked;
  };
  const Case cases[] = {
      {"D906 laps name their track",
       "D906",
       {D906Lap(kStart, 30000, 0), D906Lap(kStart + 300, 30000, 0)},
       true},
      {"D1001 laps have no track to go by",
       "D1001",
       {D1001Lap(kStart, 30000), D1001Lap(kStart + 300, 30000)},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    ScriptForerunner(gps);
    gps.Protocols({"L001", "A906", c.lapType, "A302", "D311", "D304"});
    gps.Answer(CMD_TRANSFER_LAPS, Counted(CMD_TRANSFER_LAPS, APP_PID_LAP, c.laps));
    unsigned count = 0;
    ASSERT_TRUE(gps.RxGpsData(count));
    EXPECT_EQ(count, 2u + 11u);
    for (const CGpsDataLap* lap : gps.GetDataSet().GetLaps()) {
      EXPECT_EQ(lap->firstId.empty(), !c.linked);
      EXPECT_EQ(lap->lastId.empty(), !c.linked);
    }
    // Pending laps without ids are what the diagnostics report is for.
    EXPECT_EQ(gps.IsRxDataValid(), c.linked);
    EXPECT_EQ(gps.GetErrorCode(), S_OK);
  }
  const std::string trace = qvtest::ReadFile(LogPath());
  LogClose();
  const std::string line = "CGpsGarmin::RxGpsData(): lap type unsupported";
  const size_t at = trace.find(line);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(trace.find(line, at + 1), std::string::npos);  // only for the D1001 laps
}

TEST(RxDriver, PowerDownLeavesNoErrorBehind) {
  struct Case {
    const char* legend;
    bool linkL001;
    bool acknowledged;
    bool result;
    std::vector<uint16_t> commands;
  };
  const Case cases[] = {
      {"acknowledged", true, true, true, {CMD_TURN_OFF_PWR}},
      {"switched off before acknowledging", true, false, false, {CMD_TURN_OFF_PWR}},
      {"no L001: nothing sent", false, true, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    if (c.linkL001) {
      gps.Protocols({"P000", "L001", "A010"});
    } else {
      gps.Protocols({"P000", "L002", "A011"});
    }
    if (!c.acknowledged) gps.unacknowledged = {CMD_TURN_OFF_PWR};
    gps.SetError(HR_RETRY, IDS_ERR_TX_PACKET_RETRIES);
    EXPECT_EQ(gps.PowerDown(), c.result);
    EXPECT_EQ(gps.commands, c.commands);
    if (!c.linkL001) continue;
    EXPECT_EQ(gps.GetErrorCode(), S_OK);
    EXPECT_EQ(gps.GetErrorText(), "");
    EXPECT_EQ(gps.GetCommsDevice()->GetLastError(), S_OK);
    EXPECT_EQ(gps.GetCommsDevice()->GetErrorMessage(), "");
  }
}

TEST(RxDriver, WhenTheDataNeedADiagnosticsReport) {
  enum LapState { NoLaps, Linked, PendingWithoutLastId, TakenOutWithoutIds };
  struct Case {
    const char* legend;
    const char* productId;
    LapState laps;
    bool trackProfile;
    bool valid;
  };
  const Case cases[] = {
      {"ordinary receiver without laps", "484", NoLaps, false, true},
      {"ordinary receiver with linked laps", "484", Linked, false, true},
      {"a pending lap lacking its last id", "484", PendingWithoutLastId, true, false},
      {"a lap out of every track needs no ids", "484", TakenOutWithoutIds, false, true},
      {"282 without laps", "282", NoLaps, true, false},
      {"282 with laps, tracks without profile", "282", Linked, false, true},
      {"283 without laps", "283", NoLaps, true, false},
      {"283 with a track lacking its profile", "283", Linked, false, false},
      {"283 with laps and profiles", "283", Linked, true, true},
      {"2830 is another product", "2830", NoLaps, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    CGpsDataSet& set = gps.GetDataSet();
    set.productId = c.productId;
    CGpsDataTrack* track = set.AddTrack("", 0);
    if (c.trackProfile) track->profile = set.prefix + "-D1004-0";
    if (c.laps != NoLaps) {
      CGpsDataLap* lap = set.AddLap();
      lap->firstId = track->GetId() + "-1";
      lap->lastId = track->GetId() + "-2";
      if (c.laps == PendingWithoutLastId) lap->lastId.clear();
      if (c.laps == TakenOutWithoutIds) {
        lap->pending = 0;
        lap->firstId.clear();
        lap->lastId.clear();
      }
    }
    EXPECT_EQ(gps.IsRxDataValid(), c.valid);
  }
}

}  // namespace

namespace {

using namespace rxtest;

// A receiver that answers the product request, then repeats packet 248 for
// ever instead of sending its protocol array.
class CRepeating248 : public CScriptedGarmin {
public:
  bool TransmitProductRequest() override { return TransmitCommand(0); }
};

TEST(RxDriver, ValidationCountsARepeatedPacket248AmongTheSkipped) {
  CRepeating248 gps;
  std::vector<ScriptPacket> packets{{APP_PID_PRODUCT_DATA, Bytes{0xE4, 0x01, 0x5E, 0x01, 'F', 'R', 0}}};
  packets.insert(packets.end(), 5000, ScriptPacket{APP_PID_IGNORED_248, Bytes{1}});
  gps.Answer(0, packets);
  EXPECT_FALSE(gps.ValidateDevice());
  EXPECT_EQ(gps.GetErrorCode(), HR_READ_FAULT);
  EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_UNEXPECTED_PACKET));
}

}  // namespace
