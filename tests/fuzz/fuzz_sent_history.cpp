// The history reader on arbitrary input, and the writer on arbitrary texts:
// a written history must always read back, entry for entry.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/SentHistory.h"

namespace {

bool SameEntries(const CSentHistory& a, const CSentHistory& b) {
  if (a.GetCount() != b.GetCount()) return false;
  for (size_t i = 0; i < a.GetCount(); ++i) {
    if (a.GetAt(i).device != b.GetAt(i).device || a.GetAt(i).begin != b.GetAt(i).begin) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  // As a file: what was read must come back exactly after a save.
  CSentHistory history;
  history.LoadText(input);
  CSentHistory back;
  if (!back.LoadText(history.WriteText())) std::abort();
  if (!SameEntries(history, back)) std::abort();

  // As texts: pairs separated by 0xFF bytes, written and read again. Bytes
  // XML cannot hold may change, but the file stays readable and no entry is lost.
  CSentHistory written;
  size_t start = 0;
  std::string pending;
  bool haveDevice = false;
  while (start <= input.size()) {
    size_t end = input.find('\xFF', start);
    if (end == std::string::npos) end = input.size();
    const std::string part = input.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (!haveDevice) {
      pending = part;
      haveDevice = true;
    } else {
      written.Add(pending, part);
      haveDevice = false;
    }
  }
  CSentHistory reread;
  if (!reread.LoadText(written.WriteText())) std::abort();
  if (reread.GetCount() != written.GetCount()) std::abort();
  return 0;
}
