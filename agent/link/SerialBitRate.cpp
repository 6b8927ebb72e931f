#include "link/SerialBitRate.h"

#include "link/CommsSerial.h"

namespace {

// The rates a host asks for, slowest first.
constexpr unsigned kUsualRates[] = {9600, 19200, 38400, 57600, 115200, 230400};
// Every nominal rate a receiver's answer may stand for, the usual ones and
// the rates of UARTs that a serial port may not be able to take.
constexpr unsigned kNominalRates[] = {4800, 9600, 14400, 19200, 28800, 38400, 57600, 76800, 115200, 230400};

}  // namespace

unsigned SerialBitRateToRequest(unsigned highest) {
  unsigned chosen = 0;
  for (unsigned rate : kUsualRates) {
    if (rate > SERIAL_DEFAULT_BIT_RATE && rate <= highest && CCommsSerial::IsSupportedBitRate(rate))
      chosen = rate;
  }
  return chosen;
}

unsigned NominalSerialBitRate(uint32_t reported) {
  for (unsigned rate : kNominalRates) {
    // |reported - rate| <= 5 % of rate, in integers.
    const uint64_t difference = reported > rate ? reported - rate : rate - reported;
    if (difference * 20 <= rate) return rate;
  }
  return 0;
}

bool IsUsualSerialBitRate(unsigned bitsPerSecond) {
  for (unsigned rate : kUsualRates) {
    if (rate == bitsPerSecond) return true;
  }
  return false;
}
