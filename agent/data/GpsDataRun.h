// A run: which track and which laps make one activity, and its sport.
#pragma once

#include "data/GpsDataList.h"

class CGpsDataRun : public CGpsDataItem<CGpsDataRun> {
public:
  CGpsDataRun() noexcept = default;

  int trackIndex = 0;
  int firstLapIndex = 0;  // index in the laps list of the run's first lap
  int lastLapIndex = 0;
  int sport = -1;      // 0 running, 1 biking, 2 other
  int program = 0;     // program type; 3 marks an automatic multisport activity
  int multisport = 0;  // 0 no; 1 a leg of a multisport activity; 2 its last leg
};
