// The GPX reader on arbitrary input.
#include "ReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzImportReader("input.gpx", data, size);
}
