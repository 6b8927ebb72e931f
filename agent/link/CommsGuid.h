// The 16-byte identifiers under which the operating system files device
// classes and interfaces, and the ones the communications ports carry.
#pragma once

#include <cstdint>
#include <string>

struct CommsGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};

  bool IsNull() const;
  bool operator==(const CommsGuid&) const = default;
};

// "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}" in lower case.
std::string FormatCommsGuid(const CommsGuid& guid);

// The ports device class and the COM port interface.
constexpr CommsGuid GUID_PORTS_CLASS = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr CommsGuid GUID_COMPORT_INTERFACE = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
// The Garmin USB device class of the old systems and the Garmin USB device interface.
constexpr CommsGuid GUID_GARMIN_USB_CLASS_WIN9X = {
    0xA12A4C5A, 0xE1A3, 0x4151, {0x99, 0x27, 0x7F, 0x72, 0x4C, 0xA5, 0xDC, 0x92}};
constexpr CommsGuid GUID_GARMIN_USB_INTERFACE = {
    0x2C9C45C2, 0x8E7D, 0x4C08, {0xA1, 0x2D, 0x81, 0x6B, 0xBA, 0xE7, 0x22, 0xC0}};
