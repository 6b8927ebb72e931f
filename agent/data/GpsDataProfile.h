// A user profile for one sport. Its maximum heart rate and its heart-rate and
// speed zones are measurements; each zone carries its own id, name and
// codeSpace.
#pragma once

#include <string>

#include "data/GpsDataList.h"
#include "data/GpsDataNamePair.h"
#include "data/GpsDataValues.h"

class CGpsDataProfile : public CGpsDataItem<CGpsDataProfile>, public CGpsDataValues {
public:
  explicit CGpsDataProfile(CGpsDataArena* arena) noexcept : CGpsDataValues(arena) {}

  std::string id;
  std::string description;
  CGpsDataNamePair namePair;  // name: the sport number as decimal text
};
