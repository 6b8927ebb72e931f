#include "garmin/ProtocolTag.h"

#include <cstdio>

ProtocolTag ReadProtocolTag(const uint8_t* data, size_t offset) {
  ProtocolTag tag;
  tag.letter = static_cast<char>(data[offset]);
  tag.number = static_cast<uint16_t>(data[offset + 1] | (data[offset + 2] << 8));
  return tag;
}

std::string FormatProtocolTag(const ProtocolTag& tag) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%04d", tag.letter == 0 ? 'O' : tag.letter,
                static_cast<int>(tag.number));
  return text;
}
