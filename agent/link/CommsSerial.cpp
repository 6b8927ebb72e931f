#include "link/CommsSerial.h"

#include <limits>

#include "resources/StringIds.h"
#include "util/TraceLog.h"

CCommsSerial::CCommsSerial() {
  SetClassGuid(GUID_PORTS_CLASS);
  SetInterfaceGuid(GUID_COMPORT_INTERFACE);
}

CCommsSerial::~CCommsSerial() {
  CloseCommsDevice();
}

bool CCommsSerial::OpenCommsDevice() {
  LogWrite(LOG_INFO, "CCommsSerial::OpenCommsDevice() %s", GetDevicePath().c_str());
  if (m_port.IsOpen()) CloseCommsDevice();
  // Each port is a fresh start: a failure on the port tried before must not
  // fail this one.
  ResetError();
  if (GetDevicePath().empty()) {
    SetLastError(E_INVALIDARG, IDS_ERR_SERIAL_OPEN);
    return false;
  }
  switch (m_port.Open(GetDevicePath())) {
    case SerialStatus::Ok:
      LogWrite(LOG_INFO, "CCommsSerial::OpenCommsDevice() OK");
      return true;
    case SerialStatus::InitFailed:
      SetLastError(HRESULT_FROM_WIN32(m_port.LastError()), IDS_ERR_SERIAL_OPEN);
      LogWrite(LOG_ERROR, "CCommsSerial::OpenCommsDevice(): unable to init: %s", GetDevicePath().c_str());
      return false;
    default:
      SetLastError(HRESULT_FROM_WIN32(m_port.LastError()), IDS_ERR_SERIAL_OPEN);
      LogWrite(LOG_ERROR, "CCommsSerial::OpenCommsDevice(): unable to open: %s", GetDevicePath().c_str());
      return false;
  }
}

bool CCommsSerial::CloseCommsDevice() {
  if (!m_port.IsOpen()) return true;
  LogWrite(LOG_INFO, "CCommsSerial::CloseCommsDevice() %s", GetDevicePath().c_str());
  return m_port.Close();
}

bool CCommsSerial::WriteCommsDevice(const uint8_t* data, unsigned length) {
  LogWrite(LOG_INFO, "CCommsSerial::WriteCommsDevice() %u bytes", length);
  if (!m_port.IsOpen()) {
    SetLastError(E_HANDLE, IDS_ERR_SERIAL_WRITE);
    return false;
  }
  const unsigned limit = std::numeric_limits<int>::max() / 2;
  const unsigned waitMs = 2 * (GetTimeout() < limit ? GetTimeout() : limit);
  size_t written = 0;
  switch (m_port.Write(data, length, waitMs, written)) {
    case SerialStatus::Ok:
      LogWrite(LOG_INFO, "CCommsSerial::WriteCommsDevice() %u bytes written", length);
      return true;
    case SerialStatus::Timeout:
      SetLastError(HRESULT_FROM_WIN32(ERROR_TIMEOUT), IDS_ERR_SERIAL_WRITE);
      return false;
    default:
      SetLastError(HRESULT_FROM_WIN32(m_port.LastError()), IDS_ERR_SERIAL_WRITE);
      LogWrite(LOG_ERROR, "CCommsSerial::WriteCommsDevice(): write error %u", m_port.LastError());
      return false;
  }
}

bool CCommsSerial::ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned& bytesRead) {
  LogWrite(LOG_INFO, "CCommsSerial::ReadCommsDevice() BufferSize=%u", bufferSize);
  bytesRead = 0;
  if (!m_port.IsOpen()) {
    SetLastError(E_HANDLE, IDS_ERR_SERIAL_READ);
    return false;
  }
  if (bufferSize == 0) {
    SetLastError(E_INVALIDARG, IDS_ERR_SERIAL_READ);
    return false;
  }
  const unsigned limit = std::numeric_limits<int>::max();
  size_t got = 0;
  switch (m_port.Read(buffer, bufferSize, GetTimeout() < limit ? GetTimeout() : limit, got)) {
    case SerialStatus::Ok:
      bytesRead = static_cast<unsigned>(got);
      LogWrite(LOG_INFO, "CCommsSerial::ReadCommsDevice() %u bytes read", bytesRead);
      return true;
    case SerialStatus::Timeout:
      SetLastError(HRESULT_FROM_WIN32(ERROR_TIMEOUT), IDS_ERR_SERIAL_READ);
      LogWrite(LOG_ERROR, "CCommsSerial::ReadCommsDevice(): read timeout");
      return false;
    default:
      SetLastError(HRESULT_FROM_WIN32(m_port.LastError()), IDS_ERR_SERIAL_READ);
      LogWrite(LOG_ERROR, "CCommsSerial::ReadCommsDevice(): read error %u", m_port.LastError());
      return false;
  }
}

bool CCommsSerial::SetBitRate(unsigned bitsPerSecond) {
  LogWrite(LOG_INFO, "CCommsSerial::SetBitRate() %u", bitsPerSecond);
  if (!m_port.IsOpen()) {
    SetLastError(E_HANDLE, IDS_ERR_SERIAL_OPEN);
    return false;
  }
  if (m_port.SetBitRate(bitsPerSecond) != SerialStatus::Ok) {
    SetLastError(HRESULT_FROM_WIN32(m_port.LastError()), IDS_ERR_SERIAL_OPEN);
    LogWrite(LOG_ERROR, "CCommsSerial::SetBitRate(): unable to set %u: error %u", bitsPerSecond,
             m_port.LastError());
    return false;
  }
  return true;
}
