// A lap. Its first and last track points are named by id once the laps are
// linked to the track log; its times, positions, distance, energy, heart
// rates, speed and cadence are measurements.
#pragma once

#include <string>

#include "data/GpsDataList.h"
#include "data/GpsDataValues.h"

class CGpsDataLap : public CGpsDataItem<CGpsDataLap>, public CGpsDataValues {
public:
  explicit CGpsDataLap(CGpsDataArena* arena) noexcept : CGpsDataValues(arena) {}

  // 1 while the lap counts as part of a track; 0 for laps that belong to no
  // track, which consistency tests and course laps leave out.
  int pending = 1;
  // Index of the lap's track; -1 while open (the run linking fills it).
  int trackIndex = -1;
  std::string firstId;  // id of the lap's first track point
  std::string lastId;   // id of the lap's last track point
};
