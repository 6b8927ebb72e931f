// The fitness records of the simulated receiver, checked field by field at
// their offsets, and the transfers that carry them over each link.
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "sim/ByteReader.h"
#include "sim/Receiver.h"
#include "sim/RecordEncoders.h"

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
float F32(const std::vector<uint8_t>& b, size_t at) {
  return std::bit_cast<float>(U32(b, at));
}

CSimScenario Load(const std::string& json) {
  CSimScenario scenario;
  std::string error;
  EXPECT_TRUE(scenario.LoadJson(json, error)) << error;
  return scenario;
}

SimPacket Command(uint16_t command) {
  return SimPacket{10, {static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)}};
}

TEST(SimRecordEncoders, LapsAtTheirOffsets) {
  SimLap lap;
  lap.index = 7;
  lap.startTime = 631065600 + 1000;
  lap.totalTime = 61.25;
  lap.distance = 250.5f;
  lap.maxSpeed = 4.5f;
  lap.begin = SimPosition{90.0, 45.0};
  lap.calories = 33;
  lap.avgHeartRate = 140;
  lap.trackIndex = 3;
  lap.avgCadence = 0;
  const auto d906 = EncodeSimLap(lap, 906);
  ASSERT_EQ(d906.size(), SIM_D906_SIZE);
  EXPECT_EQ(U32(d906, 0), 1000u);
  EXPECT_EQ(U32(d906, 4), 6125u);
  EXPECT_EQ(F32(d906, 8), 250.5f);
  EXPECT_EQ(U32(d906, 12), 0x40000000u);  // 90 degrees
  EXPECT_EQ(U32(d906, 16), 0x20000000u);
  EXPECT_EQ(U32(d906, 20), 0x7FFFFFFFu);  // no end position
  EXPECT_EQ(U32(d906, 24), 0x7FFFFFFFu);
  EXPECT_EQ(U16(d906, 28), 33);
  EXPECT_EQ(d906[30], 3);
  const auto d1001 = EncodeSimLap(lap, 1001);
  ASSERT_EQ(d1001.size(), SIM_D1001_SIZE);
  EXPECT_EQ(U32(d1001, 0), 7u);
  EXPECT_EQ(U32(d1001, 4), 1000u);
  EXPECT_EQ(F32(d1001, 16), 4.5f);
  EXPECT_EQ(U16(d1001, 36), 33);
  EXPECT_EQ(d1001[38], 140);
  EXPECT_EQ(d1001[39], 0);  // no maximum heart rate
  const auto d1011 = EncodeSimLap(lap, 1011);
  ASSERT_EQ(d1011.size(), SIM_D1011_SIZE);
  EXPECT_EQ(U16(d1011, 0), 7);
  EXPECT_EQ(U32(d1011, 4), 1000u);
  EXPECT_EQ(d1011[41], 0);
  lap.avgCadence.reset();
  lap.startTime.reset();
  const auto invalid = EncodeSimLap(lap, 1011);
  EXPECT_EQ(invalid[41], 255);
  EXPECT_EQ(U32(invalid, 4), 0xFFFFFFFFu);
}

TEST(SimRecordEncoders, RunsAndBigRecordsHaveTheirSizes) {
  SimRun run{-1, 2, 4, 1, 3, 2};
  const auto d1009 = EncodeSimRun(run, 1009);
  ASSERT_EQ(d1009.size(), SIM_D1009_SIZE);
  EXPECT_EQ(U16(d1009, 0), 0xFFFF);
  EXPECT_EQ(U16(d1009, 2), 2);
  EXPECT_EQ(U16(d1009, 4), 4);
  EXPECT_EQ(d1009[6], 1);
  EXPECT_EQ(d1009[7], 3);
  EXPECT_EQ(d1009[8], 2);
  const auto d1000 = EncodeSimRun(run, 1000);
  ASSERT_EQ(d1000.size(), SIM_D1000_SIZE);
  EXPECT_EQ(U32(d1000, 0), 0xFFFFFFFFu);
  EXPECT_EQ(U32(d1000, 8), 4u);
  EXPECT_EQ(d1000[12], 1);
  EXPECT_EQ(d1000[14], 0);  // D1000 has no multisport field
  const auto d1010 = EncodeSimRun(run, 1010);
  ASSERT_EQ(d1010.size(), SIM_D1010_SIZE);
  EXPECT_EQ(d1010[14], 2);

  SimWorkout workout;
  workout.name = "SIXTEEN CHARS XX";
  workout.sport = 1;
  workout.steps.push_back(SimWorkoutStep{"WARM", 1.5f, 2.5f, 600, 1, 0, 1, 2});
  const auto d1002 = EncodeSimWorkout(workout);
  ASSERT_EQ(d1002.size(), SIM_D1002_SIZE);
  EXPECT_EQ(U32(d1002, 0), 1u);
  EXPECT_EQ(std::string(d1002.begin() + 4, d1002.begin() + 8), "WARM");
  EXPECT_EQ(F32(d1002, 4 + 16), 1.5f);
  EXPECT_EQ(U16(d1002, 4 + 24), 600);
  EXPECT_EQ(d1002[4 + 29], 2);
  EXPECT_EQ(std::string(d1002.begin() + 644, d1002.begin() + 660), "SIXTEEN CHARS XX");
  EXPECT_EQ(d1002[660], 1);

  SimProfile profile;
  profile.activities[1].heartRateZones[2] = SimZone{120, 140};
  profile.activities[2].speedZones[9] = SimSpeedZone{3.0f, 4.0f, "Fast"};
  profile.activities[0].maxHeartRate = 190;
  const auto d1004 = EncodeSimProfile(profile);
  ASSERT_EQ(d1004.size(), SIM_D1004_SIZE);
  EXPECT_EQ(d1004[268 + 8], 120);
  EXPECT_EQ(d1004[268 + 9], 140);
  EXPECT_EQ(F32(d1004, 536 + 20 + 9 * 24), 3.0f);
  EXPECT_EQ(std::string(d1004.begin() + 536 + 20 + 9 * 24 + 8, d1004.begin() + 536 + 20 + 9 * 24 + 12),
            "Fast");
  EXPECT_EQ(d1004[264], 190);
  EXPECT_EQ(EncodeSimOccurrence(SimOccurrence{"RUN", 5}).size(), SIM_D1003_SIZE);
  EXPECT_EQ(EncodeSimLimits(SimLimits{1, 2, 3}), (std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));
}

const char kRecords[] = R"({
  "protocols": ["L001", "A906:D1011", "A1000:D1009"],
  "laps": [{"start_time": 1700000000, "total_time": 60, "avg_cadence": 80}, {"start_time": 1700000060}],
  "runs": [{"track_index": 0, "first_lap": 0, "last_lap": 1, "sport": 1}],
  "workouts": [{"name": "EASY", "sport": 0, "steps": [{"name": "GO", "duration_type": 0, "duration_value": 60}]}],
  "occurrences": [{"workout_name": "EASY", "day": 100}],
  "profile": {"activities": [{"max_heart_rate": 185, "heart_rate_zones": [[100, 120]]}]},
  "limits": {"max_workouts": 20, "max_unscheduled_workouts": 5, "max_occurrences": 50}
})";

TEST(SimReceiverRecords, ServesBigRecordsOnlyOverUsb) {
  const CSimScenario scenario = Load(kRecords);
  CSimReceiver receiver(scenario);
  struct Case {
    const char* legend;
    uint16_t command;
    SimLink link;
    std::vector<uint16_t> ids;
    size_t firstSize;  // of the first data packet
  };
  const Case cases[] = {
      {"laps over serial", 117, SimLink::Serial, {27, 149, 149, 12}, SIM_D1011_SIZE},
      {"runs over USB", 450, SimLink::Usb, {27, 990, 12}, SIM_D1009_SIZE},
      {"runs over serial: none", 450, SimLink::Serial, {27, 12}, 2},
      {"workouts over USB", 451, SimLink::Usb, {27, 991, 12}, SIM_D1002_SIZE},
      {"workouts over serial: none", 451, SimLink::Serial, {27, 12}, 2},
      {"occurrences over serial", 452, SimLink::Serial, {27, 992, 12}, SIM_D1003_SIZE},
      {"profile over USB", 453, SimLink::Usb, {993}, SIM_D1004_SIZE},
      {"profile over serial: acknowledged only", 453, SimLink::Serial, {}, 0},
      {"limits over serial", 454, SimLink::Serial, {994}, SIM_D1005_SIZE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const SimReply reply = receiver.HandleHostPacket(Command(c.command), c.link);
    EXPECT_TRUE(reply.acknowledge);
    std::vector<uint16_t> ids;
    for (const SimPacket& p : reply.packets) ids.push_back(p.id);
    EXPECT_EQ(ids, c.ids);
    if (ids.size() > 1) {
      EXPECT_EQ(reply.packets[ids.size() == 2 ? 0 : 1].data.size(), c.firstSize);
    }
    if (ids.size() == 1) {
      EXPECT_EQ(reply.packets[0].data.size(), c.firstSize);
    }
  }
}

TEST(SimReceiverRecords, TransferQuirksAndHeaderlessTracks) {
  const CSimScenario scenario = Load(R"({
    "protocols": ["L001", "A301:D310,D300"],
    "tracks": [{"ident": "NONE", "header": false, "points": [{"lat": 1, "lon": 1, "time": 1700000000}]},
               {"ident": "B", "points": [{"lat": 1, "lon": 1, "time": 1700000001}]}],
    "transfer_quirks": {"tracks": {"count_delta": -1, "extra_packets": [
        {"after": 1, "id": 77, "data": [5]}, {"after": 2, "protocol_array": true}, {"after": 99, "id": 78}]}}
  })");
  CSimReceiver receiver(scenario);
  const std::vector<SimPacket> packets = receiver.BuildTrackTransfer();
  std::vector<uint16_t> ids;
  for (const SimPacket& p : packets) ids.push_back(p.id);
  EXPECT_EQ(ids, (std::vector<uint16_t>{27, 34, 77, 99, 253, 34, 78, 12}));
  EXPECT_EQ(packets[0].data, (std::vector<uint8_t>{2, 0}));  // three records, announced as two
  EXPECT_EQ(packets[2].data, (std::vector<uint8_t>{5}));
  EXPECT_EQ(packets[4].data.size(), 3u * 4);
}

}  // namespace
