// The records two agents of one desktop exchange over the instance channel:
// a kind byte and a little-endian 32-bit payload length, then the payload.
// A request is answered by a record of the same kind with the reply bit set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum : uint8_t {
  INSTANCE_VERSION_QUERY = 1,  // reply payload: the running agent's version number, 4 bytes
  INSTANCE_COMMAND_LINE = 2,   // payload: the second agent's command line, as given
  INSTANCE_SHOW_START_PAGE = 3,
  INSTANCE_REPLY = 0x80,
};

constexpr size_t kInstanceHeaderSize = 5;
// A command line longer than this is refused rather than buffered.
constexpr uint32_t kInstanceMaxPayload = 64 * 1024;

struct InstanceMessage {
  uint8_t kind = 0;
  std::string payload;
};

enum class InstanceDecode { Incomplete, Complete, Bad };

std::string EncodeInstanceMessage(uint8_t kind, std::string_view payload = {});
// Takes one record from the front of `bytes`: Incomplete while the header or
// payload has not all arrived, Bad for a length over the limit or a kind that
// is neither a request nor a reply to one.
InstanceDecode DecodeInstanceMessage(std::string_view bytes, InstanceMessage& message, size_t& consumed);

std::string EncodeInstanceVersion(uint32_t version);
// False unless the payload is exactly four bytes.
bool DecodeInstanceVersion(std::string_view payload, uint32_t& version);
