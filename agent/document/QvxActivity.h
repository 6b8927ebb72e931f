// One activity of the exchange document: a track's time samples and its
// activity segments, taken from the laps of the set or, when the set has no
// laps, from the track's own segments.
#pragma once

#include <string>

class CQvxWriter;
class CGpsDataSet;
class CGpsDataTrack;
class CGpsDataValue;

class CQvxActivity {
public:
  CQvxActivity(CQvxWriter& writer, const CGpsDataSet& data) : m_writer(writer), m_data(data) {}

  // Writes the activity element of track, from its start tag to its end tag.
  // Stops at the first failed write and returns false.
  bool Write(const CGpsDataTrack& track);

private:
  bool _WriteHeading(const CGpsDataTrack& track);
  bool _WriteTimeSamples(const CGpsDataTrack& track);
  // Both return false after a failed write; opened tells whether the
  // activitySegmentSet start tag was written.
  bool _WriteSegmentsFromLaps(const CGpsDataTrack& track, bool& opened);
  bool _WriteSegmentsFromTrack(const CGpsDataTrack& track, bool& opened);
  bool _OpenSegment(bool& opened);
  bool _WriteTimeSamplePeriod(const std::string& firstId, const std::string& lastId);
  // A lap's period: the end is the end time, or the start plus the duration.
  bool _WriteLapTime(const CGpsDataValue& start, const CGpsDataValue* end, const CGpsDataValue* duration);
  bool _WriteValidTime(const std::string& begin, const std::string& end);
  bool _WritePositionRange(const CGpsDataValue& begin, const CGpsDataValue& end);

  CQvxWriter& m_writer;
  const CGpsDataSet& m_data;
};
