#include <gtest/gtest.h>

#include "sim/Scenario.h"

namespace {

TEST(SimScenario, ParsesProtocolEntriesWithTheirDataTypes) {
  struct Row {
    const char* legend;
    std::vector<std::string> entries;
    bool ok;
    std::vector<SimProtocolTag> tags;
  };
  const Row rows[] = {
      {"plain tags", {"P000", "L001", "A010"}, true, {{'P', 0}, {'L', 1}, {'A', 10}}},
      {"types follow their protocol", {"A301:D310,D304"}, true, {{'A', 301}, {'D', 310}, {'D', 304}}},
      {"lower case letters", {"a1000:d1009"}, true, {{'A', 1000}, {'D', 1009}}},
      {"unknown letter", {"X001"}, false, {}},
      {"no number", {"A"}, false, {}},
      {"number too large", {"A70000"}, false, {}},
      {"a protocol is not a data type", {"A301:A302"}, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    std::vector<SimProtocolTag> tags;
    std::string error;
    EXPECT_EQ(ParseSimProtocolList(row.entries, tags, error), row.ok);
    if (row.ok) {
      EXPECT_EQ(tags, row.tags);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(SimScenario, ParsesTimes) {
  struct Row {
    const char* text;
    bool ok;
    int64_t unix;
  };
  const Row rows[] = {
      {"1714543200", true, 1714543200},
      {"2024-05-01T06:00:00Z", true, 1714543200},
      {"2024-05-01T06:00:00", true, 1714543200},
      {"2024-05-01T06:00:00.750Z", true, 1714543200},
      {"2024-05-01T08:00:00+02:00", true, 1714543200},
      {"2024-05-01T01:30:00-04:30", true, 1714543200},
      {"1989-12-31T00:00:00Z", true, 631065600},
      {"2024-13-01T06:00:00Z", false, 0},
      {"2024-05-01 06:00:00", false, 0},
      {"2024-05-01T06:00:00Zjunk", false, 0},
      {"", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    int64_t value = 0;
    EXPECT_EQ(ParseSimTime(row.text, value), row.ok);
    if (row.ok) {
      EXPECT_EQ(value, row.unix);
    }
  }
}

TEST(SimScenario, LoadsEveryFieldAndIgnoresUnknownKeys) {
  CSimScenario scenario;
  std::string error;
  ASSERT_TRUE(scenario.LoadJson(R"({
    "product_id": 484, "software_version": 350, "descriptions": ["FR 305", "extra"],
    "serial_number": 42, "protocols": ["P000", "L001", "A301:D310,D304"],
    "laps": [], "workouts": {"future": true}, "clock": "2024-05-01T12:00:00Z",
    "position": {"lat": 1.5, "lon": -2.5},
    "tracks": [{"ident": "T1", "color": 3, "display": false, "points": [
      {"lat": 1, "lon": 2, "time": 1714543200, "alt": 5.5, "heart_rate": 120, "cadence": 0, "sensor": true},
      {"time": "2024-05-01T06:00:01Z", "new_trk": true}]}],
    "faults": {"nak_host_packet": 3, "garbage_between_frames": true, "power_off_ack": false},
    "link": {"ack_timeout_ms": 300, "send_attempts": 5}
  })",
                                error))
      << error;
  EXPECT_EQ(scenario.productId, 484);
  EXPECT_EQ(scenario.softwareVersion, 350);
  EXPECT_EQ(scenario.descriptions, (std::vector<std::string>{"FR 305", "extra"}));
  EXPECT_EQ(scenario.serialNumber, 42u);
  ASSERT_TRUE(scenario.protocols.has_value());
  EXPECT_EQ(scenario.protocols->size(), 5u);
  EXPECT_EQ(scenario.deviceClock, 1714564800);
  EXPECT_EQ(scenario.positionLat, 1.5);
  EXPECT_EQ(scenario.positionLon, -2.5);
  ASSERT_EQ(scenario.tracks.size(), 1u);
  const SimTrack& track = scenario.tracks[0];
  EXPECT_EQ(track.ident, "T1");
  EXPECT_EQ(track.color, 3);
  EXPECT_FALSE(track.display);
  ASSERT_EQ(track.points.size(), 2u);
  EXPECT_TRUE(track.points[0].hasPosition);
  EXPECT_EQ(track.points[0].alt, 5.5f);
  EXPECT_EQ(track.points[0].heartRate, 120);
  EXPECT_EQ(track.points[0].cadence, 0);
  EXPECT_TRUE(track.points[0].sensor);
  EXPECT_FALSE(track.points[0].dpth.has_value());
  EXPECT_FALSE(track.points[1].hasPosition);
  EXPECT_EQ(track.points[1].time, 1714543201);
  EXPECT_TRUE(track.points[1].newTrk);
  EXPECT_EQ(scenario.faults.nakHostPacket, 3);
  EXPECT_TRUE(scenario.faults.garbageBetweenFrames);
  EXPECT_FALSE(scenario.faults.powerOffAck);
  EXPECT_EQ(scenario.ackTimeoutMs, 300);
  EXPECT_EQ(scenario.sendAttempts, 5);
}

TEST(SimScenario, NullSerialAndProtocolsMeanAbsent) {
  CSimScenario scenario;
  std::string error;
  ASSERT_TRUE(scenario.LoadJson(R"({"product_id": 77, "serial_number": null, "protocols": null})", error));
  EXPECT_FALSE(scenario.serialNumber.has_value());
  EXPECT_FALSE(scenario.protocols.has_value());
}

TEST(SimScenario, ChoosesTheTrackTransfer) {
  struct Row {
    const char* legend;
    const char* json;
    uint16_t protocol, point, header;
  };
  const Row rows[] = {
      {"defaults without a protocol array", R"({})", 300, 300, 310},
      {"explicit fields without a protocol array",
       R"({"track_protocol": "A301", "track_point_type": "D301", "track_header_type": 312})", 301, 301, 312},
      {"from the protocol array", R"({"protocols": ["L001", "A301:D310,D304", "A400:D300"]})", 301, 304, 310},
      {"A302 with D311 headers", R"({"protocols": ["A302:D311,D302"]})", 302, 302, 311},
      {"A300 wins over A301", R"({"protocols": ["A301:D310,D301", "A300:D300"]})", 300, 300, 310},
      {"array without a track protocol falls back",
       R"({"protocols": ["L001"], "track_protocol": 301, "track_point_type": 303})", 301, 303, 310},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CSimScenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.LoadJson(row.json, error)) << error;
    EXPECT_EQ(scenario.EffectiveTrackProtocol(), row.protocol);
    EXPECT_EQ(scenario.EffectiveTrackPointType(), row.point);
    EXPECT_EQ(scenario.EffectiveTrackHeaderType(), row.header);
  }
}

TEST(SimScenario, RejectsBadInputWithAMessage) {
  const char* rows[] = {
      "{not json",
      "[1, 2]",
      R"({"product_id": "many"})",
      R"({"protocols": ["Q1"]})",
      R"({"tracks": [{"points": [{"time": "yesterday"}]}]})",
      R"({"tracks": [{"points": [7]}]})",
      R"({"track_point_type": "D310"})",
      R"({"faults": 3})",
  };
  for (const char* json : rows) {
    SCOPED_TRACE(json);
    CSimScenario scenario;
    std::string error;
    EXPECT_FALSE(scenario.LoadJson(json, error));
    EXPECT_FALSE(error.empty());
  }
  CSimScenario scenario;
  std::string error;
  EXPECT_FALSE(scenario.LoadFile("/nonexistent/scenario.json", error));
  EXPECT_NE(error.find("/nonexistent/scenario.json"), std::string::npos);
}

}  // namespace
