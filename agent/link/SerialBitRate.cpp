#include "link/SerialBitRate.h"

#include "link/CommsSerial.h"

namespace {

// The rates Garmin serial receivers offer, slowest first.
constexpr unsigned kUsualRates[] = {9600, 19200, 38400, 57600, 115200, 230400};

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
  for (unsigned rate : kUsualRates) {
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
