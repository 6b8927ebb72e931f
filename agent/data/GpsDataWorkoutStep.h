// One step of a workout; its duration and target are measurements. A target
// zone is a range (a pair with modifier zone) or a zone number whose reference
// names a profile zone.
#pragma once

#include <string>

#include "data/GpsDataList.h"
#include "data/GpsDataNamePair.h"
#include "data/GpsDataValues.h"

class CGpsDataWorkoutStep : public CGpsDataItem<CGpsDataWorkoutStep>, public CGpsDataValues {
public:
  explicit CGpsDataWorkoutStep(CGpsDataArena* arena) noexcept : CGpsDataValues(arena) {}

  std::string id;
  std::string name;
  CGpsDataNamePair namePair;
};
