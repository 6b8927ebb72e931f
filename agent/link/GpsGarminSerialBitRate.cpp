// The bit-rate change of the serial link (the exchange is described in
// link/SerialBitRate.h). The attempt may never cost the user a download: any
// failure ends with both ends at 9600 and only trace lines to show for it.
#include <chrono>
#include <string>
#include <thread>

#include "garmin/GarminIds.h"
#include "garmin/PacketReader.h"
#include "link/GpsGarminSerial.h"
#include "link/SerialBitRate.h"
#include "util/TraceLog.h"

namespace {

using Clock = std::chrono::steady_clock;

// The errors of the engine and of its port as they were before; put back
// when this goes, so that a step of the change never leaves an error behind
// nor replaces one a transfer left.
class CKeptErrors {
public:
  explicit CKeptErrors(CGpsGarminSerial& gps)
      : m_gps(gps),
        m_gpsCode(gps.GetErrorCode()),
        m_gpsText(gps.GetErrorText()),
        m_commsCode(gps.GetLastError()),
        m_commsText(gps.GetErrorMessage()) {}
  ~CKeptErrors() {
    m_gps.SetErrorWithText(m_gpsCode, m_gpsText);
    m_gps.SetLastErrorWithText(m_commsCode, m_commsText);
  }
  CKeptErrors(const CKeptErrors&) = delete;
  CKeptErrors& operator=(const CKeptErrors&) = delete;

private:
  CGpsGarminSerial& m_gps;
  HRESULT m_gpsCode;
  std::string m_gpsText;
  HRESULT m_commsCode;
  std::string m_commsText;
};

void Pause(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

bool CGpsGarminSerial::CloseCommsDevice() {
  RestoreBitRate();
  m_linkBitRate = SERIAL_DEFAULT_BIT_RATE;
  return CCommsSerial::CloseCommsDevice();
}

unsigned CGpsGarminSerial::NegotiateBitRate(unsigned highest) {
  const unsigned wanted = SerialBitRateToRequest(highest);
  if (wanted == 0 || m_linkBitRate != SERIAL_DEFAULT_BIT_RATE || !IsOpen()) return m_linkBitRate;
  CKeptErrors kept(*this);
  LogWrite(LOG_INFO, "CGpsGarminSerial::NegotiateBitRate() asking for %u", wanted);

  uint32_t accepted = 0;
  if (!_RequestBitRate(wanted, accepted)) {
    LogWrite(LOG_INFO, "CGpsGarminSerial::NegotiateBitRate() no answer to the request, staying at 9600");
    return m_linkBitRate;
  }
  const unsigned rate = NominalSerialBitRate(accepted);
  if (rate == SERIAL_DEFAULT_BIT_RATE) {
    // A refusal: taking it changes nothing.
    _TransmitAck(LINK_PID_BAUD_ACPT_DATA);
    LogWrite(LOG_INFO, "CGpsGarminSerial::NegotiateBitRate() receiver stays at 9600");
    return m_linkBitRate;
  }
  if (rate < SERIAL_DEFAULT_BIT_RATE || rate > wanted || !IsSupportedBitRate(rate)) {
    // Turned down by leaving the offer unacknowledged: the receiver keeps 9600.
    LogWrite(LOG_INFO, "CGpsGarminSerial::NegotiateBitRate() receiver offers %u, port stays at 9600",
             static_cast<unsigned>(accepted));
    return m_linkBitRate;
  }
  if (!_TransmitAck(LINK_PID_BAUD_ACPT_DATA)) return m_linkBitRate;
  Pause(SERIAL_BIT_RATE_SETTLE_MS);
  if (_SwitchLine(rate) && _PingReceiver(2)) {
    m_linkBitRate = rate;
    LogWrite(LOG_INFO, "CGpsGarminSerial::NegotiateBitRate() link at %u", rate);
    return m_linkBitRate;
  }
  _ReturnTo9600(rate);
  return m_linkBitRate;
}

bool CGpsGarminSerial::RestoreBitRate() {
  if (m_linkBitRate == SERIAL_DEFAULT_BIT_RATE || !IsOpen()) return true;
  CKeptErrors kept(*this);
  LogWrite(LOG_INFO, "CGpsGarminSerial::RestoreBitRate() from %u", m_linkBitRate);
  uint32_t accepted = 0;
  bool confirmed = _RequestBitRate(SERIAL_DEFAULT_BIT_RATE, accepted) &&
                   NominalSerialBitRate(accepted) == SERIAL_DEFAULT_BIT_RATE &&
                   _TransmitAck(LINK_PID_BAUD_ACPT_DATA);
  if (confirmed) Pause(SERIAL_BIT_RATE_SETTLE_MS);
  // The port goes back in any case: a receiver that heard nothing of this
  // keeps its rate until it is switched off, and nothing here can reach it.
  const bool switched = _SwitchLine(SERIAL_DEFAULT_BIT_RATE);
  m_linkBitRate = SERIAL_DEFAULT_BIT_RATE;
  confirmed = confirmed && switched && _PingReceiver(2);
  if (!confirmed) LogWrite(LOG_WARN, "CGpsGarminSerial::RestoreBitRate() receiver did not confirm 9600");
  return confirmed;
}

bool CGpsGarminSerial::_TransmitLinkPacket(uint8_t packetId, const uint8_t* data, unsigned size) {
  for (unsigned attempt = 0; attempt < GetRetryCount(); ++attempt) {
    if (!_TransmitRawPacket(packetId, data, size)) return false;
    uint8_t replyId = 0;
    uint8_t replySize = 0;
    const uint8_t* reply = nullptr;
    if (!_ReadRawPacket(replyId, replySize, reply)) {
      if (!m_lastReadBadFrame) return false;
      continue;
    }
    if (replyId == LINK_PID_ACK && replySize >= 1 && reply[0] == packetId) return true;
  }
  return false;
}

bool CGpsGarminSerial::_RequestBitRate(unsigned bitsPerSecond, uint32_t& accepted) {
  m_bufferFirst = 0;
  m_bufferCount = 0;
  const uint8_t quiet[2] = {0, 0};
  const uint8_t request[4] = {static_cast<uint8_t>(bitsPerSecond), static_cast<uint8_t>(bitsPerSecond >> 8),
                              static_cast<uint8_t>(bitsPerSecond >> 16),
                              static_cast<uint8_t>(bitsPerSecond >> 24)};
  if (!_TransmitLinkPacket(LINK_PID_RQST_DATA, quiet, sizeof quiet) ||
      !_TransmitLinkPacket(LINK_PID_BAUD_RQST_DATA, request, sizeof request)) {
    return false;
  }
  // Anything else the receiver still had to say is acknowledged and passed
  // over; a bad frame is read again, as the receiver sends it again.
  for (unsigned read = 0; read < GetRetryCount(); ++read) {
    uint8_t id = 0;
    uint8_t size = 0;
    const uint8_t* data = nullptr;
    if (!_ReadRawPacket(id, size, data)) {
      if (!m_lastReadBadFrame) return false;
      continue;
    }
    if (id != LINK_PID_BAUD_ACPT_DATA) {
      if (!_TransmitAck(id)) return false;
      continue;
    }
    CPacketReader reader(data, size);
    accepted = reader.ReadU32();
    return reader.Ok();
  }
  return false;
}

bool CGpsGarminSerial::_SwitchLine(unsigned bitsPerSecond) {
  // Whatever is left in the buffer was read at the old rate.
  m_bufferFirst = 0;
  m_bufferCount = 0;
  return SetBitRate(bitsPerSecond);
}

bool CGpsGarminSerial::_PingReceiver(unsigned times) {
  const uint8_t ping[2] = {static_cast<uint8_t>(CMD_ACK_PING & 0xFF),
                           static_cast<uint8_t>(CMD_ACK_PING >> 8)};
  for (unsigned i = 0; i < times; ++i) {
    if (!_TransmitLinkPacket(APP_PID_COMMAND_DATA, ping, sizeof ping)) return false;
  }
  return true;
}

void CGpsGarminSerial::_ReturnTo9600(unsigned failedRate) {
  LogWrite(LOG_WARN, "CGpsGarminSerial::NegotiateBitRate() no answer at %u, back to 9600", failedRate);
  // The receiver returns to 9600 by itself once it misses the pings; until
  // then a ping at 9600 reaches it as noise.
  const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(SERIAL_BIT_RATE_REVERT_MS) +
                                   2 * std::chrono::milliseconds(GetTimeout());
  m_linkBitRate = SERIAL_DEFAULT_BIT_RATE;
  if (!_SwitchLine(SERIAL_DEFAULT_BIT_RATE)) return;
  do {
    CCommsSerial::ResetError();
    if (_PingReceiver(1)) {
      LogWrite(LOG_INFO, "CGpsGarminSerial::NegotiateBitRate() receiver back at 9600");
      return;
    }
    // Only silence or noise is worth waiting out; a port that fails stays failed.
    if (GetLastError() != S_OK && HRESULT_CODE(GetLastError()) != ERROR_TIMEOUT) break;
  } while (Clock::now() < giveUp);
  LogWrite(LOG_WARN, "CGpsGarminSerial::NegotiateBitRate() receiver silent at 9600");
}
