#include "link/CommsUsb.h"

#include <algorithm>
#include <cstring>

#include "resources/StringIds.h"
#include "util/TraceLog.h"
#include "util/Util.h"

CCommsUsb::CCommsUsb() {
  // The old systems file the Garmin driver under a class of its own; the
  // current ones under the Garmin device interface, searched as the class.
  SetClassGuid(CUtil::GetPlatformId() == 1 ? GUID_GARMIN_USB_CLASS_WIN9X : GUID_GARMIN_USB_INTERFACE);
}

CCommsUsb::~CCommsUsb() {
  if (m_transport) m_transport->Close();
}

bool CCommsUsb::OpenCommsDevice() {
  LogWrite(LOG_INFO, "CCommsUsb::OpenCommsDevice()");
  // Each port is a fresh start: a failure on the port tried before must not
  // fail this one.
  ResetError();
  m_spillFirst = 0;
  m_spillCount = 0;
  if (GetDevicePath().empty()) {
    SetLastError(E_INVALIDARG, IDS_ERR_USB_OPEN);
    return false;
  }
  if (IsOpen()) CloseCommsDevice();
  // The path decides the transport, and the object is reused for every port.
  m_transport = m_factory ? m_factory(GetDevicePath()) : CUsbTransport::Create(GetDevicePath());
  uint32_t error = m_transport ? m_transport->Open(GetDevicePath()) : ERROR_INVALID_HANDLE;
  if (error == ERROR_SUCCESS) return true;
  if (error == 0) error = ERROR_INVALID_HANDLE;
  LogWrite(LOG_ERROR, "CCommsUsb::Open(): unable to open USB port. Error=%u, path=%s", error,
           GetDevicePath().c_str());
  SetLastError(HRESULT_FROM_WIN32(error), IDS_ERR_USB_OPEN);
  return false;
}

bool CCommsUsb::CloseCommsDevice() {
  LogWrite(LOG_INFO, "CCommsUsb::CloseCommsDevice()");
  if (m_transport) m_transport->Close();
  m_spillFirst = 0;
  m_spillCount = 0;
  return true;
}

uint32_t CCommsUsb::_ReadBulk(uint8_t* buffer, size_t size, size_t& got) {
  got = 0;
  if (m_spillCount > 0) {
    got = std::min(size, m_spillCount);
    std::memcpy(buffer, m_spill + m_spillFirst, got);
    m_spillFirst += got;
    m_spillCount -= got;
    return ERROR_SUCCESS;
  }
  if (size >= kBulkPacketSize) {
    return m_transport->ReadBulk(buffer, size - size % kBulkPacketSize, got, GetTimeout());
  }
  size_t spilled = 0;
  const uint32_t error = m_transport->ReadBulk(m_spill, kBulkPacketSize, spilled, GetTimeout());
  got = std::min(size, spilled);
  std::memcpy(buffer, m_spill, got);
  m_spillFirst = got;
  m_spillCount = spilled - got;
  return error;
}

bool CCommsUsb::WriteCommsDevice(const uint8_t* data, unsigned length) {
  if (!IsOpen()) {
    SetLastError(E_HANDLE, IDS_ERR_USB_WRITE);
    return false;
  }
  const uint32_t error = m_transport->Write(data, length, GetTimeout());
  if (error == ERROR_SUCCESS) return true;
  if (error == ERROR_TIMEOUT) {
    LogWrite(LOG_ERROR, "CCommsUsb::WriteCommsDevice WAIT_TIMEOUT");
    SetLastError(HRESULT_FROM_WIN32(ERROR_TIMEOUT), IDS_ERR_USB_WRITE);
    return false;
  }
  SetLastError(HRESULT_FROM_WIN32(error), IDS_ERR_USB_WRITE);
  return false;
}

bool CCommsUsb::ReadCommsDevice(uint8_t* /*buffer*/, unsigned /*bufferSize*/, unsigned& bytesRead) {
  bytesRead = 0;
  // A false result without an error would read as a cancellation.
  SetLastError(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED), IDS_ERR_USB_READ);
  return false;
}

bool CCommsUsb::ReadCommsDeviceIo(uint32_t code, uint8_t* buffer, unsigned bufferSize, unsigned minimum,
                                  unsigned& total) {
  total = 0;
  if (!IsOpen()) {
    LogWrite(LOG_ERROR, "CCommsUsb::ReadCommsDeviceIo() ERROR_INVALID_HANDLE");
    SetLastError(E_HANDLE, IDS_ERR_USB_READ);
    return false;
  }
  if (code != IOCTL_ASYNC_IN) {
    // The driver knows no other read.
    LogWrite(LOG_ERROR, "CCommsUsb::ReadCommsDeviceIo() lasterror=%u, %u total bytes read (%u requested)",
             static_cast<unsigned>(ERROR_INVALID_FUNCTION), total, minimum);
    SetLastError(HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION), IDS_ERR_USB_READ);
    return false;
  }
  return _ReadPipe(EPipe::Interrupt, buffer, bufferSize, minimum, total);
}

bool CCommsUsb::ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned minimum, unsigned& total) {
  total = 0;
  if (!IsOpen()) {
    LogWrite(LOG_ERROR, "CCommsUsb::ReadCommsDevice() ERROR_INVALID_HANDLE");
    SetLastError(E_HANDLE, IDS_ERR_USB_READ);
    return false;
  }
  return _ReadPipe(EPipe::Bulk, buffer, bufferSize, minimum, total);
}

bool CCommsUsb::_ReadPipe(EPipe pipe, uint8_t* buffer, unsigned bufferSize, unsigned minimum,
                          unsigned& total) {
  const bool bulk = pipe == EPipe::Bulk;
  // A minimum beyond the buffer could never be met.
  uint32_t error = minimum > bufferSize ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
  while (error == ERROR_SUCCESS && total < minimum) {
    size_t got = 0;
    error = bulk ? _ReadBulk(buffer + total, bufferSize - total, got)
                 : m_transport->ReadInterrupt(buffer + total, bufferSize - total, got, GetTimeout());
    total += static_cast<unsigned>(got);
    // A transfer whose last USB packet was full waits for more until the
    // timeout; what it brought is still good.
    if (error == ERROR_TIMEOUT && got > 0) error = ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) break;
    if (bulk) {
      LogWrite(LOG_INFO, "CCommsUsb::ReadCommsDevice() %u bytes read overlapped", static_cast<unsigned>(got));
    } else {
      LogWrite(LOG_INFO,
               "CCommsUsb::ReadCommsDeviceIo() %u bytes read overlapped, %u total bytes read (%u requested)",
               static_cast<unsigned>(got), total, minimum);
    }
  }
  if (error == ERROR_SUCCESS) {
    if (bulk) {
      LogWrite(LOG_INFO, "CCommsUsb::ReadCommsDevice() %u total bytes read (%u requested)", total, minimum);
    } else {
      LogWrite(LOG_INFO, "CCommsUsb::ReadCommsDeviceIo() %u total bytes read (%u requested)", total, minimum);
    }
    return true;
  }
  if (error == ERROR_TIMEOUT) {
    if (bulk) {
      LogWrite(LOG_ERROR, "CCommsUsb::ReadCommsDevice(): overlapped read timeout");
    } else {
      LogWrite(LOG_ERROR,
               "CCommsUsb::ReadCommsDeviceIo() overlapped read timeout, %u total bytes read (%u requested)",
               total, minimum);
    }
    SetLastError(HRESULT_FROM_WIN32(ERROR_TIMEOUT), IDS_ERR_USB_READ);
    return false;
  }
  if (bulk) {
    LogWrite(LOG_ERROR, "CCommsUsb::ReadCommsDevice(): lasterror=%u", error);
  } else {
    LogWrite(LOG_ERROR, "CCommsUsb::ReadCommsDeviceIo() lasterror=%u, %u total bytes read (%u requested)",
             error, total, minimum);
  }
  SetLastError(HRESULT_FROM_WIN32(error), IDS_ERR_USB_READ);
  return false;
}
