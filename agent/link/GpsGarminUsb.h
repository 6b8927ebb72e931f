// A Garmin receiver on USB: the port and the protocol engine in one object.
// A session is started at open; replies come on the interrupt pipe until the
// receiver announces data on the bulk pipe, after which the bulk pipe is read
// for the rest of the session. A whole transfer is read in one go into a
// queue of packets, which ReceivePacket then hands out one at a time without
// touching the pipes. There are no acknowledgements and no checksums.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "garmin/GpsGarmin.h"
#include "link/CommsUsb.h"

class CUsbPacketAssembler;

class CGpsGarminUsb : public CCommsUsb, public CGpsGarmin {
public:
  CGpsGarminUsb();
  ~CGpsGarminUsb() override;

  CCommsDevice* GetCommsDevice() override { return static_cast<CCommsUsb*>(this); }
  // Opens the port, starts the session and validates the receiver; the port
  // is closed again when any of that fails.
  bool OpenGpsDevice(int direction) override;
  // Closes the port and frees every queued packet.
  bool CloseGpsDevice() override;

  bool TransmitProductRequest() override;
  bool TransmitCommand(uint16_t command) override;
  // Hands out the next queued packet, reading the pipes only when the queue
  // is empty or a transfer is still under way.
  bool ReceivePacket() override;
  // Sends an application packet; a successful write is success.
  bool TransmitPacket(unsigned packetId, const uint8_t* data, unsigned size) override;

  // The unit id the receiver reported when the session started.
  uint32_t GetUnitId() const { return m_unitId; }
  bool IsBulkMode() const { return m_bulkMode; }
  size_t GetQueuedPacketCount() const { return m_queue.size(); }

protected:
  bool _TransmitPacket(unsigned type, unsigned packetId, const uint8_t* data, unsigned size);
  // Reads the interrupt pipe until the reply, or the whole transfer, is queued.
  bool _ReadPackets();
  // Reads the packets of one bulk read (and the rest of a packet it ends in).
  bool _ReadBulkPackets();

private:
  struct CQueuedPacket {
    std::unique_ptr<uint8_t[]> bytes;  // header and data
    size_t size = 0;
  };

  // Reads the bulk or the interrupt pipe until the assembler holds at least `minimum` more
  // bytes; false when the port failed (its error is set).
  bool _ReadMore(CUsbPacketAssembler& assembler, bool bulk, size_t minimum, unsigned& bytesRead);
  // Copies the assembler's front packet to the end of the queue.
  bool _QueuePacket(const CUsbPacketAssembler& assembler);
  // A header announcing more data than the read buffer holds: the error,
  // and the rest of the packet read from the pipe and dropped, so that the
  // next request does not take it for headers.
  void _RejectOversizedPacket(CUsbPacketAssembler& assembler, bool bulk);
  // Progress for one packet read (a records packet announces its count);
  // false when the user cancelled.
  bool _CountPacket(const CUsbPacketAssembler& assembler);
  bool _ProcessSessionStarted();
  void _FreeQueue();

  std::deque<CQueuedPacket> m_queue;
  size_t m_queuedBytes = 0;  // of m_queue, with what each entry costs besides
  bool m_bulkMode = false;
  bool m_waitingForAppPidXferCmplt = false;
  uint32_t m_unitId = 0;
};
