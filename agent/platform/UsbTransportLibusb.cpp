#include "platform/UsbTransportLibusb.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Win32Errors.h"

namespace {

// libusb reads a timeout of 0 as "wait for ever"; a bounded wait is the whole point here.
unsigned Bounded(unsigned timeoutMs) {
  return timeoutMs == 0 ? 1 : timeoutMs;
}

uint32_t Win32FromLibusb(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return ERROR_SUCCESS;
    case LIBUSB_ERROR_TIMEOUT:
      return ERROR_TIMEOUT;
    case LIBUSB_ERROR_NO_DEVICE:
      return ERROR_DEVICE_NOT_CONNECTED;
    case LIBUSB_ERROR_ACCESS:
      return ERROR_ACCESS_DENIED;
    case LIBUSB_ERROR_BUSY:
      return ERROR_BUSY;
    case LIBUSB_ERROR_NOT_FOUND:
      return ERROR_FILE_NOT_FOUND;
    case LIBUSB_ERROR_INVALID_PARAM:
      return ERROR_INVALID_PARAMETER;
    case LIBUSB_ERROR_NO_MEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case LIBUSB_ERROR_OVERFLOW:
      return ERROR_BUFFER_OVERFLOW;
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return ERROR_NOT_SUPPORTED;
    case LIBUSB_ERROR_INTERRUPTED:
      return ERROR_OPERATION_ABORTED;
    default:
      return ERROR_GEN_FAILURE;  // I/O, pipe (stall) and other failures
  }
}

}  // namespace

bool CUsbTransportLibusb::IsGarminReceiver(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return false;
  return descriptor.idVendor == kGarminUsbVendor && descriptor.idProduct == kGarminUsbProduct;
}

CUsbTransportLibusb::~CUsbTransportLibusb() {
  Close();
}

bool CUsbTransportLibusb::ParsePath(const std::string& path, int& bus, int& address) {
  unsigned b = 0;
  unsigned a = 0;
  char tail = 0;
  if (std::sscanf(path.c_str(), "usb:%u:%u%c", &b, &a, &tail) != 2) return false;
  if (b > 255 || a > 255) return false;
  bus = static_cast<int>(b);
  address = static_cast<int>(a);
  return true;
}

uint32_t CUsbTransportLibusb::Open(const std::string& path) {
  Close();
  int bus = 0;
  int address = 0;
  if (!ParsePath(path, bus, address)) return ERROR_INVALID_NAME;
  if (libusb_init(&m_context) != LIBUSB_SUCCESS) {
    m_context = nullptr;
    return ERROR_DEVICE_NOT_CONNECTED;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(m_context, &list);
  uint32_t result = ERROR_FILE_NOT_FOUND;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    if (libusb_get_bus_number(device) != bus || libusb_get_device_address(device) != address) continue;
    if (!IsGarminReceiver(device)) break;
    result = Win32FromLibusb(libusb_open(device, &m_handle));
    break;
  }
  if (count >= 0) libusb_free_device_list(list, 1);
  if (result != ERROR_SUCCESS) {
    Close();
    return result;
  }
  // The kernel's serial emulation driver, when loaded, holds the interface;
  // libusb hands it back when the interface is released.
  libusb_set_auto_detach_kernel_driver(m_handle, 1);
  result = Win32FromLibusb(libusb_claim_interface(m_handle, 0));
  if (result != ERROR_SUCCESS) {
    Close();
    return result;
  }
  m_claimed = true;
  result = _FindEndpoints();
  if (result != ERROR_SUCCESS) {
    Close();
    return result;
  }
  // Some receivers answer only the first session after a reset unless the
  // data toggles start afresh.
  libusb_clear_halt(m_handle, m_interruptIn);
  libusb_clear_halt(m_handle, m_bulkIn);
  libusb_clear_halt(m_handle, m_bulkOut);
  return ERROR_SUCCESS;
}

uint32_t CUsbTransportLibusb::_FindEndpoints() {
  libusb_config_descriptor* config = nullptr;
  const int rc = libusb_get_active_config_descriptor(libusb_get_device(m_handle), &config);
  if (rc != LIBUSB_SUCCESS) return Win32FromLibusb(rc);
  m_bulkIn = m_bulkOut = m_interruptIn = 0;
  if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
    const libusb_interface_descriptor& iface = config->interface[0].altsetting[0];
    for (int e = 0; e < iface.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& ep = iface.endpoint[e];
      const int type = ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
      const bool in = (ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
      if (type == LIBUSB_TRANSFER_TYPE_BULK && in) m_bulkIn = ep.bEndpointAddress;
      if (type == LIBUSB_TRANSFER_TYPE_BULK && !in) {
        m_bulkOut = ep.bEndpointAddress;
        if (ep.wMaxPacketSize != 0) m_bulkOutPacketSize = ep.wMaxPacketSize;
      }
      if (type == LIBUSB_TRANSFER_TYPE_INTERRUPT && in) {
        m_interruptIn = ep.bEndpointAddress;
        if (ep.wMaxPacketSize != 0) m_interruptPacketSize = ep.wMaxPacketSize;
      }
    }
  }
  libusb_free_config_descriptor(config);
  if (m_bulkIn == 0 || m_bulkOut == 0 || m_interruptIn == 0) return ERROR_NOT_SUPPORTED;
  return ERROR_SUCCESS;
}

void CUsbTransportLibusb::Close() {
  if (m_handle != nullptr) {
    if (m_claimed) libusb_release_interface(m_handle, 0);
    libusb_close(m_handle);
  }
  m_handle = nullptr;
  m_claimed = false;
  if (m_context != nullptr) libusb_exit(m_context);
  m_context = nullptr;
}

uint32_t CUsbTransportLibusb::Write(const uint8_t* data, size_t length, unsigned timeoutMs) {
  if (m_handle == nullptr) return ERROR_INVALID_HANDLE;
  int transferred = 0;
  int rc = libusb_bulk_transfer(m_handle, m_bulkOut, const_cast<uint8_t*>(data), static_cast<int>(length),
                                &transferred, Bounded(timeoutMs));
  if (rc != LIBUSB_SUCCESS) return Win32FromLibusb(rc);
  if (static_cast<size_t>(transferred) != length) return ERROR_WRITE_FAULT;
  if (length % m_bulkOutPacketSize == 0) {
    rc = libusb_bulk_transfer(m_handle, m_bulkOut, nullptr, 0, &transferred, Bounded(timeoutMs));
    if (rc != LIBUSB_SUCCESS) return Win32FromLibusb(rc);
  }
  return ERROR_SUCCESS;
}

uint32_t CUsbTransportLibusb::ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) {
  got = 0;
  if (m_handle == nullptr) return ERROR_INVALID_HANDLE;
  int transferred = 0;
  // One endpoint packet per read, as the receiver's driver delivers them: a
  // larger request would wait for a short packet that a transfer of exactly
  // n x 64 bytes never sends.
  const size_t request = std::min(size, static_cast<size_t>(m_interruptPacketSize));
  const int rc = libusb_interrupt_transfer(m_handle, m_interruptIn, buffer, static_cast<int>(request),
                                           &transferred, Bounded(timeoutMs));
  got = static_cast<size_t>(transferred);
  return Win32FromLibusb(rc);
}

uint32_t CUsbTransportLibusb::ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) {
  got = 0;
  if (m_handle == nullptr) return ERROR_INVALID_HANDLE;
  int transferred = 0;
  const int rc = libusb_bulk_transfer(m_handle, m_bulkIn, buffer, static_cast<int>(size), &transferred,
                                      Bounded(timeoutMs));
  got = static_cast<size_t>(transferred);
  return Win32FromLibusb(rc);
}
