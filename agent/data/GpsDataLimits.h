// Workout limits; the object's presence records that the receiver reported them.
#pragma once

class CGpsDataLimits {
public:
  CGpsDataLimits() noexcept = default;
};
