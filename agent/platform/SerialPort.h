// A serial port opened for a Garmin receiver: raw 8N1 at 9600 baud with DTR
// and RTS raised, held exclusively while open. Every wait is bounded by a
// timeout, so a silent or unplugged receiver never blocks the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct termios;

// What a port operation ended with; the Win32 number of the failure is in
// CSerialPort::LastError().
enum class SerialStatus {
  Ok,
  OpenFailed,  // the device could not be opened (missing, in use, no access)
  InitFailed,  // opened, but the line settings could not be read or set
  Timeout,     // nothing could be moved within the timeout
  IoFailed,    // the read or write call itself failed
  NotOpen,
};

class CSerialPort {
public:
  CSerialPort();
  ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Opens an existing device for reading and writing and configures it.
  // The line settings found at open are restored by Close.
  SerialStatus Open(const std::string& path);
  // True when the port was closed (or was not open); false when restoring
  // the settings or closing reported an error.
  bool Close();
  bool IsOpen() const { return m_fd >= 0; }

  // Writes every byte, waiting at most timeoutMs each time the port's output
  // queue is full. `written` counts the bytes taken before any failure.
  SerialStatus Write(const uint8_t* data, size_t length, unsigned timeoutMs, size_t& written);
  // Returns as soon as at least one byte is waiting (at most `size` of them),
  // or Timeout when none arrived within timeoutMs.
  SerialStatus Read(uint8_t* buffer, size_t size, unsigned timeoutMs, size_t& got);

  // Changes the line's speed once everything written so far has left the
  // port; bytes that arrived and were not read yet are discarded, since they
  // straddle the change. InitFailed (ERROR_INVALID_PARAMETER for a rate the
  // port cannot be set to) leaves the speed as it was.
  SerialStatus SetBitRate(unsigned bitsPerSecond);
  // The line's speed in bits per second; 0 when closed or not a known rate.
  unsigned GetBitRate() const;
  // Whether SetBitRate can set this speed at all.
  static bool IsSupportedBitRate(unsigned bitsPerSecond);

  // Win32 number of the last failure (0 after a success).
  uint32_t LastError() const { return m_lastError; }

  // True when the device can be opened now and no other program holds it
  // exclusively; used by port discovery to skip ports in use.
  static bool IsAvailable(const std::string& path);

private:
  SerialStatus _Fail(SerialStatus status, uint32_t win32Error);

  int m_fd = -1;
  bool m_locked = false;
  std::unique_ptr<termios> m_saved;  // line settings found at open
  uint32_t m_lastError = 0;
};
