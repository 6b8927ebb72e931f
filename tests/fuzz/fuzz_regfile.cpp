// The settings hives are text files a user may edit by hand: whatever they
// hold must either be refused or read into a tree that writes back to text
// reading as the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegKeyNode tree;
  if (!CRegFile::Parse(text, tree)) {
    if (!tree.subkeys.empty()) std::abort();
    return 0;
  }
  const std::string written = CRegFile::Write(tree);
  RegKeyNode again;
  if (!CRegFile::Parse(written, again)) std::abort();
  if (!(again == tree)) std::abort();
  if (CRegFile::Write(again) != written) std::abort();
  return 0;
}
