#include "document/QvxNames.h"

#include "data/GpsUnits.h"

namespace qvx {

const char* UnitId(int unit) {
  switch (unit) {
    case UNIT_UNIXTIME:
      return nullptr;
    case UNIT_SECONDS:
      return "#uom-s";
    case UNIT_DEGREES:
      return "#uom-decimalDegrees";
    case UNIT_FEET:
      return "#uom-ft";
    case UNIT_METRES:
      return "#uom-m";
    case UNIT_MILES:
      return "#uom-mile";
    case UNIT_KILOMETRES:
      return "#uom-km";
    case UNIT_MPS:
      return "#uom-mps";
    case UNIT_MPH:
      return "#uom-mph";
    case UNIT_KPH:
      return "#uom-kph";
    case UNIT_SPEEDZONE:
      return "#uom-speedzone";
    case UNIT_BPM:
      return "#uom-bpm";
    case UNIT_HRZONE:
      return "#uom-hrzone";
    case UNIT_CALORIES:
      return "#uom-calorie";
    case UNIT_CELSIUS:
      return "#uom-degc";
    case UNIT_FAHRENHEIT:
      return "#uom-degf";
    case UNIT_PERCENTMAX:
      return "#uom-pct-max";
    case UNIT_RPM:
      return "#uom-rpm";
    default:
      return "unknown";  // device time, semicircles, codes no table knows
  }
}

const char* SourceId(int source) {
  switch (source) {
    case SOURCE_NONE:
      return nullptr;
    case SOURCE_GPS:
      return "#src-gps";
    case SOURCE_WHEEL:
      return "#src-wheel";
    default:
      return "unknown";
  }
}

const char* ModifierName(int modifier) {
  switch (modifier) {
    case MODIFIER_INSTANT:
      return nullptr;
    case MODIFIER_START:
      return "start";
    case MODIFIER_END:
      return "end";
    case MODIFIER_SUM:
      return "sum";
    case MODIFIER_MIN:
      return "min";
    case MODIFIER_MAX:
      return "max";
    case MODIFIER_AVERAGE:
      return "average";
    default:
      return "unknown";
  }
}

}  // namespace qvx
