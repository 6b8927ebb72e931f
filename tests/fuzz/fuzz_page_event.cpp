// What a page posts to the host, and markup the host scans for inputs, on
// arbitrary input: refused or read, never a crash.
#include <cstdint>
#include <string_view>

#include "platform/MarkupScan.h"
#include "platform/PageEvent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  SPageEvent event;
  if (ParsePageEvent(input, event) && event.type == SPageEvent::Overlay && event.overlay < 0)
    __builtin_trap();
  for (const SMarkupTag& tag : ScanStartTags(input)) {
    if (tag.name.empty()) __builtin_trap();
  }
  DecodeEntities(input);
  return 0;
}
