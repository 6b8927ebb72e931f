#include "garmin/WorkoutDecoders.h"

#include <cmath>
#include <string>

#include "data/GpsUnits.h"
#include "garmin/PacketReader.h"
#include "garmin/ProfileDecoders.h"
#include "util/TraceLog.h"

namespace {

constexpr size_t kStepsOffset = 4;
constexpr size_t kNameOffset = 644;
// Duration values above this are beats per minute, others percent of the
// maximum heart rate.
constexpr int kHeartRatePercentLimit = 100;

struct D1002Step {
  std::string name;
  float targetLow = 0.0f;
  float targetHigh = 0.0f;
  uint16_t durationValue = 0;
  uint8_t intensity = 0;
  uint8_t durationType = 0;
  uint8_t targetType = 0;
  uint8_t targetValue = 0;
};

D1002Step ReadStep(const uint8_t* data) {
  CPacketReader reader(data, D1002_STEP_SIZE);
  D1002Step step;
  step.name = ReadFitnessText(reader);
  step.targetLow = reader.ReadF32();
  step.targetHigh = reader.ReadF32();
  step.durationValue = reader.ReadU16();
  step.intensity = reader.ReadU8();
  step.durationType = reader.ReadU8();
  step.targetType = reader.ReadU8();
  step.targetValue = reader.ReadU8();
  return step;
}

int HeartRateUnit(int value) {
  return value > kHeartRatePercentLimit ? UNIT_BPM : UNIT_PERCENTMAX;
}

// False only when memory ran out; a type without a measurement is no failure.
bool AddDuration(CGpsDataWorkoutStep& step, const D1002Step& wire) {
  const int value = wire.durationValue;
  switch (wire.durationType) {
    case D1002_DURATION_TIME:
      return step.AddInteger(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, value) != nullptr;
    case D1002_DURATION_DISTANCE:
      return step.AddInteger(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, value) != nullptr;
    case D1002_DURATION_HEART_RATE_LESS:
      return step.AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, HeartRateUnit(value), value) != nullptr;
    case D1002_DURATION_HEART_RATE_GREATER:
      return step.AddInteger(QUANTITY_HEARTRATE, MODIFIER_MIN, HeartRateUnit(value), value) != nullptr;
    case D1002_DURATION_CALORIES:
      return step.AddInteger(QUANTITY_ENERGY, MODIFIER_SUM, UNIT_CALORIES, value) != nullptr;
    default:
      return true;
  }
}

// The id of the profile zone that a step's zone number names, in the profile
// of the workout's sport; empty when that profile or that zone was not
// stored. Receivers number zones from 1 (a target value of 0 is the custom
// range), while the profile's zone ids carry the 0-based position of the
// zone in the record. The zone is found by that id rather than by its rank
// among the stored zones, so a profile that left an earlier zone unset does
// not hand the step the zone after the one it names.
std::string FindZoneId(const CGpsDataSet& set, const std::string& sport, int quantity, int number) {
  const CGpsDataProfile* profile = set.FindProfileByName(sport);
  if (profile == nullptr || number < 1) return {};
  const char* kind = quantity == QUANTITY_SPEED ? "-speed_zones-" : "-heart_rate_zones-";
  const std::string id = profile->id + kind + std::to_string(number - 1);
  for (const CGpsDataValue* value : profile->GetValues()) {
    if (value->GetQuantity() == quantity && value->GetModifier() == MODIFIER_ZONE && value->GetId() == id) {
      return id;
    }
  }
  return {};
}

// The zone number as the receiver gave it, referring to the profile's zone.
bool AddZoneNumber(CGpsDataWorkoutStep& step, const CGpsDataSet& set, const std::string& sport, int quantity,
                   int unit, int number) {
  CGpsDataInteger* value = step.AddInteger(quantity, MODIFIER_ZONE, unit, number);
  if (value == nullptr) return false;
  const std::string reference = FindZoneId(set, sport, quantity, number);
  return reference.empty() || value->SetReference(reference);
}

// Whether a custom heart-rate limit truncates to an int without overflow.
bool FitsInt(float value) {
  return std::isfinite(value) && value > -2147483648.0f && value < 2147483648.0f;
}

bool AddTarget(CGpsDataWorkoutStep& step, const D1002Step& wire, const CGpsDataSet& set,
               const std::string& sport) {
  const float low = wire.targetLow;
  const float high = wire.targetHigh;
  if (wire.targetType == D1002_TARGET_SPEED) {
    if (wire.targetValue != 0) {
      return AddZoneNumber(step, set, sport, QUANTITY_SPEED, UNIT_SPEEDZONE, wire.targetValue);
    }
    return step.AddFloatPair(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, low, high) != nullptr;
  }
  if (wire.targetType == D1002_TARGET_HEART_RATE) {
    if (wire.targetValue != 0) {
      return AddZoneNumber(step, set, sport, QUANTITY_HEARTRATE, UNIT_HRZONE, wire.targetValue);
    }
    if (low <= kHeartRatePercentLimit && high <= kHeartRatePercentLimit) {
      return step.AddFloatPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_PERCENTMAX, low, high) != nullptr;
    }
    // A custom range in beats per minute; a limit no int can hold is no range
    // a receiver meant, so the step goes without a target.
    if (low > kHeartRatePercentLimit && high > kHeartRatePercentLimit && FitsInt(low) && FitsInt(high)) {
      return step.AddIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, static_cast<int>(low),
                             static_cast<int>(high)) != nullptr;
    }
  }
  return true;
}

}  // namespace

HRESULT DecodeD1002Workout(const uint8_t* data, size_t size, CGpsDataSet& set) {
  LogWrite(LOG_INFO, "APP_PID_WORKOUT - D1002");
  if (data == nullptr || size < D1002_MIN_SIZE) return HR_READ_FAULT;

  CPacketReader header(data, size);
  uint32_t stepCount = header.ReadU32();
  if (stepCount > D1002_MAX_STEPS) stepCount = D1002_MAX_STEPS;
  header.Skip(kNameOffset - header.Position());
  const std::string name = ReadFitnessText(header);  // the sport type follows it, at 660
  const std::string sport = std::to_string(header.ReadU8());

  const int number = set.GetWorkouts().GetCount();
  CGpsDataWorkout* workout = set.AddWorkout();
  if (workout == nullptr) return E_OUTOFMEMORY;
  workout->id = set.prefix + "-D1002-" + std::to_string(number);
  workout->name = name;
  workout->namePair = {sport, FitnessCodeSpace(FITNESS_SPORT_TYPE)};

  for (uint32_t s = 0; s < stepCount; ++s) {
    const D1002Step wire = ReadStep(data + kStepsOffset + s * D1002_STEP_SIZE);
    CGpsDataWorkoutStep* step = workout->AddStep();
    if (step == nullptr) return E_OUTOFMEMORY;
    step->id = workout->id + "-" + std::to_string(s);
    step->name = wire.name;
    step->namePair = {std::to_string(wire.intensity), FitnessCodeSpace(FITNESS_STEP_INTENSITY)};
    if (!AddDuration(*step, wire) || !AddTarget(*step, wire, set, sport)) return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT DecodeD1003WorkoutOccurrence(const uint8_t* data, size_t size, CGpsDataSet& set) {
  LogWrite(LOG_INFO, "APP_PID_WORKOUT_OCCURRENCE - D1003");
  if (data == nullptr || size < D1003_MIN_SIZE) return HR_READ_FAULT;
  return set.AddOccurrence() != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT DecodeD1005WorkoutLimits(const uint8_t* data, size_t size, CGpsDataSet& set) {
  LogWrite(LOG_INFO, "APP_PID_WORKOUT_LIMITS - D1005");
  if (data == nullptr || size < D1005_MIN_SIZE) return HR_READ_FAULT;
  return set.NewLimits() != nullptr ? S_OK : E_OUTOFMEMORY;
}
