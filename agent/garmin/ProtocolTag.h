// One entry of a receiver's protocol list: a letter ('A' application, 'D'
// data type, 'L' link, 'P' physical) and a number. On the wire (A001 protocol
// array) a tag is 3 bytes: the letter, then the number as 16 bits
// little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ProtocolTag {
  char letter = 0;
  uint16_t number = 0;

  bool operator==(const ProtocolTag&) const = default;
};

constexpr size_t PROTOCOL_TAG_WIRE_SIZE = 3;

// The tag at data[offset], which must hold PROTOCOL_TAG_WIRE_SIZE bytes.
ProtocolTag ReadProtocolTag(const uint8_t* data, size_t offset);

// "%c%04d": "A0010", "L0001"; a letter 0 is shown as O.
std::string FormatProtocolTag(const ProtocolTag& tag);
