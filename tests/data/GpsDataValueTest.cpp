// Measurements: getters convert only between the two time scales and between
// semicircles and degrees; everything else must match the stored unit.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <typeinfo>

#include "data/GpsDataSet.h"
#include "support/TestEnv.h"

namespace {

constexpr int kSemi90 = 1 << 30;      // 90 degrees
constexpr int kSemiM45 = -(1 << 29);  // -45 degrees

TEST(GpsDataValueTest, SingleValueGetters) {
  CGpsDataFloat elevation(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 12.6f);
  CGpsDataInteger deviceTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 100);
  CGpsDataInteger unixTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 631065700);
  CGpsDataInteger heartRate(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, 150);
  CGpsDataIntPair position(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, kSemi90, kSemiM45);
  CGpsDataFloatPair zone(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.5f, 3.7f);

  const struct {
    const char* legend;
    const CGpsDataValue& value;
    int unit;
    bool intOk;
    int intValue;
    bool floatOk;
    float floatValue;
  } cases[] = {
      {"float in its unit", elevation, UNIT_METRES, true, 13, true, 12.6f},
      {"float refuses feet", elevation, UNIT_FEET, false, 0, false, 0.0f},
      {"device time as device time", deviceTime, UNIT_DEVICETIME, true, 100, true, 100.0f},
      {"device time as Unix time", deviceTime, UNIT_UNIXTIME, true, 631065700, true, 631065700.0f},
      {"device time refuses seconds", deviceTime, UNIT_SECONDS, false, 0, false, 0.0f},
      {"Unix time as device time", unixTime, UNIT_DEVICETIME, true, 100, true, 100.0f},
      {"heart rate in bpm", heartRate, UNIT_BPM, true, 150, true, 150.0f},
      {"heart rate refuses rpm", heartRate, UNIT_RPM, false, 0, false, 0.0f},
      {"heart rate refuses a zone number", heartRate, UNIT_HRZONE, false, 0, false, 0.0f},
      {"pair has no single value", position, UNIT_SEMICIRCLES, false, 0, false, 0.0f},
      {"float pair has no single value", zone, UNIT_MPS, false, 0, false, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    int i = -1;
    float f = -1.0f;
    EXPECT_EQ(c.value.GetInt(c.unit, &i), c.intOk);
    EXPECT_EQ(i, c.intOk ? c.intValue : -1);
    EXPECT_EQ(c.value.GetFloat(c.unit, &f), c.floatOk);
    EXPECT_FLOAT_EQ(f, c.floatOk ? c.floatValue : -1.0f);
    EXPECT_FALSE(c.value.GetInt(c.unit, nullptr));
    EXPECT_FALSE(c.value.GetFloat(c.unit, nullptr));
  }
}

TEST(GpsDataValueTest, UnixTimeOnlyFromDeviceTime) {
  CGpsDataInteger deviceTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 100);
  CGpsDataInteger after2038(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1577923200);
  CGpsDataInteger unixTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 631065700);
  CGpsDataFloat floatTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 100.0f);
  int64_t out = -1;
  EXPECT_TRUE(deviceTime.GetUnixTime(0, &out));
  EXPECT_EQ(out, 631065700);
  EXPECT_TRUE(after2038.GetUnixTime(0, &out));
  EXPECT_EQ(out, 2208988800) << "2040-01-01";
  out = -1;
  EXPECT_FALSE(deviceTime.GetUnixTime(1, &out)) << "kind other than 0";
  EXPECT_FALSE(deviceTime.GetUnixTime(0, nullptr));
  EXPECT_FALSE(unixTime.GetUnixTime(0, &out)) << "stored as Unix time";
  EXPECT_FALSE(floatTime.GetUnixTime(0, &out));
  EXPECT_EQ(out, -1);
  int stored = -1;
  EXPECT_TRUE(unixTime.GetInt(UNIT_UNIXTIME, &stored));
  EXPECT_EQ(stored, 631065700);
}

TEST(GpsDataValueTest, FloatsOutsideTheIntRangeHaveNoInt) {
  for (float value : {std::nanf(""), 3e9f, -3e9f, 2147483648.0f, INFINITY}) {
    SCOPED_TRACE(value);
    int out = -1;
    EXPECT_FALSE(
        CGpsDataFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, value).GetInt(UNIT_METRES, &out));
    EXPECT_EQ(out, -1);
  }
}

TEST(GpsDataValueTest, PairGetters) {
  CGpsDataIntPair semicircles(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, kSemi90, kSemiM45);
  CGpsDataIntPair degrees(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 1, -2);
  CGpsDataFloatPair floatDegrees(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 10.5f, -20.25f);
  const struct {
    const char* legend;
    const CGpsDataValue& value;
    int unit;
    bool ok;
    int first;
    int second;
    float firstF;
    float secondF;
  } cases[] = {
      {"semicircles as stored", semicircles, UNIT_SEMICIRCLES, true, kSemi90, kSemiM45, 1073741824.0f,
       -536870912.0f},
      {"semicircles in degrees", semicircles, UNIT_DEGREES, true, 90, -45, 90.0f, -45.0f},
      {"semicircles refuse metres", semicircles, UNIT_METRES, false, 0, 0, 0, 0},
      {"int degrees in semicircles", degrees, UNIT_SEMICIRCLES, true, 11930465, -23860930, 11930465.0f,
       -23860930.0f},
      {"float degrees in semicircles, truncated", floatDegrees, UNIT_SEMICIRCLES, true, 125269882, -241591916,
       125269882.5f, -241591916.25f},
      {"float degrees as stored, truncated", floatDegrees, UNIT_DEGREES, true, 10, -20, 10.5f, -20.25f},
      {"float degrees refuse feet", floatDegrees, UNIT_FEET, false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    int a = -1, b = -1;
    float fa = -1.0f, fb = -1.0f;
    EXPECT_EQ(c.value.GetPairInt(c.unit, &a, &b), c.ok);
    EXPECT_EQ(c.value.GetPairFloat(c.unit, &fa, &fb), c.ok);
    if (c.ok) {
      EXPECT_EQ(a, c.first);
      EXPECT_EQ(b, c.second);
      EXPECT_FLOAT_EQ(fa, c.firstF);
      EXPECT_FLOAT_EQ(fb, c.secondF);
    } else {
      EXPECT_EQ(a, -1);
      EXPECT_EQ(fb, -1.0f);
    }
    EXPECT_FALSE(c.value.GetPairInt(c.unit, nullptr, &b));
  }
}

TEST(GpsDataValueTest, ComponentGettersNeedStoredUnitAndIndex) {
  CGpsDataIntPair range(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 120, 150);
  CGpsDataFloatPair speeds(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.5f, 3.7f);
  int i = -1;
  float f = -1.0f;
  EXPECT_TRUE(range.GetComponentInt(UNIT_BPM, 1, &i));
  EXPECT_EQ(i, 150);
  EXPECT_TRUE(range.GetComponentFloat(UNIT_BPM, 0, &f));
  EXPECT_EQ(f, 120.0f);
  EXPECT_TRUE(speeds.GetComponentFloat(UNIT_MPS, 1, &f));
  EXPECT_EQ(f, 3.7f);
  EXPECT_TRUE(speeds.GetComponentInt(UNIT_MPS, 0, &i));
  EXPECT_EQ(i, 2);
  i = -1;
  f = -1.0f;
  EXPECT_FALSE(range.GetComponentInt(UNIT_BPM, 2, &i));
  EXPECT_FALSE(range.GetComponentInt(UNIT_BPM, -1, &i));
  EXPECT_FALSE(range.GetComponentInt(UNIT_HRZONE, 0, &i));
  EXPECT_FALSE(speeds.GetComponentFloat(UNIT_KPH, 0, &f)) << "no conversion";
  EXPECT_EQ(i, -1);
  EXPECT_EQ(f, -1.0f);
  CGpsDataFloat single(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, 3.0f);
  EXPECT_FALSE(single.GetComponentFloat(UNIT_MPS, 0, &f));
  EXPECT_FALSE(single.GetPairFloat(UNIT_MPS, &f, &f));
}

TEST(GpsDataValueTest, FormatEveryClass) {
  CGpsDataFloat metres(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 12.34f);
  CGpsDataFloat celsius(QUANTITY_TEMPERATURE, MODIFIER_INSTANT, UNIT_CELSIUS, 20.0f);
  CGpsDataFloat speed(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, 10.0f);
  CGpsDataFloat floatTime(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 10.0f);
  CGpsDataFloat duration(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 3600.25f);
  CGpsDataInteger bpm(QUANTITY_HEARTRATE, MODIFIER_AVERAGE, UNIT_BPM, 150);
  CGpsDataInteger lengthInt(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 1000);
  CGpsDataInteger deviceEpoch(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 0);
  CGpsDataInteger deviceMax(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, -1);
  CGpsDataInteger unixTime(QUANTITY_TIME, MODIFIER_START, UNIT_UNIXTIME, 1146491100);
  CGpsDataInteger negative(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_FEET, -10);
  CGpsDataIntPair position(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, kSemi90, kSemiM45);
  CGpsDataFloatPair floatPosition(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 10.5f, -20.25f);
  const struct {
    const char* legend;
    const CGpsDataValue& value;
    int unit;
    const char* expected;
  } cases[] = {
      {"float in its unit", metres, UNIT_METRES, "12.3"},
      {"float metres in feet", metres, UNIT_FEET, "40.5"},
      {"float metres in km", metres, UNIT_KILOMETRES, "0.0"},
      {"float metres has no seconds", metres, UNIT_SECONDS, ""},
      {"float Celsius in Fahrenheit", celsius, UNIT_FAHRENHEIT, "68.0"},
      {"float m/s in km/h", speed, UNIT_KPH, "36.0"},
      {"float speed is no length", speed, UNIT_METRES, ""},
      {"float time does not shift", floatTime, UNIT_UNIXTIME, ""},
      {"float duration in seconds", duration, UNIT_SECONDS, "3600.2"},
      {"integer in its unit", bpm, UNIT_BPM, "150"},
      {"integer bpm has no other form", bpm, UNIT_HRZONE, ""},
      {"integer metres in km", lengthInt, UNIT_KILOMETRES, "1.0"},
      {"integer metres in miles", lengthInt, UNIT_MILES, "0.6"},
      {"negative integer keeps its sign", negative, UNIT_FEET, "-10"},
      {"device time 0 as UTC text", deviceEpoch, UNIT_UNIXTIME, "1989-12-31T00:00:00Z"},
      {"device time in its own unit", deviceEpoch, UNIT_DEVICETIME, "0"},
      {"device time is an unsigned count", deviceMax, UNIT_DEVICETIME, "4294967295"},
      {"largest device time as UTC text", deviceMax, UNIT_UNIXTIME, "2126-02-06T06:28:15Z"},
      {"device time has no seconds form", deviceEpoch, UNIT_SECONDS, ""},
      {"Unix time as UTC text", unixTime, UNIT_UNIXTIME, "2006-05-01T13:45:00Z"},
      {"Unix time has no device form", unixTime, UNIT_DEVICETIME, ""},
      {"position in its unit", position, UNIT_SEMICIRCLES, "1073741824 -536870912"},
      {"position in degrees", position, UNIT_DEGREES, "90.000000 -45.000000"},
      {"position has no metres", position, UNIT_METRES, ""},
      {"float pair in its unit is empty", floatPosition, UNIT_DEGREES, ""},
      {"float pair in semicircles is empty", floatPosition, UNIT_SEMICIRCLES, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(c.value.Format(c.unit), c.expected);
  }
}

TEST(GpsDataValueTest, LocalTimeFormBySuffixFamily) {
  qvtest::CScopedEnv tz("TZ", std::string("EST5"));
  tzset();
  // 2006-05-01T17:00:00Z is local noon five hours west.
  CGpsDataInteger unixNoon(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1146502800);
  CGpsDataInteger deviceNoon(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1146502800 - 631065600);
  CGpsDataInteger deviceMidnight(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1146459600 - 631065600);
  EXPECT_EQ(unixNoon.Format(UNIT_LOCALTIME), "5/1/2006 12:00:00 P.M.");
  EXPECT_EQ(deviceNoon.Format(UNIT_LOCALTIME), "5/1/2006 12:00:00 PM");
  EXPECT_EQ(deviceMidnight.Format(UNIT_LOCALTIME), "5/1/2006 12:00:00 AM");
}

TEST(GpsDataValueTest, FormatComponent) {
  CGpsDataIntPair hrRange(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 120, 150);
  CGpsDataIntPair feetRange(QUANTITY_ELEVATION, MODIFIER_ZONE, UNIT_FEET, 100, -100);
  CGpsDataFloatPair speedRange(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.5f, 3.7f);
  CGpsDataInteger zoneNumber(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_HRZONE, 3);
  CGpsDataFloat single(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 3.0f);
  const struct {
    const char* legend;
    const CGpsDataValue& value;
    int unit;
    int index;
    const char* expected;
  } cases[] = {
      {"int pair first", hrRange, UNIT_BPM, 0, "120"},
      {"int pair second", hrRange, UNIT_BPM, 1, "150"},
      {"int pair index 2", hrRange, UNIT_BPM, 2, ""},
      {"int pair index -1", hrRange, UNIT_BPM, -1, ""},
      {"int pair no rule", hrRange, UNIT_RPM, 0, ""},
      {"int pair converts by integer rule", feetRange, UNIT_METRES, 0, "30"},
      {"int pair negative member", feetRange, UNIT_METRES, 1, "-30"},
      {"float pair first", speedRange, UNIT_MPS, 0, "2.5"},
      {"float pair second", speedRange, UNIT_MPS, 1, "3.7"},
      {"float pair converted", speedRange, UNIT_KPH, 0, "9.0"},
      {"float pair no rule", speedRange, UNIT_METRES, 0, ""},
      {"integer has no components", zoneNumber, UNIT_HRZONE, 0, ""},
      {"float has no components", single, UNIT_MPS, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(c.value.FormatComponent(c.unit, c.index), c.expected);
  }
}

TEST(GpsDataValueTest, SettersByClass) {
  CGpsDataFloat f(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, 1.0f);
  CGpsDataInteger i(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, 1);
  CGpsDataIntPair ip(QUANTITY_POSITION, MODIFIER_START, UNIT_SEMICIRCLES, 1, 2);
  CGpsDataFloatPair fp(QUANTITY_POSITION, MODIFIER_START, UNIT_DEGREES, 1.0f, 2.0f);

  EXPECT_TRUE(f.SetFloat(UNIT_KPH, 7.5f));
  EXPECT_EQ(f.GetUnit(), UNIT_KPH);
  EXPECT_EQ(f.GetValue(), 7.5f);
  EXPECT_TRUE(f.SetUnit(UNIT_MPH));
  EXPECT_EQ(f.GetUnit(), UNIT_MPH);
  EXPECT_EQ(f.GetValue(), 7.5f) << "SetUnit keeps the value";

  EXPECT_FALSE(i.SetFloat(UNIT_BPM, 2.0f));
  EXPECT_TRUE(i.SetInteger(UNIT_HRZONE, 4));
  EXPECT_EQ(i.GetUnit(), UNIT_HRZONE);
  EXPECT_EQ(i.GetValue(), 4);
  EXPECT_TRUE(i.SetUnit(UNIT_BPM));
  EXPECT_EQ(i.GetValue(), 4);

  EXPECT_FALSE(ip.SetFloat(UNIT_DEGREES, 1.0f));
  EXPECT_FALSE(ip.SetUnit(UNIT_DEGREES));
  EXPECT_EQ(ip.GetUnit(), UNIT_SEMICIRCLES);
  EXPECT_TRUE(ip.SetPair(UNIT_DEGREES, 5, 6));
  EXPECT_EQ(ip.GetFirst(), 5);
  EXPECT_EQ(ip.GetSecond(), 6);

  EXPECT_FALSE(fp.SetUnit(UNIT_SEMICIRCLES));
  EXPECT_TRUE(fp.SetPair(UNIT_MPS, 3, -4));
  EXPECT_EQ(fp.GetUnit(), UNIT_MPS);
  EXPECT_EQ(fp.GetFirst(), 3.0f);
  EXPECT_EQ(fp.GetSecond(), -4.0f);
}

TEST(GpsDataValueTest, CodesOutsideAByteDoNotAliasValidCodes) {
  CGpsDataInteger value(262, 300, UNIT_METRES + 256, 1);
  EXPECT_EQ(value.GetQuantity(), 127);
  EXPECT_EQ(value.GetModifier(), 127);
  EXPECT_EQ(value.GetUnit(), 127);
  EXPECT_FALSE(value.GetInt(UNIT_METRES, nullptr));
}

TEST(GpsDataValueTest, CloneDropsTextsAndSource) {
  CGpsDataSet set;
  CGpsDataProfile* profile = set.AddProfile();
  ASSERT_NE(profile, nullptr);
  CGpsDataValue* originals[] = {
      profile->AddFloat(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.5f),
      profile->AddInteger(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_HRZONE, 3),
      profile->AddIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 120, 150),
      profile->AddFloatPair(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.5f, 3.5f),
  };
  for (CGpsDataValue* original : originals) {
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original->GetSource(), SOURCE_NONE) << "adders start with no source";
    original->SetSource(SOURCE_GPS);
    ASSERT_TRUE(original->SetId("zone-1"));
    ASSERT_TRUE(original->SetName("Easy"));
    ASSERT_TRUE(original->SetCodeSpace("urn:zones"));
    ASSERT_TRUE(original->SetReference("profile-zone-1"));
  }
  for (CGpsDataValue* original : originals) {
    const CGpsDataValue& originalRef = *original;
    SCOPED_TRACE(typeid(originalRef).name());
    EXPECT_EQ(original->GetId(), "zone-1");
    EXPECT_EQ(original->GetReference(), "profile-zone-1");
    std::unique_ptr<CGpsDataValue> clone(original->Clone());
    ASSERT_NE(clone, nullptr);
    const CGpsDataValue& cloneRef = *clone;
    EXPECT_EQ(typeid(cloneRef), typeid(originalRef));
    EXPECT_EQ(clone->GetQuantity(), original->GetQuantity());
    EXPECT_EQ(clone->GetModifier(), original->GetModifier());
    EXPECT_EQ(clone->GetUnit(), original->GetUnit());
    EXPECT_EQ(clone->GetSource(), SOURCE_NONE);
    EXPECT_EQ(clone->GetId(), "");
    EXPECT_EQ(clone->GetName(), "");
    EXPECT_EQ(clone->GetCodeSpace(), "");
    EXPECT_EQ(clone->GetReference(), "");
    EXPECT_EQ(clone->FormatComponent(clone->GetUnit(), 1), original->FormatComponent(original->GetUnit(), 1));
    EXPECT_EQ(clone->Format(clone->GetUnit()), original->Format(original->GetUnit()));
    // A heap clone owns texts set on it afterwards.
    EXPECT_TRUE(clone->SetName("a name long enough to need its own heap storage"));
    // The arena copy behaves the same.
    CGpsDataValue* copy = profile->AddClone(*original);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetId(), "");
    EXPECT_EQ(copy->GetSource(), SOURCE_NONE);
    EXPECT_EQ(profile->GetValues().GetTail(), copy);
  }
  EXPECT_EQ(profile->GetValues().GetCount(), 8);
}

TEST(GpsDataValueTest, EmptyTextNeedsNoStorage) {
  CGpsDataFloat value(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, 1.0f);
  EXPECT_TRUE(value.SetId(""));
  EXPECT_EQ(value.GetId(), "");
  EXPECT_TRUE(value.SetId("x"));
  EXPECT_TRUE(value.SetId(""));
  EXPECT_EQ(value.GetId(), "");
}

}  // namespace
