#include "garmin/ProfileDecoders.h"

#include <string>

#include "data/GpsUnits.h"
#include "data/Vocabulary.h"
#include "garmin/PacketReader.h"
#include "util/TraceLog.h"

namespace {

constexpr size_t kHeartRateZonesOffset = 0;
constexpr size_t kHeartRateZoneSize = 4;
constexpr size_t kSpeedZonesOffset = 20;
constexpr size_t kSpeedZoneSize = 24;
constexpr size_t kMaxHeartRateOffset = 264;

// 0 and 255 are what a receiver stores for "not set".
bool IsHeartRate(uint8_t bpm) {
  return bpm != 0 && bpm != 255;
}

HRESULT DecodeActivity(const uint8_t* block, int activity, CGpsDataSet& set) {
  CGpsDataProfile* profile = set.AddProfile();
  if (profile == nullptr) return E_OUTOFMEMORY;
  profile->id = set.prefix + "-D1004-" + std::to_string(activity);
  profile->description = D1004ActivityDescription(activity);
  profile->namePair = {std::to_string(activity), FitnessCodeSpace(FITNESS_SPORT_TYPE)};

  CPacketReader reader(block, D1004_ACTIVITY_SIZE);
  reader.Skip(kMaxHeartRateOffset);
  const uint8_t maxHeartRate = reader.ReadU8();
  if (IsHeartRate(maxHeartRate) &&
      profile->AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, maxHeartRate) == nullptr) {
    return E_OUTOFMEMORY;
  }

  // Zones keep the number of their position, so a step that names zone n
  // finds it even when an earlier zone was left unset.
  for (int i = 0; i < D1004_HEART_RATE_ZONES; ++i) {
    CPacketReader zone(block + kHeartRateZonesOffset + i * kHeartRateZoneSize, kHeartRateZoneSize);
    const uint8_t low = zone.ReadU8();
    const uint8_t high = zone.ReadU8();
    if (!IsHeartRate(low) || !IsHeartRate(high) || low >= high) continue;
    CGpsDataIntPair* value = profile->AddIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, low, high);
    if (value == nullptr || !value->SetId(profile->id + "-heart_rate_zones-" + std::to_string(i))) {
      return E_OUTOFMEMORY;
    }
  }
  for (int j = 0; j < D1004_SPEED_ZONES; ++j) {
    CPacketReader zone(block + kSpeedZonesOffset + j * kSpeedZoneSize, kSpeedZoneSize);
    const float low = zone.ReadF32();
    const float high = zone.ReadF32();
    const std::string name = ReadFitnessText(zone);
    if (!(low < high)) continue;  // also leaves out NaN
    CGpsDataFloatPair* value = profile->AddFloatPair(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, low, high);
    if (value == nullptr || !value->SetId(profile->id + "-speed_zones-" + std::to_string(j))) {
      return E_OUTOFMEMORY;
    }
    if (!name.empty() &&
        (!value->SetName(name) || !value->SetCodeSpace(FitnessCodeSpace(FITNESS_SPEED_ZONE_NAME)))) {
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

}  // namespace

std::string FitnessCodeSpace(FitnessVocabulary vocabulary) {
  const char* fragment = "D1004-speed_zones-name";
  if (vocabulary == FITNESS_SPORT_TYPE) fragment = "D1002-sport_type";
  if (vocabulary == FITNESS_STEP_INTENSITY) fragment = "D1002-steps-intensity";
  return std::string(VOCABULARY_BASE_URI) + "/device/garmin/IoSpecs_V117.rdf#" + fragment;
}

std::string ReadFitnessText(CPacketReader& reader) {
  std::string text;
  bool ended = false;
  for (size_t i = 0; i < FITNESS_TEXT_SIZE && reader.Ok(); ++i) {
    const uint8_t c = reader.ReadU8();
    if (c == 0) ended = true;
    if (!ended && reader.Ok()) text.push_back(static_cast<char>(c));
  }
  return reader.Ok() ? text : std::string();
}

const char* D1004ActivityDescription(int activity) {
  switch (activity) {
    case 0:
      return "Running";
    case 1:
      return "Biking";
    default:
      return "Other";
  }
}

HRESULT DecodeD1004UserProfile(const uint8_t* data, size_t size, CGpsDataSet& set) {
  LogWrite(LOG_INFO, "APP_PID_USER_PROFILE - D1004");
  if (data == nullptr || size < D1004_MIN_SIZE) {
    LogWrite(LOG_ERROR, "D1004UserProfile(): nDataSize=%u < sizeof(CD1004UserProfile)=%u",
             static_cast<unsigned>(data == nullptr ? 0 : size), static_cast<unsigned>(D1004_MIN_SIZE));
    return HR_READ_FAULT;
  }
  for (int a = 0; a < D1004_ACTIVITIES; ++a) {
    const HRESULT result = DecodeActivity(data + a * D1004_ACTIVITY_SIZE, a, set);
    if (result != S_OK) return result;
  }
  return S_OK;
}
