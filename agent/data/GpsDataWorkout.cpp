#include "data/GpsDataWorkout.h"

CGpsDataWorkoutStep* CGpsDataWorkout::AddStep() {
  return m_steps.Append(m_arena->New<CGpsDataWorkoutStep>(m_arena));
}
