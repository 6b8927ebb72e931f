#include <gtest/gtest.h>

#include <algorithm>

#include "app/AppTestSupport.h"
#include "app/ChoiceTables.h"
#include "app/RoutePreview.h"
#include "data/GpsDataProfile.h"
#include "data/GpsDataSegment.h"

namespace {

using qvtest::AddTrack;

constexpr int64_t T0 = 1116689431;  // 2005-05-21 15:30:31 UTC

std::vector<std::string> CheckIds(const CHtmlViewMemory& view, const std::string& table) {
  std::vector<std::string> ids;
  for (const std::string& id : view.ChildIds(table)) {
    if (id.rfind("check", 0) == 0) ids.push_back(id);
  }
  return ids;
}

TEST(ChoiceTablesTest, ActivityRowsNumberingSortingAndChoices) {
  qvtest::CUtcClock utc;
  CGpsDataSet set;
  CGpsDataProfile* profile = set.AddProfile();
  profile->id = "p1";
  profile->description = "Running <fast>";
  // check1: 1 h 2 min 3 s, newest; check2: no time at its end (no row);
  // check3 and check4: equal starts (reverse arrival order); check5: ends before it starts.
  CGpsDataTrack* a = AddTrack(set, "a", {{T0 + 7200, T0 + 7200 + 3723}, {T0, std::nullopt}});
  a->profile = "p1";
  CGpsDataTrack* b = AddTrack(set, "b", {{T0 + 60, T0 + 120}, {T0 + 60, T0 + 61}, {T0 + 500, T0 + 400}});
  b->profile = "unknown-profile";
  b->GetSegments().GetHead()->included = 0;

  CHtmlViewMemory view = qvtest::LoadedPage(110);
  BuildActivityTable(view, set);
  EXPECT_EQ(CheckIds(view, "ActivityTable"), (std::vector<std::string>{"check1", "check4", "check3"}));
  const std::string& html = view.Find("ActivityTable")->html;
  EXPECT_NE(
      html.find("<tr><td><input type=\"checkbox\" id=\"check1\" checked></td><td>Running &lt;fast&gt;</td>"
                "<td>5/21/2005 5:30:31 P.M.</td><td>1:02:03</td></tr>"),
      std::string::npos)
      << html;
  EXPECT_NE(html.find("id=\"check3\" ></td><td>unknown</td>"), std::string::npos);
  EXPECT_FALSE(view.Find("CheckAll")->checked) << "one segment is not included";

  // The user ticks check3 and unticks check1; numbers map back to segments.
  view.UserSetChecked("check3", true);
  view.UserSetChecked("check1", false);
  EXPECT_TRUE(ReadActivityChoices(view, set));
  std::vector<int> included;
  for (const CGpsDataTrack* track : set.GetTracks()) {
    for (const CGpsDataSegment* segment : track->GetSegments()) included.push_back(segment->included);
  }
  EXPECT_EQ(included, (std::vector<int>{0, 0, 1, 1, 0}));

  view.UserSetChecked("check3", false);
  view.UserSetChecked("check4", false);
  EXPECT_FALSE(ReadActivityChoices(view, set)) << "nothing chosen";
}

TEST(ChoiceTablesTest, TrackRowsGapsNamesAndUntimedLast) {
  qvtest::CUtcClock utc;
  CGpsDataSet set;
  AddTrack(set, "untimed", {{std::nullopt, std::nullopt}});
  set.AddTrack("empty", -1);  // no points: no row, but it uses number 2
  AddTrack(set, "old \"one\"", {{T0, T0 + 1}});
  AddTrack(set, "new", {{T0 + 86400, T0 + 86401, T0 + 86402}});

  CHtmlViewMemory view = qvtest::LoadedPage(193);
  BuildTrackTable(view, set);
  EXPECT_EQ(CheckIds(view, "TrackTable"), (std::vector<std::string>{"check4", "check3", "check1"}));
  const std::string& html = view.Find("TrackTable")->html;
  EXPECT_NE(
      html.find("<tr><td><input type=\"checkbox\" id=\"check4\" checked></td><td>5/22/2005</td><td><input "
                "type=\"text\" size=\"15\" maxlength=\"50\" id=\"text4\" value=\"new\"></td><td>Track</td>"
                "<td>3 track points</td></tr>"),
      std::string::npos)
      << html;
  EXPECT_EQ(view.Find("text3")->value, "old \"one\"") << "the name survives the markup";
  EXPECT_NE(html.find("id=\"check1\" checked></td><td></td>"), std::string::npos) << "untimed: empty date";
  EXPECT_TRUE(view.Find("CheckAll")->checked);

  view.UserSetChecked("check1", false);
  view.SetValue("text4", "renamed");
  EXPECT_TRUE(ReadTrackChoices(view, set));
  std::vector<std::string> names;
  std::vector<bool> included;
  for (const CGpsDataTrack* track : set.GetTracks()) {
    names.push_back(track->ident);
    included.push_back(CGpsDataSet::HasIncludedSegment(track));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"untimed", "empty", "old \"one\"", "renamed"}));
  EXPECT_EQ(included, (std::vector<bool>{false, true, true, true}));
}

TEST(ChoiceTablesTest, RoutePreviewIsThinned) {
  CGpsDataSet set;
  std::vector<std::optional<int64_t>> times;
  for (int i = 0; i < 5000; ++i) times.push_back(T0 + i);
  CGpsDataTrack* track = AddTrack(set, "long", {times});
  const std::string svg = BuildRouteSvg("check1", track->GetPoints().GetHead(), track->GetPoints().GetTail());
  const size_t start = svg.find("points=\"");
  const size_t end = svg.find('"', start + 8);
  const std::string points = svg.substr(start + 8, end - start - 8);
  EXPECT_EQ(static_cast<size_t>(std::count(points.begin(), points.end(), ',')), kRoutePreviewPoints);
  const CGpsDataTrack* single = AddTrack(set, "one point", {{T0}});
  EXPECT_EQ(BuildRouteSvg("x", single->GetPoints().GetHead(), single->GetPoints().GetTail()), "")
      << "a single position draws nothing";
}

}  // namespace
