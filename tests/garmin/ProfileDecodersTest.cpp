// The user-profile record (D1004) decoded from byte vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "data/GpsUnits.h"
#include "garmin/ProfileDecoders.h"

namespace {

using rxtest::Bytes;
using rxtest::CD1004;

const char* kPrefix = "device-Garmin-484-3456789012";

std::vector<const CGpsDataValue*> Zones(const CGpsDataProfile& profile, int quantity) {
  std::vector<const CGpsDataValue*> zones;
  for (const CGpsDataValue* v : profile.GetValues()) {
    if (v->GetQuantity() == quantity && v->GetModifier() == MODIFIER_ZONE) zones.push_back(v);
  }
  return zones;
}

HRESULT Decode(const Bytes& bytes, CGpsDataSet& set) {
  set.prefix = kPrefix;
  return DecodeD1004UserProfile(bytes.data(), bytes.size(), set);
}

TEST(ProfileDecoders, ThreeProfilesNamedBySport) {
  CGpsDataSet set;
  ASSERT_EQ(Decode(CD1004().bytes, set), S_OK);
  ASSERT_EQ(set.GetProfiles().GetCount(), 3);
  const char* descriptions[] = {"Running", "Biking", "Other"};
  int a = 0;
  for (const CGpsDataProfile* profile : set.GetProfiles()) {
    SCOPED_TRACE(descriptions[a]);
    EXPECT_EQ(profile->id, std::string(kPrefix) + "-D1004-" + std::to_string(a));
    EXPECT_EQ(profile->description, descriptions[a]);
    EXPECT_EQ(profile->namePair.name, std::to_string(a));
    EXPECT_EQ(profile->namePair.codeSpace, FitnessCodeSpace(FITNESS_SPORT_TYPE));
    EXPECT_TRUE(profile->GetValues().IsEmpty());  // an all-zero block holds nothing valid
    ++a;
  }
  EXPECT_NE(FitnessCodeSpace(FITNESS_SPORT_TYPE).find("/device/garmin/IoSpecs_V117.rdf#D1002-sport_type"),
            std::string::npos);
}

TEST(ProfileDecoders, SizeBelowTheRecordFailsWithoutProfiles) {
  struct Case {
    const char* legend;
    size_t size;
    HRESULT result;
    int profiles;
  };
  const Case cases[] = {
      {"empty", 0, HR_READ_FAULT, 0},
      {"one byte short", 812, HR_READ_FAULT, 0},
      {"exactly the record", 813, S_OK, 3},
      {"longer", 900, S_OK, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Bytes bytes(c.size, 0);
    CGpsDataSet set;
    set.prefix = kPrefix;
    EXPECT_EQ(DecodeD1004UserProfile(c.size == 0 ? nullptr : bytes.data(), c.size, set), c.result);
    EXPECT_EQ(set.GetProfiles().GetCount(), c.profiles);
  }
}

TEST(ProfileDecoders, MaximumHeartRateOnlyWhenSet) {
  struct Case {
    const char* legend;
    uint8_t bpm;
    bool stored;
  };
  const Case cases[] = {{"unset 0", 0, false}, {"unset 255", 255, false}, {"1", 1, true}, {"190", 190, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    ASSERT_EQ(Decode(CD1004().MaxHeartRate(1, c.bpm).bytes, set), S_OK);
    const CGpsDataProfile* biking = set.GetProfiles().GetHead()->GetNext();
    const CGpsDataValue* max = biking->FindValue(QUANTITY_HEARTRATE, MODIFIER_MAX);
    ASSERT_EQ(max != nullptr, c.stored);
    if (!c.stored) continue;
    int bpm = 0;
    EXPECT_TRUE(max->GetInt(UNIT_BPM, &bpm));
    EXPECT_EQ(bpm, c.bpm);
  }
}

TEST(ProfileDecoders, HeartRateZonesNeedBothLimitsInOrder) {
  struct Case {
    const char* legend;
    uint8_t low;
    uint8_t high;
    bool stored;
  };
  const Case cases[] = {
      {"ordinary", 100, 120, true},  {"low 0", 0, 120, false},  {"low 255", 255, 120, false},
      {"high 255", 100, 255, false}, {"high 0", 100, 0, false}, {"equal", 130, 130, false},
      {"reversed", 150, 140, false}, {"adjacent", 1, 2, true},  {"widest", 1, 254, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    ASSERT_EQ(Decode(CD1004().HeartRateZone(0, 2, c.low, c.high).bytes, set), S_OK);
    const auto zones = Zones(*set.GetProfiles().GetHead(), QUANTITY_HEARTRATE);
    ASSERT_EQ(zones.size(), c.stored ? 1u : 0u);
    if (!c.stored) continue;
    int low = 0;
    int high = 0;
    EXPECT_TRUE(zones[0]->GetPairInt(UNIT_BPM, &low, &high));
    EXPECT_EQ(low, c.low);
    EXPECT_EQ(high, c.high);
    EXPECT_EQ(zones[0]->GetId(), std::string(kPrefix) + "-D1004-0-heart_rate_zones-2");
  }
}

TEST(ProfileDecoders, ZoneIdsKeepTheirPositionWhenAnEarlierZoneIsInvalid) {
  CD1004 record;
  record.MaxHeartRate(0, 185).HeartRateZone(0, 0, 0, 110);
  for (int i = 1; i < 5; ++i) record.HeartRateZone(0, i, static_cast<uint8_t>(100 + 10 * i), 110 + 10 * i);
  record.SpeedZone(0, 0, 1.0f, 2.0f).SpeedZone(0, 9, 5.0f, 6.0f);
  CGpsDataSet set;
  ASSERT_EQ(Decode(record.bytes, set), S_OK);
  const CGpsDataProfile& running = *set.GetProfiles().GetHead();

  std::vector<std::string> ids;
  for (const CGpsDataValue* v : running.GetValues()) ids.push_back(v->GetId());
  const std::string p = std::string(kPrefix) + "-D1004-0";
  // Maximum heart rate first, then the heart-rate zones, then the speed zones.
  EXPECT_EQ(ids, (std::vector<std::string>{"", p + "-heart_rate_zones-1", p + "-heart_rate_zones-2",
                                           p + "-heart_rate_zones-3", p + "-heart_rate_zones-4",
                                           p + "-speed_zones-0", p + "-speed_zones-9"}));
  // A workout naming zone n finds the n-th stored zone.
  EXPECT_EQ(set.GetProfileZoneId("0", QUANTITY_HEARTRATE, 0), p + "-heart_rate_zones-1");
  EXPECT_EQ(set.GetProfileZoneId("0", QUANTITY_SPEED, 1), p + "-speed_zones-9");
  EXPECT_EQ(set.GetProfileZoneId("0", QUANTITY_SPEED, 2), "");
}

TEST(ProfileDecoders, SpeedZonesWithAndWithoutNames) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* legend;
    float low;
    float high;
    std::string name;
    bool stored;
    std::string storedName;
  };
  const Case cases[] = {
      {"named", 2.5f, 3.5f, "Easy", true, "Easy"},
      {"empty name", 2.5f, 3.5f, "", true, ""},
      {"name filling the field", 2.5f, 3.5f, "ABCDEFGHIJKLMNOP", true, "ABCDEFGHIJKLMNOP"},
      {"equal limits", 3.0f, 3.0f, "Same", false, ""},
      {"reversed", 4.0f, 3.0f, "Back", false, ""},
      {"not a number", nan, 3.0f, "NaN", false, ""},
      {"from zero", 0.0f, 0.5f, "Walk", true, "Walk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    ASSERT_EQ(Decode(CD1004().SpeedZone(2, 4, c.low, c.high, c.name).bytes, set), S_OK);
    const auto zones = Zones(*set.GetProfiles().GetTail(), QUANTITY_SPEED);
    ASSERT_EQ(zones.size(), c.stored ? 1u : 0u);
    if (!c.stored) continue;
    const CGpsDataValue& zone = *zones[0];
    float low = 0;
    float high = 0;
    EXPECT_TRUE(zone.GetPairFloat(UNIT_MPS, &low, &high));
    EXPECT_EQ(low, c.low);
    EXPECT_EQ(high, c.high);
    EXPECT_EQ(zone.GetId(), std::string(kPrefix) + "-D1004-2-speed_zones-4");
    EXPECT_EQ(zone.GetName(), c.storedName);
    EXPECT_EQ(zone.GetCodeSpace(), c.storedName.empty() ? "" : FitnessCodeSpace(FITNESS_SPEED_ZONE_NAME));
  }
}

TEST(ProfileDecoders, MemoryRunningOutIsReported) {
  CD1004 record;
  for (int a = 0; a < 3; ++a) {
    record.MaxHeartRate(a, 180);
    for (int i = 0; i < 5; ++i) record.HeartRateZone(a, i, static_cast<uint8_t>(100 + i), 150);
    for (int j = 0; j < 10; ++j) record.SpeedZone(a, j, 1.0f, 2.0f + j, "Zone name");
  }
  // The arena reserves whole blocks, so a limit of one byte fails the first
  // record already.
  CGpsDataSet set;
  set.SetArenaLimitForTests(1);
  EXPECT_EQ(Decode(record.bytes, set), E_OUTOFMEMORY);
  EXPECT_EQ(set.GetProfiles().GetCount(), 0);
}

}  // namespace
