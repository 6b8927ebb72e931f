// A Garmin receiver on a serial port: the port and the protocol engine in one
// object. Packets travel in DLE/ETX frames; every good packet is acknowledged
// and every packet sent waits for its acknowledgement, with bounded retries.
#pragma once

#include <cstdint>

#include "garmin/GpsGarmin.h"
#include "link/CommsSerial.h"
#include "link/SerialBitRate.h"

class CGpsGarminSerial : public CCommsSerial, public CGpsGarmin {
public:
  CGpsGarminSerial();
  ~CGpsGarminSerial() override;

  CCommsDevice* GetCommsDevice() override { return static_cast<CCommsSerial*>(this); }
  // Opens the port and validates the receiver; the port is closed again when
  // that fails.
  bool OpenGpsDevice(int direction) override;
  bool CloseGpsDevice() override;
  // Brings a switched link back to 9600 bit/s before the port closes.
  bool CloseCommsDevice() override;

  bool TransmitProductRequest() override;
  bool TransmitCommand(uint16_t command) override;
  // Reads the next good packet (retrying over bad checksums), acknowledges
  // it and counts it for progress.
  bool ReceivePacket() override;
  // Sends the packet until the receiver acknowledges it, at most the retry
  // count times; a NAK, a bad frame and (once the receiver has been heard)
  // an acknowledgement that does not come each cost one try. Only the low
  // byte of the id travels on the wire.
  bool TransmitPacket(unsigned packetId, const uint8_t* data, unsigned size) override;

  // The faster link of a session (GpsGarminSerialBitRate.cpp). Negotiate asks
  // the validated receiver for the fastest rate up to `highest` that both it
  // and the port can do, and proves it; whatever goes wrong, the link goes on
  // at 9600 and no error is left behind. Returns the link's rate.
  unsigned NegotiateBitRate(unsigned highest);
  // Back to 9600 on both ends; keeps the errors stored before. False when
  // the receiver did not confirm (the port is at 9600 all the same).
  bool RestoreBitRate();
  unsigned GetLinkBitRate() const { return m_linkBitRate; }

protected:
  bool _TransmitRawPacket(unsigned packetId, const uint8_t* data, unsigned size);
  // The next complete frame of the receive buffer, reading from the port as
  // needed; the data are decoded to the start of the buffer.
  bool _ReadRawPacket(uint8_t& packetId, uint8_t& size, const uint8_t*& data);
  bool _ExtractDataFromPacket(size_t bodyStart, size_t bodyEnd, uint8_t& packetId, uint8_t& size);
  bool _TransmitAck(uint8_t packetId);

  // Bit-rate change: a packet acknowledged without counting toward progress
  // (it runs also after a cancel), the request and the receiver's answer,
  // the line's change, the two pings, and the way back after a failure.
  bool _TransmitLinkPacket(uint8_t packetId, const uint8_t* data, unsigned size);
  bool _RequestBitRate(unsigned bitsPerSecond, uint32_t& accepted);
  bool _SwitchLine(unsigned bitsPerSecond);
  bool _PingReceiver(unsigned times);
  void _ReturnTo9600(unsigned failedRate);

  // Whether the last _ReadRawPacket failed on a bad frame (as opposed to the port).
  bool m_lastReadBadFrame = false;
  // The rate both ends use now.
  unsigned m_linkBitRate = SERIAL_DEFAULT_BIT_RATE;
  // Whether a good frame arrived since the device was opened: from then on
  // an acknowledgement that does not come means a lost frame, not an absent
  // receiver.
  bool m_heard = false;
};
