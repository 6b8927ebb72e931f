// The workout records (D1002 workouts, D1003 occurrences, D1005 limits)
// decoded from byte vectors.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "data/GpsUnits.h"
#include "garmin/ProfileDecoders.h"
#include "garmin/WorkoutDecoders.h"

namespace {

using rxtest::Bytes;
using rxtest::CD1002;
using rxtest::CD1004;
using rxtest::D1002StepFields;

const char* kPrefix = "device-Garmin-484-3456789012";

HRESULT Decode(const Bytes& bytes, CGpsDataSet& set) {
  set.prefix = kPrefix;
  return DecodeD1002Workout(bytes.data(), bytes.size(), set);
}

// The only step of a one-step workout of sport 1.
const CGpsDataWorkoutStep* DecodeOneStep(const D1002StepFields& fields, CGpsDataSet& set) {
  if (Decode(CD1002().Sport(1).AddStep(fields).bytes, set) != S_OK) return nullptr;
  return set.GetWorkouts().GetTail()->GetSteps().GetHead();
}

// Which measurement a step carries: class, codes and value(s).
struct Measurement {
  enum Kind { Integer, IntPair, FloatPair } kind;
  int quantity;
  int modifier;
  int unit;
  double first;
  double second = 0;

  bool Matches(const CGpsDataValue& v) const {
    if (v.GetQuantity() != quantity || v.GetModifier() != modifier || v.GetUnit() != unit) return false;
    switch (kind) {
      case Integer: {
        const auto* i = dynamic_cast<const CGpsDataInteger*>(&v);
        int value = 0;
        return i != nullptr && i->GetInt(unit, &value) && value == first;
      }
      case IntPair: {
        const auto* p = dynamic_cast<const CGpsDataIntPair*>(&v);
        int a = 0;
        int b = 0;
        return p != nullptr && p->GetPairInt(unit, &a, &b) && a == first && b == second;
      }
      case FloatPair: {
        const auto* p = dynamic_cast<const CGpsDataFloatPair*>(&v);
        float a = 0;
        float b = 0;
        return p != nullptr && p->GetPairFloat(unit, &a, &b) && a == static_cast<float>(first) &&
               b == static_cast<float>(second);
      }
    }
    return false;
  }
};

TEST(WorkoutDecoders, DurationByType) {
  struct Case {
    const char* legend;
    uint8_t type;
    uint16_t value;
    std::optional<Measurement> expected;
  };
  const Case cases[] = {
      {"time", 0, 600, Measurement{Measurement::Integer, QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 600}},
      {"distance", 1, 5000,
       Measurement{Measurement::Integer, QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 5000}},
      {"heart rate below 150 bpm", 2, 150,
       Measurement{Measurement::Integer, QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, 150}},
      {"heart rate below 80 %", 2, 80,
       Measurement{Measurement::Integer, QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_PERCENTMAX, 80}},
      {"heart rate below 100 is a percentage", 2, 100,
       Measurement{Measurement::Integer, QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_PERCENTMAX, 100}},
      {"heart rate above 101 bpm", 3, 101,
       Measurement{Measurement::Integer, QUANTITY_HEARTRATE, MODIFIER_MIN, UNIT_BPM, 101}},
      {"heart rate above 70 %", 3, 70,
       Measurement{Measurement::Integer, QUANTITY_HEARTRATE, MODIFIER_MIN, UNIT_PERCENTMAX, 70}},
      {"calories", 4, 300,
       Measurement{Measurement::Integer, QUANTITY_ENERGY, MODIFIER_SUM, UNIT_CALORIES, 300}},
      {"largest value", 0, 65535,
       Measurement{Measurement::Integer, QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 65535}},
      {"open (lap button)", 5, 0, std::nullopt},
      {"unknown type", 200, 10, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    // Target type 2 carries no target, so only the duration is left.
    const CGpsDataWorkoutStep* step = DecodeOneStep({"", 0, 0, c.value, 0, c.type, 2, 0}, set);
    ASSERT_NE(step, nullptr);
    ASSERT_EQ(step->GetValues().GetCount(), c.expected ? 1 : 0);
    if (c.expected) {
      EXPECT_TRUE(c.expected->Matches(*step->GetValues().GetHead()));
    }
  }
}

TEST(WorkoutDecoders, TargetByType) {
  // Profiles of the three sports; biking (1) has heart-rate zones 0-4 and
  // speed zones 0-1, so zone numbers refer to them.
  CD1004 profile;
  for (int i = 0; i < 5; ++i) profile.HeartRateZone(1, i, static_cast<uint8_t>(100 + 10 * i), 110 + 10 * i);
  profile.SpeedZone(1, 0, 5.0f, 7.0f, "Slow").SpeedZone(1, 1, 7.0f, 9.0f, "Fast");
  const std::string biking = std::string(kPrefix) + "-D1004-1";

  struct Case {
    const char* legend;
    uint8_t type;
    uint8_t value;
    float low;
    float high;
    std::optional<Measurement> expected;
    std::string reference;
  };
  const Case cases[] = {
      {"speed zone 1", 0, 1, 0, 0,
       Measurement{Measurement::Integer, QUANTITY_SPEED, MODIFIER_ZONE, UNIT_SPEEDZONE, 1},
       biking + "-speed_zones-0"},
      {"speed zone beyond the profile", 0, 5, 0, 0,
       Measurement{Measurement::Integer, QUANTITY_SPEED, MODIFIER_ZONE, UNIT_SPEEDZONE, 5}, ""},
      {"custom speed", 0, 0, 2.5f, 3.25f,
       Measurement{Measurement::FloatPair, QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.5, 3.25}, ""},
      {"heart-rate zone 3", 1, 3, 0, 0,
       Measurement{Measurement::Integer, QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_HRZONE, 3},
       biking + "-heart_rate_zones-2"},
      {"custom heart rate in percent", 1, 0, 60.0f, 75.5f,
       Measurement{Measurement::FloatPair, QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_PERCENTMAX, 60, 75.5}, ""},
      {"custom heart rate at 100 %", 1, 0, 100.0f, 100.0f,
       Measurement{Measurement::FloatPair, QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_PERCENTMAX, 100, 100}, ""},
      {"custom heart rate in bpm, truncated", 1, 0, 120.9f, 150.2f,
       Measurement{Measurement::IntPair, QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 120, 150}, ""},
      {"custom heart rate 60 to 150 mixes units", 1, 0, 60.0f, 150.0f, std::nullopt, ""},
      {"custom heart rate 150 to 60", 1, 0, 150.0f, 60.0f, std::nullopt, ""},
      {"custom heart rate beyond any int", 1, 0, 120.0f, 1e30f, std::nullopt, ""},
      {"open target", 2, 0, 0, 0, std::nullopt, ""},
      {"unknown target", 9, 1, 0, 0, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    set.prefix = kPrefix;
    ASSERT_EQ(DecodeD1004UserProfile(profile.bytes.data(), profile.bytes.size(), set), S_OK);
    // Duration type 9 carries no duration, so only the target is left.
    const CGpsDataWorkoutStep* step = DecodeOneStep({"", c.low, c.high, 0, 0, 9, c.type, c.value}, set);
    ASSERT_NE(step, nullptr);
    ASSERT_EQ(step->GetValues().GetCount(), c.expected ? 1 : 0);
    if (!c.expected) continue;
    const CGpsDataValue& target = *step->GetValues().GetHead();
    EXPECT_TRUE(c.expected->Matches(target));
    EXPECT_EQ(target.GetReference(), c.reference);
  }
}

TEST(WorkoutDecoders, ZoneReferencesNeedTheProfileOfTheSport) {
  CGpsDataSet set;
  // No profile yet: the zone number stays, without a reference.
  const CGpsDataWorkoutStep* step = DecodeOneStep({"", 0, 0, 0, 0, 9, 1, 2}, set);
  ASSERT_NE(step, nullptr);
  ASSERT_EQ(step->GetValues().GetCount(), 1);
  EXPECT_EQ(step->GetValues().GetHead()->GetReference(), "");
}

TEST(WorkoutDecoders, ZoneTargetsReferToTheZoneOfTheirNumber) {
  // Receivers number zones from 1; the zone ids carry the position from 0.
  // Running leaves heart-rate zone 0 and speed zone 1 unset; the others stay
  // where their numbers put them.
  CD1004 profile;
  for (int i = 1; i < 5; ++i) profile.HeartRateZone(0, i, static_cast<uint8_t>(100 + 10 * i), 110 + 10 * i);
  profile.SpeedZone(0, 0, 1.0f, 2.0f).SpeedZone(0, 2, 3.0f, 4.0f).SpeedZone(0, 9, 9.0f, 10.0f);
  const std::string running = std::string(kPrefix) + "-D1004-0";
  struct Case {
    const char* legend;
    uint8_t type;
    uint8_t number;
    std::string reference;
  };
  const Case cases[] = {
      {"first heart-rate zone was not stored", 1, 1, ""},
      {"second heart-rate zone", 1, 2, running + "-heart_rate_zones-1"},
      {"fifth heart-rate zone", 1, 5, running + "-heart_rate_zones-4"},
      {"no sixth heart-rate zone", 1, 6, ""},
      {"first speed zone", 0, 1, running + "-speed_zones-0"},
      {"second speed zone was not stored", 0, 2, ""},
      {"third speed zone", 0, 3, running + "-speed_zones-2"},
      {"tenth speed zone", 0, 10, running + "-speed_zones-9"},
      {"no eleventh speed zone", 0, 11, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    set.prefix = kPrefix;
    ASSERT_EQ(DecodeD1004UserProfile(profile.bytes.data(), profile.bytes.size(), set), S_OK);
    ASSERT_EQ(Decode(CD1002().Sport(0).AddStep({"", 0, 0, 0, 0, 9, c.type, c.number}).bytes, set), S_OK);
    const CGpsDataWorkoutStep& step = *set.GetWorkouts().GetHead()->GetSteps().GetHead();
    ASSERT_EQ(step.GetValues().GetCount(), 1);
    int number = 0;
    EXPECT_TRUE(step.GetValues().GetHead()->GetInt(c.type == 0 ? UNIT_SPEEDZONE : UNIT_HRZONE, &number));
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(step.GetValues().GetHead()->GetReference(), c.reference);
  }
}

TEST(WorkoutDecoders, WorkoutAndStepIdentity) {
  CGpsDataSet set;
  for (int w = 0; w < 3; ++w) {
    CD1002 record;
    record.Name("Intervals " + std::to_string(w)).Sport(static_cast<uint8_t>(w));
    record.AddStep({"Warm up", 0, 0, 600, 0, 0, 2, 0}).AddStep({"Run hard", 0, 0, 400, 1, 1, 2, 0});
    ASSERT_EQ(Decode(record.bytes, set), S_OK);
  }
  ASSERT_EQ(set.GetWorkouts().GetCount(), 3);
  const CGpsDataWorkout& third = *set.GetWorkouts().GetTail();
  EXPECT_EQ(third.id, std::string(kPrefix) + "-D1002-2");
  EXPECT_EQ(third.name, "Intervals 2");
  EXPECT_EQ(third.namePair.name, "2");
  EXPECT_EQ(third.namePair.codeSpace, FitnessCodeSpace(FITNESS_SPORT_TYPE));
  ASSERT_EQ(third.GetSteps().GetCount(), 2);
  const CGpsDataWorkoutStep& second = *third.GetSteps().GetTail();
  EXPECT_EQ(second.id, std::string(kPrefix) + "-D1002-2-1");
  EXPECT_EQ(second.name, "Run hard");
  EXPECT_EQ(second.namePair.name, "1");
  EXPECT_EQ(second.namePair.codeSpace, FitnessCodeSpace(FITNESS_STEP_INTENSITY));
}

TEST(WorkoutDecoders, StepCountIsBoundedByTheRecord) {
  struct Case {
    const char* legend;
    uint32_t count;
    int steps;
  };
  const Case cases[] = {
      {"none", 0, 0}, {"one", 1, 1}, {"all", 20, 20}, {"21", 21, 20}, {"huge", 0xFFFFFFFF, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CD1002 record;
    for (int s = 0; s < 20; ++s) record.Step(s, {"S" + std::to_string(s), 0, 0, 60, 0, 0, 2, 0});
    record.StepCount(c.count);
    CGpsDataSet set;
    ASSERT_EQ(Decode(record.bytes, set), S_OK);
    const CGpsDataWorkout& workout = *set.GetWorkouts().GetHead();
    ASSERT_EQ(workout.GetSteps().GetCount(), c.steps);
    if (c.steps > 0) {
      EXPECT_EQ(workout.GetSteps().GetTail()->name, "S" + std::to_string(c.steps - 1));
    }
  }
}

TEST(WorkoutDecoders, RecordSizes) {
  using DecodeFn = HRESULT (*)(const uint8_t*, size_t, CGpsDataSet&);
  struct Case {
    const char* legend;
    DecodeFn decode;
    size_t size;
    HRESULT result;
  };
  const Case cases[] = {
      {"workout one byte short", DecodeD1002Workout, 660, HR_READ_FAULT},
      {"workout", DecodeD1002Workout, 661, S_OK},
      {"occurrence one byte short", DecodeD1003WorkoutOccurrence, 19, HR_READ_FAULT},
      {"occurrence", DecodeD1003WorkoutOccurrence, 20, S_OK},
      {"limits of 11 bytes", DecodeD1005WorkoutLimits, 11, HR_READ_FAULT},
      {"limits of 12 bytes", DecodeD1005WorkoutLimits, 12, S_OK},
      {"limits, longer", DecodeD1005WorkoutLimits, 40, S_OK},
      {"empty limits", DecodeD1005WorkoutLimits, 0, HR_READ_FAULT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Bytes bytes(c.size, 0);
    CGpsDataSet set;
    set.prefix = kPrefix;
    EXPECT_EQ(c.decode(c.size == 0 ? nullptr : bytes.data(), c.size, set), c.result);
    const int made =
        set.GetWorkouts().GetCount() + set.GetOccurrences().GetCount() + (set.GetLimits() != nullptr ? 1 : 0);
    EXPECT_EQ(made, c.result == S_OK ? 1 : 0);
  }
}

TEST(WorkoutDecoders, MemoryRunningOutIsReported) {
  CGpsDataSet set;
  set.SetArenaLimitForTests(1);
  EXPECT_EQ(Decode(CD1002().AddStep({"x", 0, 0, 1, 0, 0, 0, 1}).bytes, set), E_OUTOFMEMORY);
  Bytes occurrence(20, 0);
  EXPECT_EQ(DecodeD1003WorkoutOccurrence(occurrence.data(), occurrence.size(), set), E_OUTOFMEMORY);
}

}  // namespace
