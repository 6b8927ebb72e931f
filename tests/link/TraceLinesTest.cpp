// The trace lines of the link and of validation, exactly as the support
// staff search for them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PtyPeer.h"
#include "link/GpsGarminSerial.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

using linktest::Frame;
using Bytes = std::vector<uint8_t>;

struct TraceCase {
  const char* legend;
  std::function<void()> run;
  std::vector<std::string> lines;
};

void OnPeer(const std::function<void(linktest::CPtyPeer&, CGpsGarminSerial&)>& body) {
  linktest::CPtyPeer peer;
  CGpsGarminSerial gps;
  gps.SetDevicePath(peer.SlavePath());
  gps.SetTimeout(150);
  ASSERT_TRUE(gps.OpenCommsDevice());
  body(peer, gps);
}

void ValidateOnSim(const std::string& scenario) {
  auto sim = CGarminSim::FromJson(scenario);
  ASSERT_NE(sim, nullptr);
  std::string port;
  ASSERT_TRUE(sim->StartSerial(port));
  CGpsGarminSerial gps;
  gps.SetDevicePath(port);
  gps.SetTimeout(150);
  gps.OpenGpsDevice(GPS_DIRECTION_TX);
}

TEST(LinkTrace, FailuresAndStepsAreTraced) {
  qvtest::CTempDir dir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));
  const std::vector<TraceCase> cases = {
      {"open failure",
       [] {
         CGpsGarminSerial gps;
         gps.SetDevicePath("/nonexistent/ttyS9");
         gps.OpenCommsDevice();
       },
       {"CCommsSerial::OpenCommsDevice(): unable to open: /nonexistent/ttyS9"}},
      {"five bad checksums",
       [] {
         OnPeer([](linktest::CPtyPeer& peer, CGpsGarminSerial& gps) {
           Bytes wire;
           for (int i = 0; i < 5; ++i) wire = linktest::Concat({wire, Frame(34, {1}, true)});
           peer.Write(wire);
           gps.ReceivePacket();
         });
       },
       {"CGpsGarminSerial::_ExtractDataFromPacket() CRC", "CGpsGarminSerial::_ReadRawPacket() CRC",
        "CGpsGarminSerial::ReceivePacket() Reached RX packet retry limit",
        "CGpsGarminSerial::_ReadRawPacket() read device: BufferCount=0, BufferFirst=0, BufferLeft=1030"}},
      {"good packet",
       [] {
         OnPeer([](linktest::CPtyPeer& peer, CGpsGarminSerial& gps) {
           peer.Write(Frame(34, {1}));
           gps.ReceivePacket();
         });
       },
       {"CGpsGarminSerial::TransmitAck() 34", "CCommsSerial::WriteCommsDevice() 8 bytes written",
        "CCommsSerial::ReadCommsDevice() BufferSize=1030"}},
      {"overflow",
       [] {
         OnPeer([](linktest::CPtyPeer& peer, CGpsGarminSerial& gps) {
           peer.Write(linktest::Concat({{0x10, 0x22}, Bytes(1100, 0x41)}));
           gps.ReceivePacket();
         });
       },
       {"CGpsGarminSerial::_ReadRawPacket() BUFFER OVERFLOW", "CGpsGarminSerial::ReceivePacket() RX packet"}},
      {"silent receiver",
       [] { OnPeer([](linktest::CPtyPeer&, CGpsGarminSerial& gps) { gps.TransmitCommand(14); }); },
       {"CGpsGarminSerial::TransmitCommand() 14", "CGpsGarminSerial::TransmitPacket() pid=10",
        "CCommsSerial::ReadCommsDevice(): read timeout"}},
      {"no acknowledgement",
       [] {
         OnPeer([](linktest::CPtyPeer& peer, CGpsGarminSerial& gps) {
           peer.Respond([](const linktest::PeerFrame& f, size_t) { return linktest::NakFrame(f.id); });
           gps.TransmitProductRequest();
         });
       },
       {"CGpsGarminSerial::TransmitPacket() Reached TX packet retry limit"}},
      {"validation with a protocol array",
       [] {
         ValidateOnSim(
             R"({"product_id": 484, "software_version": 350, "description": "FR305", "serial_number": 5,
                           "faults": {"packet_248_before_protocol_array": true},
                           "protocols": ["P000", "L001", "A010", "A301:D310,D304"]})");
       },
       {"CGpsGarmin::ValidateDevice(): STATE_TX_PRODUCT_REQUEST", "CGpsGarmin::RxA000ProductData()",
        "GPS device name: FR305", "GPS product ID: 484", "GPS software version: 3.50",
        "APP_PID_PRODUCT_DATA: Device not found in table: FR305 (ID=484, ver=350)",
        "CGpsGarmin::ValidateDevice(): STATE_RX_PROTOCOL_CAPABILITY",
        "CGpsGarmin::ValidateDevice(): Packet with PID=248 received, packet size=",
        "CGpsGarmin::RxA001ProtocolCapability() num protocol capabilities = 6", "Protocol: P0000",
        "Protocol: L0001", "Protocol: D0304", "CGpsGarmin::ValidateDevice(): STATE_TX_SERIAL_NUM",
        "CGpsGarmin::ValidateDevice(): STATE_RX_SERIAL_NUM", "APP_PID_SERIAL_NUM - X000",
        "GPS serial number: 5", "CGpsGarmin::ValidateDevice(): STATE_SUCCESS"}},
      {"L002 receiver",
       [] {
         ValidateOnSim(
             R"({"product_id": 20, "software_version": 100, "description": "GPS 12", "serial_number": 0,
                           "protocols": ["P000", "L002", "A011"]})");
       },
       {"CGpsGarmin::ValidateDevice(): unsupported link protocol L001 (lasterror=0)",
        "CGpsGarmin::ValidateDevice(): STATE_ERROR lasterror=2147944030",
        "CGpsGarmin::ValidateDevice(): CMD_ABORT_TRANSFER", "CGpsGarminSerial::TransmitCommand() 0"}},
      {"serial number 0",
       [] {
         ValidateOnSim(
             R"({"product_id": 484, "software_version": 350, "description": "FR305", "serial_number": 0,
                           "protocols": ["P000", "L001"]})");
       },
       {"GPS serial number invalid"}},
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
    begin = ends[i];
    for (const std::string& line : cases[i].lines) EXPECT_NE(part.find(line), std::string::npos) << line;
  }
}

}  // namespace
