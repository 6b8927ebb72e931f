#include "link/GpsGarminUsb.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "link/UsbPacket.h"
#include "link/UsbPacketAssembler.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

constexpr HRESULT HR_WRITE_FAULT = HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);  // 0x8007001D

// A receiver that never ends its transfer must not take all memory: far more
// than the largest track log of a receiver, counted with what each queued
// packet costs besides its bytes.
constexpr size_t kMaxQueuedBytes = size_t{16} << 20;
constexpr size_t kQueuedPacketCost = 64;

// The most bytes of a refused packet read and dropped before giving up on it.
constexpr size_t kMaxDrainBytes = size_t{1} << 20;

uint32_t ReadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

CGpsGarminUsb::CGpsGarminUsb() = default;

CGpsGarminUsb::~CGpsGarminUsb() {
  CloseCommsDevice();
  _FreeQueue();
}

void CGpsGarminUsb::_FreeQueue() {
  m_queue.clear();
  m_queuedBytes = 0;
  // The packet handed out last lived in the queue.
  m_packet.size = 0;
  m_packet.data = nullptr;
}

bool CGpsGarminUsb::OpenGpsDevice(int direction) {
  LogWrite(LOG_INFO, "CGpsGarminUsb::OpenGpsDevice()");
  m_bulkMode = false;
  m_waitingForAppPidXferCmplt = false;
  m_bufferFirst = 0;
  m_bufferCount = 0;
  // Packets left from a session that was never closed belong to another
  // conversation; handed out now they would pass for the session reply.
  _FreeQueue();
  CGpsGarmin::ResetError();
  if (!OpenCommsDevice()) return false;
  if (!ProgressReset(direction)) {
    CloseGpsDevice();
    return false;
  }

  if (!_TransmitPacket(USB_PACKET_TYPE_PROTOCOL, PID_START_SESSION, nullptr, 0)) {
    CloseGpsDevice();
    LogWrite(LOG_ERROR, "CGpsGarminUsb::Open(): TX: PID_START_SESSION ");
    SetError(HR_WRITE_FAULT, IDS_ERR_USB_CONNECT);
    return false;
  }
  if (!ReceivePacket()) {
    CloseGpsDevice();
    LogWrite(LOG_ERROR, "CGpsGarminUsb::Open(): RX: PID_START_SESSION ");
    SetError(HR_READ_FAULT, IDS_ERR_USB_CONNECT);
    return false;
  }
  if (!ProgressStep(1, direction)) {
    CloseGpsDevice();
    return false;
  }
  if (m_packet.type != USB_PACKET_TYPE_PROTOCOL) {
    CloseGpsDevice();
    LogWrite(LOG_ERROR, "CGpsGarminUsb::Open(): process session");
    SetError(HR_READ_FAULT, IDS_ERR_USB_CONNECT);
    return false;
  }
  if (!_ProcessSessionStarted()) {
    CloseGpsDevice();
    LogWrite(LOG_ERROR, "CGpsGarminUsb::Open(): process session");
    return false;
  }

  const bool valid = ValidateDevice();
  if (!valid) CloseGpsDevice();
  return valid;
}

bool CGpsGarminUsb::_ProcessSessionStarted() {
  LogWrite(LOG_INFO, "Process TRANS_PID_SESSION_STARTED");
  if (m_packet.id != TRANS_PID_SESSION_STARTED || m_packet.size != 4 || m_packet.data == nullptr) {
    LogWrite(LOG_ERROR, "TRANS_PID_SESSION_STARTED: ERROR_READ_FAULT");
    SetError(HR_READ_FAULT, IDS_ERR_BAD_PACKET);
    return false;
  }
  m_unitId = ReadLe32(m_packet.data);
  return true;
}

bool CGpsGarminUsb::CloseGpsDevice() {
  LogWrite(LOG_INFO, "CGpsGarminUsb::CloseGpsDevice()");
  const bool closed = CloseCommsDevice();
  _FreeQueue();
  return closed;
}

bool CGpsGarminUsb::TransmitProductRequest() {
  return TransmitPacket(APP_PID_PRODUCT_RQST, nullptr, 0);
}

bool CGpsGarminUsb::TransmitCommand(uint16_t command) {
  LogWrite(LOG_INFO, "CGpsGarminUsb::TransmitCommand() %u", static_cast<unsigned>(command));
  const uint8_t data[2] = {static_cast<uint8_t>(command & 0xFF), static_cast<uint8_t>(command >> 8)};
  return TransmitPacket(APP_PID_COMMAND_DATA, data, sizeof data);
}

bool CGpsGarminUsb::TransmitPacket(unsigned packetId, const uint8_t* data, unsigned size) {
  LogWrite(LOG_INFO, "CGpsGarminUsb::TransmitPacket()");
  if (!_TransmitPacket(USB_PACKET_TYPE_APPLICATION, packetId, data, size)) return false;
  return ProgressStep(1, GPS_DIRECTION_TX);
}

bool CGpsGarminUsb::_TransmitPacket(unsigned type, unsigned packetId, const uint8_t* data, unsigned size) {
  LogWrite(LOG_INFO, "CGpsGarminUsb::_TransmitPacket()");
  const bool typeValid = type == USB_PACKET_TYPE_PROTOCOL || type == USB_PACKET_TYPE_APPLICATION;
  if (!typeValid || size > USB_MAX_TX_DATA || (size > 0 && data == nullptr)) {
    SetError(E_INVALIDARG, IDS_ERR_INTERNAL);
    return false;
  }
  uint8_t packet[USB_PACKET_HEADER_SIZE + USB_MAX_TX_DATA];
  const size_t length =
      EncodeUsbPacket(static_cast<uint8_t>(type), static_cast<uint16_t>(packetId), data, size, packet);
  return WriteCommsDevice(packet, static_cast<unsigned>(length));
}

bool CGpsGarminUsb::ReceivePacket() {
  LogWrite(LOG_INFO, "CGpsGarminUsb::ReceivePacket()");
  m_packet.size = 0;
  m_packet.data = nullptr;
  if (!m_queue.empty()) {
    m_queuedBytes -= m_queue.front().size + kQueuedPacketCost;
    m_queue.pop_front();
  }
  if (m_queue.empty() || m_waitingForAppPidXferCmplt) {
    if (m_bulkMode) {
      if (!_ReadBulkPackets()) {
        LogWrite(LOG_ERROR, "CGpsGarminUsb::ReceivePacket(): RX: bulk packet");
        return false;
      }
    } else if (!_ReadPackets()) {
      LogWrite(LOG_ERROR, "CGpsGarminUsb::ReceivePacket(): RX: interrupt packet");
      return false;
    }
  }
  if (m_queue.empty()) {
    // Every successful read queues at least one packet; this is a guard.
    SetError(HR_READ_FAULT, IDS_ERR_BAD_PACKET);
    return false;
  }
  const CQueuedPacket& head = m_queue.front();
  UsbPacketHeader header;
  DecodeUsbPacketHeader(head.bytes.get(), head.size, header);
  m_packet.type = header.type;
  m_packet.id = header.id;
  m_packet.size = header.dataSize;
  m_packet.data = header.dataSize > 0 ? head.bytes.get() + USB_PACKET_HEADER_SIZE : nullptr;
  LogWrite(LOG_INFO, "CGpsGarminUsb::ReceivePacket() pid=%u, data=%u", m_packet.id, m_packet.size);
  return true;
}

bool CGpsGarminUsb::_ReadMore(CUsbPacketAssembler& assembler, bool bulk, size_t minimum,
                              unsigned& bytesRead) {
  bytesRead = 0;
  const unsigned freeSize = static_cast<unsigned>(assembler.FreeSize());
  const bool ok =
      bulk ? ReadCommsDevice(assembler.FreeSpace(), freeSize, static_cast<unsigned>(minimum), bytesRead)
           : ReadCommsDeviceIo(IOCTL_ASYNC_IN, assembler.FreeSpace(), freeSize,
                               static_cast<unsigned>(minimum), bytesRead);
  assembler.Added(bytesRead);
  return ok;
}

void CGpsGarminUsb::_RejectOversizedPacket(CUsbPacketAssembler& assembler, bool bulk) {
  // The whole packet could never be held, so none of it is kept.
  const UsbPacketHeader header = assembler.Header();
  LogWrite(LOG_ERROR, "CGpsGarminUsb::_ReadPackets() packet too large: PID=%u, nDataSize=%u",
           static_cast<unsigned>(header.id), header.dataSize);
  size_t left = USB_PACKET_HEADER_SIZE + size_t{header.dataSize} - assembler.Count();
  left = std::min(left, kMaxDrainBytes);
  // Reading out the rest may time out; that is not the error to report.
  const HRESULT commsCode = CCommsUsb::GetLastError();
  const std::string commsText = CCommsUsb::GetErrorMessage();
  while (left > 0) {
    assembler.Reset();
    unsigned bytesRead = 0;
    if (!_ReadMore(assembler, bulk, 1, bytesRead) || bytesRead == 0) break;
    left -= std::min<size_t>(bytesRead, left);
  }
  assembler.Reset();
  CCommsUsb::SetLastErrorWithText(commsCode, commsText);
  SetError(HR_BUFFER_OVERFLOW, IDS_ERR_BAD_PACKET);
}

bool CGpsGarminUsb::_CountPacket(const CUsbPacketAssembler& assembler) {
  const UsbPacketHeader header = assembler.Header();
  if (header.id == APP_PID_RECORDS) {
    // A records packet too short to hold its count announces nothing.
    const uint8_t* data = assembler.Packet() + USB_PACKET_HEADER_SIZE;
    const int count = header.dataSize >= 2 ? static_cast<int16_t>(data[0] | (data[1] << 8)) : 0;
    return ProgressAddTotal(count, GPS_DIRECTION_RX);
  }
  return ProgressStep(1, GPS_DIRECTION_RX);
}

bool CGpsGarminUsb::_QueuePacket(const CUsbPacketAssembler& assembler) {
  const size_t size = assembler.PacketSize();
  if (m_queuedBytes + size + kQueuedPacketCost > kMaxQueuedBytes) {
    LogWrite(LOG_ERROR, "CGpsGarminUsb::_QueuePacket() transfer does not end: %u packets queued",
             static_cast<unsigned>(m_queue.size()));
    SetError(HR_BUFFER_OVERFLOW, IDS_ERR_UNEXPECTED_PACKET);
    return false;
  }
  CQueuedPacket packet;
  packet.bytes.reset(new (std::nothrow) uint8_t[size]);
  if (!packet.bytes) return false;
  std::memcpy(packet.bytes.get(), assembler.Packet(), size);
  packet.size = size;
  m_queue.push_back(std::move(packet));
  m_queuedBytes += size + kQueuedPacketCost;
  return true;
}

bool CGpsGarminUsb::_ReadPackets() {
  LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets() ---BEGIN--- waitingForAppPidXferCmplt=%d",
           m_waitingForAppPidXferCmplt ? 1 : 0);
  CUsbPacketAssembler assembler;
  unsigned packetsRead = 0;
  bool first = true;
  while (first || m_waitingForAppPidXferCmplt || assembler.Count() > 0) {
    LogWrite(LOG_INFO,
             "CGpsGarminUsb::_ReadPackets() first=%d, waitingForAppPidXferCmplt=%d, nTotalBytesRead=%d",
             first ? 1 : 0, m_waitingForAppPidXferCmplt ? 1 : 0, static_cast<int>(assembler.Count()));
    first = false;
    unsigned bytesRead = 0;
    if (assembler.State() == CUsbPacketAssembler::EState::NeedHeader) {
      if (!_ReadMore(assembler, false, assembler.Missing(), bytesRead)) return false;
      const UsbPacketHeader header = assembler.Header();
      LogWrite(LOG_INFO,
               "CGpsGarminUsb::_ReadPackets() Packet header: PID=%d, nBytesRead=%d, nDataSize=%d, "
               "nTotalBytesRead=%d",
               static_cast<int>(header.id), static_cast<int>(bytesRead), static_cast<int>(header.dataSize),
               static_cast<int>(assembler.Count()));
    }
    if (assembler.State() == CUsbPacketAssembler::EState::TooLarge) {
      _RejectOversizedPacket(assembler, false);
      return false;
    }
    if (assembler.State() == CUsbPacketAssembler::EState::NeedData) {
      LogWrite(LOG_INFO,
               "CGpsGarminUsb::_ReadPackets() Reading packet data: nDataSize=%d, nTotalBytesRead=%d, "
               "nPacketSize=%d",
               static_cast<int>(assembler.Header().dataSize), static_cast<int>(assembler.Count()),
               static_cast<int>(assembler.PacketSize()));
      if (!_ReadMore(assembler, false, assembler.Missing(), bytesRead)) return false;
      LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets() Packet data: bytes read=%d",
               static_cast<int>(bytesRead));
    }

    const UsbPacketHeader header = assembler.Header();
    ++packetsRead;
    if (header.id == TRANS_PID_DATA_AVAILABLE) {
      // The rest of the session comes on the bulk pipe; the announcement
      // itself is nothing the application layer should see.
      m_bulkMode = true;
      LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): RX: TRANS_PID_DATA_AVAILABLE");
      if (!_ReadBulkPackets()) {
        LogWrite(LOG_ERROR, "CGpsGarminUsb::_ReadPackets(): ---END--- RX: bulk packet error");
        return false;
      }
    } else {
      bool proceed = true;
      if (header.id == APP_PID_RECORDS) {
        m_waitingForAppPidXferCmplt = true;
        // A records packet too short to hold its count announces nothing.
        const uint8_t* data = assembler.Packet() + USB_PACKET_HEADER_SIZE;
        const int count = header.dataSize >= 2 ? static_cast<int16_t>(data[0] | (data[1] << 8)) : 0;
        LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): RX: APP_PID_RECORDS %d", count);
        proceed = ProgressAddTotal(count, GPS_DIRECTION_RX);
      } else if (header.id == APP_PID_XFER_CMPLT) {
        m_waitingForAppPidXferCmplt = false;
        LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): RX: APP_PID_XFER_CMPLT");
        proceed = ProgressStep(1, GPS_DIRECTION_RX);
      } else {
        LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): RX: PID=%d", static_cast<int>(header.id));
        proceed = ProgressStep(1, GPS_DIRECTION_RX);
      }
      if (!proceed) {
        LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): ---END--- user aborted");
        return false;
      }
      if (!_QueuePacket(assembler)) {
        if (GetErrorCode() != S_OK) return false;
        LogWrite(LOG_ERROR,
                 "CGpsGarminUsb::_ReadPackets(): ---END--- Out of memory. Unable to allocate packet");
        SetError(E_OUTOFMEMORY, IDS_ERR_OUT_OF_MEMORY);
        return false;
      }
      LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): Creating new packet %u bytes",
               static_cast<unsigned>(assembler.PacketSize()));
      LogWrite(LOG_INFO,
               "CGpsGarminUsb::_ReadPackets(): New packet type=%d, PID=%d, datasize=%d, num packets=%u",
               static_cast<int>(header.type), static_cast<int>(header.id), static_cast<int>(header.dataSize),
               static_cast<unsigned>(m_queue.size()));
    }
    const size_t moved = assembler.Consume();
    if (moved > 0)
      LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets(): Move buffer: %u bytes",
               static_cast<unsigned>(moved));
  }
  LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadPackets() ---END--- #read=%u #queue=%u", packetsRead,
           static_cast<unsigned>(m_queue.size()));
  return true;
}

bool CGpsGarminUsb::_ReadBulkPackets() {
  LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadBulkPackets()");
  CUsbPacketAssembler assembler;
  unsigned packetsRead = 0;
  bool first = true;
  while (first || assembler.Count() > 0) {
    first = false;
    unsigned bytesRead = 0;
    if (assembler.State() == CUsbPacketAssembler::EState::NeedHeader &&
        !_ReadMore(assembler, true, assembler.Missing(), bytesRead)) {
      return false;
    }
    if (assembler.State() == CUsbPacketAssembler::EState::TooLarge) {
      _RejectOversizedPacket(assembler, true);
      return false;
    }
    if (assembler.State() == CUsbPacketAssembler::EState::NeedData &&
        !_ReadMore(assembler, true, assembler.Missing(), bytesRead)) {
      return false;
    }
    ++packetsRead;
    // Counted as on the interrupt pipe, so that the progress moves and a
    // cancel is seen during a long transfer.
    if (!_CountPacket(assembler)) {
      LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadBulkPackets(): user aborted");
      return false;
    }
    if (!_QueuePacket(assembler)) {
      if (GetErrorCode() != S_OK) return false;
      LogWrite(LOG_ERROR, "CGpsGarminUsb::_ReadPackets(): Out of memory. Unable to allocate packet");
      SetError(E_OUTOFMEMORY, IDS_ERR_OUT_OF_MEMORY);
      return false;
    }
    assembler.Consume();
  }
  LogWrite(LOG_INFO, "CGpsGarminUsb::_ReadBulkPackets() #read=%u #queue=%u", packetsRead,
           static_cast<unsigned>(m_queue.size()));
  return true;
}
