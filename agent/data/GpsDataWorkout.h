// A workout and its steps.
#pragma once

#include <string>

#include "data/GpsDataList.h"
#include "data/GpsDataNamePair.h"
#include "data/GpsDataWorkoutStep.h"

class CGpsDataWorkout : public CGpsDataItem<CGpsDataWorkout> {
public:
  explicit CGpsDataWorkout(CGpsDataArena* arena) noexcept : m_arena(arena) {}

  // New step appended to the steps; nullptr when memory runs out.
  CGpsDataWorkoutStep* AddStep();
  const CGpsDataList<CGpsDataWorkoutStep>& GetSteps() const { return m_steps; }

  std::string id;
  std::string name;
  CGpsDataNamePair namePair;

private:
  CGpsDataList<CGpsDataWorkoutStep> m_steps;
  CGpsDataArena* m_arena;
};
