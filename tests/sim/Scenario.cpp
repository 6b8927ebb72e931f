#include "sim/Scenario.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

using nlohmann::json;

namespace {

bool ParseTag(const std::string& text, SimProtocolTag& tag) {
  if (text.size() < 2 || text.size() > 6) return false;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (letter != 'P' && letter != 'L' && letter != 'A' && letter != 'D') return false;
  unsigned number = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    number = number * 10 + static_cast<unsigned>(text[i] - '0');
  }
  if (number > 0xFFFF) return false;
  tag = SimProtocolTag{letter, static_cast<uint16_t>(number)};
  return true;
}

// "D304" or 304 both name a data type.
bool ReadTypeNumber(const json& value, char letter, uint16_t& number) {
  if (value.is_number_unsigned()) {
    number = value.get<uint16_t>();
    return true;
  }
  SimProtocolTag tag;
  if (!value.is_string() || !ParseTag(value.get<std::string>(), tag) || tag.letter != letter) return false;
  number = tag.number;
  return true;
}

bool ReadTime(const json& value, int64_t& unixSeconds) {
  if (value.is_number()) {
    unixSeconds = static_cast<int64_t>(std::llround(value.get<double>()));
    return true;
  }
  return value.is_string() && ParseSimTime(value.get<std::string>(), unixSeconds);
}

template <typename T>
void ReadOptional(const json& object, const char* key, std::optional<T>& target) {
  auto it = object.find(key);
  if (it != object.end() && !it->is_null()) target = it->get<T>();
}

bool ReadPoint(const json& node, SimTrackPoint& point, std::string& error) {
  if (!node.is_object()) {
    error = "track point is not an object";
    return false;
  }
  const auto lat = node.find("lat");
  const auto lon = node.find("lon");
  point.hasPosition = lat != node.end() && lon != node.end() && !lat->is_null() && !lon->is_null();
  if (point.hasPosition) {
    point.lat = lat->get<double>();
    point.lon = lon->get<double>();
  }
  if (auto time = node.find("time"); time != node.end() && !time->is_null()) {
    int64_t seconds = 0;
    if (!ReadTime(*time, seconds)) {
      error = "bad track point time: " + time->dump();
      return false;
    }
    point.time = seconds;
  }
  ReadOptional(node, "alt", point.alt);
  ReadOptional(node, "dpth", point.dpth);
  ReadOptional(node, "temp", point.temp);
  ReadOptional(node, "distance", point.distance);
  ReadOptional(node, "heart_rate", point.heartRate);
  ReadOptional(node, "cadence", point.cadence);
  point.sensor = node.value("sensor", false);
  point.newTrk = node.value("new_trk", false);
  return true;
}

bool ReadFaults(const json& node, SimFaults& faults) {
  if (!node.is_object()) return false;
  faults.badChecksumOnSent = node.value("bad_checksum_on_sent", faults.badChecksumOnSent);
  faults.nakHostPacket = node.value("nak_host_packet", faults.nakHostPacket);
  faults.noAckHostPacket = node.value("no_ack_host_packet", faults.noAckHostPacket);
  faults.garbageBetweenFrames = node.value("garbage_between_frames", faults.garbageBetweenFrames);
  faults.silent = node.value("silent", faults.silent);
  faults.answerSecondProductRequestOnly =
      node.value("answer_second_product_request_only", faults.answerSecondProductRequestOnly);
  faults.packet248BeforeProtocolArray =
      node.value("packet_248_before_protocol_array", faults.packet248BeforeProtocolArray);
  faults.pacing9600 = node.value("pacing_9600", faults.pacing9600);
  faults.powerOffAck = node.value("power_off_ack", faults.powerOffAck);
  return true;
}

// The data types listed right after a protocol tag belong to it.
std::vector<uint16_t> TypesAfter(const std::vector<SimProtocolTag>& tags, uint16_t protocol) {
  std::vector<uint16_t> types;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i].letter != 'A' || tags[i].number != protocol) continue;
    for (size_t j = i + 1; j < tags.size() && tags[j].letter == 'D'; ++j) types.push_back(tags[j].number);
    break;
  }
  return types;
}

}  // namespace

bool ParseSimProtocolList(const std::vector<std::string>& entries, std::vector<SimProtocolTag>& tags,
                          std::string& error) {
  tags.clear();
  for (const std::string& entry : entries) {
    const size_t colon = entry.find(':');
    SimProtocolTag tag;
    if (!ParseTag(entry.substr(0, colon), tag)) {
      error = "bad protocol tag: " + entry;
      return false;
    }
    tags.push_back(tag);
    if (colon == std::string::npos) continue;
    std::stringstream types(entry.substr(colon + 1));
    std::string item;
    while (std::getline(types, item, ',')) {
      if (!ParseTag(item, tag) || tag.letter != 'D') {
        error = "bad data type in protocol entry: " + entry;
        return false;
      }
      tags.push_back(tag);
    }
  }
  return true;
}

bool ParseSimTime(const std::string& text, int64_t& unixSeconds) {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
    unixSeconds = std::stoll(text);
    return true;
  }
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second,
                  &consumed) != 6) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
  size_t pos = static_cast<size_t>(consumed);
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
  }
  int offsetSeconds = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    int offHour = 0, offMinute = 0;
    if (std::sscanf(text.c_str() + pos + 1, "%2d:%2d", &offHour, &offMinute) != 2) return false;
    offsetSeconds = (offHour * 3600 + offMinute * 60) * (text[pos] == '-' ? -1 : 1);
    pos += 6;
  } else if (pos < text.size() && text[pos] == 'Z') {
    ++pos;
  }
  if (pos != text.size()) return false;
  struct tm fields {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  unixSeconds = static_cast<int64_t>(timegm(&fields)) - offsetSeconds;
  return true;
}

bool CSimScenario::LoadFile(const std::string& path, std::string& error) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    error = "cannot open scenario file " + path;
    return false;
  }
  std::stringstream text;
  text << stream.rdbuf();
  return LoadJson(text.str(), error);
}

bool CSimScenario::LoadJson(const std::string& text, std::string& error) {
  // The JSON library reports type and syntax errors by exception; none leaves this function.
  try {
    const json root = json::parse(text);
    if (!root.is_object()) {
      error = "scenario is not a JSON object";
      return false;
    }
    productId = root.value("product_id", uint16_t{0});
    softwareVersion = root.value("software_version", int16_t{0});
    descriptions.clear();
    if (auto it = root.find("descriptions"); it != root.end() && it->is_array()) {
      descriptions = it->get<std::vector<std::string>>();
    } else if (auto one = root.find("description"); one != root.end() && one->is_string()) {
      descriptions.push_back(one->get<std::string>());
    }
    serialNumber.reset();
    ReadOptional(root, "serial_number", serialNumber);
    protocols.reset();
    if (auto it = root.find("protocols"); it != root.end() && !it->is_null()) {
      std::vector<SimProtocolTag> tags;
      if (!ParseSimProtocolList(it->get<std::vector<std::string>>(), tags, error)) return false;
      protocols = std::move(tags);
    }
    if (auto it = root.find("track_protocol"); it != root.end()) {
      if (!ReadTypeNumber(*it, 'A', trackProtocol)) {
        error = "bad track_protocol";
        return false;
      }
    }
    if (auto it = root.find("track_point_type"); it != root.end()) {
      if (!ReadTypeNumber(*it, 'D', trackPointType) || trackPointType < 300 || trackPointType > 304) {
        error = "bad track_point_type";
        return false;
      }
    }
    if (auto it = root.find("track_header_type"); it != root.end()) {
      if (!ReadTypeNumber(*it, 'D', trackHeaderType) || trackHeaderType < 310 || trackHeaderType > 312) {
        error = "bad track_header_type";
        return false;
      }
    }
    if (auto it = root.find("clock"); it != root.end() && !it->is_null()) {
      if (!ReadTime(*it, deviceClock)) {
        error = "bad clock";
        return false;
      }
    }
    if (auto it = root.find("position"); it != root.end() && it->is_object()) {
      positionLat = it->value("lat", 0.0);
      positionLon = it->value("lon", 0.0);
    }
    tracks.clear();
    if (auto it = root.find("tracks"); it != root.end() && !it->is_null()) {
      for (const json& node : *it) {
        SimTrack track;
        track.ident = node.value("ident", std::string());
        track.display = node.value("display", true);
        track.color = node.value("color", uint8_t{0});
        track.index = node.value("index", static_cast<uint16_t>(tracks.size()));
        if (auto points = node.find("points"); points != node.end()) {
          for (const json& pointNode : *points) {
            SimTrackPoint point;
            if (!ReadPoint(pointNode, point, error)) return false;
            track.points.push_back(point);
          }
        }
        tracks.push_back(std::move(track));
      }
    }
    faults = SimFaults{};
    if (auto it = root.find("faults"); it != root.end() && !ReadFaults(*it, faults)) {
      error = "faults is not an object";
      return false;
    }
    if (auto it = root.find("link"); it != root.end() && it->is_object()) {
      ackTimeoutMs = it->value("ack_timeout_ms", ackTimeoutMs);
      sendAttempts = it->value("send_attempts", sendAttempts);
    }
    return true;
  } catch (const json::exception& failure) {
    error = std::string("bad scenario: ") + failure.what();
    return false;
  }
}

bool CSimScenario::HasProtocol(char letter, uint16_t number) const {
  if (!protocols) return false;
  for (const SimProtocolTag& tag : *protocols) {
    if (tag.letter == letter && tag.number == number) return true;
  }
  return false;
}

uint16_t CSimScenario::EffectiveTrackProtocol() const {
  // A host that knows A300 prefers it, so a receiver listing both is asked for A300.
  for (uint16_t protocol : {300, 301, 302}) {
    if (HasProtocol('A', protocol)) return protocol;
  }
  return trackProtocol;
}

uint16_t CSimScenario::EffectiveTrackPointType() const {
  if (protocols) {
    for (uint16_t type : TypesAfter(*protocols, EffectiveTrackProtocol())) {
      if (type >= 300 && type <= 304) return type;
    }
  }
  return trackPointType;
}

uint16_t CSimScenario::EffectiveTrackHeaderType() const {
  if (protocols) {
    for (uint16_t type : TypesAfter(*protocols, EffectiveTrackProtocol())) {
      if (type >= 310 && type <= 312) return type;
    }
  }
  return trackHeaderType;
}
