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
  faults.badChecksumFromHost = node.value("bad_checksum_from_host", faults.badChecksumFromHost);
  faults.silentFromHostPacket = node.value("silent_from_host_packet", faults.silentFromHostPacket);
  faults.powerOffAtHostPacket = node.value("power_off_at_host_packet", faults.powerOffAtHostPacket);
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

bool ReadPosition(const json& object, const char* key, std::optional<SimPosition>& target) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return true;
  if (!it->is_object() || !it->contains("lat") || !it->contains("lon")) return false;
  target = SimPosition{it->at("lat").get<double>(), it->at("lon").get<double>()};
  return true;
}

bool ReadLap(const json& node, SimLap& lap, std::string& error) {
  if (!node.is_object()) {
    error = "lap is not an object";
    return false;
  }
  lap.index = node.value("index", lap.index);
  if (auto it = node.find("start_time"); it != node.end() && !it->is_null()) {
    int64_t seconds = 0;
    if (!ReadTime(*it, seconds)) {
      error = "bad lap start_time: " + it->dump();
      return false;
    }
    lap.startTime = seconds;
  }
  lap.totalTime = node.value("total_time", lap.totalTime);
  lap.distance = node.value("distance", lap.distance);
  lap.maxSpeed = node.value("max_speed", lap.maxSpeed);
  if (!ReadPosition(node, "begin", lap.begin) || !ReadPosition(node, "end", lap.end)) {
    error = "bad lap position";
    return false;
  }
  lap.calories = node.value("calories", lap.calories);
  ReadOptional(node, "avg_heart_rate", lap.avgHeartRate);
  ReadOptional(node, "max_heart_rate", lap.maxHeartRate);
  lap.intensity = node.value("intensity", lap.intensity);
  lap.trackIndex = node.value("track_index", lap.trackIndex);
  ReadOptional(node, "avg_cadence", lap.avgCadence);
  lap.triggerMethod = node.value("trigger_method", lap.triggerMethod);
  return true;
}

SimRun ReadRun(const json& node) {
  SimRun run;
  run.trackIndex = node.value("track_index", run.trackIndex);
  run.firstLap = node.value("first_lap", run.firstLap);
  run.lastLap = node.value("last_lap", run.lastLap);
  run.sport = node.value("sport", run.sport);
  run.program = node.value("program", run.program);
  run.multisport = node.value("multisport", run.multisport);
  return run;
}

SimWorkout ReadWorkout(const json& node) {
  SimWorkout workout;
  workout.name = node.value("name", std::string());
  workout.sport = node.value("sport", workout.sport);
  ReadOptional(node, "valid_steps", workout.validSteps);
  if (auto it = node.find("steps"); it != node.end() && it->is_array()) {
    for (const json& stepNode : *it) {
      SimWorkoutStep step;
      step.name = stepNode.value("name", std::string());
      step.targetLow = stepNode.value("target_low", step.targetLow);
      step.targetHigh = stepNode.value("target_high", step.targetHigh);
      step.durationValue = stepNode.value("duration_value", step.durationValue);
      step.intensity = stepNode.value("intensity", step.intensity);
      step.durationType = stepNode.value("duration_type", step.durationType);
      step.targetType = stepNode.value("target_type", step.targetType);
      step.targetValue = stepNode.value("target_value", step.targetValue);
      workout.steps.push_back(step);
    }
  }
  return workout;
}

bool ReadProfile(const json& node, SimProfile& profile, std::string& error) {
  if (!node.is_object()) {
    error = "profile is not an object";
    return false;
  }
  profile.weight = node.value("weight", profile.weight);
  profile.birthYear = node.value("birth_year", profile.birthYear);
  profile.birthMonth = node.value("birth_month", profile.birthMonth);
  profile.birthDay = node.value("birth_day", profile.birthDay);
  profile.gender = node.value("gender", profile.gender);
  auto activities = node.find("activities");
  if (activities == node.end()) return true;
  if (!activities->is_array() || activities->size() > 3) {
    error = "profile activities: at most three";
    return false;
  }
  for (size_t a = 0; a < activities->size(); ++a) {
    const json& block = (*activities)[a];
    SimProfileActivity& activity = profile.activities[a];
    activity.gearWeight = block.value("gear_weight", activity.gearWeight);
    activity.maxHeartRate = block.value("max_heart_rate", activity.maxHeartRate);
    if (auto zones = block.find("heart_rate_zones"); zones != block.end()) {
      if (!zones->is_array() || zones->size() > 5) {
        error = "profile heart_rate_zones: at most five [low, high] pairs";
        return false;
      }
      for (size_t i = 0; i < zones->size(); ++i) {
        activity.heartRateZones[i] =
            SimZone{(*zones)[i].at(0).get<uint8_t>(), (*zones)[i].at(1).get<uint8_t>()};
      }
    }
    if (auto zones = block.find("speed_zones"); zones != block.end()) {
      if (!zones->is_array() || zones->size() > 10) {
        error = "profile speed_zones: at most ten";
        return false;
      }
      for (size_t j = 0; j < zones->size(); ++j) {
        const json& zone = (*zones)[j];
        activity.speedZones[j] = SimSpeedZone{zone.value("low", 0.0f), zone.value("high", 0.0f),
                                              zone.value("name", std::string())};
      }
    }
  }
  return true;
}

bool ReadQuirks(const json& node, SimTransferQuirks& quirks, std::string& error) {
  if (!node.is_object()) {
    error = "transfer quirks are not an object";
    return false;
  }
  quirks.countDelta = node.value("count_delta", 0);
  if (auto it = node.find("extra_packets"); it != node.end()) {
    for (const json& extra : *it) {
      SimExtraPacket packet;
      packet.after = extra.value("after", size_t{0});
      packet.id = extra.value("id", uint16_t{0});
      packet.protocolArray = extra.value("protocol_array", false);
      if (auto data = extra.find("data"); data != extra.end())
        packet.data = data->get<std::vector<uint8_t>>();
      quirks.extraPackets.push_back(std::move(packet));
    }
  }
  return true;
}

bool ReadRecordType(const json& root, const char* key, uint16_t& target,
                    std::initializer_list<uint16_t> allowed, std::string& error) {
  auto it = root.find(key);
  if (it == root.end()) return true;
  uint16_t type = 0;
  if (ReadTypeNumber(*it, 'D', type)) {
    for (uint16_t candidate : allowed) {
      if (candidate == type) {
        target = type;
        return true;
      }
    }
  }
  error = std::string("bad ") + key;
  return false;
}

// Laps, runs, workouts, occurrences, profile, limits and transfer quirks.
bool ReadRecords(const json& root, CSimScenario& scenario, std::string& error) {
  if (!ReadRecordType(root, "lap_type", scenario.lapType, {906, 1001, 1011}, error)) return false;
  if (!ReadRecordType(root, "run_type", scenario.runType, {1000, 1009, 1010}, error)) return false;
  scenario.laps.clear();
  if (auto it = root.find("laps"); it != root.end() && it->is_array()) {
    for (const json& node : *it) {
      SimLap lap;
      if (!ReadLap(node, lap, error)) return false;
      scenario.laps.push_back(lap);
    }
  }
  scenario.runs.clear();
  if (auto it = root.find("runs"); it != root.end() && it->is_array()) {
    for (const json& node : *it) scenario.runs.push_back(ReadRun(node));
  }
  scenario.workouts.clear();
  if (auto it = root.find("workouts"); it != root.end() && it->is_array()) {
    for (const json& node : *it) {
      scenario.workouts.push_back(ReadWorkout(node));
      if (scenario.workouts.back().steps.size() > 20) {
        error = "a workout has at most 20 steps";
        return false;
      }
    }
  }
  scenario.occurrences.clear();
  if (auto it = root.find("occurrences"); it != root.end() && it->is_array()) {
    for (const json& node : *it) {
      scenario.occurrences.push_back(
          SimOccurrence{node.value("workout_name", std::string()), node.value("day", uint32_t{0})});
    }
  }
  scenario.profile.reset();
  if (auto it = root.find("profile"); it != root.end() && it->is_object()) {
    SimProfile profile;
    if (!ReadProfile(*it, profile, error)) return false;
    scenario.profile = profile;
  }
  scenario.limits.reset();
  if (auto it = root.find("limits"); it != root.end() && it->is_object()) {
    SimLimits limits;
    limits.maxWorkouts = it->value("max_workouts", limits.maxWorkouts);
    limits.maxUnscheduledWorkouts = it->value("max_unscheduled_workouts", limits.maxUnscheduledWorkouts);
    limits.maxOccurrences = it->value("max_occurrences", limits.maxOccurrences);
    scenario.limits = limits;
  }
  scenario.transferQuirks.clear();
  if (auto it = root.find("transfer_quirks"); it != root.end() && it->is_object()) {
    for (const auto& [name, node] : it->items()) {
      SimTransferQuirks quirks;
      if (!ReadQuirks(node, quirks, error)) return false;
      scenario.transferQuirks[name] = std::move(quirks);
    }
  }
  return true;
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
        track.header = node.value("header", true);
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
    if (!ReadRecords(root, *this, error)) return false;
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

uint16_t CSimScenario::EffectiveLapType() const {
  if (protocols) {
    for (uint16_t type : TypesAfter(*protocols, 906)) {
      if (type == 906 || type == 1001 || type == 1011) return type;
    }
  }
  return lapType;
}

uint16_t CSimScenario::EffectiveRunType() const {
  if (protocols) {
    for (uint16_t type : TypesAfter(*protocols, 1000)) {
      if (type == 1000 || type == 1009 || type == 1010) return type;
    }
  }
  return runType;
}

const SimTransferQuirks& CSimScenario::Quirks(const std::string& transfer) const {
  static const SimTransferQuirks none;
  auto it = transferQuirks.find(transfer);
  return it != transferQuirks.end() ? it->second : none;
}
