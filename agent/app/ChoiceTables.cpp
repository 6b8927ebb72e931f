#include "app/ChoiceTables.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/PageText.h"
#include "app/RoutePreview.h"
#include "data/GpsDataProfile.h"
#include "data/GpsDataSegment.h"
#include "data/GpsDataSet.h"
#include "data/GpsDataTrack.h"
#include "data/GpsDataTrackPoint.h"
#include "data/GpsDataValue.h"
#include "data/GpsUnits.h"
#include "platform/HtmlView.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/Util.h"

namespace {

struct SRow {
  int64_t key;
  std::string html;
  std::string checkId;
  const CGpsDataTrackPoint* first;
  const CGpsDataTrackPoint* last;
};

// Newest first; a row goes before the first kept row that is not newer, so
// rows of equal time end up in reverse arrival order.
void InsertSorted(std::vector<SRow>& rows, SRow row) {
  auto at = rows.begin();
  while (at != rows.end() && at->key > row.key) ++at;
  rows.insert(at, std::move(row));
}

const CGpsDataValue* PointTime(const CGpsDataTrackPoint* point) {
  return point != nullptr ? point->FindValue(QUANTITY_TIME, MODIFIER_INSTANT) : nullptr;
}

int64_t UnixTimeOf(const CGpsDataValue* time) {
  int seconds = 0;
  if (time == nullptr || !time->GetInt(UNIT_UNIXTIME, &seconds)) return -1;
  return seconds;
}

std::string Duration(int64_t seconds) {
  char text[48];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

std::string Sport(const CGpsDataSet& data, const CGpsDataTrack& track) {
  const CGpsDataProfile* profile = data.FindProfileById(track.profile);
  if (profile == nullptr || profile->description.empty()) return "unknown";
  return profile->description;
}

void WriteTable(CHtmlView& view, const char* id, unsigned open, unsigned close, const std::vector<SRow>& rows,
                bool allChecked) {
  std::string html = LoadString(open);
  for (const SRow& row : rows) html += row.html;
  html += LoadString(close);
  view.SetOuterHtml(id, html);
  if (allChecked) view.SetChecked("CheckAll", true);
  std::vector<SRoutePreviewRow> routes;
  routes.reserve(rows.size());
  for (const SRow& row : rows) routes.push_back({row.checkId, row.first, row.last});
  ShowRoutePreviews(view, routes);
}

}  // namespace

void BuildActivityTable(CHtmlView& view, const CGpsDataSet& data) {
  std::vector<SRow> rows;
  bool allChecked = true;
  int counter = 0;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    for (const CGpsDataSegment* segment : track->GetSegments()) {
      ++counter;
      if (segment->first == nullptr || segment->last == nullptr) continue;
      if (segment->included == 0) allChecked = false;
      const CGpsDataValue* firstTime = PointTime(segment->first);
      const int64_t start = UnixTimeOf(firstTime);
      const int64_t end = UnixTimeOf(PointTime(segment->last));
      if (start < 1 || end < 1 || end < start) continue;
      const std::string checkId = "check" + std::to_string(counter);
      const std::string date = firstTime->Format(UNIT_LOCALTIME);
      std::string html =
          FillFragment(IDS_HTML_ACTIVITY_ROW, {checkId, segment->included != 0 ? "checked" : "",
                                               CUtil::EscapeMarkup(Sport(data, *track)),
                                               CUtil::EscapeMarkup(date), Duration(end - start)});
      InsertSorted(rows, {start, std::move(html), checkId, segment->first, segment->last});
    }
  }
  WriteTable(view, "ActivityTable", IDS_HTML_ACTIVITY_TABLE, IDS_HTML_ACTIVITY_TABLE_END, rows, allChecked);
}

bool ReadActivityChoices(CHtmlView& view, CGpsDataSet& data) {
  bool anyChosen = false;
  int counter = 0;
  for (CGpsDataTrack* track : data.GetTracks()) {
    for (CGpsDataSegment* segment : track->GetSegments()) {
      ++counter;
      bool checked = false;
      view.GetChecked("check" + std::to_string(counter), checked);
      segment->included = checked ? 1 : 0;
      if (checked) anyChosen = true;
    }
  }
  return anyChosen;
}

void BuildTrackTable(CHtmlView& view, const CGpsDataSet& data) {
  std::vector<SRow> rows;
  bool allChecked = true;
  int counter = 0;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    ++counter;
    const CGpsDataTrackPoint* first = track->GetPoints().GetHead();
    if (first == nullptr) continue;
    const bool included = CGpsDataSet::HasIncludedSegment(track);
    if (!included) allChecked = false;
    const CGpsDataValue* time = PointTime(first);
    std::string date = time != nullptr ? time->Format(UNIT_LOCALTIME) : std::string();
    if (const size_t blank = date.find(' '); blank != std::string::npos) date.resize(blank);
    const std::string number = std::to_string(counter);
    const std::string checkId = "check" + number;
    std::string html =
        FillFragment(IDS_HTML_TRACK_ROW, {checkId, included ? "checked" : "", CUtil::EscapeMarkup(date),
                                          "text" + number, CUtil::EscapeMarkup(track->ident), "Track",
                                          std::to_string(track->GetPoints().GetCount()) + " track points"});
    InsertSorted(rows, {UnixTimeOf(time), std::move(html), checkId, first, track->GetPoints().GetTail()});
  }
  WriteTable(view, "TrackTable", IDS_HTML_TRACK_TABLE, IDS_HTML_TRACK_TABLE_END, rows, allChecked);
}

bool ReadTrackChoices(CHtmlView& view, CGpsDataSet& data) {
  bool anyChosen = false;
  int counter = 0;
  for (CGpsDataTrack* track : data.GetTracks()) {
    ++counter;
    if (track->GetPoints().IsEmpty()) continue;
    const std::string number = std::to_string(counter);
    bool checked = false;
    view.GetChecked("check" + number, checked);
    std::string name;
    view.GetValue("text" + number, name);
    CGpsDataSet::SetIncluded(track, checked ? 1 : 0);
    track->ident = name;
    if (checked) anyChosen = true;
  }
  return anyChosen;
}
