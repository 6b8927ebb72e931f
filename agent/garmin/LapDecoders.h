// Laps (D906, D1001, D1011) decoded straight from a packet's bytes into the
// data set. Link-free, so they are tested and fuzzed from byte tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "garmin/TrackDecoders.h"

class CGpsDataSet;

// Where the fields of one lap type lie; -1 for a field the type lacks.
// Positions are latitude then longitude.
struct LapLayout {
  uint16_t type;
  uint32_t minimumSize;
  int startTime;
  int totalTime;  // hundredths of a second
  int distance;
  int maximumSpeed;
  int beginPosition;
  int endPosition;
  int calories;
  int averageHeartRate;
  int maximumHeartRate;
  int averageCadence;
  int trackIndex;  // D906 only; the others leave the lap's track open (-1)
};

// The layout of D906, D1001 or D1011; nullptr for any other type.
const LapLayout* FindLapLayout(uint16_t type);

// One lap appended to set, or skipped when its start time is invalid.
EGarminDecode DecodeLap(const LapLayout& layout, const uint8_t* data, size_t size, CGpsDataSet& set);
EGarminDecode DecodeD906Lap(const uint8_t* data, size_t size, CGpsDataSet& set);
EGarminDecode DecodeD1001Lap(const uint8_t* data, size_t size, CGpsDataSet& set);
EGarminDecode DecodeD1011Lap(const uint8_t* data, size_t size, CGpsDataSet& set);
