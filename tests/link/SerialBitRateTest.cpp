// The bit-rate change of the serial link against a scripted receiver on a real
// pseudo-terminal. The receiver hears the host only while both ends run at the
// same speed, and answers the exchange the way its mode says.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "PtyPeer.h"
#include "garmin/GarminErrors.h"
#include "link/GpsGarminSerial.h"

namespace {

using linktest::AckFrame;
using linktest::Frame;
using linktest::NakFrame;
using linktest::PeerFrame;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

constexpr uint32_t kIgnores = 0;
constexpr uint32_t kOwnClock115200 = 115084;  // the receiver's clock's 115200

// Offers `offer` for any rate asked but 9600 (kIgnores: only acknowledges the
// request).
// A silent one goes deaf after switching and, as the host's pings never reach
// it, falls back to 9600 by itself.
class CScriptedReceiver {
public:
  CScriptedReceiver(uint32_t offer, bool silent) : m_offer(offer), m_silent(silent) {}

  Bytes Answer(const PeerFrame& frame, unsigned hostRate) {
    std::lock_guard lock(m_mutex);
    if (m_deafUntil != Clock::time_point{} && Clock::now() >= m_deafUntil) {
      m_deafUntil = {};
      m_changes.push_back(9600);
    }
    if (hostRate != _Rate() || m_deafUntil != Clock::time_point{}) return {};  // noise to it
    if (frame.id == 6) {
      if (!frame.data.empty() && frame.data[0] == 49 && m_offered != 0 && m_offered != _Rate()) {
        m_changes.push_back(m_offered);
        if (m_silent) m_deafUntil = Clock::now() + std::chrono::seconds(2);
      }
      m_offered = 0;
      return {};
    }
    if (frame.id == 48 && m_offer != kIgnores) {
      const uint32_t offer = frame.data == U32(9600) ? 9600 : m_offer;
      m_offered = offer == kOwnClock115200 ? 115200 : offer;
      Bytes reply = AckFrame(48);
      const Bytes accept = Frame(49, U32(offer));
      reply.insert(reply.end(), accept.begin(), accept.end());
      return reply;
    }
    // A receiver that keeps refusing the track log lets a transfer fail.
    return frame.id == 10 && frame.data == Bytes{6, 0} ? NakFrame(10) : AckFrame(frame.id);
  }

  std::vector<unsigned> Changes() {
    std::lock_guard lock(m_mutex);
    return m_changes;
  }

private:
  unsigned _Rate() const { return m_changes.empty() ? 9600 : m_changes.back(); }

  const uint32_t m_offer;
  const bool m_silent;
  std::mutex m_mutex;
  unsigned m_offered = 0;
  Clock::time_point m_deafUntil{};
  std::vector<unsigned> m_changes;  // its line speeds in order
};

struct CRig {
  CRig(uint32_t offer, bool silent) : receiver(offer, silent) {
    peer.Respond([this](const PeerFrame& f, size_t) { return receiver.Answer(f, peer.HostBitRate()); });
    gps.SetDevicePath(peer.SlavePath());
    gps.SetTimeout(200);
  }
  std::vector<uint8_t> HostIds() const {
    std::vector<uint8_t> ids;
    for (const PeerFrame& f : peer.HostFrames()) ids.push_back(f.id);
    return ids;
  }
  CScriptedReceiver receiver;
  linktest::CPtyPeer peer;
  CGpsGarminSerial gps;
};

struct NegotiationCase {
  const char* legend;
  uint32_t offer;
  bool silent;
  uint8_t command;  // sent after the negotiation; 6: the receiver refuses it
  unsigned linkRate;
  HRESULT error;                          // kept through the close
  std::vector<unsigned> receiverChanges;  // ends at 9600 whenever it switched
  std::vector<unsigned> asked;            // the rates the host asked for, switch-back included
  std::vector<uint8_t> hostIds;           // every host frame to the close; empty: not checked
};

// Only a switched link is switched back on close, with the same exchange at
// 9600, also after a failed transfer, whose outcome it keeps.
TEST(SerialBitRate, NegotiatesOrStaysAt9600AndLeavesTheReceiverAt9600) {
  const NegotiationCase cases[] = {
      {"accepted, then a transfer fails",
       kOwnClock115200,
       false,
       6,
       115200,
       HR_RETRY,
       {115200, 9600},
       {115200, 9600},
       {28, 48, 6, 10, 10, 10, 10, 10, 10, 10, 28, 48, 6, 10, 10}},
      {"refused: 9600 is all it does", 9600, false, 14, 9600, S_OK, {}, {115200}, {28, 48, 6, 10}},
      {"request ignored", kIgnores, false, 14, 9600, S_OK, {}, {115200}, {28, 48, 10}},
      {"accepted, then silent at the new rate",
       kOwnClock115200,
       true,
       14,
       9600,
       S_OK,
       {115200, 9600},
       {115200},
       {}},
      {"port cannot be set to the offered rate", 76800, false, 14, 9600, S_OK, {}, {115200}, {28, 48, 10}},
  };
  for (const NegotiationCase& c : cases) {
    SCOPED_TRACE(c.legend);
    CRig rig(c.offer, c.silent);
    ASSERT_TRUE(rig.gps.OpenCommsDevice());
    EXPECT_EQ(rig.gps.NegotiateBitRate(115200), c.linkRate);
    EXPECT_EQ(rig.gps.GetLinkBitRate(), c.linkRate);
    EXPECT_EQ(rig.peer.HostBitRate(), c.linkRate);
    // Whatever happened, nothing of it is left as an error.
    EXPECT_EQ(rig.gps.GetErrorCode(), S_OK);
    // The next request goes through at the rate the link settled on.
    EXPECT_EQ(rig.gps.TransmitCommand(c.command), c.error == S_OK);
    EXPECT_TRUE(rig.gps.CloseGpsDevice());
    EXPECT_EQ(rig.gps.GetErrorCode(), c.error);
    EXPECT_EQ(rig.gps.GetLastError(), S_OK);
    EXPECT_EQ(rig.receiver.Changes(), c.receiverChanges);
    if (!c.hostIds.empty()) {
      EXPECT_EQ(rig.HostIds(), c.hostIds);
    }
    std::vector<unsigned> asked;
    for (const PeerFrame& f : rig.peer.HostFrames()) {
      if (f.id == 48) asked.push_back(f.data[0] | f.data[1] << 8 | f.data[2] << 16 | f.data[3] << 24);
    }
    EXPECT_EQ(asked, c.asked);
  }
}

}  // namespace
