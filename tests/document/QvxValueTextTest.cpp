#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/GpsDataFloat.h"
#include "data/GpsDataFloatPair.h"
#include "data/GpsDataIntPair.h"
#include "data/GpsDataInteger.h"
#include "document/QvxValueText.h"

namespace {

using ValuePtr = std::unique_ptr<CGpsDataValue>;

// The quick text, or "<left to Format>" when the quick path declines.
std::string Quick(const CGpsDataValue& value, int unit) {
  char buffer[kQvxValueTextSize];
  const size_t length = FormatQvxValueText(value, unit, buffer);
  return length > 0 ? std::string(buffer, length) : std::string("<left to Format>");
}

// Every text the quick path makes must be the one Format makes.
void ExpectSameAsFormat(const CGpsDataValue& value, int unit) {
  const std::string quick = Quick(value, unit);
  if (quick != "<left to Format>") {
    ASSERT_EQ(quick, value.Format(unit)) << "unit " << value.GetUnit() << " asked as " << unit;
  }
}

TEST(QvxValueText, TrackLogKindsTakeTheQuickPath) {
  struct Case {
    const char* legend;
    ValuePtr value;
    int unit;
    std::string text;
  };
  Case cases[] = {
      {"device time as UTC", ValuePtr(new CGpsDataInteger(QUANTITY_TIME, 0, UNIT_DEVICETIME, 515425500)),
       UNIT_UNIXTIME, "2006-05-01T13:45:00Z"},
      {"device time 0", ValuePtr(new CGpsDataInteger(QUANTITY_TIME, 0, UNIT_DEVICETIME, 0)), UNIT_UNIXTIME,
       "1989-12-31T00:00:00Z"},
      {"largest device time", ValuePtr(new CGpsDataInteger(QUANTITY_TIME, 0, UNIT_DEVICETIME, -1)),
       UNIT_UNIXTIME, "2126-02-06T06:28:15Z"},
      {"leap day", ValuePtr(new CGpsDataInteger(QUANTITY_TIME, 0, UNIT_UNIXTIME, 951782400)), UNIT_UNIXTIME,
       "2000-02-29T00:00:00Z"},
      {"negative bpm in its unit", ValuePtr(new CGpsDataInteger(QUANTITY_HEARTRATE, 0, UNIT_BPM, -5)),
       UNIT_BPM, "-5"},
      {"float tie rounds to even", ValuePtr(new CGpsDataFloat(QUANTITY_SPEED, 0, UNIT_MPS, 4.25f)), UNIT_MPS,
       "4.2"},
      {"negative zero", ValuePtr(new CGpsDataFloat(QUANTITY_ELEVATION, 0, UNIT_METRES, -0.04f)), UNIT_METRES,
       "-0.0"},
      {"semicircles in degrees",
       ValuePtr(new CGpsDataIntPair(QUANTITY_POSITION, 0, UNIT_SEMICIRCLES, 101408950, -566697074)),
       UNIT_DEGREES, "8.500000 -47.500000"},
      {"pair in its unit", ValuePtr(new CGpsDataIntPair(QUANTITY_POSITION, 0, UNIT_SEMICIRCLES, 1, -2)),
       UNIT_SEMICIRCLES, "1 -2"},
      {"time before 1970 left to Format", ValuePtr(new CGpsDataInteger(QUANTITY_TIME, 0, UNIT_UNIXTIME, -1)),
       UNIT_UNIXTIME, "<left to Format>"},
      {"conversion left to Format", ValuePtr(new CGpsDataFloat(QUANTITY_ELEVATION, 0, UNIT_FEET, 100.0f)),
       UNIT_METRES, "<left to Format>"},
      {"not a number left to Format",
       ValuePtr(
           new CGpsDataFloat(QUANTITY_ELEVATION, 0, UNIT_METRES, std::numeric_limits<float>::quiet_NaN())),
       UNIT_METRES, "<left to Format>"},
      {"float pair left to Format",
       ValuePtr(new CGpsDataFloatPair(QUANTITY_POSITION, 0, UNIT_DEGREES, 1.0f, 2.0f)), UNIT_DEGREES,
       "<left to Format>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(Quick(*c.value, c.unit), c.text);
    ExpectSameAsFormat(*c.value, c.unit);
  }
}

TEST(QvxValueText, SameTextAsFormatOverWideRanges) {
  std::mt19937 random(20061);
  std::uniform_int_distribution<int32_t> anyInt(std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
  std::uniform_real_distribution<double> exponent(-8.0, 9.0);
  for (int i = 0; i < 30000; ++i) {
    const int32_t n = anyInt(random);
    const int32_t m = anyInt(random);
    CGpsDataInteger deviceTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, n);
    ExpectSameAsFormat(deviceTime, UNIT_UNIXTIME);
    ExpectSameAsFormat(deviceTime, UNIT_DEVICETIME);
    CGpsDataInteger unixTime(QUANTITY_TIME, MODIFIER_START, UNIT_UNIXTIME, n);
    ExpectSameAsFormat(unixTime, UNIT_UNIXTIME);
    CGpsDataInteger count(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, n);
    ExpectSameAsFormat(count, UNIT_RPM);
    CGpsDataIntPair position(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, n, m);
    ExpectSameAsFormat(position, UNIT_DEGREES);
    ExpectSameAsFormat(position, UNIT_SEMICIRCLES);
    // Floats of every magnitude a measurement may hold, both signs, plus the
    // halves and quarters that sit exactly on a rounding tie.
    const float magnitude = static_cast<float>(std::pow(10.0, exponent(random)));
    for (const float value :
         {magnitude, -magnitude, static_cast<float>(n % 100000) / 4.0f, static_cast<float>(n) * 0.05f}) {
      CGpsDataFloat number(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, value);
      ExpectSameAsFormat(number, UNIT_METRES);
    }
    if (HasFatalFailure()) return;
  }
}

}  // namespace
