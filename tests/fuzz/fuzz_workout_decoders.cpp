// Receiver bytes into the workout decoders. The first byte picks how the rest
// is used: a profile record first (so zone targets resolve against it) or
// not, then as many workout, occurrence and limits records as the bytes hold,
// each taking a length from the input.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "data/GpsDataSet.h"
#include "garmin/ProfileDecoders.h"
#include "garmin/WorkoutDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  CGpsDataSet set;
  set.prefix = "device-Garmin-484";
  const uint8_t mode = data[0];
  size_t at = 1;
  if ((mode & 1) != 0 && size - at >= D1004_MIN_SIZE) {
    DecodeD1004UserProfile(data + at, D1004_MIN_SIZE, set);
    at += D1004_MIN_SIZE;
  }
  while (at + 2 <= size) {
    const uint8_t kind = data[at];
    const size_t wanted = static_cast<size_t>(data[at + 1]) * 4;
    at += 2;
    const size_t length = std::min(wanted, size - at);
    // An exact copy, so a read past the record's own end is seen.
    const std::vector<uint8_t> record(data + at, data + at + length);
    const uint8_t* bytes = record.empty() ? nullptr : record.data();
    switch (kind % 3) {
      case 0:
        DecodeD1002Workout(bytes, record.size(), set);
        break;
      case 1:
        DecodeD1003WorkoutOccurrence(bytes, record.size(), set);
        break;
      default:
        DecodeD1005WorkoutLimits(bytes, record.size(), set);
        break;
    }
    at += length;
  }
  size_t steps = 0;
  for (const CGpsDataWorkout* workout : set.GetWorkouts()) {
    for (const CGpsDataWorkoutStep* step : workout->GetSteps()) {
      for (const CGpsDataValue* value : step->GetValues()) steps += value->GetReference().size() + 1;
    }
  }
  return steps == static_cast<size_t>(-1) ? 1 : 0;
}
