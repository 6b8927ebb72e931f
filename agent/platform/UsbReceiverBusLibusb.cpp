#include "platform/UsbReceiverBusLibusb.h"

#include <libusb.h>

#include <cstdio>

#include "platform/UsbTransportLibusb.h"
#include "platform/Win32Errors.h"

namespace {

std::string PathOf(libusb_device* device) {
  char path[32];
  std::snprintf(path, sizeof path, "usb:%03u:%03u", libusb_get_bus_number(device),
                libusb_get_device_address(device));
  return path;
}

}  // namespace

CUsbReceiverBus& CUsbReceiverBus::System() {
  static CUsbReceiverBusLibusb bus;
  return bus;
}

uint32_t CUsbReceiverBusLibusb::ListReceivers(std::vector<UsbDeviceInfo>& receivers) {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != LIBUSB_SUCCESS) return ERROR_DLL_INIT_FAILED;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    if (!CUsbTransportLibusb::IsGarminReceiver(device)) continue;
    UsbDeviceInfo info{PathOf(device), "Garmin USB GPS"};
    libusb_device_handle* handle = nullptr;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS && descriptor.iProduct != 0 &&
        libusb_open(device, &handle) == LIBUSB_SUCCESS) {
      unsigned char product[128];
      const int n = libusb_get_string_descriptor_ascii(handle, descriptor.iProduct, product, sizeof product);
      if (n > 0) info.friendlyName.assign(reinterpret_cast<const char*>(product), static_cast<size_t>(n));
      libusb_close(handle);
    }
    receivers.push_back(std::move(info));
  }
  if (count >= 0) libusb_free_device_list(list, 1);
  libusb_exit(context);
  return ERROR_SUCCESS;
}

uint32_t CUsbReceiverBusLibusb::TryClaim(const std::string& path) {
  // Exactly what a link does on open, so a receiver that passes here opens
  // for the download too.
  CUsbTransportLibusb transport;
  const uint32_t error = transport.Open(path);
  transport.Close();
  return error;
}
