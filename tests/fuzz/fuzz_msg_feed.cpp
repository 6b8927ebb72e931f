// The messages feed reader on arbitrary input, fed in reads of varying size.
// Whatever it kept must survive a trip through the cache form unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "threads/MsgFeed.h"

namespace {

std::string Dump(const CMsgFeed& feed) {
  std::string out = feed.GetTitle() + '\0' + feed.GetLink() + '\0' + feed.GetDescription();
  for (size_t i = 0; i < feed.GetItemCount(); ++i) {
    const CMsgFeedItem& item = feed.GetItem(i);
    out += '\1' + item.title + '\0' + item.link + '\0' + item.description;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses how many bytes each read hands out (1 to 128).
  const size_t step = (data[0] % 128) + 1;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t offset = 0;
  CMsgFeed feed;
  feed.Parse([&](char* buffer, size_t capacity) -> int64_t {
    size_t n = std::min(capacity, input.size() - offset);
    if (n > step) n = step;
    input.copy(buffer, n, offset);
    offset += n;
    return static_cast<int64_t>(n);
  });
  feed.GetParseErrorText();

  CMsgFeed back;
  if (!back.ParseText(feed.WriteText())) std::abort();
  if (Dump(back) != Dump(feed)) std::abort();
  return 0;
}
