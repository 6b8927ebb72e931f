// The Garmin receivers on the machine's USB buses, as the port search sees
// them: which are there, and whether this program could take one now. The
// search depends on this interface alone, so a test can stand in for a bus
// whose library does not start or whose receivers are held or forbidden.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/UsbTransport.h"

class CUsbReceiverBus {
public:
  virtual ~CUsbReceiverBus() = default;

  // Appends the receivers found; 0, or ERROR_DLL_INIT_FAILED when the USB
  // library cannot start (no USB subsystem, no access to it at all).
  virtual uint32_t ListReceivers(std::vector<UsbDeviceInfo>& receivers) = 0;
  // Opens the receiver and claims its interface as a link would, then lets it
  // go at once: 0, or the Win32 number of the failure (ERROR_ACCESS_DENIED
  // when the user may not open it, ERROR_BUSY when another program holds it).
  virtual uint32_t TryClaim(const std::string& path) = 0;

  // The buses of this machine, through libusb.
  static CUsbReceiverBus& System();
};
