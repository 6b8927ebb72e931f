// The decoders of the workout records: a workout with its steps (D1002), a
// workout occurrence of the calendar (D1003, only counted) and the workout
// limits (D1005, only noted as present).
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/GpsDataSet.h"
#include "garmin/GarminErrors.h"

constexpr size_t D1002_MIN_SIZE = 661;
constexpr size_t D1002_STEP_SIZE = 32;
constexpr uint32_t D1002_MAX_STEPS = 20;
constexpr size_t D1003_MIN_SIZE = 20;
constexpr size_t D1005_MIN_SIZE = 12;

// Duration and target types of a D1002 step.
enum D1002DurationType : uint8_t {
  D1002_DURATION_TIME = 0,
  D1002_DURATION_DISTANCE = 1,
  D1002_DURATION_HEART_RATE_LESS = 2,
  D1002_DURATION_HEART_RATE_GREATER = 3,
  D1002_DURATION_CALORIES = 4,
};
enum D1002TargetType : uint8_t {
  D1002_TARGET_SPEED = 0,
  D1002_TARGET_HEART_RATE = 1,
};

// Each returns S_OK; HR_READ_FAULT for a packet below the record's minimum
// size (nothing created); E_OUTOFMEMORY when a record, a text or a
// measurement could not be made (what was made stays in the set).

// Appends one workout, numbered after the workouts already in set. Zone
// targets refer to the zones of the profiles already in set.
HRESULT DecodeD1002Workout(const uint8_t* data, size_t size, CGpsDataSet& set);
HRESULT DecodeD1003WorkoutOccurrence(const uint8_t* data, size_t size, CGpsDataSet& set);
HRESULT DecodeD1005WorkoutLimits(const uint8_t* data, size_t size, CGpsDataSet& set);
