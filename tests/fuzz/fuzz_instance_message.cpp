// Another process of the same user writes to the running agent's socket:
// whatever it sends is taken record by record, each record whole and within
// the bounds, or refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/InstanceMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (;;) {
    InstanceMessage message;
    size_t consumed = 0;
    const InstanceDecode result = DecodeInstanceMessage(bytes, message, consumed);
    if (result != InstanceDecode::Complete) {
      if (consumed != 0) std::abort();
      return 0;
    }
    if (consumed > bytes.size() || message.payload.size() > kInstanceMaxPayload) std::abort();
    if (EncodeInstanceMessage(message.kind, message.payload) != bytes.substr(0, consumed)) std::abort();
    bytes.remove_prefix(consumed);
  }
}
