// A workout occurrence; the receiver's occurrences are only counted.
#pragma once

#include "data/GpsDataList.h"

class CGpsDataOccurrence : public CGpsDataItem<CGpsDataOccurrence> {
public:
  CGpsDataOccurrence() noexcept = default;
};
