// The transfers of the fitness records (profile, workouts, occurrences,
// limits) against a scripted receiver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

using namespace rxtest;

const std::vector<const char*> kAll = {"L001",  "A1004", "D1004", "A1002", "D1002",
                                       "A1003", "D1003", "A1005", "D1005"};

struct Kind {
  const char* legend;
  bool (CGpsGarmin::*receive)();
  const char* application;
  const char* data;
  unsigned messageId;
  uint16_t command;
};
const Kind kKinds[] = {
    {"profile", &CGpsGarmin::RxGpsDataUserProfile, "A1004", "D1004", IDS_ERR_PROFILE_PROTOCOL,
     CMD_TRANSFER_USER_PROFILE},
    {"workouts", &CGpsGarmin::RxGpsDataWorkouts, "A1002", "D1002", IDS_ERR_WORKOUT_PROTOCOL,
     CMD_TRANSFER_WORKOUTS},
    {"occurrences", &CGpsGarmin::RxGpsDataWorkoutOccurrences, "A1003", "D1003", IDS_ERR_OCCURRENCE_PROTOCOL,
     CMD_TRANSFER_WORKOUT_OCCURRENCES},
    {"limits", &CGpsGarmin::RxGpsDataWorkoutLimits, "A1005", "D1005", IDS_ERR_LIMITS_PROTOCOL,
     CMD_TRANSFER_WORKOUT_LIMITS},
};

void ProtocolsWithout(CScriptedGarmin& gps, const char* missing) {
  std::vector<ProtocolTag> tags;
  for (const char* tag : kAll) {
    if (std::string(tag) != missing) tags.push_back({tag[0], static_cast<uint16_t>(std::stoi(tag + 1))});
  }
  gps.SetProtocolCapabilities(tags.data(), tags.size());
}

TEST(WorkoutTransfers, AMissingProtocolOrDataTypeSendsNothing) {
  for (const Kind& kind : kKinds) {
    for (const char* missing : {kind.application, kind.data}) {
      SCOPED_TRACE(std::string(kind.legend) + " without " + missing);
      CScriptedGarmin gps;
      ProtocolsWithout(gps, missing);
      EXPECT_FALSE((gps.*kind.receive)());
      EXPECT_EQ(gps.GetErrorCode(), HR_UNSUPPORTED_LINK);
      EXPECT_EQ(gps.GetErrorText(), LoadString(kind.messageId));
      EXPECT_TRUE(gps.commands.empty());
    }
  }
}

TEST(WorkoutTransfers, SingleRecordTransfersSkipOtherPackets) {
  struct Case {
    const char* legend;
    bool (CGpsGarmin::*receive)();
    uint16_t command;
    std::vector<ScriptPacket> packets;
    bool ok;
    HRESULT error;
    unsigned messageId;
    bool commsError;
  };
  const Bytes protocols{'L', 1, 0, 'A', 0xEC, 0x03, 'D', 0xEC, 0x03, 'A', 0xEA, 0x03, 'D', 0xEA, 0x03};
  const Case cases[] = {
      {"profile after an unexpected packet and a protocol array",
       &CGpsGarmin::RxGpsDataUserProfile,
       CMD_TRANSFER_USER_PROFILE,
       {{APP_PID_TRK_DATA, Bytes{7}},
        {APP_PID_PROTOCOL_ARRAY, protocols},
        {APP_PID_USER_PROFILE, CD1004().bytes}},
       true,
       S_OK,
       0,
       false},
      {"short profile",
       &CGpsGarmin::RxGpsDataUserProfile,
       CMD_TRANSFER_USER_PROFILE,
       {{APP_PID_USER_PROFILE, Bytes(812, 0)}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       false},
      {"profile never comes",
       &CGpsGarmin::RxGpsDataUserProfile,
       CMD_TRANSFER_USER_PROFILE,
       {{APP_PID_RECORDS, Bytes{1, 0}}},
       false,
       S_OK,
       0,
       true},
      {"limits after an empty packet",
       &CGpsGarmin::RxGpsDataWorkoutLimits,
       CMD_TRANSFER_WORKOUT_LIMITS,
       {{APP_PID_XFER_CMPLT, {}}, {APP_PID_WORKOUT_LIMITS, Bytes(12, 0)}},
       true,
       S_OK,
       0,
       false},
      {"no limits: an empty transfer",
       &CGpsGarmin::RxGpsDataWorkoutLimits,
       CMD_TRANSFER_WORKOUT_LIMITS,
       {{APP_PID_RECORDS, Bytes{0, 0}}, {APP_PID_XFER_CMPLT, {}}},
       true,
       S_OK,
       0,
       false},
      {"profile lost among endless other packets", &CGpsGarmin::RxGpsDataUserProfile,
       CMD_TRANSFER_USER_PROFILE, std::vector<ScriptPacket>(1025, {APP_PID_TRK_DATA, Bytes{7}}), false,
       HR_READ_FAULT, IDS_ERR_UNEXPECTED_PACKET, false},
      {"limits of 11 bytes",
       &CGpsGarmin::RxGpsDataWorkoutLimits,
       CMD_TRANSFER_WORKOUT_LIMITS,
       {{APP_PID_WORKOUT_LIMITS, Bytes(11, 0)}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    gps.Protocols({"L001", "A1004", "D1004", "A1005", "D1005"});
    gps.Answer(c.command, c.packets);
    EXPECT_EQ((gps.*c.receive)(), c.ok);
    EXPECT_EQ(gps.commands, std::vector<uint16_t>{c.command});
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    if (c.error != S_OK) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(c.messageId));
    }
    EXPECT_EQ(gps.GetCommsDevice()->GetLastError() != S_OK, c.commsError);
  }
  // The protocol array inside the transfer replaced the list.
  CScriptedGarmin gps;
  gps.Protocols({"L001", "A1004", "D1004", "A1005", "D1005"});
  gps.Answer(CMD_TRANSFER_USER_PROFILE, cases[0].packets);
  ASSERT_TRUE(gps.RxGpsDataUserProfile());
  EXPECT_EQ(gps.GetDataSet().GetProfiles().GetCount(), 3);
  EXPECT_EQ(gps.GetProtocolCount(), 5u);
  EXPECT_FALSE(gps.IsProtocolSupported('A', 1005));
  EXPECT_TRUE(gps.IsProtocolSupported('D', 1002));
}

TEST(WorkoutTransfers, CountedTransfersCheckTheirCount) {
  const Bytes workout = CD1002().bytes;
  const Bytes occurrence(20, 0);
  struct Case {
    const char* legend;
    bool (CGpsGarmin::*receive)();
    uint16_t command;
    std::vector<ScriptPacket> packets;
    bool ok;
    HRESULT error;
    unsigned messageId;
    int records;
  };
  const Case cases[] = {
      {"three workouts", &CGpsGarmin::RxGpsDataWorkouts, CMD_TRANSFER_WORKOUTS,
       Counted(CMD_TRANSFER_WORKOUTS, APP_PID_WORKOUT, {workout, workout, workout}), true, S_OK, 0, 3},
      {"no workouts", &CGpsGarmin::RxGpsDataWorkouts, CMD_TRANSFER_WORKOUTS,
       Counted(CMD_TRANSFER_WORKOUTS, APP_PID_WORKOUT, {}), true, S_OK, 0, 0},
      {"a workout lost",
       &CGpsGarmin::RxGpsDataWorkouts,
       CMD_TRANSFER_WORKOUTS,
       {Records(2), {APP_PID_WORKOUT, workout}, Complete(CMD_TRANSFER_WORKOUTS)},
       false,
       HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST,
       1},
      {"a workout too many",
       &CGpsGarmin::RxGpsDataWorkouts,
       CMD_TRANSFER_WORKOUTS,
       {Records(1), {APP_PID_WORKOUT, workout}, {APP_PID_WORKOUT, workout}},
       false,
       S_OK,
       0,
       1},
      {"a short workout",
       &CGpsGarmin::RxGpsDataWorkouts,
       CMD_TRANSFER_WORKOUTS,
       {Records(2), {APP_PID_WORKOUT, workout}, {APP_PID_WORKOUT, Bytes(660, 0)}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       1},
      {"count without its bytes",
       &CGpsGarmin::RxGpsDataWorkouts,
       CMD_TRANSFER_WORKOUTS,
       {{APP_PID_RECORDS, Bytes{1}}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       0},
      {"unexpected packets are skipped",
       &CGpsGarmin::RxGpsDataWorkoutOccurrences,
       CMD_TRANSFER_WORKOUT_OCCURRENCES,
       {Records(2),
        {APP_PID_WORKOUT_OCCURRENCE, occurrence},
        {APP_PID_LAP, Bytes{1, 2}},
        {APP_PID_WORKOUT_OCCURRENCE, occurrence},
        Complete(CMD_TRANSFER_WORKOUT_OCCURRENCES)},
       true,
       S_OK,
       0,
       2},
      {"an occurrence lost",
       &CGpsGarmin::RxGpsDataWorkoutOccurrences,
       CMD_TRANSFER_WORKOUT_OCCURRENCES,
       {Records(3), {APP_PID_WORKOUT_OCCURRENCE, occurrence}, Complete(CMD_TRANSFER_WORKOUT_OCCURRENCES)},
       false,
       HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST,
       1},
      {"a short occurrence",
       &CGpsGarmin::RxGpsDataWorkoutOccurrences,
       CMD_TRANSFER_WORKOUT_OCCURRENCES,
       {Records(1), {APP_PID_WORKOUT_OCCURRENCE, Bytes(19, 0)}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    gps.Protocols({"L001", "A1002", "D1002", "A1003", "D1003"});
    gps.Answer(c.command, c.packets);
    EXPECT_EQ((gps.*c.receive)(), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    if (c.error != S_OK) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(c.messageId));
    }
    const CGpsDataSet& set = gps.GetDataSet();
    EXPECT_EQ(set.GetWorkouts().GetCount() + set.GetOccurrences().GetCount(), c.records);
  }
}

TEST(WorkoutTransfers, TraceLines) {
  qvtest::CTempDir dir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));
  {
    CScriptedGarmin gps;
    gps.Protocols({"L001", "A1004", "A1002", "D1002", "A1003", "D1003", "A1005", "D1005"});
    gps.Answer(CMD_TRANSFER_WORKOUTS, {Records(1),
                                       {APP_PID_TRK_DATA, Bytes{9}},
                                       {APP_PID_WORKOUT, CD1002().bytes},
                                       Complete(CMD_TRANSFER_WORKOUTS)});
    gps.Answer(CMD_TRANSFER_WORKOUT_OCCURRENCES, {Records(0), Complete(CMD_TRANSFER_WORKOUT_OCCURRENCES)});
    gps.Answer(CMD_TRANSFER_WORKOUT_LIMITS, {{APP_PID_LAP, Bytes{}}, {APP_PID_WORKOUT_LIMITS, Bytes(12, 0)}});
    gps.RxGpsDataUserProfile();
    gps.RxGpsDataWorkouts();
    gps.RxGpsDataWorkoutOccurrences();
    gps.RxGpsDataWorkoutLimits();
    CScriptedGarmin noProfile;
    noProfile.Protocols({"L001"});
    noProfile.RxGpsDataUserProfile();
    CScriptedGarmin shortProfile;
    shortProfile.Protocols({"L001", "A1004", "D1004"});
    shortProfile.Answer(CMD_TRANSFER_USER_PROFILE, {{APP_PID_USER_PROFILE, Bytes(10, 0)}});
    shortProfile.RxGpsDataUserProfile();
  }
  const std::string trace = qvtest::ReadFile(LogPath());
  LogClose();
  const char* lines[] = {
      "CGpsGarmin::RxA1004UserProfile(): User profile type unsupported",
      "A1002Workout(): CMD_TRANSFER_WORKOUTS",
      "CGpsGarmin::RxA1002Workout: unexpected PID ignored: 34, datasize=1, data=9",
      "APP_PID_WORKOUT - D1002",
      "RxA1003WorkoutOccurrence(): CMD_TRANSFER_WORKOUT_OCCURRENCES",
      "RxA1003WorkoutOccurrence(): no workout occurrences available",
      "A1005WorkoutLimits(): CMD_TRANSFER_WORKOUT_LIMITS",
      "CGpsGarmin::RxA1005WorkoutLimits: unexpected PID ignored: 149, datasize=0, data=0",
      "APP_PID_WORKOUT_LIMITS - D1005",
      "CGpsGarmin::RxGpsDataUserProfile(): user profile transfer protocol unsupported",
      "A1004UserProfile(): CMD_TRANSFER_USER_PROFILE",
      "APP_PID_USER_PROFILE - D1004",
      "D1004UserProfile(): nDataSize=10 < sizeof(CD1004UserProfile)=813",
  };
  size_t from = 0;
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    const size_t at = trace.find(line, from);
    ASSERT_NE(at, std::string::npos);
    from = at;
  }
}

}  // namespace
