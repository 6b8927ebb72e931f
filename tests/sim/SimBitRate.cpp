#include "sim/SimBitRate.h"

#include <termios.h>

#include "sim/Receiver.h"

namespace {

constexpr unsigned kRates[] = {9600, 19200, 38400, 57600, 115200, 230400};
constexpr speed_t kCodes[] = {B9600, B19200, B38400, B57600, B115200, B230400};
constexpr auto kRevertAfter = std::chrono::seconds(2);

uint32_t ReadU32(const std::vector<uint8_t>& data) {
  return static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
         (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

std::vector<uint8_t> U32Bytes(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

}  // namespace

void CSimBitRate::SetOptions(const SimBitRateOptions& options) {
  std::lock_guard lock(m_mutex);
  m_options = options;
}

SimBitRateOptions CSimBitRate::Options() const {
  std::lock_guard lock(m_mutex);
  return m_options;
}

unsigned CSimBitRate::Rate() const {
  std::lock_guard lock(m_mutex);
  return m_rate;
}

std::vector<unsigned> CSimBitRate::Changes() const {
  std::lock_guard lock(m_mutex);
  return m_changes;
}

bool CSimBitRate::IsDeaf() const {
  std::lock_guard lock(m_mutex);
  return m_awaitingPings && m_options.mode == SimBitRateMode::AcceptThenSilent;
}

bool CSimBitRate::HandleHostPacket(const SimPacket& packet, SimReply& reply) {
  std::lock_guard lock(m_mutex);
  reply = SimReply{};
  if (packet.id == SIM_PID_COMMAND_DATA && packet.data.size() >= 2 &&
      (packet.data[0] | (packet.data[1] << 8)) == SIM_CMD_ACK_PING) {
    if (m_awaitingPings && ++m_pings >= 2) m_awaitingPings = false;
    return true;
  }
  if (packet.id != SIM_PID_BAUD_RQST_DATA || packet.data.size() < 4) return false;
  m_offered = 0;
  if (m_options.mode == SimBitRateMode::Ignore) return true;
  const uint32_t requested = ReadU32(packet.data);
  unsigned rate = kDefaultRate;
  if (m_options.mode != SimBitRateMode::Refuse) {
    for (unsigned candidate : kRates) {
      if (candidate <= requested && candidate <= m_options.highest) rate = candidate;
    }
  }
  m_offered = rate;
  // Its clock divides down to a little below the nominal rate (38361 for 38400).
  const uint32_t reported = rate == kDefaultRate ? rate : rate - rate / 1000;
  reply.packets.push_back(SimPacket{SIM_PID_BAUD_ACPT_DATA, U32Bytes(reported)});
  return true;
}

void CSimBitRate::OnAcknowledged(uint16_t id, Clock::time_point now) {
  std::lock_guard lock(m_mutex);
  if (id == SIM_PID_BAUD_ACPT_DATA) _TakeOffer(now);
}

bool CSimBitRate::OnHostRate(unsigned hostRate, Clock::time_point now) {
  std::lock_guard lock(m_mutex);
  if (m_offered == 0 || m_offered == m_rate || hostRate != m_offered) return false;
  _TakeOffer(now);
  return true;
}

void CSimBitRate::_TakeOffer(Clock::time_point now) {
  const unsigned rate = m_offered;
  m_offered = 0;
  if (rate == 0 || rate == m_rate) return;
  _SwitchTo(rate);
  m_awaitingPings = true;
  m_pings = 0;
  m_revertAt = now + kRevertAfter;
}

void CSimBitRate::Tick(Clock::time_point now) {
  std::lock_guard lock(m_mutex);
  if (!m_awaitingPings || now < m_revertAt) return;
  m_awaitingPings = false;
  _SwitchTo(kDefaultRate);
}

void CSimBitRate::_SwitchTo(unsigned rate) {
  if (rate == m_rate) return;
  m_rate = rate;
  m_changes.push_back(rate);
}

unsigned SimHostBitRate(int master) {
  struct termios attributes {};
  if (tcgetattr(master, &attributes) != 0) return 0;
  const speed_t code = cfgetospeed(&attributes);
  for (size_t i = 0; i < std::size(kCodes); ++i) {
    if (kCodes[i] == code) return kRates[i];
  }
  return 0;
}
