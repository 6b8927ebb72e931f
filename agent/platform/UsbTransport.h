// The three pipes of a Garmin USB receiver: a write to the bulk-out endpoint,
// reads of the interrupt-in endpoint, and reads of the bulk-in endpoint, each
// bounded by a timeout. Two implementations: the real device through libusb
// (paths "usb:BUS:ADDRESS"), and the simulated receiver reached over a Unix
// socket (paths "usbsim:SOCKET"), so the whole protocol engine above runs
// unchanged against either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Garmin's vendor id and the product id of its USB receivers.
constexpr uint16_t kGarminUsbVendor = 0x091e;
constexpr uint16_t kGarminUsbProduct = 0x0003;

struct UsbDeviceInfo {
  std::string path;          // "usb:BUS:ADDRESS", e.g. usb:001:007
  std::string friendlyName;  // the device's product string, or a generic name
};

class CUsbTransport {
public:
  virtual ~CUsbTransport() = default;

  // The transport that serves a path: "usbsim:" gives the socket transport,
  // anything else the libusb one. Nothing is opened yet.
  static std::unique_ptr<CUsbTransport> Create(const std::string& path);

  // Every operation returns 0 or the Win32 number of the failure:
  // ERROR_TIMEOUT when nothing moved in time, ERROR_DEVICE_NOT_CONNECTED when
  // the receiver is gone, ERROR_INVALID_HANDLE when not open, ...
  virtual uint32_t Open(const std::string& path) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // One whole write: a write whose length is a multiple of the endpoint's
  // packet size is followed by a zero-length packet so the receiver sees its end.
  virtual uint32_t Write(const uint8_t* data, size_t length, unsigned timeoutMs) = 0;
  // One transfer from the interrupt pipe: up to `size` bytes, `got` may be 0.
  virtual uint32_t ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) = 0;
  // One transfer from the bulk pipe; a zero-length transfer ends a burst.
  virtual uint32_t ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) = 0;
};

// The framing of the simulated receiver's socket: each message is one pipe
// byte, a 32-bit little-endian length and that many bytes. The host sends
// kUsbSimPipeWrite messages; the receiver sends one message per USB transfer
// on kUsbSimPipeInterrupt or kUsbSimPipeBulk (a zero-length bulk message is
// the zero-length packet that ends a bulk burst).
constexpr uint8_t kUsbSimPipeWrite = 'W';
constexpr uint8_t kUsbSimPipeInterrupt = 'I';
constexpr uint8_t kUsbSimPipeBulk = 'B';
constexpr size_t kUsbSimHeaderSize = 5;
// A message longer than this is a broken peer, not a transfer.
constexpr uint32_t kUsbSimMaxMessage = 1u << 20;
