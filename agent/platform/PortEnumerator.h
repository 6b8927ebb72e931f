// The communication ports that could hold a receiver, with the names a user
// recognises. Serial ports come from the kernel's tty class; ports the system
// cannot see (simulators, unusual adapters) are named in a setting. USB
// receivers come from the USB buses; one that this program could not take
// now (another program holds it, the user may not open it) is left out, as a
// serial port in use is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CUsbReceiverBus;

enum class PortKind { Serial, Usb };

struct PortEntry {
  std::string path;          // what the link opens
  std::string friendlyName;  // what the user is shown
  PortKind kind = PortKind::Serial;
};

// A port that is there but was left out, and why (a Win32 number).
struct SkippedPort {
  PortEntry port;
  uint32_t error = 0;
};

class CPortEnumerator {
public:
  // The running system's /sys/class/tty and /dev.
  CPortEnumerator();
  // Another tree laid out like them (tests build one in a temporary folder).
  CPortEnumerator(std::filesystem::path ttyClassFolder, std::filesystem::path devFolder);

  // Appends the free ports of one kind: first those the system lists, then
  // the extra ports of that kind. False, with LastError() set, when the
  // system's list cannot be read at all; the extra ports are listed anyway.
  bool Enumerate(PortKind kind, const std::string& extraPorts, std::vector<PortEntry>& ports);

  uint32_t LastError() const { return m_lastError; }
  // The USB receivers the last Enumerate left out.
  const std::vector<SkippedPort>& Skipped() const { return m_skipped; }

  // Where USB receivers are searched; null (the default) is the machine's
  // own buses. The bus must outlive every copy of this object.
  void SetUsbBus(CUsbReceiverBus* bus) { m_usbBus = bus; }

  // The entries of an extra-ports text: items separated by ';', blanks around
  // them ignored. "serial:PATH" and a plain path are serial ports; "usb:..."
  // and "usbsim:..." are USB ports and keep their prefix in the path.
  static std::vector<PortEntry> ParseExtraPorts(const std::string& text);
  // "serial", "usb".
  static const char* KindName(PortKind kind);

private:
  bool _AppendSerialPorts(std::vector<PortEntry>& ports);
  // The Garmin receivers on the USB buses.
  bool _AppendUsbPorts(std::vector<PortEntry>& ports);
  // Appends the receiver unless the bus refuses it; false when refused.
  bool _AppendClaimableUsbPort(PortEntry port, std::vector<PortEntry>& ports);
  CUsbReceiverBus& _UsbBus() const;
  std::string _SerialFriendlyName(const std::filesystem::path& ttyEntry, const std::string& name) const;

  std::filesystem::path m_ttyClassFolder;
  std::filesystem::path m_devFolder;
  uint32_t m_lastError = 0;
  std::vector<SkippedPort> m_skipped;
  CUsbReceiverBus* m_usbBus = nullptr;
};
