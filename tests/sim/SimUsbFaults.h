// Faults of the simulated receiver's USB link, apart from the link-free
// faults of the scenario (silence and the power-off switch apply to USB too).
#pragma once

#include <cstddef>
#include <cstdint>

struct SimUsbFaults {
  // The start-session request is answered with an application-layer packet
  // (type 20) instead of the protocol-layer session-started packet.
  bool appPacketForSession = false;
  // Data bytes of the session-started packet; a right one carries 4.
  size_t sessionStartedSize = 4;
  // TRANS_PID_DATA_AVAILABLE goes out on the bulk pipe, where the host does
  // not look for it, instead of the interrupt pipe.
  bool announceOnBulk = false;
  // The Nth application packet sent (counting from 1) stops one byte short of
  // the data its header announces, and the rest of that reply is dropped.
  int truncateSent = 0;
};

// The USB packet the simulator sends and receives: 12-byte header (type,
// 3 reserved, 16-bit id, 2 reserved, 32-bit data size), then the data.
constexpr size_t SIM_USB_HEADER_SIZE = 12;
constexpr uint8_t SIM_USB_TYPE_PROTOCOL = 0;
constexpr uint8_t SIM_USB_TYPE_APPLICATION = 20;
constexpr uint16_t SIM_USB_PID_DATA_AVAILABLE = 2;
constexpr uint16_t SIM_USB_PID_START_SESSION = 5;
constexpr uint16_t SIM_USB_PID_SESSION_STARTED = 6;
// A real receiver's interrupt endpoint moves at most this much per transfer.
constexpr size_t SIM_USB_INTERRUPT_TRANSFER = 64;
