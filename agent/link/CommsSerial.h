// A serial port as a communications device: the receiver's COM port, driven
// at 9600 baud 8N1 with the line settings it had restored when it closes.
#pragma once

#include "link/CommsDevice.h"
#include "platform/SerialPort.h"

class CCommsSerial : public CCommsDevice {
public:
  CCommsSerial();
  ~CCommsSerial() override;

  // Closes first if open, then opens and configures the device path.
  bool OpenCommsDevice() override;
  // True when closed, also when it was not open.
  bool CloseCommsDevice() override;
  // Writes every byte, each wait bounded by twice the timeout.
  bool WriteCommsDevice(const uint8_t* data, unsigned length) override;
  // Returns at the first bytes to arrive; fails when none arrive within the timeout.
  bool ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned& bytesRead) override;

  bool IsOpen() const { return m_port.IsOpen(); }
  // Changes the open port's speed once what was written has gone out; false
  // with the port's error (message 3500) when the port cannot be set to it.
  bool SetBitRate(unsigned bitsPerSecond);
  unsigned GetBitRate() const { return m_port.GetBitRate(); }
  static bool IsSupportedBitRate(unsigned bitsPerSecond) {
    return CSerialPort::IsSupportedBitRate(bitsPerSecond);
  }

private:
  CSerialPort m_port;
};
