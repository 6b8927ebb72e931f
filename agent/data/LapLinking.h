// Ties laps to the track points where they start and end: each lap's firstId
// and lastId become the ids of the points nearest in time to its start and
// end, over the track that its run or its own track index names. Laps that
// can belong to no track lose their pending flag. Linking never fails; what it
// cannot link it logs and leaves without ids.
#pragma once

#include <cstdint>

class CGpsDataLap;
class CGpsDataRun;
class CGpsDataSet;
class CGpsDataTrack;
class CGpsDataTrackPoint;

// Unix times of a lap's start and end; 0 when unknown. Receivers send no end,
// so it is the start plus the lap's total time when that is known.
struct LapLinkTimes {
  int64_t start = 0;
  int64_t end = 0;
};
LapLinkTimes GetLapLinkTimes(const CGpsDataLap& lap);

// The search for the points nearest to one lap's start and end. Scanning
// several tracks carries the best candidates from one to the next. An equal
// distance keeps the earlier point for the start and moves to the later one
// for the end.
class CLapPointSearch {
public:
  // stopEarly ends the scan of a track at the first point farther from the
  // end than the best one so far (points are in time order).
  CLapPointSearch(const LapLinkTimes& times, bool stopEarly) : m_times(times), m_stopEarly(stopEarly) {}

  void Scan(const CGpsDataTrack& track);

  const CGpsDataTrackPoint* StartPoint() const { return m_startPoint; }
  const CGpsDataTrackPoint* EndPoint() const { return m_endPoint; }

private:
  LapLinkTimes m_times;
  bool m_stopEarly;
  const CGpsDataTrackPoint* m_startPoint = nullptr;
  const CGpsDataTrackPoint* m_endPoint = nullptr;
  int64_t m_startDistance = 0;
  int64_t m_endDistance = 0;
};

// The run's laps (by position in the laps list) linked over the run's track,
// which also gets the run's sport and the profile of that sport. A run without
// a track (index -1) takes its laps out of every track; a run whose track is
// missing leaves them untouched.
void LinkRunLaps(CGpsDataSet& set, const CGpsDataRun& run);

// Laps that name their own track (D906): 0-252 a track index, 253 and 254 no
// track, 255 the track of the next lap that names one. Laps still waiting at
// the end of the list are linked over all tracks.
void LinkD906LapGroups(CGpsDataSet& set);
