#include "link/GpsGarminSerial.h"

#include <cstring>

#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "link/SerialFrame.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"
#include "util/Util.h"

CGpsGarminSerial::CGpsGarminSerial() = default;

CGpsGarminSerial::~CGpsGarminSerial() {
  CloseCommsDevice();
}

bool CGpsGarminSerial::OpenGpsDevice(int direction) {
  m_bufferFirst = 0;
  m_bufferCount = 0;
  m_heard = false;
  CGpsGarmin::ResetError();
  if (!OpenCommsDevice()) return false;
  if (!ProgressReset(direction)) {
    CloseGpsDevice();
    return false;
  }
  const bool valid = ValidateDevice();
  if (!valid) CloseGpsDevice();
  if (valid) NegotiateBitRate(CUtil::GetSerialBitRate());
  if (!ProgressStep(1, direction)) {
    CloseGpsDevice();
    return false;
  }
  return valid;
}

bool CGpsGarminSerial::CloseGpsDevice() {
  return CloseCommsDevice();
}

bool CGpsGarminSerial::TransmitProductRequest() {
  return TransmitPacket(APP_PID_PRODUCT_RQST, nullptr, 0);
}

bool CGpsGarminSerial::TransmitCommand(uint16_t command) {
  LogWrite(LOG_INFO, "CGpsGarminSerial::TransmitCommand() %u", static_cast<unsigned>(command));
  // A receiver that switches off may do so before it acknowledges: the
  // command is not sent again for a missing acknowledgement.
  if (command == CMD_TURN_OFF_PWR) m_heard = false;
  const uint8_t data[2] = {static_cast<uint8_t>(command & 0xFF), static_cast<uint8_t>(command >> 8)};
  return TransmitPacket(APP_PID_COMMAND_DATA, data, sizeof data);
}

bool CGpsGarminSerial::_TransmitRawPacket(unsigned packetId, const uint8_t* data, unsigned size) {
  // The frame announces its size in one byte: more data cannot be framed
  // and would reach the receiver as a corrupt packet.
  if (size > SERIAL_MAX_DATA) {
    LogWrite(LOG_ERROR, "CGpsGarminSerial::_TransmitRawPacket() packet too large: pid=%u size=%u", packetId,
             size);
    SetError(E_INVALIDARG, IDS_ERR_INTERNAL);
    return false;
  }
  uint8_t frame[SERIAL_FRAME_CAPACITY];
  const size_t length =
      EncodeSerialFrame(static_cast<uint8_t>(packetId), data, size, frame, SERIAL_FRAME_CAPACITY);
  return WriteCommsDevice(frame, static_cast<unsigned>(length));
}

bool CGpsGarminSerial::_ExtractDataFromPacket(size_t bodyStart, size_t bodyEnd, uint8_t& packetId,
                                              uint8_t& size) {
  if (DecodeSerialFrame(m_buffer, bodyStart, bodyEnd, packetId, size)) return true;
  LogWrite(LOG_ERROR, "CGpsGarminSerial::_ExtractDataFromPacket() CRC");
  return false;
}

bool CGpsGarminSerial::_ReadRawPacket(uint8_t& packetId, uint8_t& size, const uint8_t*& data) {
  m_lastReadBadFrame = false;
  SerialFrameScan scan;
  scan.position = m_bufferFirst;
  for (;;) {
    ScanSerialFrame(m_buffer, m_bufferFirst + m_bufferCount, scan);
    if (scan.end != SerialFrameScan::NONE) {
      const size_t bodyStart = scan.start != SerialFrameScan::NONE ? scan.start + 1 : m_bufferFirst;
      const bool good = _ExtractDataFromPacket(bodyStart, scan.end, packetId, size);
      // The frame is consumed whether it was good or not.
      m_bufferCount -= scan.end - m_bufferFirst;
      m_bufferFirst = m_bufferCount == 0 ? 0 : scan.end;
      data = m_buffer;
      if (!good) {
        m_lastReadBadFrame = true;
        SetError(HR_CRC, IDS_ERR_BAD_PACKET);
        LogWrite(LOG_ERROR, "CGpsGarminSerial::_ReadRawPacket() CRC");
        return false;
      }
      m_heard = true;
      return true;
    }

    size_t left = SERIAL_BUFFER_SIZE - m_bufferFirst - m_bufferCount;
    if (left == 0) {
      if (scan.start == SerialFrameScan::NONE) {
        // Nothing but noise: drop it all.
        m_bufferFirst = 0;
        m_bufferCount = 0;
      } else if (scan.start == 0) {
        LogWrite(LOG_ERROR, "CGpsGarminSerial::_ReadRawPacket() BUFFER OVERFLOW");
        SetError(HR_BUFFER_OVERFLOW, IDS_ERR_BAD_PACKET);
        // No frame is this long; keeping the bytes would fail every later read too.
        m_bufferFirst = 0;
        m_bufferCount = 0;
        m_lastReadBadFrame = true;
        return false;
      } else {
        // Keep the unfinished frame, moved to the front, and look at it afresh.
        const size_t keep = m_bufferFirst + m_bufferCount - scan.start;
        std::memmove(m_buffer, m_buffer + scan.start, keep);
        m_bufferFirst = 0;
        m_bufferCount = keep;
      }
      scan = SerialFrameScan{};
      left = SERIAL_BUFFER_SIZE - m_bufferCount;
    }

    LogWrite(LOG_INFO,
             "CGpsGarminSerial::_ReadRawPacket() read device: BufferCount=%u, BufferFirst=%u, BufferLeft=%u",
             static_cast<unsigned>(m_bufferCount), static_cast<unsigned>(m_bufferFirst),
             static_cast<unsigned>(left));
    unsigned got = 0;
    if (!ReadCommsDevice(m_buffer + m_bufferFirst + m_bufferCount, static_cast<unsigned>(left), got))
      return false;
    m_bufferCount += got;
  }
}

bool CGpsGarminSerial::_TransmitAck(uint8_t packetId) {
  LogWrite(LOG_INFO, "CGpsGarminSerial::TransmitAck() %u", static_cast<unsigned>(packetId));
  const uint8_t data[2] = {packetId, 0};
  return _TransmitRawPacket(LINK_PID_ACK, data, sizeof data);
}

bool CGpsGarminSerial::TransmitPacket(unsigned packetId, const uint8_t* data, unsigned size) {
  LogWrite(LOG_INFO, "CGpsGarminSerial::TransmitPacket() pid=%u", packetId);
  for (unsigned attempt = 0; attempt < GetRetryCount(); ++attempt) {
    if (!_TransmitRawPacket(packetId, data, size)) return false;
    if (!ProgressStep(1, GPS_DIRECTION_TX)) return false;
    uint8_t replyId = 0;
    uint8_t replySize = 0;
    const uint8_t* reply = nullptr;
    if (!_ReadRawPacket(replyId, replySize, reply)) {
      const bool badFrame = m_lastReadBadFrame && GetErrorCode() == HR_CRC;
      // One lost frame is ordinary on a serial cable: the packet or its
      // acknowledgement went missing, so the packet goes again.
      const bool lost = !m_lastReadBadFrame && m_heard && HRESULT_CODE(GetLastError()) == ERROR_TIMEOUT;
      if (!badFrame && !lost) return false;
      if (lost)
        LogWrite(LOG_WARN, "CGpsGarminSerial::TransmitPacket() no ACK, sending again: pid=%u", packetId);
      CGpsGarmin::ResetError();
      CCommsDevice::ResetError();
      continue;
    }
    if (replyId == LINK_PID_ACK && replySize >= 1 && reply[0] == static_cast<uint8_t>(packetId)) return true;
  }
  LogWrite(LOG_ERROR, "CGpsGarminSerial::TransmitPacket() Reached TX packet retry limit");
  SetError(HR_RETRY, IDS_ERR_TX_PACKET_RETRIES);
  return false;
}

bool CGpsGarminSerial::ReceivePacket() {
  m_packet.size = 0;
  m_packet.data = nullptr;
  if (m_bufferFirst > 0) {
    std::memmove(m_buffer, m_buffer + m_bufferFirst, m_bufferCount);
    m_bufferFirst = 0;
  }
  uint8_t packetId = 0;
  uint8_t size = 0;
  const uint8_t* data = nullptr;
  bool received = false;
  for (unsigned attempt = 0; attempt < GetRetryCount() && !received; ++attempt) {
    if (_ReadRawPacket(packetId, size, data)) {
      received = true;
    } else if (m_lastReadBadFrame && GetErrorCode() == HR_CRC) {
      CGpsGarmin::ResetError();
    } else {
      LogWrite(LOG_ERROR, "CGpsGarminSerial::ReceivePacket() RX packet");
      return false;
    }
  }
  if (!received) {
    LogWrite(LOG_ERROR, "CGpsGarminSerial::ReceivePacket() Reached RX packet retry limit");
    SetError(HR_RETRY, IDS_ERR_RX_PACKET_RETRIES);
    return false;
  }
  if (!_TransmitAck(packetId)) return false;

  m_packet.type = GARMIN_PACKET_TYPE_APPLICATION;
  m_packet.id = packetId;
  m_packet.size = size;
  m_packet.data = size > 0 ? data : nullptr;
  if (packetId == APP_PID_RECORDS) {
    // A records packet too short to hold its count announces nothing.
    const int count = size >= 2 ? static_cast<int16_t>(data[0] | (data[1] << 8)) : 0;
    return ProgressAddTotal(count, GPS_DIRECTION_RX);
  }
  return ProgressStep(1, GPS_DIRECTION_RX);
}
