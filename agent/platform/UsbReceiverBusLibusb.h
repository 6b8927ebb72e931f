// The receivers on the machine's USB buses through libusb-1.0.
#pragma once

#include "platform/UsbReceiverBus.h"

class CUsbReceiverBusLibusb : public CUsbReceiverBus {
public:
  uint32_t ListReceivers(std::vector<UsbDeviceInfo>& receivers) override;
  uint32_t TryClaim(const std::string& path) override;
};
