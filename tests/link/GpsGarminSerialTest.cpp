// The serial link over a real pseudo-terminal: the test plays the receiver
// with scripted bytes and checks what the host decoded and answered.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "PtyPeer.h"
#include "garmin/GarminErrors.h"
#include "link/GpsGarminSerial.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

namespace {

using linktest::AckFrame;
using linktest::Concat;
using linktest::Frame;
using linktest::NakFrame;
using linktest::PeerFrame;
using Bytes = std::vector<uint8_t>;

constexpr unsigned kTimeoutMs = 200;

class SerialLinkTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(peer.Ok());
    gps.SetDevicePath(peer.SlavePath());
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenCommsDevice()) << gps.GetErrorMessage();
  }

  Bytes PacketData() const {
    const GarminPacket& p = gps.GetPacket();
    return p.data != nullptr ? Bytes(p.data, p.data + p.size) : Bytes();
  }

  linktest::CPtyPeer peer;
  CGpsGarminSerial gps;
};

Bytes Junk(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(0x20 + i % 64);  // never DLE
  return bytes;
}

struct ReceiveCase {
  const char* legend;
  Bytes wire;
  uint8_t id;
  Bytes data;
};

TEST_F(SerialLinkTest, ReceivesDecodesAndAcknowledges) {
  Bytes dleData(15, 0x10);
  dleData.push_back(0xE0);  // makes the checksum DLE as well
  const Bytes track{1, 2, 3, 4};
  const ReceiveCase cases[] = {
      {"every field DLE", Frame(0x10, dleData), 0x10, dleData},
      {"garbage before the frame", Concat({{0x00, 0x10, 0x10, 0x03, 0x7F}, Frame(34, track)}), 34, track},
      {"two frame starts keep the later", Concat({{0x10, 0x99, 0x01}, Frame(34, track)}), 34, track},
      {"full buffer without a frame start", Concat({Junk(1100), Frame(34, track)}), 34, track},
      {"full buffer with a frame start beyond 0",
       Concat({Junk(500), {0x10, 0x22}, Junk(600), Frame(34, track)}), 34, track},
      {"no data", Frame(12, {}), 12, {}},
  };
  size_t acks = 0;
  for (const ReceiveCase& c : cases) {
    SCOPED_TRACE(c.legend);
    peer.Write(c.wire);
    ASSERT_TRUE(gps.ReceivePacket()) << gps.GetErrorText() << " / " << gps.GetErrorMessage();
    EXPECT_EQ(gps.GetPacket().type, 20u);
    EXPECT_EQ(gps.GetPacket().id, c.id);
    EXPECT_EQ(PacketData(), c.data);
    EXPECT_EQ(gps.GetPacket().data == nullptr, c.data.empty());
    ++acks;
    ASSERT_TRUE(peer.WaitForHostFrames(acks, 2000));
    const PeerFrame ack = peer.HostFrames().back();
    EXPECT_TRUE(ack.good);
    EXPECT_EQ(ack.id, 6);
    EXPECT_EQ(ack.data, (Bytes{c.id, 0}));
  }
  EXPECT_EQ(peer.HostFrames().size(), acks);
}

TEST_F(SerialLinkTest, BadChecksumIsConsumedNotAcknowledgedAndReadAgain) {
  struct Case {
    const char* legend;
    int badFrames;
    bool received;
  };
  const Case cases[] = {{"one bad", 1, true}, {"four bad", 4, true}, {"five bad", 5, false}};
  size_t hostFrames = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Bytes wire;
    for (int i = 0; i < c.badFrames; ++i) wire = Concat({wire, Frame(34, {9, 9}, true)});
    wire = Concat({wire, Frame(34, {7})});
    peer.Write(wire);
    EXPECT_EQ(gps.ReceivePacket(), c.received);
    if (c.received) {
      EXPECT_EQ(PacketData(), Bytes{7});
      EXPECT_EQ(gps.GetErrorCode(), S_OK);
      ++hostFrames;
      ASSERT_TRUE(peer.WaitForHostFrames(hostFrames, 2000));
    } else {
      EXPECT_EQ(gps.GetErrorCode(), HR_RETRY);
      EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_RX_PACKET_RETRIES));
      EXPECT_EQ(gps.GetPacket().size, 0u);
      // The good frame after the five bad ones is still waiting.
      gps.CGpsGarmin::ResetError();
      ASSERT_TRUE(gps.ReceivePacket());
      EXPECT_EQ(PacketData(), Bytes{7});
      ++hostFrames;
      ASSERT_TRUE(peer.WaitForHostFrames(hostFrames, 2000));
    }
    for (const PeerFrame& f : peer.HostFrames()) EXPECT_EQ(f.data, (Bytes{34, 0}));
    EXPECT_EQ(peer.HostFrames().size(), hostFrames);
  }
}

TEST_F(SerialLinkTest, FrameLongerThanTheBufferOverflows) {
  peer.Write(Concat({{0x10, 0x22}, Junk(1100)}));
  EXPECT_FALSE(gps.ReceivePacket());
  EXPECT_EQ(gps.GetErrorCode(), HR_BUFFER_OVERFLOW);
  EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_BAD_PACKET));
  EXPECT_TRUE(peer.HostFrames().empty());
}

TEST_F(SerialLinkTest, SilenceIsTheReadTimeoutOfThePort) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(gps.ReceivePacket());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(gps.GetErrorCode(), S_OK);
  EXPECT_EQ(gps.GetLastError(), HR_TIMEOUT);
  EXPECT_EQ(gps.GetErrorMessage(), LoadString(IDS_ERR_SERIAL_READ));
  EXPECT_GE(elapsed, std::chrono::milliseconds(kTimeoutMs));
  EXPECT_LT(elapsed, std::chrono::milliseconds(kTimeoutMs * 5));
}

TEST_F(SerialLinkTest, AHangUpEndsTheReadWithThePortsError) {
  gps.SetTimeout(60000);     // a busy loop until the time-out would hold the test
  peer.Write({0x10, 0x22});  // half a frame, then the adapter is gone
  peer.Hangup();
  EXPECT_FALSE(gps.ReceivePacket());
  EXPECT_EQ(gps.GetErrorCode(), S_OK);
  EXPECT_NE(gps.GetLastError(), S_OK);
  EXPECT_NE(gps.GetLastError(), HR_TIMEOUT) << "ended by the hang-up, not by the time-out";
  EXPECT_EQ(gps.GetErrorMessage(), LoadString(IDS_ERR_SERIAL_READ));
}

TEST_F(SerialLinkTest, PacketDataStaysUntilTheNextReceive) {
  peer.Write(Concat({Frame(34, {1, 1, 1, 1}), Frame(99, {2, 2})}));
  ASSERT_TRUE(gps.ReceivePacket());
  EXPECT_EQ(PacketData(), (Bytes{1, 1, 1, 1}));
  ASSERT_TRUE(gps.ReceivePacket());
  EXPECT_EQ(gps.GetPacket().id, 99u);
  EXPECT_EQ(PacketData(), (Bytes{2, 2}));
}

struct TransmitCase {
  const char* legend;
  // Replies to the host's 1st, 2nd, ... transmission; missing ones are silence.
  std::vector<Bytes> replies;
  bool acknowledged;
  size_t transmissions;
  HRESULT gpsError;
  HRESULT commsError;
};

TEST(SerialLinkTransmit, ResendsUntilAcknowledged) {
  const uint8_t pid = 10;
  const TransmitCase cases[] = {
      {"acknowledged at once", {AckFrame(pid)}, true, 1, S_OK, S_OK},
      {"NAK, then ACK", {NakFrame(pid), AckFrame(pid)}, true, 2, S_OK, S_OK},
      {"ACK of another id, then ACK", {AckFrame(pid + 1), AckFrame(pid)}, true, 2, S_OK, S_OK},
      {"ACK without data, then ACK", {Frame(6, {}), AckFrame(pid)}, true, 2, S_OK, S_OK},
      {"bad checksum, then ACK", {Frame(6, {pid, 0}, true), AckFrame(pid)}, true, 2, S_OK, S_OK},
      {"five NAKs",
       {NakFrame(pid), NakFrame(pid), NakFrame(pid), NakFrame(pid), NakFrame(pid), AckFrame(pid)},
       false,
       5,
       HR_RETRY,
       S_OK},
      {"silent", {}, false, 1, S_OK, HR_TIMEOUT},
  };
  for (const TransmitCase& c : cases) {
    SCOPED_TRACE(c.legend);
    linktest::CPtyPeer peer;
    peer.Respond([&](const PeerFrame&, size_t index) {
      return index < c.replies.size() ? c.replies[index] : Bytes();
    });
    CGpsGarminSerial gps;
    gps.SetDevicePath(peer.SlavePath());
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenCommsDevice());
    const uint8_t command[2] = {14, 0};
    EXPECT_EQ(gps.TransmitPacket(pid, command, sizeof command), c.acknowledged);
    EXPECT_EQ(gps.GetErrorCode(), c.gpsError);
    EXPECT_EQ(gps.GetLastError(), c.commsError);
    if (c.gpsError == HR_RETRY) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_TX_PACKET_RETRIES));
    }
    const auto frames = peer.HostFrames();
    ASSERT_EQ(frames.size(), c.transmissions);
    for (const PeerFrame& f : frames) {
      EXPECT_TRUE(f.good);
      EXPECT_EQ(f.id, pid);
      EXPECT_EQ(f.data, (Bytes{14, 0}));
    }
  }
}

TEST(SerialLinkTransmit, CommandsAndProductRequestOnTheWire) {
  linktest::CPtyPeer peer;
  peer.Respond([](const PeerFrame& f, size_t) { return AckFrame(f.id); });
  CGpsGarminSerial gps;
  gps.SetDevicePath(peer.SlavePath());
  gps.SetTimeout(kTimeoutMs);
  ASSERT_TRUE(gps.OpenCommsDevice());
  EXPECT_TRUE(gps.TransmitProductRequest());
  EXPECT_TRUE(gps.TransmitCommand(0x1C2));  // 450: both bytes matter
  const Bytes big(255, 0x10);
  EXPECT_TRUE(gps.TransmitPacket(0x10, big.data(), static_cast<unsigned>(big.size())));
  const Bytes tooBig(256, 1);
  EXPECT_FALSE(gps.TransmitPacket(34, tooBig.data(), static_cast<unsigned>(tooBig.size())));
  EXPECT_EQ(gps.GetErrorCode(), E_INVALIDARG);
  const auto frames = peer.HostFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].id, 254);
  EXPECT_TRUE(frames[0].data.empty());
  EXPECT_EQ(frames[1].id, 10);
  EXPECT_EQ(frames[1].data, (Bytes{0xC2, 0x01}));
  EXPECT_EQ(frames[2].id, 0x10);
  EXPECT_EQ(frames[2].data, big);
  for (const PeerFrame& f : frames) EXPECT_TRUE(f.good);
}

}  // namespace
