// Track points and headers decoded from byte vectors laid out as the
// receivers send them, with the "no value" markers of each field.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "data/GpsDataSet.h"
#include "garmin/TrackDecoders.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kNoPosition = 0x7FFFFFFF;
constexpr float kNoFloat = 1.0e25f;
constexpr uint32_t kTime = 1'000'000'000;  // device seconds

void Put(Bytes& b, size_t at, uint32_t v, int count = 4) {
  for (int i = 0; i < count; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
void PutF(Bytes& b, size_t at, float v) {
  Put(b, at, std::bit_cast<uint32_t>(v));
}

struct PointFields {
  int32_t lat = 100;
  int32_t lon = 200;
  uint32_t time = kTime;
  float alt = 120.5f;
  float depth = kNoFloat;
  float temp = kNoFloat;
  uint32_t distanceBits = std::bit_cast<uint32_t>(1234.5f);
  uint8_t heartRate = 0;
  uint8_t cadence = 255;
  uint8_t sensor = 0;
  uint8_t newTrack = 0;
};

// The record of type as the receiver lays it out (one spare byte at the end).
Bytes PointBytes(uint16_t type, const PointFields& p) {
  const TrackPointLayout* layout = FindTrackPointLayout(type);
  Bytes b(layout->minimumSize, 0);
  Put(b, 0, static_cast<uint32_t>(p.lat));
  Put(b, 4, static_cast<uint32_t>(p.lon));
  Put(b, 8, p.time);
  if (layout->altitude >= 0) PutF(b, layout->altitude, p.alt);
  if (layout->depth >= 0) PutF(b, layout->depth, p.depth);
  if (layout->temperature >= 0) PutF(b, layout->temperature, p.temp);
  if (layout->distance >= 0) Put(b, layout->distance, p.distanceBits);
  if (layout->heartRate >= 0) b[layout->heartRate] = p.heartRate;
  if (layout->cadence >= 0) b[layout->cadence] = p.cadence;
  if (layout->sensor >= 0) b[layout->sensor] = p.sensor;
  if (layout->newTrack >= 0) b[layout->newTrack] = p.newTrack;
  return b;
}

// The measurements of a point as "quantity/modifier/unit=value" texts.
std::vector<std::string> Describe(const CGpsDataTrackPoint& point) {
  std::vector<std::string> out;
  for (const CGpsDataValue* v : point.GetValues()) {
    std::string text = std::to_string(v->GetQuantity()) + "/" + std::to_string(v->GetModifier()) + "/" +
                       std::to_string(v->GetUnit()) + "=";
    int a = 0;
    int b = 0;
    float f = 0;
    if (v->GetPairInt(v->GetUnit(), &a, &b)) {
      text += std::to_string(a) + "," + std::to_string(b);
    } else if (dynamic_cast<const CGpsDataInteger*>(v) != nullptr && v->GetInt(v->GetUnit(), &a)) {
      text += std::to_string(a);
    } else if (v->GetFloat(v->GetUnit(), &f)) {
      text += v->Format(v->GetUnit());
    }
    if (v->GetSource() != SOURCE_NONE) text += "@" + std::to_string(v->GetSource());
    out.push_back(text);
  }
  return out;
}

std::string FloatText(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
  return text;
}

struct PointCase {
  const char* legend;
  uint16_t type;
  PointFields fields;
  EGarminDecode result;
  std::vector<std::string> values;  // of the point created; empty: none created
};

const std::string kTimeValue = "0/0/1=" + std::to_string(kTime);
const std::string kPosition = "1/0/3=200,100";  // longitude first

std::vector<PointCase> PointCases() {
  PointFields noPosition;
  noPosition.lat = noPosition.lon = kNoPosition;
  PointFields nothingButTime = noPosition;
  nothingButTime.alt = kNoFloat;
  PointFields full;
  full.depth = 2.5f;
  full.temp = 18.0f;
  full.heartRate = 140;
  full.cadence = 90;
  full.sensor = 1;
  PointFields zeroCadence = full;
  zeroCadence.cadence = 0;
  zeroCadence.heartRate = 0;
  zeroCadence.sensor = 0;
  PointFields timeless = full;
  timeless.time = 0xFFFFFFFF;
  PointFields noDistance = full;
  noDistance.distanceBits = 0xFFFFFFFF;
  PointFields floatMarkerDistance = full;
  floatMarkerDistance.distanceBits = std::bit_cast<uint32_t>(kNoFloat);
  PointFields heartRateOnly = nothingButTime;
  heartRateOnly.heartRate = 150;
  PointFields nanAltitude;
  nanAltitude.alt = std::bit_cast<float>(0x7FC00000u);
  PointFields justBelow;
  justBelow.alt = 9.9e23f;
  PointFields newTrack;
  newTrack.newTrack = 1;
  PointFields time7fff = full;
  time7fff.time = 0x7FFFFFFF;
  PointFields time0 = noPosition;
  time0.time = 0;

  return {
      {"D300 position and time", 300, {}, EGarminDecode::Stored, {kTimeValue, kPosition}},
      {"D300 time without position still makes a point",
       300,
       noPosition,
       EGarminDecode::Stored,
       {kTimeValue}},
      {"D300 invalid time", 300, time0, EGarminDecode::Skipped, {}},
      {"D301 invalid position and altitude: nothing", 301, nothingButTime, EGarminDecode::Skipped, {}},
      {"D301 invalid position, altitude 120.5",
       301,
       noPosition,
       EGarminDecode::Stored,
       {kTimeValue, "2/0/6=120.5"}},
      {"D301 depth kept",
       301,
       full,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=120.5", "3/0/6=2.5"}},
      {"D302 temperature kept",
       302,
       full,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=120.5", "3/0/6=2.5", "5/0/16=18.0"}},
      {"D302 altitude not a number is dropped",
       302,
       nanAltitude,
       EGarminDecode::Stored,
       {kTimeValue, kPosition}},
      {"D302 altitude just below the marker is kept",
       302,
       justBelow,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=" + FloatText(9.9e23f)}},
      {"D303 heart rate alone keeps a point",
       303,
       heartRateOnly,
       EGarminDecode::Stored,
       {kTimeValue, "4/0/13=150"}},
      {"D303 nothing but time", 303, nothingButTime, EGarminDecode::Skipped, {}},
      {"D304 every field, wheel distance",
       304,
       full,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=120.5", "6/3/6=1234.5@2", "4/0/13=140", "9/0/19=90"}},
      {"D304 cadence 0 kept, heart rate 0 dropped, GPS distance",
       304,
       zeroCadence,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=120.5", "6/3/6=1234.5@1", "9/0/19=0"}},
      {"D304 distance all ones dropped",
       304,
       noDistance,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=120.5", "4/0/13=140", "9/0/19=90"}},
      {"D304 distance float marker dropped",
       304,
       floatMarkerDistance,
       EGarminDecode::Stored,
       {kTimeValue, kPosition, "2/0/6=120.5", "4/0/13=140", "9/0/19=90"}},
      {"D304 invalid time 0xFFFFFFFF", 304, timeless, EGarminDecode::Skipped, {}},
      {"D304 invalid time 0x7FFFFFFF", 304, time7fff, EGarminDecode::Skipped, {}},
      {"D301 new-track flag", 301, newTrack, EGarminDecode::Stored, {kTimeValue, kPosition, "2/0/6=120.5"}},
  };
}

TEST(TrackDecoders, PointsKeepTheirValidMeasurementsInOrder) {
  for (const PointCase& c : PointCases()) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    set.prefix = "device";
    CGpsDataTrack* track = set.AddTrack("T", 0);
    ASSERT_NE(track, nullptr);
    const Bytes bytes = PointBytes(c.type, c.fields);
    EXPECT_EQ(DecodeTrackPoint(*FindTrackPointLayout(c.type), bytes.data(), bytes.size(), *track), c.result);
    if (c.values.empty()) {
      EXPECT_EQ(track->GetPoints().GetCount(), 0);
      continue;
    }
    ASSERT_EQ(track->GetPoints().GetCount(), 1);
    const CGpsDataTrackPoint* point = track->GetPoints().GetHead();
    EXPECT_EQ(Describe(*point), c.values);
    EXPECT_EQ(point->GetId(), "device-0-1");
  }
}

TEST(TrackDecoders, NewTrackFlagOpensASegmentAndD303NeverDoes) {
  struct Case {
    const char* legend;
    uint16_t type;
    uint8_t flag;
    int segments;  // after two points, the second flagged
  };
  const Case cases[] = {
      {"D300 flag", 300, 1, 2}, {"D302 flag", 302, 1, 2}, {"D300 no flag", 300, 0, 1}, {"D303", 303, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    CGpsDataTrack* track = set.AddTrack("", -1);
    PointFields first;
    PointFields second;
    second.newTrack = c.flag;
    second.time = kTime + 1;
    const Bytes a = PointBytes(c.type, first);
    Bytes b = PointBytes(c.type, second);
    if (c.type == 303) b.back() = 0;  // where a flag would be, D303 has its heart rate
    ASSERT_EQ(DecodeTrackPoint(*FindTrackPointLayout(c.type), a.data(), a.size(), *track),
              EGarminDecode::Stored);
    ASSERT_EQ(DecodeTrackPoint(*FindTrackPointLayout(c.type), b.data(), b.size(), *track),
              EGarminDecode::Stored);
    EXPECT_EQ(track->GetSegments().GetCount(), c.segments);
    EXPECT_EQ(track->GetSegments().GetTail()->last, track->GetPoints().GetTail());
  }
}

TEST(TrackDecoders, ShortRecordsAreBadDataAndLongOnesAreRead) {
  for (uint16_t type : {300, 301, 302, 303, 304}) {
    SCOPED_TRACE(type);
    const TrackPointLayout* layout = FindTrackPointLayout(type);
    ASSERT_NE(layout, nullptr);
    CGpsDataSet set;
    CGpsDataTrack* track = set.AddTrack("", -1);
    Bytes bytes = PointBytes(type, PointFields{});
    const Bytes shorter(bytes.begin(), bytes.end() - 1);
    EXPECT_EQ(DecodeTrackPoint(*layout, shorter.data(), shorter.size(), *track), EGarminDecode::BadData);
    EXPECT_EQ(DecodeTrackPoint(*layout, nullptr, 0, *track), EGarminDecode::BadData);
    bytes.push_back(0xEE);  // newer firmware appends fields
    EXPECT_EQ(DecodeTrackPoint(*layout, bytes.data(), bytes.size(), *track), EGarminDecode::Stored);
    EXPECT_EQ(track->GetPoints().GetCount(), 1);
  }
  EXPECT_EQ(FindTrackPointLayout(305), nullptr);
  const Bytes d304 = PointBytes(304, PointFields{});
  CGpsDataSet set;
  CGpsDataTrack* track = set.AddTrack("", -1);
  EXPECT_EQ(DecodeD300TrackPoint(d304.data(), 13, *track), EGarminDecode::Stored);
  EXPECT_EQ(DecodeD301TrackPoint(d304.data(), 20, *track), EGarminDecode::BadData);
  EXPECT_EQ(DecodeD304TrackPoint(d304.data(), d304.size(), *track), EGarminDecode::Stored);
}

TEST(TrackDecoders, OutOfMemoryIsReported) {
  CGpsDataSet set;
  CGpsDataTrack* track = set.AddTrack("", -1);
  const Bytes bytes = PointBytes(304, PointFields{});
  set.SetArenaLimitForTests(1);
  EGarminDecode result = EGarminDecode::Stored;
  // The arena's first block has room for some points; the limit stops the next block.
  for (int i = 0; i < 1'000'000 && result == EGarminDecode::Stored; ++i) {
    result = DecodeD304TrackPoint(bytes.data(), bytes.size(), *track);
  }
  EXPECT_EQ(result, EGarminDecode::OutOfMemory);
}

TEST(TrackDecoders, HeadersMakeTracksWithCutIdents) {
  struct Case {
    const char* legend;
    uint16_t type;
    Bytes bytes;
    EGarminDecode result;
    const char* ident;
    int index;
    const char* id;  // prefix "p"
  };
  auto ident = [](const std::string& text, bool terminated = true) {
    // Sized once: GCC 12 at -O2 misreads an insert after a two-byte list
    // as a write out of bounds (-Warray-bounds).
    Bytes b(2 + text.size() + (terminated ? 1 : 0), 0);
    b[0] = 1;
    b[1] = 5;
    std::copy(text.begin(), text.end(), b.begin() + 2);
    return b;
  };
  const Case cases[] = {
      {"D310 ident cut at the number sign", 310, ident("Run #1"), EGarminDecode::Stored, "Run ", -1, "p-1"},
      {"D312 letters, digits, space, tab, hyphen", 312, ident("Ride-2 a\tb"), EGarminDecode::Stored,
       "Ride-2 a\tb", -1, "p-1"},
      {"D310 ident without terminator", 310, ident("ACTIVE LOG", false), EGarminDecode::Stored, "ACTIVE LOG",
       -1, "p-1"},
      {"D310 cut at a byte above ASCII", 310, ident("Caf\xC3\xA9"), EGarminDecode::Stored, "Caf", -1, "p-1"},
      {"D310 empty ident", 310, ident(""), EGarminDecode::Stored, "", -1, "p-1"},
      {"D310 too short", 310, Bytes{1, 5}, EGarminDecode::BadData, nullptr, 0, nullptr},
      {"D311 index", 311, Bytes{7, 1}, EGarminDecode::Stored, "", 263, "p-263"},
      {"D311 too short", 311, Bytes{7}, EGarminDecode::BadData, nullptr, 0, nullptr},
      {"unknown header type", 313, ident("X"), EGarminDecode::BadData, nullptr, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    set.prefix = "p";
    EXPECT_EQ(DecodeTrackHeader(c.type, c.bytes.data(), c.bytes.size(), set), c.result);
    if (c.ident == nullptr) {
      EXPECT_EQ(set.GetTracks().GetCount(), 0);
      continue;
    }
    ASSERT_EQ(set.GetTracks().GetCount(), 1);
    const CGpsDataTrack* track = set.GetTracks().GetHead();
    EXPECT_EQ(track->ident, c.ident);
    EXPECT_EQ(track->index, c.index);
    EXPECT_EQ(track->GetId(), c.id);
  }
}

}  // namespace
