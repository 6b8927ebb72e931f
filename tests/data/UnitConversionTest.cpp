// Unit conversions follow the single-precision factors and truncate integer
// results toward zero, so some results sit one below the exact decimal answer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "data/GpsUnits.h"

namespace {

struct CIntCase {
  const char* legend;
  int from;
  int value;
  int to;
  bool ok;
  int expected;
};

TEST(ConvertIntTest, RulesAndTruncation) {
  const CIntCase cases[] = {
      {"100 ft is 30 m, truncated", UNIT_FEET, 100, UNIT_METRES, true, 30},
      {"1000 m is 0 miles", UNIT_METRES, 1000, UNIT_MILES, true, 0},
      {"1 km is 1000 m", UNIT_KILOMETRES, 1, UNIT_METRES, true, 1000},
      {"1 mile is 1609 m", UNIT_MILES, 1, UNIT_METRES, true, 1609},
      {"1 km is 3280 ft (float factor)", UNIT_KILOMETRES, 1, UNIT_FEET, true, 3280},
      {"5280 ft stays just below a mile", UNIT_FEET, 5280, UNIT_MILES, true, 0},
      {"100 C is 211 F: 1.8f is below 1.8", UNIT_CELSIUS, 100, UNIT_FAHRENHEIT, true, 211},
      {"212 F is 100 C", UNIT_FAHRENHEIT, 212, UNIT_CELSIUS, true, 100},
      {"10 m/s is 35 km/h: 3.6f is below 3.6", UNIT_MPS, 10, UNIT_KPH, true, 35},
      {"100 mph is 44 m/s", UNIT_MPH, 100, UNIT_MPS, true, 44},
      {"100 km/h divided into mph", UNIT_KPH, 100, UNIT_MPH, true, 62},
      {"negative lengths truncate toward zero", UNIT_FEET, -100, UNIT_METRES, true, -30},
      {"device time 0 is the device epoch", UNIT_DEVICETIME, 0, UNIT_UNIXTIME, true, 631065600},
      {"Unix time of the device epoch", UNIT_UNIXTIME, 631065600, UNIT_DEVICETIME, true, 0},
      {"same unit passes", UNIT_DEGREES, 5, UNIT_DEGREES, true, 5},
      {"same unit passes any code", 99, -7, 99, true, -7},
      {"speed to speed zone has no rule", UNIT_MPS, 5, UNIT_SPEEDZONE, false, 0},
      {"semicircles to degrees is for pairs only", UNIT_SEMICIRCLES, 1, UNIT_DEGREES, false, 0},
      {"time to seconds has no rule", UNIT_UNIXTIME, 5, UNIT_SECONDS, false, 0},
      {"lengths and speeds do not mix", UNIT_METRES, 5, UNIT_MPS, false, 0},
      {"a result beyond int fails", UNIT_MILES, 2000000, UNIT_FEET, false, 0},
  };
  for (const CIntCase& c : cases) {
    SCOPED_TRACE(c.legend);
    int out = 12345;
    EXPECT_EQ(ConvertInt(c.from, c.value, c.to, &out), c.ok);
    EXPECT_EQ(out, c.ok ? c.expected : 12345) << "a failure leaves the output untouched";
  }
  EXPECT_FALSE(ConvertInt(UNIT_FEET, 1, UNIT_METRES, nullptr));
}

struct CFloatCase {
  const char* legend;
  int from;
  float value;
  int to;
  bool ok;
  float expected;
};

TEST(ConvertFloatTest, KeepsTheFraction) {
  const CFloatCase cases[] = {
      {"100 ft is 30.48 m", UNIT_FEET, 100.0f, UNIT_METRES, true, 30.48f},
      {"100 C is 212 F", UNIT_CELSIUS, 100.0f, UNIT_FAHRENHEIT, true, 212.0f},
      {"-40 F is -40 C", UNIT_FAHRENHEIT, -40.0f, UNIT_CELSIUS, true, -40.0f},
      {"1 mile in km", UNIT_MILES, 1.0f, UNIT_KILOMETRES, true, 1.609344f},
      {"device time shift as a float", UNIT_DEVICETIME, 0.0f, UNIT_UNIXTIME, true, 631065600.0f},
      {"Unix time shift back", UNIT_UNIXTIME, 631065600.0f, UNIT_DEVICETIME, true, 0.0f},
      {"same unit passes", 42, 1.25f, 42, true, 1.25f},
      {"no rule", UNIT_BPM, 60.0f, UNIT_HRZONE, false, 0.0f},
  };
  for (const CFloatCase& c : cases) {
    SCOPED_TRACE(c.legend);
    float out = -1.0f;
    EXPECT_EQ(ConvertFloat(c.from, c.value, c.to, &out), c.ok);
    if (c.ok) {
      EXPECT_NEAR(out, c.expected, 1e-3f * (1.0f + std::abs(c.expected)));
    } else {
      EXPECT_EQ(out, -1.0f);
    }
  }
}

TEST(ConvertIntTest, DeviceTimeShiftWrapsAsUnsignedCount) {
  // A device time past 2038 is a large unsigned count stored in an int.
  int out = 0;
  ASSERT_TRUE(ConvertInt(UNIT_DEVICETIME, INT_MAX, UNIT_UNIXTIME, &out));
  EXPECT_EQ(static_cast<unsigned>(out), static_cast<unsigned>(INT_MAX) + 631065600u);
}

}  // namespace
