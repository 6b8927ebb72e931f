// The simulator's USB link as a host sees it on the socket: the session
// start, replies cut into 64-byte interrupt transfers, transfers announced on
// the interrupt pipe and sent on the bulk pipe, each USB fault, and hosts that
// come and go. The host here is written from the message layout alone.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "SimProcess.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr auto kWait = 2000ms;
// Long enough that a message that should not come would have come.
constexpr auto kQuiet = 300ms;

const char* kScenario = R"({
  "product_id": 484, "software_version": 350,
  "descriptions": ["Forerunner305 Software Version 3.50 with a description longer than one transfer"],
  "serial_number": 99, "protocols": ["P000", "L001", "A010", "A301:D310,D304"],
  "tracks": [{"ident": "T", "points": [
    {"lat": 1, "lon": 2, "time": 1714543200}, {"lat": 1.1, "lon": 2.1, "time": 1714543210}]}]
})";

struct Message {
  uint8_t pipe = 0;
  Bytes bytes;
};

struct UsbPacket {
  uint8_t type = 0;
  uint16_t id = 0;
  Bytes data;
};

Bytes EncodePacket(uint8_t type, uint16_t id, const Bytes& data) {
  Bytes packet = {type, 0, 0, 0, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 0, 0};
  for (int i = 0; i < 4; ++i) packet.push_back(static_cast<uint8_t>(data.size() >> (8 * i)));
  packet.insert(packet.end(), data.begin(), data.end());
  return packet;
}

// A host on the simulator's socket.
class CUsbHost {
public:
  ~CUsbHost() { Close(); }

  bool Connect(const std::string& path) {
    Close();
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return m_fd >= 0 && connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  void Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    m_incoming.clear();
  }

  bool WriteMessage(uint8_t pipe, const Bytes& payload) {
    Bytes message = {pipe};
    for (int i = 0; i < 4; ++i) message.push_back(static_cast<uint8_t>(payload.size() >> (8 * i)));
    message.insert(message.end(), payload.begin(), payload.end());
    return send(m_fd, message.data(), message.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(message.size());
  }
  bool Send(uint8_t type, uint16_t id, const Bytes& data = {}) {
    return WriteMessage('W', EncodePacket(type, id, data));
  }
  bool StartSession() { return Send(0, 5); }
  bool Command(uint16_t command) {
    return Send(20, 10, {static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)});
  }

  // The next message (one USB transfer) from the receiver.
  bool Next(Message& message, std::chrono::milliseconds wait = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      if (m_incoming.size() >= 5) {
        const uint32_t length = m_incoming[1] | (m_incoming[2] << 8) | (m_incoming[3] << 16) |
                                (static_cast<uint32_t>(m_incoming[4]) << 24);
        if (m_incoming.size() >= 5 + length) {
          message.pipe = m_incoming[0];
          message.bytes.assign(m_incoming.begin() + 5, m_incoming.begin() + 5 + length);
          m_incoming.erase(m_incoming.begin(), m_incoming.begin() + 5 + length);
          return true;
        }
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd pfd{m_fd, POLLIN, 0};
      if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return false;
      uint8_t chunk[4096];
      const ssize_t count = recv(m_fd, chunk, sizeof chunk, 0);
      if (count <= 0) return false;
      m_incoming.insert(m_incoming.end(), chunk, chunk + count);
    }
  }

  // The next whole packet from `pipe`, however many transfers carry it; every
  // transfer must come on that pipe. `transfers` counts them.
  bool NextPacket(uint8_t pipe, UsbPacket& packet, size_t* transfers = nullptr) {
    Bytes bytes;
    size_t count = 0;
    Message message;
    while (bytes.size() < 12 || bytes.size() < 12 + Size(bytes)) {
      if (!Next(message)) return false;
      EXPECT_EQ(message.pipe, pipe) << "transfer on the wrong pipe";
      if (message.pipe != pipe) return false;
      if (pipe == 'I') {
        EXPECT_LE(message.bytes.size(), 64u);
      }
      bytes.insert(bytes.end(), message.bytes.begin(), message.bytes.end());
      ++count;
    }
    EXPECT_EQ(bytes.size(), 12 + Size(bytes)) << "one packet per transfer run";
    packet.type = bytes[0];
    packet.id = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
    packet.data.assign(bytes.begin() + 12, bytes.end());
    if (transfers) *transfers = count;
    return true;
  }

  bool Quiet() {
    Message message;
    return !Next(message, kQuiet);
  }

private:
  static uint32_t Size(const Bytes& bytes) {
    return bytes[8] | (bytes[9] << 8) | (bytes[10] << 16) | (static_cast<uint32_t>(bytes[11]) << 24);
  }

  int m_fd = -1;
  Bytes m_incoming;
};

class SimUsb : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    m_sim = CGarminSim::FromJson(kScenario, &error);
    ASSERT_TRUE(m_sim) << error;
    ASSERT_TRUE(m_sim->StartUsb(SocketPath())) << m_sim->LastError();
    ASSERT_TRUE(m_host.Connect(SocketPath()));
  }

  std::string SocketPath() const { return m_dir.Str() + "/sim.sock"; }

  void ExpectSession() {
    ASSERT_TRUE(m_host.StartSession());
    UsbPacket packet;
    ASSERT_TRUE(m_host.NextPacket('I', packet));
    EXPECT_EQ(packet.type, 0);
    EXPECT_EQ(packet.id, 6);
    EXPECT_EQ(packet.data, (Bytes{99, 0, 0, 0})) << "the unit id is the serial number";
  }

  // Announcement on the interrupt pipe, the transfer on the bulk pipe, then
  // the zero-length transfer; returns the ids.
  std::vector<uint16_t> ExpectBulkTransfer() {
    UsbPacket packet;
    EXPECT_TRUE(m_host.NextPacket('I', packet));
    EXPECT_EQ(packet.type, 0);
    EXPECT_EQ(packet.id, 2);
    std::vector<uint16_t> ids;
    Message message;
    while (m_host.Next(message) && !message.bytes.empty()) {
      EXPECT_EQ(message.pipe, 'B');
      EXPECT_GE(message.bytes.size(), 12u);
      EXPECT_EQ(message.bytes[0], 20);
      ids.push_back(static_cast<uint16_t>(message.bytes[4] | (message.bytes[5] << 8)));
    }
    EXPECT_EQ(message.pipe, 'B');
    return ids;
  }

  qvtest::CTempDir m_dir;
  std::unique_ptr<CGarminSim> m_sim;
  CUsbHost m_host;
};

TEST_F(SimUsb, StartsTheSessionAndAnswersOnTheInterruptPipeIn64ByteTransfers) {
  ExpectSession();
  EXPECT_EQ(m_sim->UsbSessionStarts(), 1u);
  ASSERT_TRUE(m_host.Send(20, 254));
  UsbPacket product;
  size_t transfers = 0;
  ASSERT_TRUE(m_host.NextPacket('I', product, &transfers));
  EXPECT_EQ(product.type, 20);
  EXPECT_EQ(product.id, 255);
  EXPECT_EQ((Bytes{product.data.begin(), product.data.begin() + 4}), (Bytes{0xE4, 0x01, 0x5E, 0x01}));
  EXPECT_EQ(transfers, (12 + product.data.size() + 63) / 64);
  EXPECT_GT(transfers, 1u);
  UsbPacket protocols;
  ASSERT_TRUE(m_host.NextPacket('I', protocols));
  EXPECT_EQ(protocols.id, 253);
  EXPECT_EQ(protocols.data.size(), 3u * 6u);
  ASSERT_TRUE(m_host.Command(14));
  UsbPacket serial;
  ASSERT_TRUE(m_host.NextPacket('I', serial));
  EXPECT_EQ(serial.id, 38);
  EXPECT_EQ(serial.data, (Bytes{99, 0, 0, 0}));
  EXPECT_TRUE(m_host.Quiet());

  // Only application packets are logged, as on the serial side.
  const std::vector<SimPacket> logged = m_sim->HostPackets();
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(logged[0].id, 254);
  EXPECT_EQ(m_sim->HostCommands(), (std::vector<uint16_t>{14}));
}

TEST_F(SimUsb, TransfersGoToTheBulkPipeAndSoDoesEverythingAfter) {
  ExpectSession();
  ASSERT_TRUE(m_host.Command(6));
  EXPECT_EQ(ExpectBulkTransfer(), (std::vector<uint16_t>{27, 99, 34, 34, 12}));
  ASSERT_TRUE(m_host.Command(14));
  EXPECT_EQ(ExpectBulkTransfer(), (std::vector<uint16_t>{38}));

  // A new session goes back to the interrupt pipe.
  ExpectSession();
  ASSERT_TRUE(m_host.Command(14));
  UsbPacket serial;
  ASSERT_TRUE(m_host.NextPacket('I', serial));
  EXPECT_EQ(serial.id, 38);
}

TEST_F(SimUsb, TransfersMayStayOnTheInterruptPipe) {
  m_sim->SetUsbBulkTransfers(false);
  ExpectSession();
  ASSERT_TRUE(m_host.Command(6));
  std::vector<uint16_t> ids;
  UsbPacket packet;
  while (ids.size() < 10 && m_host.NextPacket('I', packet)) {
    ids.push_back(packet.id);
    if (packet.id == 12) break;
  }
  EXPECT_EQ(ids, (std::vector<uint16_t>{27, 99, 34, 34, 12}));
}

TEST_F(SimUsb, PlaysEachUsbFault) {
  struct Case {
    const char* legend;
    SimUsbFaults faults;
    bool silent;
  };
  std::vector<Case> cases(5);
  cases[0].legend = "application packet for the session";
  cases[0].faults.appPacketForSession = true;
  cases[1].legend = "session-started packet of 6 bytes";
  cases[1].faults.sessionStartedSize = 6;
  cases[2].legend = "data announced on the bulk pipe";
  cases[2].faults.announceOnBulk = true;
  cases[3].legend = "second packet truncated";
  cases[3].faults.truncateSent = 2;
  cases[4].legend = "silent receiver";
  cases[4].silent = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    m_sim->SetUsbFaults(c.faults);
    SimFaults faults;
    faults.silent = c.silent;
    m_sim->SetFaults(faults);
    ASSERT_TRUE(m_host.Connect(SocketPath()));
    ASSERT_TRUE(m_host.StartSession());
    if (c.silent) {
      EXPECT_TRUE(m_host.Quiet());
      continue;
    }
    UsbPacket session;
    ASSERT_TRUE(m_host.NextPacket('I', session));
    EXPECT_EQ(session.type, c.faults.appPacketForSession ? 20 : 0);
    EXPECT_EQ(session.id, 6);
    EXPECT_EQ(session.data.size(), c.faults.sessionStartedSize);
    ASSERT_TRUE(m_host.Command(6));
    Message message;
    if (c.faults.announceOnBulk) {
      ASSERT_TRUE(m_host.Next(message));
      EXPECT_EQ(message.pipe, 'B');
      EXPECT_EQ(message.bytes, EncodePacket(0, 2, {}));
      ASSERT_TRUE(m_host.Next(message));
      EXPECT_EQ(message.pipe, 'B');
      EXPECT_EQ(message.bytes[4], 27);
    } else if (c.faults.truncateSent == 2) {
      UsbPacket announcement;
      ASSERT_TRUE(m_host.NextPacket('I', announcement));
      ASSERT_TRUE(m_host.Next(message));
      EXPECT_EQ(message.bytes, EncodePacket(20, 27, {3, 0}));
      ASSERT_TRUE(m_host.Next(message));
      EXPECT_EQ(message.bytes.size(), EncodePacket(20, 99, {0, 0, 'T', 0}).size() - 1) << "one byte short";
      ASSERT_TRUE(m_host.Next(message));
      EXPECT_TRUE(message.bytes.empty()) << "the rest of the transfer is dropped";
    }
    m_host.Close();
  }
}

TEST_F(SimUsb, ServesOneHostAfterAnotherAndCountsBrokenWrites) {
  ExpectSession();
  ASSERT_TRUE(m_host.Command(6));
  m_host.Close();  // leaves in the middle of the transfer
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("host " + std::to_string(round + 2));
    ASSERT_TRUE(m_host.Connect(SocketPath()));
    ExpectSession();
    ASSERT_TRUE(m_host.Command(14));
    UsbPacket serial;
    ASSERT_TRUE(m_host.NextPacket('I', serial)) << "a new host starts on the interrupt pipe";
    EXPECT_EQ(serial.id, 38);
    m_host.Close();
  }
  EXPECT_EQ(m_sim->UsbConnections(), 3u);
  EXPECT_EQ(m_sim->UsbSessionStarts(), 3u);

  ASSERT_TRUE(m_host.Connect(SocketPath()));
  Bytes wrongSize = EncodePacket(20, 254, {});
  wrongSize[8] = 3;  // announces data it does not carry
  ASSERT_TRUE(m_host.WriteMessage('W', wrongSize));
  ASSERT_TRUE(m_host.WriteMessage('W', EncodePacket(7, 254, {})));  // no such packet type
  ASSERT_TRUE(m_host.WriteMessage('W', {1, 2, 3}));                 // shorter than a header
  ExpectSession();
  EXPECT_EQ(m_sim->HostBadFrames(), 3u);
  EXPECT_TRUE(m_host.Quiet()) << "broken writes are not answered";
}

TEST(SimUsbProgram, ServesTheSocketNamedOnTheCommandLine) {
  qvtest::CTempDir dir;
  const std::string socketPath = dir.Str() + "/program.sock";
  CSimProcess process;
  std::string firstLine;
  ASSERT_TRUE(process.Start(QV_GARMIN_SIM_PROGRAM,
                            {"--scenario", std::string(QV_SIM_DATA_DIR) + "/two_tracks_a301.json", "--usb",
                             socketPath, "--usb-session-size", "2"},
                            firstLine));
  EXPECT_EQ(firstLine, "usbsim:" + socketPath);
  CUsbHost host;
  ASSERT_TRUE(host.Connect(socketPath));
  ASSERT_TRUE(host.StartSession());
  UsbPacket session;
  ASSERT_TRUE(host.NextPacket('I', session));
  EXPECT_EQ(session.id, 6);
  EXPECT_EQ(session.data.size(), 2u);
  host.Close();
  EXPECT_EQ(process.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(socketPath)) << "the socket is removed at exit";
}

}  // namespace
