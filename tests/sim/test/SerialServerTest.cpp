// The simulator's serial link over a real pseudo-terminal: acknowledgements,
// resends, host reopen, and each link fault as a host sees it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "PtyHost.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 2000ms;
// Long enough that a frame that should not come would have come.
constexpr auto kQuiet = 600ms;

const char* kScenario = R"({
  "product_id": 484, "software_version": 350, "descriptions": ["Forerunner305"],
  "serial_number": 99, "protocols": ["P000", "L001", "A010", "A301:D310,D304"],
  "link": {"ack_timeout_ms": 300, "send_attempts": 3},
  "tracks": [{"ident": "T", "points": [
    {"lat": 1, "lon": 2, "time": 1714543200}, {"lat": 1.1, "lon": 2.1, "time": 1714543210}]}]
})";

class SimSerial : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    m_sim = CGarminSim::FromJson(kScenario, &error);
    ASSERT_TRUE(m_sim) << error;
    ASSERT_TRUE(m_sim->StartSerial(m_path)) << m_sim->LastError();
    ASSERT_TRUE(m_host.Open(m_path));
  }

  // Product request through protocol array, every packet acknowledged.
  void Identify() {
    ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
    SimPacket ack;
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait, &ack));
    EXPECT_EQ(ack.data, (std::vector<uint8_t>{254, 0}));
    ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, kWait));
    m_host.SendAck(SIM_PID_PRODUCT_DATA);
    ASSERT_TRUE(m_host.Expect(SIM_PID_PROTOCOL_ARRAY, kWait));
    m_host.SendAck(SIM_PID_PROTOCOL_ARRAY);
  }

  std::unique_ptr<CGarminSim> m_sim;
  std::string m_path;
  CPtyHost m_host;
};

TEST_F(SimSerial, ServesAcrossHostOpensAndCloses) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Identify();
    m_host.Close();
    // Give the link thread time to notice the hang-up before the next open.
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(m_host.Open(m_path));
  }
  EXPECT_EQ(m_sim->HostAppPackets().size(), 3u);
}

TEST_F(SimSerial, TrackTransferIsRecordedWithAcknowledgements) {
  Identify();
  ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_TRK));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  std::vector<uint16_t> ids;
  for (;;) {
    const std::optional<SimPacket> packet = m_host.ReadAndAck(kWait);
    ASSERT_TRUE(packet);
    ids.push_back(packet->id);
    if (packet->id == SIM_PID_XFER_CMPLT) break;
  }
  EXPECT_EQ(ids, (std::vector<uint16_t>{27, 99, 34, 34, 12}));
  EXPECT_FALSE(m_host.ReadFrame(kQuiet));
  EXPECT_EQ(m_sim->HostCommands(), (std::vector<uint16_t>{SIM_CMD_TRANSFER_TRK}));
  // Two ACKs during identification, five during the transfer.
  EXPECT_EQ(m_sim->HostPackets().size(), 2u + 7u);
  EXPECT_EQ(m_sim->HostBadFrames(), 0u);
}

TEST_F(SimSerial, ResendsUnacknowledgedPacketsThenGivesUp) {
  ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  for (int attempt = 0; attempt < 3; ++attempt) {
    SCOPED_TRACE(attempt);
    ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, kWait));
  }
  // After the third unanswered attempt the receiver drops the reply, protocol array included.
  EXPECT_FALSE(m_host.ReadFrame(kQuiet));
  Identify();
}

TEST_F(SimSerial, NakOrWrongAckMakesTheReceiverSendAgain) {
  ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, kWait));
  m_host.SendNak(SIM_PID_PRODUCT_DATA);
  ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, 200ms));  // at once, not after the timeout
  m_host.SendAck(SIM_PID_PROTOCOL_ARRAY);                   // acknowledges the wrong packet
  ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, kWait));
  m_host.SendAck(SIM_PID_PRODUCT_DATA);
  ASSERT_TRUE(m_host.Expect(SIM_PID_PROTOCOL_ARRAY, kWait));
}

TEST_F(SimSerial, HostFrameWithBadChecksumGetsNak) {
  std::vector<uint8_t> frame;
  ASSERT_TRUE(EncodeSimFrame(SimPacket{SIM_PID_PRODUCT_RQST, {}}, frame, true));
  ASSERT_TRUE(m_host.SendRaw(frame));
  SimPacket nak;
  ASSERT_TRUE(m_host.Expect(SIM_PID_NAK, kWait, &nak));
  EXPECT_EQ(nak.data, (std::vector<uint8_t>{254, 0}));
  EXPECT_FALSE(m_host.ReadFrame(kQuiet));
  EXPECT_EQ(m_sim->HostBadFrames(), 1u);
  EXPECT_TRUE(m_sim->HostPackets().empty());
}

TEST_F(SimSerial, FaultsAsTheHostSeesThem) {
  {
    SCOPED_TRACE("bad checksum on the first packet sent, then a good resend");
    SimFaults faults;
    faults.badChecksumOnSent = 1;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
    const std::optional<SimFrame> bad = m_host.ReadFrame(kWait);
    ASSERT_TRUE(bad);
    EXPECT_FALSE(bad->good);
    EXPECT_EQ(bad->packet.id, SIM_PID_PRODUCT_DATA);
    m_host.SendNak(SIM_PID_PRODUCT_DATA);
    ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, kWait));
    m_host.SendAck(SIM_PID_PRODUCT_DATA);
    ASSERT_TRUE(m_host.Expect(SIM_PID_PROTOCOL_ARRAY, kWait));
    m_host.SendAck(SIM_PID_PROTOCOL_ARRAY);
  }
  {
    SCOPED_TRACE("NAK for the second host packet, once");
    SimFaults faults;
    faults.nakHostPacket = 2;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.SendCommand(SIM_CMD_STOP_PVT));
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
    ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_SERIAL_NUM));
    SimPacket nak;
    ASSERT_TRUE(m_host.Expect(SIM_PID_NAK, kWait, &nak));
    EXPECT_EQ(nak.data, (std::vector<uint8_t>{10, 0}));
    ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_SERIAL_NUM));
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
    ASSERT_TRUE(m_host.ReadAndAck(kWait));
  }
  {
    SCOPED_TRACE("no ACK for the first host packet, once");
    SimFaults faults;
    faults.noAckHostPacket = 1;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_SERIAL_NUM));
    EXPECT_FALSE(m_host.ReadFrame(kQuiet));
    ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_SERIAL_NUM));
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
    ASSERT_TRUE(m_host.ReadAndAck(kWait));
  }
  {
    SCOPED_TRACE("garbage between frames");
    SimFaults faults;
    faults.garbageBetweenFrames = true;
    m_sim->SetFaults(faults);
    const size_t skippedBefore = m_host.SkippedBytes();
    ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_SERIAL_NUM));
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
    ASSERT_TRUE(m_host.ReadAndAck(kWait));
    EXPECT_GE(m_host.SkippedBytes(), skippedBefore + 2 * 6);
  }
  {
    SCOPED_TRACE("silence: no ACK, no NAK, no answer");
    SimFaults faults;
    faults.silent = true;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
    std::vector<uint8_t> bad;
    ASSERT_TRUE(EncodeSimFrame(SimPacket{SIM_PID_PRODUCT_RQST, {}}, bad, true));
    ASSERT_TRUE(m_host.SendRaw(bad));
    EXPECT_FALSE(m_host.ReadFrame(kQuiet));
  }
  {
    SCOPED_TRACE("only the second product request is answered");
    SimFaults faults;
    faults.answerSecondProductRequestOnly = true;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
    EXPECT_FALSE(m_host.ReadFrame(kQuiet));
    Identify();
  }
  {
    SCOPED_TRACE("packet 248 before the protocol array");
    SimFaults faults;
    faults.packet248BeforeProtocolArray = true;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
    ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
    ASSERT_TRUE(m_host.Expect(SIM_PID_PRODUCT_DATA, kWait));
    m_host.SendAck(SIM_PID_PRODUCT_DATA);
    ASSERT_TRUE(m_host.Expect(SIM_PID_EXTENDED_PRODUCT, kWait));
    m_host.SendAck(SIM_PID_EXTENDED_PRODUCT);
    ASSERT_TRUE(m_host.Expect(SIM_PID_PROTOCOL_ARRAY, kWait));
    m_host.SendAck(SIM_PID_PROTOCOL_ARRAY);
  }
}

TEST_F(SimSerial, PacingHoldsTheWireRate) {
  m_sim->SetPacing(true);
  const auto start = std::chrono::steady_clock::now();
  Identify();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // ACK (8 bytes), product data (25) and protocol array (21) at about 1.04 ms a byte.
  EXPECT_GE(elapsed, 45ms);
}

TEST_F(SimSerial, PowerOffSilencesTheReceiver) {
  Identify();
  ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TURN_OFF_PWR));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  EXPECT_TRUE(m_sim->IsPoweredOff());
  ASSERT_TRUE(m_host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
  EXPECT_FALSE(m_host.ReadFrame(kQuiet));
  m_sim->PowerOn();
  Identify();
}

TEST_F(SimSerial, AbortEndsATransferAtOnce) {
  Identify();
  ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_TRK));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  ASSERT_TRUE(m_host.Expect(SIM_PID_RECORDS, kWait));
  ASSERT_TRUE(m_host.SendCommand(SIM_CMD_ABORT_TRANSFER));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  EXPECT_FALSE(m_host.ReadFrame(kQuiet));
  EXPECT_EQ(m_sim->HostCommands(), (std::vector<uint16_t>{SIM_CMD_TRANSFER_TRK, SIM_CMD_ABORT_TRANSFER}));
}

TEST_F(SimSerial, NewRequestReplacesAnUnfinishedTransfer) {
  Identify();
  ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_TRK));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  ASSERT_TRUE(m_host.Expect(SIM_PID_RECORDS, kWait));
  // The host gives up on the track log and asks for the serial number instead.
  ASSERT_TRUE(m_host.SendCommand(SIM_CMD_TRANSFER_SERIAL_NUM));
  ASSERT_TRUE(m_host.Expect(SIM_PID_ACK, kWait));
  SimPacket serial;
  ASSERT_TRUE(m_host.Expect(SIM_PID_SERIAL_NUM, kWait, &serial));
  EXPECT_EQ(serial.data, (std::vector<uint8_t>{99, 0, 0, 0}));
  m_host.SendAck(SIM_PID_SERIAL_NUM);
  EXPECT_FALSE(m_host.ReadFrame(kQuiet));
}

TEST_F(SimSerial, HostLogIsWrittenAsJson) {
  Identify();
  qvtest::CTempDir dir;
  const std::string path = (dir.Path() / "host.json").string();
  std::string error;
  ASSERT_TRUE(m_sim->WriteHostLog(path, error)) << error;
  const std::string text = qvtest::ReadFile(path);
  EXPECT_NE(text.find("\"id\": 254"), std::string::npos) << text;
  EXPECT_NE(text.find("\"bad_frames\": 0"), std::string::npos);
  EXPECT_FALSE(m_sim->WriteHostLog((dir.Path() / "missing" / "host.json").string(), error));
}

}  // namespace
