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

enum class EMode { Accept, Refuse, Ignore, AcceptThenSilent, Offer76800 };

Bytes U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

class CScriptedReceiver {
public:
  explicit CScriptedReceiver(EMode mode) : m_mode(mode) {}

  Bytes Answer(const PeerFrame& frame, unsigned hostRate) {
    std::lock_guard lock(m_mutex);
    if (m_rate != 9600 && m_deafUntil != Clock::time_point{} && Clock::now() >= m_deafUntil) {
      _Switch(9600);  // the pings never came: back to 9600 by itself
      m_deafUntil = {};
    }
    if (hostRate != m_rate || m_deafUntil != Clock::time_point{}) return {};  // noise to it
    switch (frame.id) {
      case 6:
        if (!frame.data.empty() && frame.data[0] == 49 && m_offered != 0) {
          if (m_offered != m_rate && m_mode == EMode::AcceptThenSilent)
            m_deafUntil = Clock::now() + std::chrono::seconds(2);
          if (m_offered != m_rate) _Switch(m_offered);
          m_offered = 0;
        }
        return {};
      case 48:
        return _AnswerRequest(frame);
      case 10:
        // A receiver that keeps refusing the track log lets a transfer fail.
        return frame.data == Bytes{6, 0} ? NakFrame(10) : AckFrame(10);
      default:
        return AckFrame(frame.id);
    }
  }

  unsigned Rate() {
    std::lock_guard lock(m_mutex);
    return m_rate;
  }
  std::vector<unsigned> Changes() {
    std::lock_guard lock(m_mutex);
    return m_changes;
  }

private:
  Bytes _AnswerRequest(const PeerFrame& frame) {
    const uint32_t asked = frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16 | frame.data[3] << 24;
    uint32_t offer = asked == 9600 ? 9600 : 115084;  // its clock's 115200
    switch (m_mode) {
      case EMode::Ignore:
        return AckFrame(48);
      case EMode::Refuse:
        offer = 9600;
        break;
      case EMode::Offer76800:
        offer = 76800;
        break;
      default:
        break;
    }
    m_offered = offer == 115084 ? 115200 : offer;
    Bytes reply = AckFrame(48);
    const Bytes accept = Frame(49, U32(offer));
    reply.insert(reply.end(), accept.begin(), accept.end());
    return reply;
  }
  void _Switch(unsigned rate) {
    m_rate = rate;
    m_changes.push_back(rate);
  }

  const EMode m_mode;
  std::mutex m_mutex;
  unsigned m_rate = 9600;
  unsigned m_offered = 0;
  Clock::time_point m_deafUntil{};
  std::vector<unsigned> m_changes;
};

struct CRig {
  explicit CRig(EMode mode) : receiver(mode) {
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
  EMode mode;
  uint8_t command;  // sent after the negotiation; 6: the receiver refuses it
  unsigned linkRate;
  HRESULT error;                          // kept through the close
  std::vector<unsigned> receiverChanges;  // the receiver's line speeds in order
  std::vector<unsigned> asked;            // the rates the host asked for, switch-back included
  std::vector<uint8_t> hostIds;           // every host frame to the close; empty: not checked
};

// Only a switched link is switched back on close, with the same exchange at
// 9600, also after a failed transfer, whose outcome it keeps.
TEST(SerialBitRate, NegotiatesOrStaysAt9600AndLeavesTheReceiverAt9600) {
  const NegotiationCase cases[] = {
      {"accepted, then a transfer fails",
       EMode::Accept,
       6,
       115200,
       HR_RETRY,
       {115200, 9600},
       {115200, 9600},
       {28, 48, 6, 10, 10, 10, 10, 10, 10, 10, 28, 48, 6, 10, 10}},
      {"refused: 9600 is all it does", EMode::Refuse, 14, 9600, S_OK, {}, {115200}, {28, 48, 6, 10}},
      {"request ignored", EMode::Ignore, 14, 9600, S_OK, {}, {115200}, {28, 48, 10}},
      {"accepted, then silent at the new rate",
       EMode::AcceptThenSilent,
       14,
       9600,
       S_OK,
       {115200, 9600},
       {115200},
       {}},
      {"port cannot be set to the offered rate",
       EMode::Offer76800,
       14,
       9600,
       S_OK,
       {},
       {115200},
       {28, 48, 10}},
  };
  for (const NegotiationCase& c : cases) {
    SCOPED_TRACE(c.legend);
    CRig rig(c.mode);
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
    EXPECT_EQ(rig.receiver.Rate(), 9600u);
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
