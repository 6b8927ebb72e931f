// The bit-rate change of the Garmin serial link: its packets and the rates it
// deals in. A receiver starts every session at 9600 bit/s; the host may ask it
// for a faster rate for the rest of the session and must bring it back to 9600
// before it lets go of the port, because the next program expects 9600.
// Garmin describes the exchange in the appendix "Changing the baud rate in
// Garmin mode" of the technical specifications of its GPS 15H/15L and 18x
// receivers.
//
// The exchange, host first:
//   1. LINK_PID_RQST_DATA, data = uint16 0: "turn off all requests", so that
//      no unsolicited output of the receiver is on the line when it changes
//      speed. Acknowledged like any packet.
//   2. LINK_PID_BAUD_RQST_DATA, data = uint32 bit rate the host asks for.
//      Acknowledged like any packet.
//   3. The receiver answers LINK_PID_BAUD_ACPT_DATA, data = uint32 the rate it
//      can do closest to the request, as its own clock divides it: within 5 %
//      of the nominal rate (38361 stands for 38400). The host acknowledges this
//      packet only when it takes that rate; the acknowledgement is the last
//      thing said at the old rate.
//   4. Both ends change speed; the host waits about 100 ms first so that its
//      acknowledgement has left the line.
//   5. At the new rate the host sends APP_PID_COMMAND_DATA with command
//      CMD_ACK_PING twice; each is answered by a plain acknowledgement. A
//      receiver that does not get both within two seconds of its change goes
//      back to 9600 by itself.
// Going back to 9600 is the same exchange with 9600 as the rate.
#pragma once

#include <cstdint>

enum SerialBitRatePacketId : uint8_t {
  LINK_PID_RQST_DATA = 0x1C,       // 28
  LINK_PID_BAUD_RQST_DATA = 0x30,  // 48
  LINK_PID_BAUD_ACPT_DATA = 0x31,  // 49
};

// Command of APP_PID_COMMAND_DATA that the receiver only acknowledges.
constexpr uint16_t CMD_ACK_PING = 0x3A;  // 58

// The rate of every session's start, and of the link whenever it is not switched.
constexpr unsigned SERIAL_DEFAULT_BIT_RATE = 9600;
// Pause between the acknowledgement of the receiver's acceptance and the
// change of the line's speed.
constexpr unsigned SERIAL_BIT_RATE_SETTLE_MS = 100;
// How long a receiver that switched waits for the two pings before it
// returns to 9600 on its own.
constexpr unsigned SERIAL_BIT_RATE_REVERT_MS = 2000;

// The rate to ask for when the user allows up to `highest`: the fastest of
// the usual rates above 9600 that is not above it and that the port can be
// set to; 0 when there is none (stay at 9600).
unsigned SerialBitRateToRequest(unsigned highest);
// The nominal rate a receiver's reported rate stands for (within 5 %), which
// the port may or may not be able to take; 0 when it is near none.
unsigned NominalSerialBitRate(uint32_t reported);
// Whether a rate is one of the usual ones (9600 included).
bool IsUsualSerialBitRate(unsigned bitsPerSecond);
