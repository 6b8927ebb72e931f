#include "link/CommsGuid.h"

#include <cstdio>

bool CommsGuid::IsNull() const {
  return *this == CommsGuid{};
}

std::string FormatCommsGuid(const CommsGuid& g) {
  char text[48];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.data1, g.data2,
                g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
                g.data4[7]);
  return text;
}
