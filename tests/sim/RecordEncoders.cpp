#include "sim/RecordEncoders.h"

#include <cmath>

#include "sim/ByteWriter.h"
#include "sim/Receiver.h"

namespace {

constexpr int32_t kInvalidSemicircle = 0x7FFFFFFF;
constexpr uint32_t kInvalidTime = 0xFFFFFFFF;

// A character field of width bytes: the text, cut to the width, then zeros.
// A text that fills the field has no terminator, as on the receivers.
void PutText(CSimByteWriter& writer, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) writer.PutU8(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void PutPosition(CSimByteWriter& writer, const std::optional<SimPosition>& position) {
  writer.PutS32(position ? SimDegreesToSemicircles(position->lat) : kInvalidSemicircle);
  writer.PutS32(position ? SimDegreesToSemicircles(position->lon) : kInvalidSemicircle);
}

void PadTo(std::vector<uint8_t>& bytes, size_t size) {
  if (bytes.size() < size) bytes.resize(size, 0);
}

uint32_t Hundredths(double seconds) {
  return static_cast<uint32_t>(std::llround(seconds * 100.0));
}

}  // namespace

std::vector<uint8_t> EncodeSimLap(const SimLap& lap, uint16_t type) {
  CSimByteWriter writer;
  const uint32_t start = lap.startTime ? SimUnixToDeviceTime(*lap.startTime) : kInvalidTime;
  if (type == 1001) {
    writer.PutU32(lap.index);
  } else if (type == 1011) {
    writer.PutU16(static_cast<uint16_t>(lap.index));
    writer.PutU16(0);
  }
  writer.PutU32(start);
  writer.PutU32(Hundredths(lap.totalTime));
  writer.PutFloat(lap.distance);
  if (type == 1001 || type == 1011) writer.PutFloat(lap.maxSpeed);
  PutPosition(writer, lap.begin);
  PutPosition(writer, lap.end);
  writer.PutU16(lap.calories);
  if (type == 1001 || type == 1011) {
    writer.PutU8(lap.avgHeartRate.value_or(0));
    writer.PutU8(lap.maxHeartRate.value_or(0));
    writer.PutU8(lap.intensity);
    if (type == 1011) {
      writer.PutU8(lap.avgCadence.value_or(0xFF));
      writer.PutU8(lap.triggerMethod);
    }
  } else {
    writer.PutU8(lap.trackIndex);
    writer.PutU8(0);
  }
  return writer.Take();
}

std::vector<uint8_t> EncodeSimRun(const SimRun& run, uint16_t type) {
  CSimByteWriter writer;
  if (type == 1009) {
    writer.PutU16(run.trackIndex < 0 ? 0xFFFF : static_cast<uint16_t>(run.trackIndex));
    writer.PutU16(static_cast<uint16_t>(run.firstLap));
    writer.PutU16(static_cast<uint16_t>(run.lastLap));
    writer.PutU8(run.sport);
    writer.PutU8(run.program);
    writer.PutU8(run.multisport);
  } else {
    writer.PutS32(run.trackIndex);
    writer.PutU32(run.firstLap);
    writer.PutU32(run.lastLap);
    writer.PutU8(run.sport);
    writer.PutU8(run.program);
    if (type == 1010) writer.PutU8(run.multisport);
  }
  std::vector<uint8_t> bytes = writer.Take();
  PadTo(bytes, type == 1009 ? SIM_D1009_SIZE : type == 1010 ? SIM_D1010_SIZE : SIM_D1000_SIZE);
  return bytes;
}

std::vector<uint8_t> EncodeSimWorkout(const SimWorkout& workout) {
  CSimByteWriter writer;
  writer.PutU32(workout.validSteps.value_or(static_cast<uint32_t>(workout.steps.size())));
  for (size_t s = 0; s < 20; ++s) {
    const SimWorkoutStep step = s < workout.steps.size() ? workout.steps[s] : SimWorkoutStep{};
    PutText(writer, step.name, 16);
    writer.PutFloat(step.targetLow);
    writer.PutFloat(step.targetHigh);
    writer.PutU16(step.durationValue);
    writer.PutU8(step.intensity);
    writer.PutU8(step.durationType);
    writer.PutU8(step.targetType);
    writer.PutU8(step.targetValue);
    writer.PutU16(0);
  }
  PutText(writer, workout.name, 16);
  writer.PutU8(workout.sport);
  return writer.Take();
}

std::vector<uint8_t> EncodeSimOccurrence(const SimOccurrence& occurrence) {
  CSimByteWriter writer;
  PutText(writer, occurrence.workoutName, 16);
  writer.PutU32(occurrence.day);
  return writer.Take();
}

std::vector<uint8_t> EncodeSimProfile(const SimProfile& profile) {
  CSimByteWriter writer;
  for (const SimProfileActivity& activity : profile.activities) {
    for (const SimZone& zone : activity.heartRateZones) {
      writer.PutU8(zone.low);
      writer.PutU8(zone.high);
      writer.PutU16(0);
    }
    for (const SimSpeedZone& zone : activity.speedZones) {
      writer.PutFloat(zone.low);
      writer.PutFloat(zone.high);
      PutText(writer, zone.name, 16);
    }
    writer.PutFloat(activity.gearWeight);
    writer.PutU8(activity.maxHeartRate);
    writer.PutU8(0);
    writer.PutU16(0);
  }
  writer.PutFloat(profile.weight);
  writer.PutU16(profile.birthYear);
  writer.PutU8(profile.birthMonth);
  writer.PutU8(profile.birthDay);
  writer.PutU8(profile.gender);
  return writer.Take();
}

std::vector<uint8_t> EncodeSimLimits(const SimLimits& limits) {
  CSimByteWriter writer;
  writer.PutU32(limits.maxWorkouts);
  writer.PutU32(limits.maxUnscheduledWorkouts);
  writer.PutU32(limits.maxOccurrences);
  return writer.Take();
}
