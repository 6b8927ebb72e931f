// Track points, track headers and course records as the host sends them,
// compared byte for byte with the receivers' layouts, and the thinning of
// long tracks against an independent count.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "data/GpsDataSet.h"
#include "garmin/CourseEncoders.h"
#include "garmin/TrackEncoders.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Le(uint64_t value, int count) {
  Bytes b;
  for (int i = 0; i < count; ++i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return b;
}
Bytes F(float value) {
  return Le(std::bit_cast<uint32_t>(value), 4);
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

constexpr uint32_t kUnix = 1714543200;  // 2024-05-01 06:00 UTC
constexpr uint32_t kDevice = kUnix - 631065600;

// A point carrying every measurement a record can hold, as files and
// receivers store them (file position in degrees, Unix time), and values a
// record must pass over: the last instant in a unit it reads counts.
CGpsDataTrackPoint* FullPoint(CGpsDataTrack& track) {
  CGpsDataTrackPoint* p = track.AddPoint(0);
  p->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 8.5f, -47.25f);
  p->AddFloatPair(QUANTITY_POSITION, MODIFIER_START, UNIT_DEGREES, 1.0f, 1.0f);
  p->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, static_cast<int>(kUnix) - 100);
  p->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, static_cast<int>(kUnix));
  p->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 408.5f);
  p->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_FEET, 100.0f);
  p->AddFloat(QUANTITY_DEPTH, MODIFIER_INSTANT, UNIT_METRES, 1.25f);
  p->AddFloat(QUANTITY_TEMPERATURE, MODIFIER_INSTANT, UNIT_CELSIUS, 19.5f);
  p->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 81.25f)->SetSource(SOURCE_WHEEL);
  p->AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, 0x178);  // low byte 0x78
  p->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, 85);
  return p;
}

TEST(TxTrackPoint, EveryTypeAndTheInvalidMarkers) {
  CGpsDataSet set;
  CGpsDataTrack* track = set.AddTrack("T", 0);
  const TxTrackPointFields full = CollectTrackPointFields(*FullPoint(*track));
  const TxTrackPointFields empty = CollectTrackPointFields(*track->AddPoint(0));
  const Bytes lat = Le(static_cast<uint32_t>(static_cast<int32_t>(-47.25 * 11930465)), 4);
  const Bytes lon = Le(static_cast<uint32_t>(static_cast<int32_t>(8.5 * 11930465)), 4);
  const Bytes head = Cat({lat, lon, Le(kDevice, 4)});
  const Bytes invalid = Le(0x69045951, 4);
  struct Row {
    uint16_t type;
    bool empty;  // an empty point, newTrack clear
    Bytes expected;
  };
  const Row rows[] = {
      {300, false, Cat({head, {1}})},
      {301, false, Cat({head, F(408.5f), F(1.25f), {1}})},
      {302, false, Cat({head, F(408.5f), F(1.25f), F(19.5f), {1}})},
      {303, false, Cat({head, F(408.5f), {0x78}})},
      {304, false, Cat({head, F(408.5f), F(81.25f), {0x78, 85, 1}})},
      {304, true, Cat({Le(0x7FFFFFFF, 4), Le(0x7FFFFFFF, 4), Le(0, 4), invalid, invalid, {0, 255, 0}})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    uint8_t out[TRACK_POINT_MAX_SIZE];
    const size_t size = EncodeTrackPoint(row.type, row.empty ? empty : full, !row.empty, out, sizeof out);
    EXPECT_EQ(Bytes(out, out + size), row.expected);
    EXPECT_EQ(size, TrackPointRecordSize(row.type));
    // A buffer one byte short writes nothing.
    EXPECT_EQ(EncodeTrackPoint(row.type, full, true, out, size - 1), 0u);
  }
  uint8_t out[TRACK_POINT_MAX_SIZE];
  EXPECT_EQ(EncodeTrackPoint(305, full, true, out, sizeof out), 0u);
}

TEST(TxTrackHeader, IdentsCutAtFiftyBytesAndD311Index) {
  CGpsDataSet set;
  const std::string fifty(50, 'x');
  struct Row {
    uint16_t type;
    std::string ident;
    int index;
    Bytes expected;
  };
  auto text = [](const std::string& s) { return Cat({Bytes(s.begin(), s.end()), {0}}); };
  const Row rows[] = {
      {310, "RUN", 3, Cat({{1, 255}, text("RUN")})},
      {311, "ignored", 0x12345, Bytes{0x45, 0x23}},
      {312, "", 3, Bytes{1, 255, 0}},
      {312, fifty + "yz", 3, Cat({{1, 255}, text(fifty)})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    CGpsDataTrack* track = set.AddTrack(row.ident, row.index);
    uint8_t out[TRACK_HEADER_MAX_SIZE];
    const size_t size = EncodeTrackHeader(row.type, *track, out, sizeof out);
    EXPECT_EQ(Bytes(out, out + size), row.expected);
  }
  uint8_t small[4];
  EXPECT_EQ(EncodeTrackHeader(310, *set.GetTracks().GetHead(), small, sizeof small), 0u);
  EXPECT_EQ(EncodeTrackHeader(313, *set.GetTracks().GetHead(), small, sizeof small), 0u);
}

// The indices of n points the thinning to m keeps.
std::set<int> SentIndices(int n, int m) {
  CTrackThinning thinning(n, m);
  std::set<int> sent;
  for (int i = 0; i < n; ++i) {
    if (thinning.Keep()) sent.insert(i);
  }
  EXPECT_EQ(thinning.GetSent() + thinning.GetSkipped(), n);
  return sent;
}

TEST(TxThinning, KeepsAtMostTheLimitSpreadEvenlyWithBothEnds) {
  for (int n : {1, 500, 501, 999, 1000, 1001, 4321, 100000}) {
    SCOPED_TRACE(n);
    const std::set<int> sent = SentIndices(n, 500);
    ASSERT_EQ(static_cast<int>(sent.size()), std::min(n, 500));
    EXPECT_TRUE(sent.count(0));
    EXPECT_TRUE(sent.count(n - 1));
    // No gap between kept points is wider than the even spread allows.
    if (sent.size() > 1) {
      const int widest =
          (n - 1 + static_cast<int>(sent.size()) - 2) / (static_cast<int>(sent.size()) - 1) + 1;
      int previous = 0;
      for (int i : sent) {
        EXPECT_LE(i - previous, widest) << i;
        previous = i;
      }
    }
  }
  // Just over the limit, only the middle point stays behind.
  std::set<int> all;
  for (int i = 0; i < 501; ++i) all.insert(i);
  all.erase(250);
  EXPECT_EQ(SentIndices(501, 500), all);
  // A course track is never thinned.
  EXPECT_EQ(SentIndices(20000, COURSE_TRACK_MAX_POINTS).size(), 20000u);
}

TEST(TxCourseRecords, CourseLapAndPointLayouts) {
  uint8_t out[64];
  TxCourseFields course{7, std::string(20, 'N'), 0x0102};
  ASSERT_EQ(EncodeD1006Course(course, out, sizeof out), D1006_COURSE_SIZE);
  EXPECT_EQ(Bytes(out, out + 22), Cat({Le(7, 2), Le(0, 2), Bytes(15, 'N'), {0}, Le(0x0102, 2)}));

  TxCourseLapFields lap{1, 2, 30050, 1000.5f, -3, 4, 5, -6, 140, 170, 0, 85};
  ASSERT_EQ(EncodeD1007CourseLap(lap, out, sizeof out), D1007_COURSE_LAP_SIZE);
  EXPECT_EQ(Bytes(out, out + 32), Cat({Le(1, 2), Le(2, 2), Le(30050, 4), F(1000.5f), Le(0xFFFFFFFD, 4),
                                       Le(4, 4), Le(5, 4), Le(0xFFFFFFFA, 4), Bytes{140, 170, 0, 85}}));

  TxCoursePointFields point{"Summit point", 3, 0x01020304, 1};
  ASSERT_EQ(EncodeD1012CoursePoint(point, out, sizeof out), D1012_COURSE_POINT_SIZE);
  EXPECT_EQ(Bytes(out, out + 21), Cat({Bytes{'S', 'u', 'm', 'm', 'i', 't', ' ', 'p', 'o', 'i', 0, 0},
                                       Le(3, 2), Le(0, 2), Le(0x01020304, 4), Bytes{1}}));

  EXPECT_EQ(EncodeD1006Course(course, out, 21), 0u);
  EXPECT_EQ(EncodeD1007CourseLap(lap, out, 31), 0u);
  EXPECT_EQ(EncodeD1012CoursePoint(point, out, 20), 0u);
  // Point types are named without regard to case.
  EXPECT_EQ(CoursePointTypeCode("VALLEY"), 2);
}

TEST(TxCourseRecords, LapSummaryOfATrackAndALapOverridingIt) {
  CGpsDataSet set;
  CGpsDataTrack* track = set.AddTrack("T", 0);
  const int times[] = {1000, 1010, 1030};
  const float distances[] = {0.0f, 40.0f, 100.0f};
  const int heartRates[] = {100, 150, 0};  // the last point has none
  for (int i = 0; i < 3; ++i) {
    CGpsDataTrackPoint* p = track->AddPoint(0);
    p->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, times[i]);
    p->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, 10 + i, 20 + i);
    p->AddFloat(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, distances[i]);
    if (heartRates[i] != 0) p->AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, heartRates[i]);
    p->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, 90);
  }
  // Compared as records: {course, lap, time, distance, begin lat/lon, end lat/lon, heart rate avg/max,
  // intensity, cadence}; the average heart rate counts every point (250 / 3).
  auto record = [](const TxCourseLapFields& fields) {
    uint8_t out[64];
    return Bytes(out, out + EncodeD1007CourseLap(fields, out, sizeof out));
  };
  TxCourseLapFields fields = SummariseTrackAsCourseLap(*track);
  EXPECT_EQ(record(fields), record({0, 0, 3000, 100.0f, 20, 10, 22, 12, 83, 150, 0, 90}));

  CGpsDataLap* lap = set.AddLap();
  lap->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 61.0f);
  lap->AddFloat(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, 500.0f);
  lap->AddIntPair(QUANTITY_POSITION, MODIFIER_END, UNIT_SEMICIRCLES, 7, 8);
  lap->AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, 180);
  ApplyCourseLapValues(*lap, fields);
  // What the lap does not carry is kept.
  EXPECT_EQ(record(fields), record({0, 0, 6100, 500.0f, 20, 10, 8, 7, 83, 180, 0, 90}));
}

}  // namespace
