// The Garmin USB receiver through libusb-1.0.
#pragma once

#include "platform/UsbTransport.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

class CUsbTransportLibusb : public CUsbTransport {
public:
  CUsbTransportLibusb() = default;
  ~CUsbTransportLibusb() override;

  // A Garmin receiver by its vendor and product ids.
  static bool IsGarminReceiver(libusb_device* device);
  // "usb:BUS:ADDRESS" into its numbers; false for any other shape.
  static bool ParsePath(const std::string& path, int& bus, int& address);

  uint32_t Open(const std::string& path) override;
  void Close() override;
  bool IsOpen() const override { return m_handle != nullptr; }
  uint32_t Write(const uint8_t* data, size_t length, unsigned timeoutMs) override;
  uint32_t ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) override;
  uint32_t ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) override;

private:
  uint32_t _FindEndpoints();

  libusb_context* m_context = nullptr;
  libusb_device_handle* m_handle = nullptr;
  bool m_claimed = false;
  uint8_t m_bulkIn = 0;
  uint8_t m_bulkOut = 0;
  uint8_t m_interruptIn = 0;
  uint16_t m_bulkOutPacketSize = 64;
  uint16_t m_interruptPacketSize = 64;
};
