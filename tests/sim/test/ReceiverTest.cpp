// What the simulated receiver answers, byte for byte, independent of any link.
#include <gtest/gtest.h>

#include <bit>
#include <numbers>

#include "sim/Receiver.h"

namespace {

using Bytes = std::vector<uint8_t>;

CSimScenario Load(const std::string& json) {
  CSimScenario scenario;
  std::string error;
  EXPECT_TRUE(scenario.LoadJson(json, error)) << error;
  return scenario;
}

SimPacket Command(uint16_t command) {
  return SimPacket{SIM_PID_COMMAND_DATA, {static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)}};
}

uint32_t U32(const Bytes& data, size_t offset) {
  return data[offset] | (data[offset + 1] << 8) | (data[offset + 2] << 16) |
         (uint32_t{data[offset + 3]} << 24);
}

TEST(SimReceiver, ConvertsDegreesAndTimes) {
  struct Row {
    double degrees;
    int32_t semicircles;
  };
  const Row rows[] = {{0.0, 0},           {90.0, 1073741824},  {-90.0, -1073741824},
                      {180.0, INT32_MIN}, {-180.0, INT32_MIN}, {47.3769, 565228434}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.degrees);
    EXPECT_EQ(SimDegreesToSemicircles(row.degrees), row.semicircles);
  }
  EXPECT_EQ(SimUnixToDeviceTime(631065600), 0u);
  EXPECT_EQ(SimUnixToDeviceTime(1714543200), 1083477600u);
}

TEST(SimReceiver, AnswersProductRequestWithDataThenProtocolArray) {
  const CSimScenario scenario = Load(
      R"({"product_id": 484, "software_version": 350, "descriptions": ["FR", "X"], "protocols": ["L001", "A301:D310"]})");
  CSimReceiver receiver(scenario);
  const SimReply reply = receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}});
  EXPECT_TRUE(reply.acknowledge);
  ASSERT_EQ(reply.packets.size(), 2u);
  EXPECT_EQ(reply.packets[0], (SimPacket{255, {0xE4, 0x01, 0x5E, 0x01, 'F', 'R', 0, 'X', 0}}));
  EXPECT_EQ(reply.packets[1], (SimPacket{253, {'L', 1, 0, 'A', 0x2D, 0x01, 'D', 0x36, 0x01}}));
}

TEST(SimReceiver, ProductRequestFaultsAndTableDevices) {
  {
    SCOPED_TRACE("no protocol array: product data only");
    const CSimScenario scenario = Load(R"({"product_id": 77, "software_version": -1})");
    CSimReceiver receiver(scenario);
    const SimReply reply = receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}});
    ASSERT_EQ(reply.packets.size(), 1u);
    EXPECT_EQ(reply.packets[0], (SimPacket{255, {77, 0, 0xFF, 0xFF, 0}}));
  }
  {
    SCOPED_TRACE("248 before the protocol array");
    const CSimScenario scenario =
        Load(R"({"protocols": ["L001"], "faults": {"packet_248_before_protocol_array": true}})");
    CSimReceiver receiver(scenario);
    const SimReply reply = receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}});
    ASSERT_EQ(reply.packets.size(), 3u);
    EXPECT_EQ(reply.packets[1].id, 248);
    EXPECT_EQ(reply.packets[2].id, 253);
  }
  {
    SCOPED_TRACE("only the second request is answered");
    const CSimScenario scenario = Load(R"({"faults": {"answer_second_product_request_only": true}})");
    CSimReceiver receiver(scenario);
    SimReply reply = receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}});
    EXPECT_FALSE(reply.acknowledge);
    EXPECT_TRUE(reply.packets.empty());
    reply = receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}});
    EXPECT_TRUE(reply.acknowledge);
    EXPECT_EQ(reply.packets.size(), 1u);
  }
}

TEST(SimReceiver, SerialNumberPresentOrIgnored) {
  CSimScenario withSerial = Load(R"({"serial_number": 3456789012})");
  CSimReceiver receiver(withSerial);
  SimReply reply = receiver.HandleHostPacket(Command(SIM_CMD_TRANSFER_SERIAL_NUM));
  EXPECT_TRUE(reply.acknowledge);
  ASSERT_EQ(reply.packets.size(), 1u);
  EXPECT_EQ(reply.packets[0], (SimPacket{38, {0x14, 0x6A, 0x0A, 0xCE}}));

  CSimScenario withoutSerial = Load(R"({"serial_number": null})");
  CSimReceiver silentOnSerial(withoutSerial);
  reply = silentOnSerial.HandleHostPacket(Command(SIM_CMD_TRANSFER_SERIAL_NUM));
  EXPECT_FALSE(reply.acknowledge);
  EXPECT_TRUE(reply.packets.empty());
}

TEST(SimReceiver, EmptyTransfersEndWithTheirCommand) {
  const CSimScenario scenario = Load("{}");
  CSimReceiver receiver(scenario);
  for (uint16_t command : {SIM_CMD_TRANSFER_LAPS, SIM_CMD_TRANSFER_RUNS, SIM_CMD_TRANSFER_WPT}) {
    SCOPED_TRACE(command);
    const SimReply reply = receiver.HandleHostPacket(Command(command));
    ASSERT_EQ(reply.packets.size(), 2u);
    EXPECT_EQ(reply.packets[0], (SimPacket{27, {0, 0}}));
    EXPECT_EQ(reply.packets[1],
              (SimPacket{12, {static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)}}));
  }
  const SimReply pvt = receiver.HandleHostPacket(Command(SIM_CMD_STOP_PVT));
  EXPECT_TRUE(pvt.acknowledge);
  EXPECT_TRUE(pvt.packets.empty());
}

TEST(SimReceiver, DateTimeAndPosition) {
  const CSimScenario scenario =
      Load(R"({"clock": "2024-05-01T12:34:56Z", "position": {"lat": 90, "lon": -180}})");
  CSimReceiver receiver(scenario);
  SimReply reply = receiver.HandleHostPacket(Command(SIM_CMD_TRANSFER_TIME));
  ASSERT_EQ(reply.packets.size(), 1u);
  EXPECT_EQ(reply.packets[0], (SimPacket{14, {5, 1, 0xE8, 0x07, 12, 0, 34, 56}}));
  reply = receiver.HandleHostPacket(Command(SIM_CMD_TRANSFER_POSN));
  ASSERT_EQ(reply.packets.size(), 1u);
  ASSERT_EQ(reply.packets[0].data.size(), 16u);
  double lat = 0, lon = 0;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | reply.packets[0].data[i];
  lat = std::bit_cast<double>(bits);
  bits = 0;
  for (int i = 15; i >= 8; --i) bits = (bits << 8) | reply.packets[0].data[i];
  lon = std::bit_cast<double>(bits);
  EXPECT_DOUBLE_EQ(lat, std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(lon, -std::numbers::pi);
}

const char* kTwoTracks = R"({
  "tracks": [
    {"ident": "A", "color": 2, "index": 7, "points": [
      {"lat": 90, "lon": -90, "time": 631065601, "alt": 1.5, "dpth": 2.5, "temp": 3.5, "distance": 4.5,
       "heart_rate": 140, "cadence": 0, "sensor": true},
      {"time": 631065602}]},
    {"ident": "B", "points": [{"lat": 0, "lon": 0}]}
  ]})";

TEST(SimReceiver, EncodesEveryTrackPointType) {
  const Bytes position = {0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0xC0};
  const Bytes time1 = {1, 0, 0, 0};
  struct Row {
    uint16_t type;
    Bytes tail;  // after latitude, longitude and time
  };
  const Row rows[] = {
      {300, {1}},
      {301, {0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x20, 0x40, 1}},
      {302, {0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x20, 0x40, 0x00, 0x00, 0x60, 0x40, 1}},
      {303, {0x00, 0x00, 0xC0, 0x3F, 140}},
      {304, {0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x90, 0x40, 140, 0, 1}},
  };
  const CSimScenario scenario = Load(kTwoTracks);
  CSimReceiver receiver(scenario);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    Bytes expected = position;
    expected.insert(expected.end(), time1.begin(), time1.end());
    expected.insert(expected.end(), row.tail.begin(), row.tail.end());
    EXPECT_EQ(receiver.BuildTrackPoint(scenario.tracks[0].points[0], row.type, true),
              (SimPacket{34, expected}));
  }
}

TEST(SimReceiver, MissingValuesCarryTheInvalidMarkers) {
  const CSimScenario scenario = Load(kTwoTracks);
  CSimReceiver receiver(scenario);
  const SimPacket d304 = receiver.BuildTrackPoint(scenario.tracks[0].points[1], 304, false);
  EXPECT_EQ(d304, (SimPacket{34, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 2, 0,    0, 0,
                                  0x51, 0x59, 0x04, 0x69, 0x51, 0x59, 0x04, 0x69, 0, 0xFF, 0}}));
  const SimPacket d300 = receiver.BuildTrackPoint(scenario.tracks[1].points[0], 300, false);
  EXPECT_EQ(U32(d300.data, 8), 0xFFFFFFFFu);
  EXPECT_EQ(d300.data[12], 0);
}

TEST(SimReceiver, TrackTransferA301CountsHeadersAndPoints) {
  const CSimScenario scenario =
      Load(std::string(kTwoTracks).replace(1, 0, R"("protocols": ["A301:D310,D301"],)"));
  CSimReceiver receiver(scenario);
  const SimReply reply = receiver.HandleHostPacket(Command(SIM_CMD_TRANSFER_TRK));
  EXPECT_TRUE(reply.acknowledge);
  std::vector<uint16_t> ids;
  for (const SimPacket& packet : reply.packets) ids.push_back(packet.id);
  EXPECT_EQ(ids, (std::vector<uint16_t>{27, 99, 34, 34, 99, 34, 12}));
  EXPECT_EQ(reply.packets[0].data, (Bytes{5, 0}));
  EXPECT_EQ(reply.packets[1].data, (Bytes{1, 2, 'A', 0}));
  EXPECT_EQ(reply.packets[6].data, (Bytes{6, 0}));
  // Headers separate the tracks; no point carries the new-track flag.
  EXPECT_EQ(reply.packets[2].data[20], 0);
  EXPECT_EQ(reply.packets[5].data[20], 0);
}

TEST(SimReceiver, TrackTransferA300MarksEachTrackStart) {
  const CSimScenario scenario = Load(kTwoTracks);
  CSimReceiver receiver(scenario);
  const std::vector<SimPacket> packets = receiver.BuildTrackTransfer();
  ASSERT_EQ(packets.size(), 5u);
  EXPECT_EQ(packets[0], (SimPacket{27, {3, 0}}));
  EXPECT_EQ(packets[1].data[12], 1);
  EXPECT_EQ(packets[2].data[12], 0);
  EXPECT_EQ(packets[3].data[12], 1);
  EXPECT_EQ(packets[4].id, 12);
}

TEST(SimReceiver, D311HeaderCarriesTheIndex) {
  const CSimScenario scenario = Load(kTwoTracks);
  CSimReceiver receiver(scenario);
  EXPECT_EQ(receiver.BuildTrackHeader(scenario.tracks[0], 311), (SimPacket{99, {7, 0}}));
  EXPECT_EQ(receiver.BuildTrackHeader(scenario.tracks[1], 312), (SimPacket{99, {1, 0, 'B', 0}}));
}

TEST(SimReceiver, PowerOffSilencesUntilPowerOn) {
  for (bool ack : {true, false}) {
    SCOPED_TRACE(ack ? "acknowledged" : "not acknowledged");
    const CSimScenario scenario = Load(ack ? "{}" : R"({"faults": {"power_off_ack": false}})");
    CSimReceiver receiver(scenario);
    const SimReply off = receiver.HandleHostPacket(Command(SIM_CMD_TURN_OFF_PWR));
    EXPECT_EQ(off.acknowledge, ack);
    EXPECT_TRUE(off.abortTransfer);
    EXPECT_TRUE(receiver.IsPoweredOff());
    EXPECT_TRUE(receiver.IsSilent());
    const SimReply after = receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}});
    EXPECT_FALSE(after.acknowledge);
    EXPECT_TRUE(after.packets.empty());
    receiver.PowerOn();
    EXPECT_EQ(receiver.HandleHostPacket(SimPacket{SIM_PID_PRODUCT_RQST, {}}).packets.size(), 1u);
  }
}

TEST(SimReceiver, AbortAndUnknownPackets) {
  const CSimScenario scenario = Load("{}");
  CSimReceiver receiver(scenario);
  const SimReply abort = receiver.HandleHostPacket(Command(SIM_CMD_ABORT_TRANSFER));
  EXPECT_TRUE(abort.acknowledge);
  EXPECT_TRUE(abort.abortTransfer);
  for (const SimPacket& packet :
       {SimPacket{SIM_PID_COMMAND_DATA, {6}}, SimPacket{99, {1, 0, 0}}, SimPacket{200, {}}}) {
    SCOPED_TRACE(packet.id);
    const SimReply reply = receiver.HandleHostPacket(packet);
    EXPECT_TRUE(reply.acknowledge);
    EXPECT_TRUE(reply.packets.empty());
  }
}

}  // namespace
