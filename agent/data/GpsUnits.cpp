#include "data/GpsUnits.h"

#include <cmath>
#include <limits>

namespace {

enum class Rule { Multiply, Divide, ToFahrenheit, ToCelsius, TimeForward, TimeBack };

struct CConversion {
  int from;
  int to;
  Rule rule;
  float factor;  // single precision on purpose: results follow the float constants
};

// Every rule between two different units; any other pair has none.
constexpr CConversion CONVERSIONS[] = {
    {UNIT_UNIXTIME, UNIT_DEVICETIME, Rule::TimeBack, 0.0f},
    {UNIT_DEVICETIME, UNIT_UNIXTIME, Rule::TimeForward, 0.0f},
    {UNIT_FEET, UNIT_METRES, Rule::Multiply, 0.3048f},
    {UNIT_FEET, UNIT_MILES, Rule::Multiply, 0.00018939393f},
    {UNIT_FEET, UNIT_KILOMETRES, Rule::Multiply, 0.0003048f},
    {UNIT_METRES, UNIT_FEET, Rule::Multiply, 3.28084f},
    {UNIT_METRES, UNIT_MILES, Rule::Multiply, 0.0006213712f},
    {UNIT_METRES, UNIT_KILOMETRES, Rule::Multiply, 0.001f},
    {UNIT_MILES, UNIT_FEET, Rule::Multiply, 5280.0f},
    {UNIT_MILES, UNIT_METRES, Rule::Multiply, 1609.344f},
    {UNIT_MILES, UNIT_KILOMETRES, Rule::Multiply, 1.609344f},
    {UNIT_KILOMETRES, UNIT_FEET, Rule::Multiply, 3280.84f},
    {UNIT_KILOMETRES, UNIT_METRES, Rule::Multiply, 1000.0f},
    {UNIT_KILOMETRES, UNIT_MILES, Rule::Multiply, 0.6213712f},
    {UNIT_MPS, UNIT_MPH, Rule::Multiply, 2.2369363f},
    {UNIT_MPS, UNIT_KPH, Rule::Multiply, 3.6f},
    {UNIT_MPH, UNIT_MPS, Rule::Multiply, 0.44704f},
    {UNIT_MPH, UNIT_KPH, Rule::Multiply, 1.609344f},
    {UNIT_KPH, UNIT_MPS, Rule::Multiply, 0.2777778f},
    {UNIT_KPH, UNIT_MPH, Rule::Divide, 1.609344f},
    {UNIT_CELSIUS, UNIT_FAHRENHEIT, Rule::ToFahrenheit, 1.8f},
    {UNIT_FAHRENHEIT, UNIT_CELSIUS, Rule::ToCelsius, 0.5555556f},
};

const CConversion* FindConversion(int fromUnit, int toUnit) {
  for (const CConversion& conversion : CONVERSIONS) {
    if (conversion.from == fromUnit && conversion.to == toUnit) return &conversion;
  }
  return nullptr;
}

// The product in double precision, from the float constant.
double Apply(const CConversion& conversion, double value) {
  switch (conversion.rule) {
    case Rule::Multiply:
      return value * conversion.factor;
    case Rule::Divide:
      return value / conversion.factor;
    case Rule::ToFahrenheit:
      return value * conversion.factor + 32.0;
    case Rule::ToCelsius:
      return (value - 32.0) * conversion.factor;
    case Rule::TimeForward:
      return value + static_cast<double>(DEVICE_TIME_OFFSET);
    case Rule::TimeBack:
      return value - static_cast<double>(DEVICE_TIME_OFFSET);
  }
  return value;
}

}  // namespace

bool ConvertInt(int fromUnit, int value, int toUnit, int* out) {
  if (out == nullptr) return false;
  if (fromUnit == toUnit) {
    *out = value;
    return true;
  }
  const CConversion* conversion = FindConversion(fromUnit, toUnit);
  if (conversion == nullptr) return false;
  if (conversion->rule == Rule::TimeForward || conversion->rule == Rule::TimeBack) {
    // Device times are unsigned counts, so the shift wraps like one.
    uint32_t shifted = conversion->rule == Rule::TimeForward
                           ? static_cast<uint32_t>(value) + static_cast<uint32_t>(DEVICE_TIME_OFFSET)
                           : static_cast<uint32_t>(value) - static_cast<uint32_t>(DEVICE_TIME_OFFSET);
    *out = static_cast<int>(shifted);
    return true;
  }
  double result = std::trunc(Apply(*conversion, value));
  // A result beyond the int range has no integer answer.
  if (!(result >= static_cast<double>(std::numeric_limits<int>::min()) &&
        result <= static_cast<double>(std::numeric_limits<int>::max()))) {
    return false;
  }
  *out = static_cast<int>(result);
  return true;
}

bool ConvertFloat(int fromUnit, float value, int toUnit, float* out) {
  if (out == nullptr) return false;
  if (fromUnit == toUnit) {
    *out = value;
    return true;
  }
  const CConversion* conversion = FindConversion(fromUnit, toUnit);
  if (conversion == nullptr) return false;
  if (conversion->rule == Rule::TimeForward) {
    *out = value + static_cast<float>(DEVICE_TIME_OFFSET);
  } else if (conversion->rule == Rule::TimeBack) {
    *out = value - static_cast<float>(DEVICE_TIME_OFFSET);
  } else {
    *out = static_cast<float>(Apply(*conversion, value));
  }
  return true;
}

bool IsConvertibleMeasure(int unit) {
  return (unit >= UNIT_FEET && unit <= UNIT_KPH) || unit == UNIT_CELSIUS || unit == UNIT_FAHRENHEIT;
}
