// A Garmin USB receiver as a communications device: its three pipes reached
// through the USB transport of the platform layer (the libusb device for
// "usb:BUS:ADDRESS" paths, the simulated receiver for "usbsim:SOCKET").
// Writes go to the bulk-out pipe; reads come from the interrupt pipe or the
// bulk-in pipe and repeat until a minimum number of bytes has arrived, each
// read bounded by the timeout.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/CommsDevice.h"
#include "platform/UsbTransport.h"

class CCommsUsb : public CCommsDevice {
public:
  // The control code that reads the interrupt pipe (device type 0x22,
  // function 0x850, buffered, any access).
  static constexpr uint32_t IOCTL_ASYNC_IN = 0x222140;

  // Makes the transport for a device path; tests hand in their own.
  using TransportFactory = std::function<std::unique_ptr<CUsbTransport>(const std::string& path)>;

  CCommsUsb();
  ~CCommsUsb() override;

  // Closes first if open, then opens the device path.
  bool OpenCommsDevice() override;
  // True when closed, also when it was not open.
  bool CloseCommsDevice() override;
  // One whole write, bounded by the timeout.
  bool WriteCommsDevice(const uint8_t* data, unsigned length) override;
  // USB reads need a pipe and a minimum; this form is not supported and
  // always fails.
  bool ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned& bytesRead) override;
  // Reads the interrupt pipe through `code` until at least `minimum` bytes
  // are in `buffer`; total = bytes read.
  virtual bool ReadCommsDeviceIo(uint32_t code, uint8_t* buffer, unsigned bufferSize, unsigned minimum,
                                 unsigned& total);
  // Reads the bulk pipe until at least `minimum` bytes are in `buffer`.
  virtual bool ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned minimum, unsigned& total);

  bool IsOpen() const { return m_transport != nullptr && m_transport->IsOpen(); }
  // Null restores the platform's choice by path.
  void SetTransportFactory(TransportFactory factory) { m_factory = std::move(factory); }

private:
  enum class EPipe { Interrupt, Bulk };
  bool _ReadPipe(EPipe pipe, uint8_t* buffer, unsigned bufferSize, unsigned minimum, unsigned& total);
  // One bulk read of whole endpoint packets: a request that is not a
  // multiple of the packet size is answered with an overflow when the
  // transfer is longer, so a short room is read through m_spill, whose rest
  // the next read hands out first.
  uint32_t _ReadBulk(uint8_t* buffer, size_t size, size_t& got);

  std::unique_ptr<CUsbTransport> m_transport;
  static constexpr size_t kBulkPacketSize = 64;
  uint8_t m_spill[kBulkPacketSize] = {};
  size_t m_spillFirst = 0;
  size_t m_spillCount = 0;
  TransportFactory m_factory;
};
