// Receiver bytes into the user-profile decoder, then every query that later
// reads the profiles' zones (ids, names, zone lookups by sport and position).
#include <cstdint>
#include <string>

#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "garmin/ProfileDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CGpsDataSet set;
  set.prefix = "device-Garmin-484";
  DecodeD1004UserProfile(size == 0 ? nullptr : data, size, set);
  size_t texts = 0;
  for (const CGpsDataProfile* profile : set.GetProfiles()) {
    for (const CGpsDataValue* value : profile->GetValues()) {
      texts += value->GetId().size() + value->GetName().size() + value->GetCodeSpace().size();
      texts += value->FormatComponent(value->GetUnit(), 0).size();
    }
    for (int n = 0; n < 11; ++n) {
      texts += set.GetProfileZoneId(profile->namePair.name, QUANTITY_HEARTRATE, n).size();
      texts += set.GetProfileZoneId(profile->namePair.name, QUANTITY_SPEED, n).size();
    }
  }
  return texts == static_cast<size_t>(-1) ? 1 : 0;
}
