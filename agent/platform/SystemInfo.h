// The operating system the agent runs on.
#pragma once

#include <cstdint>
#include <string>

struct OsVersion {
  uint32_t platformId = 0;  // reported as the modern platform class (2)
  uint32_t major = 0;
  uint32_t minor = 0;
};

class CSystemInfo {
public:
  // Kernel release from uname, e.g. 6.1.0-18-amd64 gives 2, 6, 1.
  static OsVersion GetVersion();
  // The system's own name and version, e.g. "Linux 6.1".
  static std::string GetOsName();
};
