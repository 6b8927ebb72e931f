// The communications objects the port search walks, registered once at
// start-up and read afterwards by the worker that looks for receivers.
#pragma once

#include <cstddef>

class CCommsDevice;

class CCommsRegistry {
public:
  static constexpr size_t MAX_ENTRIES = 20;

  // Appends the object; null and a 21st object are ignored.
  static void Register(CCommsDevice* device);
  // Entry 0 with the cursor after it; nullptr when nothing is registered.
  static CCommsDevice* GetFirst();
  // The entry at the cursor, advancing it; nullptr after the last one.
  static CCommsDevice* GetNext();
  static size_t Count();
  // Forgets every registration (at shutdown, and between tests).
  static void Clear();
};
