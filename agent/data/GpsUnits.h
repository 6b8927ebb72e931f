// Codes that say what a measurement measures, in which role, in which unit and
// from which source, and the unit conversions between them. Values are kept in
// the unit in which they arrived and converted only when read or printed.
#pragma once

#include <cstdint>

// What a measurement measures.
enum GpsQuantity : int {
  QUANTITY_TIME = 0,  // an instant, or a duration when the modifier is MODIFIER_SUM
  QUANTITY_POSITION = 1,
  QUANTITY_ELEVATION = 2,
  QUANTITY_DEPTH = 3,
  QUANTITY_HEARTRATE = 4,
  QUANTITY_TEMPERATURE = 5,
  QUANTITY_DISTANCE = 6,
  QUANTITY_ENERGY = 7,
  QUANTITY_SPEED = 8,
  QUANTITY_CADENCE = 9,
};

// The role of a value.
enum GpsModifier : int {
  MODIFIER_INSTANT = 0,
  MODIFIER_START = 1,
  MODIFIER_END = 2,
  MODIFIER_SUM = 3,
  MODIFIER_MIN = 4,
  MODIFIER_MAX = 5,
  MODIFIER_AVERAGE = 6,
  MODIFIER_ZONE = 7,  // a range of the quantity, or a reference to one
};

// The unit of a stored value; also the requested output form of the
// formatting operations (UNIT_UNIXTIME asks for the UTC text and UNIT_RPM,
// applied to a time, for the local-time text).
enum GpsUnit : int {
  UNIT_UNIXTIME = 0,    // seconds since 1970-01-01 00:00 UTC
  UNIT_DEVICETIME = 1,  // seconds since 1989-12-31 00:00 UTC
  UNIT_SECONDS = 2,
  UNIT_SEMICIRCLES = 3,  // 2^31 semicircles = 180 degrees
  UNIT_DEGREES = 4,
  UNIT_FEET = 5,
  UNIT_METRES = 6,
  UNIT_MILES = 7,
  UNIT_KILOMETRES = 8,
  UNIT_MPS = 9,
  UNIT_MPH = 10,
  UNIT_KPH = 11,
  UNIT_SPEEDZONE = 12,
  UNIT_BPM = 13,
  UNIT_HRZONE = 14,
  UNIT_CALORIES = 15,
  UNIT_CELSIUS = 16,
  UNIT_FAHRENHEIT = 17,
  UNIT_PERCENTMAX = 18,
  UNIT_RPM = 19,
  UNIT_LOCALTIME = 19,  // output form of a time: the local date and time text
};

// Where a value came from.
enum GpsSource : int {
  SOURCE_NONE = 0,
  SOURCE_GPS = 1,
  SOURCE_WHEEL = 2,
};

// Unix time = device time + this many seconds (7304 days).
constexpr int64_t DEVICE_TIME_OFFSET = 631065600;

// Semicircles to degrees: 180 / 2^31, exactly 45 x 2^-29.
constexpr double SEMICIRCLES_TO_DEGREES = 45.0 / 536870912.0;
// Degrees to semicircles: 2^31 / 180 rounded to an integer.
constexpr double DEGREES_TO_SEMICIRCLES = 11930465.0;

// Integer in, integer out; the product is truncated toward zero. False, with
// out untouched, when the two units have no rule, when out is null or when the
// result does not fit an int. The same unit on both sides always succeeds.
bool ConvertInt(int fromUnit, int value, int toUnit, int* out);

// Float in, float out; the same rules, the product kept as a float.
bool ConvertFloat(int fromUnit, float value, int toUnit, float* out);

// True for the units that the text of a length, a speed or a temperature may
// be converted between (feet to kilometres, m/s to km/h, Celsius and Fahrenheit).
bool IsConvertibleMeasure(int unit);
