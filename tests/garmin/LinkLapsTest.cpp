// Laps tied to the nearest track points in time, through runs and through
// the laps' own track indexes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/GpsDataSet.h"
#include "data/LapLinking.h"
#include "data/Vocabulary.h"
#include "link/GpsGarminSerial.h"

namespace {

constexpr int64_t kEpochOffset = 631065600;
constexpr int kT0 = 1'000'000'000;  // device seconds

// A track whose points lie at kT0 + each offset.
CGpsDataTrack* AddTrack(CGpsDataSet& set, int index, const std::vector<int>& offsets) {
  CGpsDataTrack* track = set.AddTrack("", index);
  for (int offset : offsets) {
    CGpsDataTrackPoint* point = track->AddPoint(0);
    point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, kT0 + offset);
  }
  return track;
}

// A lap starting at kT0 + start that lasts seconds (none: no total time).
CGpsDataLap* AddLap(CGpsDataSet& set, int trackIndex, int start, float seconds = -1.0f) {
  CGpsDataLap* lap = set.AddLap();
  lap->trackIndex = trackIndex;
  lap->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kT0 + start);
  if (seconds >= 0.0f) lap->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, seconds);
  return lap;
}

// "firstId lastId pending" of every lap.
std::vector<std::string> Laps(const CGpsDataSet& set) {
  std::vector<std::string> out;
  for (const CGpsDataLap* lap : set.GetLaps()) {
    out.push_back(lap->firstId + " " + lap->lastId + " " + std::to_string(lap->pending));
  }
  return out;
}

TEST(LinkLaps, LapTimesComeFromStartAndTotalTime) {
  CGpsDataSet set;
  CGpsDataLap* lap = AddLap(set, 0, 10, 59.5f);
  LapLinkTimes times = GetLapLinkTimes(*lap);
  EXPECT_EQ(times.start, kT0 + 10 + kEpochOffset);
  EXPECT_EQ(times.end, times.start + 60);  // rounded to whole seconds
  // An end measurement wins over the total time; the last of each kind counts.
  lap->AddInteger(QUANTITY_TIME, MODIFIER_END, UNIT_DEVICETIME, kT0 + 500);
  lap->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kT0 + 20);
  times = GetLapLinkTimes(*lap);
  EXPECT_EQ(times.start, kT0 + 20 + kEpochOffset);
  EXPECT_EQ(times.end, kT0 + 500 + kEpochOffset);
  // A start kept as Unix time is not a device time: unknown.
  CGpsDataLap* imported = set.AddLap();
  imported->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_UNIXTIME, 1'600'000'000);
  imported->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 30.0f);
  times = GetLapLinkTimes(*imported);
  EXPECT_EQ(times.start, 0);
  EXPECT_EQ(times.end, 0);
  // Device times past 2038 still order after earlier ones.
  CGpsDataLap* late = set.AddLap();
  late->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, static_cast<int>(0xC0000000u));
  EXPECT_EQ(GetLapLinkTimes(*late).start, int64_t{0xC0000000} + kEpochOffset);
}

struct D906Case {
  const char* legend;
  std::vector<std::vector<int>> tracks;  // index = position; point offsets
  std::vector<std::vector<int>> laps;    // {trackIndex, start, seconds}
  std::vector<std::string> expected;
};

// Point ids below: "p-<track>-<n>".
std::vector<D906Case> D906Cases() {
  return {
      {"each lap on its own track",
       {{0, 10, 20, 30}, {100, 110, 120}},
       {{0, 0, 20}, {1, 100, 20}},
       {"p-0-1 p-0-3 1", "p-1-1 p-1-3 1"}},
      {"255 waits for the next lap's track",
       {{0, 10, 20, 30}, {100, 110, 120, 130}},
       {{255, 100, 10}, {1, 110, 20}},
       {"p-1-1 p-1-2 1", "p-1-2 p-1-4 1"}},
      {"255 laps at the end are sought in every track",
       {{0, 10, 20}, {100, 110, 120}},
       {{0, 0, 10}, {255, 20, 85}, {255, 110, 10}},
       {"p-0-1 p-0-2 1", "p-0-3 p-1-2 1", "p-1-2 p-1-3 1"}},
      {"254 clears itself and the open group",
       {{0, 10, 20}},
       {{255, 0, 10}, {254, 10, 10}, {0, 0, 20}},
       {"  0", "  0", "p-0-1 p-0-3 1"}},
      {"253 clears only up to itself",
       {{0, 10, 20}},
       {{253, 0, 10}, {255, 10, 10}},
       {"  0", "p-0-2 p-0-3 1"}},
      {"missing track clears the group",
       {{0, 10, 20}},
       {{255, 0, 10}, {7, 10, 10}, {0, 0, 10}},
       {"  0", "  0", "p-0-1 p-0-2 1"}},
      {"ties: start keeps the earlier point, end moves to the later one",
       {{0, 10, 20, 30}},
       {{0, 5, 20}},
       {"p-0-1 p-0-4 1"}},
      {"early stop: a point back in time after the end is not reached",
       {{100, 200, 50}},
       {{0, 50, 50}},
       {"p-0-1 p-0-1 1"}},
      {"lap without total time: no end point, lastId stays empty",
       {{0, 10, 20}},
       {{0, 10, -1}},
       {"p-0-2  1"}},
      {"lap before every point links to the first", {{100, 110}}, {{0, 0, 10}}, {"p-0-1 p-0-1 1"}},
  };
}

TEST(LinkLaps, D906LapsLinkThroughTheirTrackIndex) {
  for (const D906Case& c : D906Cases()) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    set.prefix = "p";
    for (size_t i = 0; i < c.tracks.size(); ++i) AddTrack(set, static_cast<int>(i), c.tracks[i]);
    for (const std::vector<int>& lap : c.laps) AddLap(set, lap[0], lap[1], static_cast<float>(lap[2]));
    LinkD906LapGroups(set);
    EXPECT_EQ(Laps(set), c.expected);
  }
}

TEST(LinkLaps, D906PassesOverLapsAlreadyOutOfTracksAndKeepsTrackIndexes) {
  CGpsDataSet set;
  set.prefix = "p";
  AddTrack(set, 0, {0, 10, 20});
  AddLap(set, 255, 0, 10)->pending = 0;
  AddLap(set, 255, 10, 10);
  AddLap(set, -1, 10, 10);  // no D906 index at all
  AddLap(set, 0, 0, 20);
  LinkD906LapGroups(set);
  EXPECT_EQ(Laps(set), (std::vector<std::string>{"  0", "p-0-2 p-0-3 1", "  0", "p-0-1 p-0-3 1"}));
  std::vector<int> indexes;
  for (const CGpsDataLap* lap : set.GetLaps()) indexes.push_back(lap->trackIndex);
  EXPECT_EQ(indexes, (std::vector<int>{255, 255, -1, 0}));
}

TEST(LinkLaps, RunsLinkTheirLapsAndGiveTheTrackItsSport) {
  struct Case {
    const char* legend;
    int trackIndex;
    int first;
    int last;
    int sport;
    std::vector<std::string> laps;
    const char* activity;
    const char* profile;
  };
  const Case cases[] = {
      {"run over track 1, laps 1-2, sport 1 with a profile",
       1,
       1,
       2,
       1,
       {"  1", "p-1-1 p-1-2 1", "p-1-2 p-1-2 1", "  1"},
       "1",
       "prof-1"},
      {"sport 0 without a profile", 1, 0, 0, 0, {"p-1-1 p-1-2 1", "  1", "  1", "  1"}, "0", ""},
      {"sport -1: no activity", 1, 0, 0, -1, {"p-1-1 p-1-2 1", "  1", "  1", "  1"}, "", ""},
      {"run without a track takes its laps out", -1, 1, 3, 1, {"  1", "  0", "  0", "  0"}, "", ""},
      {"missing track leaves the laps alone", 9, 0, 3, 1, {"  1", "  1", "  1", "  1"}, "", ""},
      {"range beyond the list", 1, 3, 10, 2, {"  1", "  1", "  1", "p-1-1 p-1-1 1"}, "2", ""},
      {"empty range", 1, 2, 1, 1, {"  1", "  1", "  1", "  1"}, "1", "prof-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    set.prefix = "p";
    AddTrack(set, 0, {0, 10});
    AddTrack(set, 1, {1000, 1010, 1020});
    AddLap(set, -1, 1000, 10);
    AddLap(set, -1, 1000, 10);
    AddLap(set, -1, 1010, -1);  // no total time: the run closes it on its first point
    AddLap(set, -1, 0, 0);
    CGpsDataProfile* profile = set.AddProfile();
    profile->id = "prof-1";
    profile->namePair.name = "1";
    CGpsDataRun* run = set.AddRun();
    run->trackIndex = c.trackIndex;
    run->firstLapIndex = c.first;
    run->lastLapIndex = c.last;
    run->sport = c.sport;
    LinkRunLaps(set, *run);
    EXPECT_EQ(Laps(set), c.laps);
    const CGpsDataTrack* track = set.FindTrack(1);
    EXPECT_EQ(track->activityName, c.activity);
    EXPECT_EQ(track->profile, c.profile);
    if (*c.activity != 0) {
      EXPECT_EQ(track->activityNameSpace,
                std::string(VOCABULARY_BASE_URI) + "/device/garmin/IoSpecs_V117.rdf#D1000-sport_type");
    }
  }
}

TEST(LinkLaps, RunsScanTheWholeTrackWithoutEarlyStop) {
  CGpsDataSet set;
  set.prefix = "p";
  AddTrack(set, 0, {100, 200, 50});
  AddLap(set, -1, 50, 50);
  AddLap(set, 0, 50, 50);
  CGpsDataRun* run = set.AddRun();
  run->trackIndex = 0;
  run->firstLapIndex = 0;
  run->lastLapIndex = 0;
  LinkRunLaps(set, *run);
  // The D906 walk then takes the first lap, which names no track, out.
  LinkD906LapGroups(set);
  EXPECT_EQ(Laps(set), (std::vector<std::string>{"p-0-3 p-0-1 0", "p-0-1 p-0-1 1"}));
}

TEST(LinkLaps, DeviceObjectEntryPointsLinkItsSet) {
  CGpsGarminSerial gps;
  CGpsDataSet& set = gps.GetDataSet();
  set.prefix = "p";
  AddTrack(set, 2, {0, 10});
  AddLap(set, 2, 0, 10);
  gps.LinkD906Laps();
  EXPECT_EQ(Laps(set), (std::vector<std::string>{"p-2-1 p-2-2 1"}));
  AddLap(set, -1, 0, 10);
  CGpsDataRun* run = set.AddRun();
  run->trackIndex = -1;
  run->firstLapIndex = 1;
  run->lastLapIndex = 1;
  gps.LinkRun(set, *run);
  EXPECT_EQ(Laps(set), (std::vector<std::string>{"p-2-1 p-2-2 1", "  0"}));
}

}  // namespace
