#include "platform/InstanceMessage.h"

namespace {

void PutLe32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

uint32_t GetLe32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

bool IsKnownKind(uint8_t kind) {
  const uint8_t request = kind & static_cast<uint8_t>(~INSTANCE_REPLY);
  return request >= INSTANCE_VERSION_QUERY && request <= INSTANCE_SHOW_START_PAGE;
}

}  // namespace

std::string EncodeInstanceMessage(uint8_t kind, std::string_view payload) {
  std::string out;
  out.reserve(kInstanceHeaderSize + payload.size());
  out.push_back(static_cast<char>(kind));
  PutLe32(out, static_cast<uint32_t>(payload.size()));
  out.append(payload);
  return out;
}

InstanceDecode DecodeInstanceMessage(std::string_view bytes, InstanceMessage& message, size_t& consumed) {
  consumed = 0;
  if (bytes.empty()) return InstanceDecode::Incomplete;
  const uint8_t kind = static_cast<uint8_t>(bytes[0]);
  if (!IsKnownKind(kind)) return InstanceDecode::Bad;
  if (bytes.size() < kInstanceHeaderSize) return InstanceDecode::Incomplete;
  const uint32_t length = GetLe32(bytes, 1);
  if (length > kInstanceMaxPayload) return InstanceDecode::Bad;
  if (bytes.size() - kInstanceHeaderSize < length) return InstanceDecode::Incomplete;
  message.kind = kind;
  message.payload.assign(bytes.substr(kInstanceHeaderSize, length));
  consumed = kInstanceHeaderSize + length;
  return InstanceDecode::Complete;
}

std::string EncodeInstanceVersion(uint32_t version) {
  std::string out;
  PutLe32(out, version);
  return out;
}

bool DecodeInstanceVersion(std::string_view payload, uint32_t& version) {
  if (payload.size() != 4) return false;
  version = GetLe32(payload, 0);
  return true;
}
