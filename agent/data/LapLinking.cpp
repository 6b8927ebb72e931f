#include "data/LapLinking.h"

#include <cstdlib>
#include <string>

#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "data/Vocabulary.h"
#include "util/TraceLog.h"

namespace {

// The sport of a run names a term of this vocabulary.
constexpr char kSportCodeSpacePath[] = "/device/garmin/IoSpecs_V117.rdf#D1000-sport_type";

int64_t UnixTimeOf(const CGpsDataValue* value) {
  int64_t unixTime = 0;
  if (value == nullptr || !value->GetUnixTime(0, &unixTime)) return 0;
  return unixTime;
}

bool PointTime(const CGpsDataTrackPoint& point, int64_t& time) {
  for (const CGpsDataValue* value : point.GetValues()) {
    if (value->GetQuantity() != QUANTITY_TIME || value->GetModifier() != MODIFIER_INSTANT) continue;
    return value->GetUnixTime(0, &time);
  }
  return false;
}

int64_t Distance(int64_t a, int64_t b) {
  return a > b ? a - b : b - a;
}

enum class ELinkStyle { Run, D906 };

// Stores what the search found in the lap and logs what it did not.
void ApplySearch(CGpsDataLap& lap, const CLapPointSearch& search, const LapLinkTimes& times, ELinkStyle style,
                 int lapIndex) {
  const CGpsDataTrackPoint* start = search.StartPoint();
  const CGpsDataTrackPoint* end = search.EndPoint();
  const int startTime = static_cast<int>(times.start);
  const int endTime = static_cast<int>(times.end);
  if (start != nullptr) {
    lap.firstId = start->GetId();
    if (style == ELinkStyle::D906)
      LogWrite(LOG_INFO, "CGpsGarmin::LinkD906Laps(): first track point=%s", lap.firstId.c_str());
  } else if (style == ELinkStyle::D906) {
    LogWrite(LOG_WARN,
             "CGpsGarmin::LinkD906Laps(): track point for start of lap not found. Start lap time=%d",
             startTime);
  } else {
    LogWrite(LOG_WARN,
             "CGpsGarmin::LinkRun(): track point for start of lap not found (lapIndex %d). Start lap time=%d",
             lapIndex, startTime);
  }
  if (end != nullptr) {
    lap.lastId = end->GetId();
    if (style == ELinkStyle::D906)
      LogWrite(LOG_INFO, "CGpsGarmin::LinkD906Laps(): last track point=%s", lap.lastId.c_str());
    return;
  }
  if (style == ELinkStyle::D906) {
    LogWrite(LOG_WARN, "CGpsGarmin::LinkD906Laps(): track point for end of lap not found. End lap time=%d",
             endTime);
    if (start != nullptr)
      LogWrite(LOG_WARN, "CGpsGarmin::LinkD906Laps(): start track point id=%s", lap.firstId.c_str());
    return;
  }
  LogWrite(LOG_WARN,
           "CGpsGarmin::LinkRun(): track point for end of lap not found (lapIndex %d). End lap time=%d",
           lapIndex, endTime);
  if (start != nullptr) {
    LogWrite(LOG_WARN, "CGpsGarmin::LinkRun(): start track point id=%s (lapIndex %d)", lap.firstId.c_str(),
             lapIndex);
    // A lap without a known end at least closes on its own first point.
    lap.lastId = lap.firstId;
  }
}

// One D906 lap linked over one track.
void LinkD906LapToTrack(CGpsDataLap& lap, const CGpsDataTrack& track) {
  const LapLinkTimes times = GetLapLinkTimes(lap);
  CLapPointSearch search(times, true);
  search.Scan(track);
  ApplySearch(lap, search, times, ELinkStyle::D906, 0);
}

// Every pending lap from first through last (both in the laps list).
template <class Action>
void ForPendingLaps(CGpsDataLap* first, const CGpsDataLap* last, Action action) {
  for (CGpsDataLap* lap = first; lap != nullptr; lap = lap->GetNext()) {
    if (lap->pending != 0) action(*lap);
    if (lap == last) break;
  }
}

}  // namespace

LapLinkTimes GetLapLinkTimes(const CGpsDataLap& lap) {
  const CGpsDataValue* start = nullptr;
  const CGpsDataValue* end = nullptr;
  const CGpsDataValue* sum = nullptr;
  for (const CGpsDataValue* value : lap.GetValues()) {
    if (value->GetQuantity() != QUANTITY_TIME) continue;
    if (value->GetModifier() == MODIFIER_START) start = value;
    if (value->GetModifier() == MODIFIER_END) end = value;
    if (value->GetModifier() == MODIFIER_SUM) sum = value;
  }
  LapLinkTimes times;
  times.start = UnixTimeOf(start);
  times.end = UnixTimeOf(end);
  int seconds = 0;
  if (times.end == 0 && times.start > 0 && sum != nullptr && sum->GetInt(UNIT_SECONDS, &seconds)) {
    times.end = times.start + seconds;
  }
  return times;
}

void CLapPointSearch::Scan(const CGpsDataTrack& track) {
  for (const CGpsDataTrackPoint* point : track.GetPoints()) {
    int64_t time = 0;
    if (!PointTime(*point, time)) continue;
    if (m_times.end != 0) {
      const int64_t distance = Distance(m_times.end, time);
      if (m_endPoint != nullptr && distance > m_endDistance && m_stopEarly) return;
      if (m_endPoint == nullptr || distance <= m_endDistance) {
        m_endPoint = point;
        m_endDistance = distance;
      }
    }
    if (m_times.start != 0) {
      const int64_t distance = Distance(m_times.start, time);
      if (m_startPoint == nullptr || distance < m_startDistance) {
        m_startPoint = point;
        m_startDistance = distance;
      }
    }
  }
}

void LinkRunLaps(CGpsDataSet& set, const CGpsDataRun& run) {
  LogWrite(LOG_INFO, "CGpsGarmin::LinkRun(): trackIndex=%d, firstLapIndex=%d, lastLapIndex=%d",
           run.trackIndex, run.firstLapIndex, run.lastLapIndex);
  CGpsDataTrack* track = nullptr;
  if (run.trackIndex != -1) {
    track = set.FindTrack(run.trackIndex);
    if (track == nullptr) {
      LogWrite(LOG_ERROR, "CGpsGarmin::LinkRun(): No track found with trackIndex=%d", run.trackIndex);
      return;
    }
  }
  int index = 0;
  for (CGpsDataLap* lap : set.GetLaps()) {
    const int lapIndex = index++;
    if (lapIndex < run.firstLapIndex) continue;
    if (lapIndex > run.lastLapIndex) break;
    if (track == nullptr) {
      lap->pending = 0;
      continue;
    }
    const LapLinkTimes times = GetLapLinkTimes(*lap);
    CLapPointSearch search(times, false);
    search.Scan(*track);
    ApplySearch(*lap, search, times, ELinkStyle::Run, lapIndex);
  }
  if (track == nullptr || run.sport < 0) return;
  track->activityName = std::to_string(run.sport);
  track->activityNameSpace = std::string(VOCABULARY_BASE_URI) + kSportCodeSpacePath;
  if (const CGpsDataProfile* profile = set.FindProfileByName(track->activityName)) {
    track->profile = profile->id;
  }
}

void LinkD906LapGroups(CGpsDataSet& set) {
  // The first lap of the laps still waiting for a track that names one.
  CGpsDataLap* group = nullptr;
  for (CGpsDataLap* lap : set.GetLaps()) {
    if (lap->pending == 0) continue;
    const int trackIndex = lap->trackIndex;
    if (trackIndex >= 0 && trackIndex <= 252) {
      if (group == nullptr) group = lap;
      if (const CGpsDataTrack* track = set.FindTrack(trackIndex)) {
        ForPendingLaps(group, lap, [track](CGpsDataLap& member) { LinkD906LapToTrack(member, *track); });
      } else {
        LogWrite(LOG_ERROR, "CGpsGarmin::LinkD906Laps(): No track found with trackIndex=%d", trackIndex);
        ForPendingLaps(group, lap, [](CGpsDataLap& member) { member.pending = 0; });
      }
      group = nullptr;
    } else if (trackIndex == 253 || trackIndex == 254) {
      if (group == nullptr) group = lap;
      ForPendingLaps(group, lap, [](CGpsDataLap& member) { member.pending = 0; });
      group = nullptr;
    } else if (trackIndex == 255) {
      if (group == nullptr) group = lap;
    } else {
      lap->pending = 0;
    }
  }
  if (group == nullptr) return;
  // Laps that never learnt their track are sought in every track.
  ForPendingLaps(group, nullptr, [&set](CGpsDataLap& member) {
    const LapLinkTimes times = GetLapLinkTimes(member);
    CLapPointSearch search(times, true);
    for (const CGpsDataTrack* track : set.GetTracks()) search.Scan(*track);
    ApplySearch(member, search, times, ELinkStyle::D906, 0);
  });
}
