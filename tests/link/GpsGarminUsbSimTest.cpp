// The USB engine against the simulated receiver over its socket: the real
// transport, session start, validation unchanged from the serial link, track
// log downloads on the interrupt and the bulk pipe, and the link faults.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "link/GpsGarminSerial.h"
#include "link/GpsGarminUsb.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace {

constexpr unsigned kTimeoutMs = 250;

const char kForerunner[] =
    R"("product_id": 484, "software_version": 350, "descriptions": ["Forerunner305 Software Version 3.50"],)";
const char kForerunnerProtocols[] =
    R"("protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304", "A1000:D1009"])";

// Two tracks whose headers are longer than one 64-byte interrupt transfer.
std::string TrackScenario() {
  std::string tracks;
  for (int track = 0; track < 2; ++track) {
    if (track > 0) tracks += ",";
    tracks += R"({"ident": ")" + std::string(70, static_cast<char>('A' + track)) + R"(", "points": [)";
    for (int point = 0; point < 30; ++point) {
      if (point > 0) tracks += ",";
      tracks += R"({"lat": )" + std::to_string(47.0 + point * 0.001) + R"(, "lon": 8.5, "time": )" +
                std::to_string(1714543200 + track * 3600 + point * 10) + R"(, "alt": 400, "distance": )" +
                std::to_string(point * 12.5) + R"(, "heart_rate": 120})";
    }
    tracks += "]}";
  }
  return std::string("{") + kForerunner + R"("serial_number": 3456789012, )" + kForerunnerProtocols +
         R"(, "tracks": [)" + tracks + "]}";
}

struct Received {
  uint32_t type;
  uint32_t id;
  std::vector<uint8_t> data;
  bool operator==(const Received&) const = default;
};

// Asks for the track log and receives up to the end of the transfer.
std::vector<Received> DownloadTrackLog(CGpsGarmin& gps, bool& completed) {
  std::vector<Received> packets;
  completed = false;
  if (!gps.TransmitCommand(CMD_TRANSFER_TRK)) return packets;
  while (packets.size() < 1000 && gps.ReceivePacket()) {
    const GarminPacket& packet = gps.GetPacket();
    packets.push_back({packet.type, packet.id,
                       packet.data ? std::vector<uint8_t>(packet.data, packet.data + packet.size)
                                   : std::vector<uint8_t>()});
    if (packet.id == APP_PID_XFER_CMPLT) {
      completed = true;
      break;
    }
  }
  return packets;
}

class GpsGarminUsbSim : public ::testing::Test {
protected:
  std::unique_ptr<CGarminSim> Start(const std::string& scenario) {
    std::string error;
    auto sim = CGarminSim::FromJson(scenario, &error);
    EXPECT_NE(sim, nullptr) << error;
    if (!sim) return sim;
    EXPECT_TRUE(sim->StartUsb(SocketPath())) << sim->LastError();
    m_gps.SetDevicePath("usbsim:" + SocketPath());
    m_gps.SetFriendlyName("Simulated USB receiver");
    m_gps.SetTimeout(kTimeoutMs);
    return sim;
  }

  std::string SocketPath() const { return m_dir.Str() + "/usb.sock"; }

  qvtest::CTempDir m_dir;
  CGpsGarminUsb m_gps;
};

TEST_F(GpsGarminUsbSim, ValidatesTheReceiverThroughTheUsbSession) {
  const std::string fr = kForerunner;
  const std::string frp = kForerunnerProtocols;
  struct Case {
    const char* legend;
    std::string scenario;
    SimUsbFaults faults;
    bool valid;
    HRESULT gpsError;
    unsigned gpsMessage;
    HRESULT commsError;
    const char* prefix;
    std::vector<ProtocolTag> supported;
    std::vector<uint16_t> commands;
  };
  SimUsbFaults appSession;
  appSession.appPacketForSession = true;
  SimUsbFaults shortSession;
  shortSession.sessionStartedSize = 2;
  const std::vector<Case> cases = {
      {"protocol array",
       fr + R"("serial_number": 3456789012, )" + frp,
       {},
       true,
       S_OK,
       0,
       S_OK,
       "device-Garmin-484-3456789012",
       {{'L', 1}, {'A', 301}, {'D', 304}, {'A', 1000}},
       {14}},
      {"product table, no protocol array",
       R"("product_id": 77, "software_version": 361, "descriptions": ["eTrex Vista"], "serial_number": 12345)",
       {},
       true,
       S_OK,
       0,
       S_OK,
       "device-Garmin-77-12345",
       {{'L', 1}, {'A', 400}, {'D', 403}},
       {14}},
      {"packet 248 before the protocol array",
       fr + R"("serial_number": 5, "faults": {"packet_248_before_protocol_array": true}, )" + frp,
       {},
       true,
       S_OK,
       0,
       S_OK,
       "device-Garmin-484-5",
       {{'A', 301}},
       {14}},
      {"serial number 0",
       fr + R"("serial_number": 0, )" + frp,
       {},
       true,
       S_OK,
       0,
       S_OK,
       "device-Garmin-484",
       {{'L', 1}},
       {14}},
      {"L002 protocol array",
       R"("product_id": 20, "software_version": 100, "descriptions": ["GPS 12"], "serial_number": 1,
          "protocols": ["P000", "L002", "A011", "A100:D150"])",
       {},
       false,
       HR_UNSUPPORTED_LINK,
       IDS_ERR_LINK_PROTOCOL,
       S_OK,
       nullptr,
       {},
       {0}},
      {"an application packet answers the session start",
       fr + R"("serial_number": 5, )" + frp,
       appSession,
       false,
       HR_READ_FAULT,
       IDS_ERR_USB_CONNECT,
       S_OK,
       nullptr,
       {},
       {}},
      {"a session-started packet of 2 bytes",
       fr + R"("serial_number": 5, )" + frp,
       shortSession,
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       S_OK,
       nullptr,
       {},
       {}},
      {"silent receiver",
       fr + R"("serial_number": 5, "faults": {"silent": true}, )" + frp,
       {},
       false,
       HR_READ_FAULT,
       IDS_ERR_USB_CONNECT,
       HR_TIMEOUT,
       nullptr,
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    auto sim = Start("{" + c.scenario + "}");
    ASSERT_NE(sim, nullptr);
    sim->SetUsbFaults(c.faults);
    m_gps.GetDataSet().Clear();
    EXPECT_EQ(m_gps.OpenGpsDevice(GPS_DIRECTION_RX), c.valid);
    EXPECT_EQ(m_gps.GetErrorCode(), c.gpsError);
    EXPECT_EQ(m_gps.GetErrorText(), c.gpsMessage ? LoadString(c.gpsMessage) : std::string());
    EXPECT_EQ(m_gps.GetLastError(), c.commsError);
    EXPECT_EQ(m_gps.IsOpen(), c.valid);
    if (c.valid) {
      EXPECT_EQ(m_gps.GetDataSet().prefix, c.prefix);
      EXPECT_EQ(m_gps.GetDataSet().deviceName, "Garmin");
      EXPECT_FALSE(m_gps.GetDataSet().deviceDescription.empty());
    }
    for (const ProtocolTag& tag : c.supported) {
      EXPECT_TRUE(m_gps.IsProtocolSupported(tag)) << tag.letter << tag.number;
    }
    // The last write may still be on its way to the receiver.
    for (int wait = 0; wait < 100 && sim->HostCommands().size() < c.commands.size(); ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(sim->HostCommands(), c.commands);
    EXPECT_EQ(sim->UsbSessionStarts(), 1u);
    m_gps.CloseGpsDevice();
  }
}

TEST_F(GpsGarminUsbSim, TheUnitIdOfTheSessionIsKept) {
  auto sim = Start(TrackScenario());
  ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX)) << m_gps.GetErrorText() << m_gps.GetErrorMessage();
  EXPECT_EQ(m_gps.GetUnitId(), 3456789012u);
  ASSERT_FALSE(sim->HostAppPackets().empty());
  EXPECT_EQ(sim->HostAppPackets().front().id, APP_PID_PRODUCT_RQST);
}

// The same receiver over the serial link gives the reference packets.
std::vector<Received> SerialTrackLog(const std::string& scenario) {
  auto sim = CGarminSim::FromJson(scenario);
  std::string port;
  if (!sim || !sim->StartSerial(port)) return {};
  CGpsGarminSerial serial;
  serial.SetDevicePath(port);
  serial.SetTimeout(kTimeoutMs);
  if (!serial.OpenGpsDevice(GPS_DIRECTION_RX)) return {};
  bool completed = false;
  std::vector<Received> packets = DownloadTrackLog(serial, completed);
  serial.CloseGpsDevice();
  return completed ? packets : std::vector<Received>();
}

TEST_F(GpsGarminUsbSim, TrackLogComesWholeOnEitherPipeAndMatchesTheSerialLink) {
  const std::vector<Received> reference = SerialTrackLog(TrackScenario());
  ASSERT_EQ(reference.size(), 1u + 2u + 60u + 1u) << "records, 2 headers, 60 points, transfer complete";

  for (const bool bulk : {true, false}) {
    SCOPED_TRACE(bulk ? "bulk pipe" : "interrupt pipe in 64-byte transfers");
    auto sim = Start(TrackScenario());
    sim->SetUsbBulkTransfers(bulk);
    ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX)) << m_gps.GetErrorText() << m_gps.GetErrorMessage();
    ASSERT_TRUE(m_gps.TransmitCommand(CMD_TRANSFER_TRK));
    ASSERT_TRUE(m_gps.ReceivePacket()) << m_gps.GetErrorMessage();
    EXPECT_EQ(m_gps.GetPacket().id, APP_PID_RECORDS);
    EXPECT_EQ(m_gps.IsBulkMode(), bulk);
    if (!bulk) {
      EXPECT_EQ(m_gps.GetQueuedPacketCount(), reference.size()) << "the whole transfer in one read";
    }
    std::vector<Received> packets = {
        {m_gps.GetPacket().type, m_gps.GetPacket().id,
         std::vector<uint8_t>(m_gps.GetPacket().data, m_gps.GetPacket().data + m_gps.GetPacket().size)}};
    while (packets.back().id != APP_PID_XFER_CMPLT && packets.size() < 200 && m_gps.ReceivePacket()) {
      const GarminPacket& packet = m_gps.GetPacket();
      packets.push_back(
          {packet.type, packet.id, std::vector<uint8_t>(packet.data, packet.data + packet.size)});
    }
    EXPECT_EQ(packets, reference);

    // A second transfer in the same session takes the same pipe.
    bool completed = false;
    EXPECT_EQ(DownloadTrackLog(m_gps, completed), reference);
    EXPECT_TRUE(completed);
    EXPECT_EQ(sim->HostCommands(), (std::vector<uint16_t>{14, 6, 6}));
    m_gps.CloseGpsDevice();
  }
}

TEST_F(GpsGarminUsbSim, FaultsInsideATransferEndInTheReadTimeout) {
  struct Case {
    const char* legend;
    bool bulk;
    SimUsbFaults faults;
    size_t receivedBeforeFailure;
  };
  SimUsbFaults announceOnBulk;
  announceOnBulk.announceOnBulk = true;
  SimUsbFaults truncateThird;
  truncateThird.truncateSent = 3;
  const std::vector<Case> cases = {
      {"data announced on the bulk pipe", true, announceOnBulk, 0},
      {"third packet truncated, bulk pipe", true, truncateThird, 2},
      {"third packet truncated, interrupt pipe", false, truncateThird, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    auto sim = Start(TrackScenario());
    sim->SetUsbBulkTransfers(c.bulk);
    ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX));
    sim->SetUsbFaults(c.faults);  // counts packets from here on
    bool completed = true;
    EXPECT_EQ(DownloadTrackLog(m_gps, completed).size(), c.receivedBeforeFailure);
    EXPECT_FALSE(completed);
    EXPECT_EQ(m_gps.GetLastError(), HR_TIMEOUT);
    EXPECT_EQ(m_gps.GetErrorMessage(), LoadString(IDS_ERR_USB_READ));
    EXPECT_TRUE(m_gps.CloseGpsDevice());
    EXPECT_EQ(m_gps.GetQueuedPacketCount(), 0u);
  }
}

int AbortOnThirdCall(void* calls, int) {
  return ++*static_cast<int*>(calls) >= 3 ? 0 : 1;
}

TEST_F(GpsGarminUsbSim, AnAbortedTransferLeavesTheReceiverReadyForTheNextHost) {
  auto sim = Start(TrackScenario());
  sim->SetUsbBulkTransfers(false);
  ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX));
  int calls = 0;
  m_gps.SetRxProgressCallback(AbortOnThirdCall, &calls);
  ASSERT_TRUE(m_gps.ProgressReset(GPS_DIRECTION_RX));
  bool completed = true;
  EXPECT_TRUE(DownloadTrackLog(m_gps, completed).empty());
  EXPECT_FALSE(completed);
  EXPECT_EQ(m_gps.GetErrorCode(), S_OK) << "an abort is no error";
  EXPECT_EQ(m_gps.GetLastError(), S_OK);
  EXPECT_GT(m_gps.GetQueuedPacketCount(), 0u);
  EXPECT_TRUE(m_gps.CloseGpsDevice());
  EXPECT_EQ(m_gps.GetQueuedPacketCount(), 0u);

  m_gps.SetRxProgressCallback(nullptr, nullptr);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("reopen " + std::to_string(round));
    ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX)) << m_gps.GetErrorText() << m_gps.GetErrorMessage();
    EXPECT_EQ(DownloadTrackLog(m_gps, completed).size(), 64u);
    EXPECT_TRUE(completed);
    m_gps.CloseGpsDevice();
  }
  EXPECT_EQ(sim->UsbSessionStarts(), 3u);
}

TEST(GpsGarminUsbDiscovery, TheSearchFindsTheSimulatedReceiverNamedInTheSettings) {
  qvtest::CIsolatedHome home;
  CUtil::ResetForTests();
  CUtil::Initialize();
  const std::string socketPath = (home.Path() / "usb.sock").string();
  auto sim = CGarminSim::FromJson(TrackScenario());
  ASSERT_NE(sim, nullptr);
  ASSERT_TRUE(sim->StartUsb(socketPath)) << sim->LastError();
  CUtil::SetDevicePorts("serial:/nonexistent/ttyS9;usbsim:" + socketPath);

  CGpsGarminUsb gps;
  ASSERT_TRUE(gps.FindFirstCommsDevice());
  EXPECT_EQ(gps.GetDevicePath(), "usbsim:" + socketPath) << "only ports of its own kind";
  EXPECT_FALSE(gps.FindNextCommsDevice());
  gps.SetTimeout(kTimeoutMs);
  EXPECT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX)) << gps.GetErrorText() << gps.GetErrorMessage();
  EXPECT_EQ(gps.GetDataSet().prefix, "device-Garmin-484-3456789012");
  gps.CloseGpsDevice();
  CUtil::ResetForTests();
}

}  // namespace
