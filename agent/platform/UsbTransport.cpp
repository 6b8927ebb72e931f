#include "platform/UsbTransport.h"

#include "platform/UsbTransportLibusb.h"
#include "platform/UsbTransportSocket.h"

std::unique_ptr<CUsbTransport> CUsbTransport::Create(const std::string& path) {
  if (path.rfind("usbsim:", 0) == 0) return std::make_unique<CUsbTransportSocket>();
  return std::make_unique<CUsbTransportLibusb>();
}
