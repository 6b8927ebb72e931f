// The data set: identifiers, segments, queries, counts and clearing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/GpsDataSet.h"

namespace {

TEST(GpsDataSetTest, TrackIds) {
  CGpsDataSet set;
  set.prefix = "GARMIN-3318";
  const struct {
    const char* legend;
    int index;
    const char* expectedId;
    int counterAfter;
  } cases[] = {
      {"negative index takes the counter", -1, "GARMIN-3318-1", 1},
      {"explicit index is used, counter still grows", 7, "GARMIN-3318-7", 2},
      {"another negative index", -5, "GARMIN-3318-3", 3},
      {"index 0 is explicit", 0, "GARMIN-3318-0", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataTrack* track = set.AddTrack("ident", c.index);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->GetId(), c.expectedId);
    EXPECT_EQ(track->index, c.index);
    EXPECT_EQ(track->ident, "ident");
    EXPECT_EQ(set.GetTrackCounter(), c.counterAfter);
    EXPECT_EQ(track->GetSegments().GetCount(), 1) << "a track starts with one empty segment";
    EXPECT_EQ(track->GetSegments().GetHead()->first, nullptr);
    EXPECT_EQ(set.GetTracks().GetTail(), track);
  }
  EXPECT_EQ(set.GetTracks().GetCount(), 4);
}

TEST(GpsDataSetTest, PointIdsNumberFromOne) {
  CGpsDataSet set;
  set.prefix = "P";
  CGpsDataTrack* track = set.AddTrack("t", 7);
  ASSERT_NE(track, nullptr);
  std::vector<CGpsDataTrackPoint*> points;
  for (int i = 0; i < 3; ++i) points.push_back(track->AddPoint(0));
  EXPECT_EQ(points[0]->GetId(), "P-7-1");
  EXPECT_EQ(points[2]->GetId(), "P-7-3");
  EXPECT_EQ(points[2]->GetNumber(), 3);
  EXPECT_EQ(track->GetPointCounter(), 3);
  EXPECT_EQ(track->GetPoints().GetCount(), 3);
  EXPECT_EQ(set.CountTrackPoints(), 3);
}

// Each row adds points with the given new-segment flags and lists the
// resulting segments as (first point number, last point number), 0 for empty.
TEST(GpsDataSetTest, SegmentsFollowTheNewSegmentFlag) {
  const struct {
    const char* legend;
    std::vector<int> flags;
    std::vector<std::pair<int, int>> segments;
  } cases[] = {
      {"first point without flag lands in the first segment", {0, 0, 0}, {{1, 3}}},
      {"first point with flag leaves the first segment empty", {1, 0}, {{0, 0}, {1, 2}}},
      {"a flag mid-track starts a new segment", {0, 0, 1, 0}, {{1, 2}, {3, 4}}},
      {"consecutive flags give one-point segments", {0, 1, 1}, {{1, 1}, {2, 2}, {3, 3}}},
      {"no points", {}, {{0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    CGpsDataTrack* track = set.AddTrack("t", -1);
    ASSERT_NE(track, nullptr);
    for (int flag : c.flags) ASSERT_NE(track->AddPoint(flag), nullptr);
    std::vector<std::pair<int, int>> got;
    for (const CGpsDataSegment* segment : track->GetSegments()) {
      got.emplace_back(segment->first ? segment->first->GetNumber() : 0,
                       segment->last ? segment->last->GetNumber() : 0);
      EXPECT_EQ(segment->included, 1);
    }
    EXPECT_EQ(got, c.segments);
  }
}

TEST(GpsDataSetTest, DetachedPointIsNumberedWhenAppended) {
  CGpsDataSet set;
  set.prefix = "F";
  CGpsDataTrack* track = set.AddTrack("t", 2);
  ASSERT_NE(track->AddPoint(0), nullptr);
  CGpsDataTrackPoint* pending = set.NewPoint();
  CGpsDataTrackPoint* dropped = set.NewPoint();
  ASSERT_NE(pending, nullptr);
  ASSERT_NE(dropped, nullptr);
  ASSERT_NE(pending->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 5), nullptr);
  EXPECT_EQ(pending->GetId(), "");
  EXPECT_EQ(track->GetPoints().GetCount(), 1);
  ASSERT_TRUE(track->AppendPoint(pending, 1));
  EXPECT_EQ(pending->GetId(), "F-2-2");
  EXPECT_EQ(track->GetSegments().GetCount(), 2);
  EXPECT_EQ(track->GetSegments().GetTail()->first, pending);
  EXPECT_FALSE(track->AppendPoint(pending, 0)) << "a point belongs to one track only";
  EXPECT_FALSE(track->AppendPoint(nullptr, 0));
  EXPECT_EQ(track->GetPoints().GetCount(), 2);
  EXPECT_EQ(track->GetPointCounter(), 2);
}

TEST(GpsDataSetTest, IncludedSegments) {
  CGpsDataSet set;
  CGpsDataTrack* track = set.AddTrack("t", 1);
  track->AddPoint(0);
  track->AddPoint(1);
  EXPECT_TRUE(CGpsDataSet::HasIncludedSegment(track));
  CGpsDataSet::SetIncluded(track, 0);
  EXPECT_FALSE(CGpsDataSet::HasIncludedSegment(track));
  for (const CGpsDataSegment* segment : track->GetSegments()) EXPECT_EQ(segment->included, 0);
  track->GetSegments().GetTail()->included = 1;
  EXPECT_TRUE(CGpsDataSet::HasIncludedSegment(track)) << "one included segment is enough";
  EXPECT_FALSE(CGpsDataSet::HasIncludedSegment(nullptr));
  CGpsDataSet::SetIncluded(nullptr, 1);
}

TEST(GpsDataSetTest, LapAndTrackQueries) {
  CGpsDataSet set;
  set.AddTrack("a", 3);
  CGpsDataTrack* second = set.AddTrack("b", 5);
  set.AddTrack("c", 5);
  EXPECT_EQ(set.FindTrack(5), second) << "the first match wins";
  EXPECT_EQ(set.FindTrack(4), nullptr);

  CGpsDataLap* laps[3];
  for (int i = 0; i < 3; ++i) {
    laps[i] = set.AddLap();
    ASSERT_NE(laps[i], nullptr);
    EXPECT_EQ(laps[i]->pending, 1);
    EXPECT_EQ(laps[i]->trackIndex, -1);
    laps[i]->trackIndex = i == 0 ? 9 : 5;
  }
  const struct {
    const char* legend;
    int n;
    CGpsDataLap* expected;
  } cases[] = {{"first", 0, laps[0]}, {"last", 2, laps[2]}, {"count", 3, nullptr}, {"negative", -1, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(set.GetLap(c.n), c.expected);
  }
  EXPECT_EQ(set.FindLapByTrack(5), laps[1]);
  EXPECT_EQ(set.FindLapByTrack(6), nullptr);

  CGpsDataRun* run = set.AddRun();
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->sport, -1);
  EXPECT_EQ(set.GetRuns().GetCount(), 1);
}

TEST(GpsDataSetTest, ProfileQueries) {
  CGpsDataSet set;
  CGpsDataProfile* running = set.AddProfile();
  running->id = "X-D1004-0";
  running->namePair.name = "0";
  CGpsDataProfile* biking = set.AddProfile();
  biking->id = "X-D1004-1";
  biking->namePair.name = "1";
  const char* hrIds[] = {"X-D1004-1-heart_rate_zones-0", "X-D1004-1-heart_rate_zones-1"};
  for (const char* id : hrIds) {
    CGpsDataValue* zone = biking->AddIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 100, 120);
    ASSERT_TRUE(zone->SetId(id));
  }
  biking->AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, 190)->SetId("not-a-zone");
  biking->AddFloatPair(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 1.0f, 2.0f)->SetId("speed-0");

  EXPECT_EQ(set.FindProfileByName("1"), biking);
  EXPECT_EQ(set.FindProfileByName("2"), nullptr);
  EXPECT_EQ(set.FindProfileByName("1 "), nullptr) << "byte for byte";
  EXPECT_EQ(set.FindProfileById("X-D1004-0"), running);
  EXPECT_EQ(set.FindProfileById(""), nullptr);

  const struct {
    const char* legend;
    const char* name;
    int quantity;
    int n;
    const char* expected;
  } cases[] = {
      {"first heart-rate zone", "1", QUANTITY_HEARTRATE, 0, hrIds[0]},
      {"second heart-rate zone", "1", QUANTITY_HEARTRATE, 1, hrIds[1]},
      {"n beyond the zones", "1", QUANTITY_HEARTRATE, 2, ""},
      {"speed zones count apart", "1", QUANTITY_SPEED, 0, "speed-0"},
      {"profile without zones", "0", QUANTITY_HEARTRATE, 0, ""},
      {"unknown profile", "7", QUANTITY_HEARTRATE, 0, ""},
      {"negative n", "1", QUANTITY_HEARTRATE, -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(set.GetProfileZoneId(c.name, c.quantity, c.n), c.expected);
  }
}

TEST(GpsDataSetTest, CourseCounts) {
  CGpsDataSet set;
  CGpsDataCourse* withTrack = set.AddCourse();
  CGpsDataCourse* withoutTrack = set.AddCourse();
  ASSERT_NE(withTrack, nullptr);
  withTrack->name = "Loop";
  withTrack->track = set.AddTrack("Loop", -1);
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(withTrack->AddLap(set.AddLap()));
  EXPECT_FALSE(withTrack->AddLap(nullptr));
  withoutTrack->AddLap(set.GetLap(0));
  for (int i = 0; i < 3; ++i) ASSERT_NE(withTrack->AddCoursePoint(), nullptr);
  CGpsDataCoursePoint* point = withoutTrack->AddCoursePoint();
  point->pointType = "Summit";
  ASSERT_NE(point->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 1.0f, 2.0f), nullptr);

  EXPECT_EQ(set.CountCoursesWithTrack(), 1);
  EXPECT_EQ(set.CountCoursePoints(), 4);
  EXPECT_EQ(set.CountCourseLaps(), 13);
  EXPECT_EQ(withTrack->GetLaps()[11], set.GetLap(11));
  EXPECT_EQ(set.CountTrackPoints(), 0);
}

TEST(GpsDataSetTest, WorkoutsOccurrencesAndLimits) {
  CGpsDataSet set;
  CGpsDataWorkout* workout = set.AddWorkout();
  workout->id = "X-D1002-0";
  CGpsDataWorkoutStep* step = workout->AddStep();
  ASSERT_NE(step, nullptr);
  step->AddInteger(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_HRZONE, 2)->SetReference("X-D1004-0-hr-1");
  workout->AddStep();
  EXPECT_EQ(workout->GetSteps().GetCount(), 2);
  EXPECT_EQ(step->GetValues().GetHead()->GetReference(), "X-D1004-0-hr-1");
  set.AddOccurrence();
  set.AddOccurrence();
  EXPECT_EQ(set.GetOccurrences().GetCount(), 2);
  EXPECT_EQ(set.GetLimits(), nullptr);
  CGpsDataLimits* first = set.NewLimits();
  CGpsDataLimits* second = set.NewLimits();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(set.GetLimits(), second);
}

void Fill(CGpsDataSet& set) {
  CGpsDataTrack* track = set.AddTrack("t", -1);
  track->AddPoint(0)
      ->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1)
      ->SetId("a long id text");
  set.AddCourse()->AddCoursePoint()->name = "a course point name that needs heap storage";
  set.AddLap()->firstId = "a lap id long enough for the heap";
  set.AddRun();
  set.AddWorkout()->AddStep();
  set.AddOccurrence();
  set.AddProfile()->namePair.codeSpace = "urn:some:long:code:space:for:the:heap";
  set.NewLimits();
}

TEST(GpsDataSetTest, ClearRecordsKeepsTextsClearEmptiesThem) {
  CGpsDataSet set;
  set.prefix = "GARMIN";
  set.deviceName = "Forerunner";
  set.productId = "484";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "ClearRecords" : "Clear");
    Fill(set);
    if (round == 0) {
      set.ClearRecords();
      EXPECT_EQ(set.prefix, "GARMIN");
      EXPECT_EQ(set.productId, "484");
    } else {
      set.Clear();
      EXPECT_EQ(set.prefix, "");
      EXPECT_EQ(set.deviceName, "");
      EXPECT_EQ(set.productId, "");
    }
    EXPECT_EQ(set.GetTracks().GetCount(), 0);
    EXPECT_EQ(set.GetTracks().GetHead(), nullptr);
    EXPECT_EQ(set.GetCourses().GetCount(), 0);
    EXPECT_EQ(set.GetLaps().GetCount(), 0);
    EXPECT_EQ(set.GetRuns().GetCount(), 0);
    EXPECT_EQ(set.GetWorkouts().GetCount(), 0);
    EXPECT_EQ(set.GetOccurrences().GetCount(), 0);
    EXPECT_EQ(set.GetProfiles().GetCount(), 0);
    EXPECT_EQ(set.GetLimits(), nullptr);
    EXPECT_EQ(set.GetTrackCounter(), 0);
  }
  // Numbering restarts after a clear.
  EXPECT_EQ(set.AddTrack("t", -1)->GetId(), "-1");
}

TEST(GpsDataSetTest, CreationFailsCleanlyWhenMemoryRunsOut) {
  CGpsDataSet set;
  set.prefix = "X";
  // Fill the first block, then forbid any further one.
  set.SetArenaLimitForTests(1);
  EXPECT_EQ(set.AddTrack("t", -1), nullptr);
  EXPECT_EQ(set.GetTrackCounter(), 0) << "a failed creation changes nothing";
  EXPECT_EQ(set.GetTracks().GetCount(), 0);
  EXPECT_EQ(set.AddLap(), nullptr);
  EXPECT_EQ(set.AddCourse(), nullptr);
  EXPECT_EQ(set.AddProfile(), nullptr);
  EXPECT_EQ(set.NewLimits(), nullptr);
  EXPECT_EQ(set.GetLaps().GetCount(), 0);

  set.SetArenaLimitForTests(0);
  CGpsDataTrack* track = set.AddTrack("t", -1);
  ASSERT_NE(track, nullptr);
  // Use up what is left, then fail point by point.
  set.SetArenaLimitForTests(set.GetReservedBytes());
  int added = 0;
  while (track->AddPoint(0) != nullptr) ++added;
  EXPECT_EQ(track->GetPoints().GetCount(), added);
  EXPECT_EQ(track->GetPointCounter(), added) << "the failed point takes no number";
  EXPECT_EQ(track->AddSegment(), nullptr);
  EXPECT_EQ(set.GetTrackCounter(), 1);
}

TEST(GpsDataSetTest, ManyPointsSpanBlocks) {
  CGpsDataSet set;
  set.prefix = "M";
  CGpsDataTrack* track = set.AddTrack("t", -1);
  for (int i = 0; i < 100000; ++i) {
    CGpsDataTrackPoint* point = track->AddPoint(i % 1000 == 0 ? 1 : 0);
    ASSERT_NE(point, nullptr);
    ASSERT_NE(point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, i), nullptr);
  }
  int expected = 0;
  for (const CGpsDataTrackPoint* point : track->GetPoints()) {
    int time = -1;
    ASSERT_TRUE(point->GetValues().GetHead()->GetInt(UNIT_DEVICETIME, &time));
    ASSERT_EQ(time, expected++);
  }
  EXPECT_EQ(track->GetSegments().GetCount(), 101);
  EXPECT_EQ(track->GetPoints().GetTail()->GetId(), "M-1-100000");
  set.ClearRecords();
  EXPECT_EQ(set.CountTrackPoints(), 0);
}

}  // namespace
