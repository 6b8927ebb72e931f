#include "document/QvxActivity.h"

#include <cstdint>

#include "data/GpsDataSet.h"
#include "data/TimeText.h"
#include "document/QvxMeasurement.h"
#include "document/QvxWriter.h"

namespace {

// The values of a lap that have a place of their own in its segment.
struct CLapValues {
  const CGpsDataValue* startTime = nullptr;
  const CGpsDataValue* endTime = nullptr;
  const CGpsDataValue* duration = nullptr;
  const CGpsDataValue* startPosition = nullptr;
  const CGpsDataValue* endPosition = nullptr;

  explicit CLapValues(const CGpsDataLap& lap) {
    for (const CGpsDataValue* value : lap.GetValues()) {
      const int quantity = value->GetQuantity();
      const int modifier = value->GetModifier();
      if (quantity == QUANTITY_TIME) {
        if (modifier == MODIFIER_START) Keep(startTime, value);
        if (modifier == MODIFIER_END) Keep(endTime, value);
        if (modifier == MODIFIER_SUM) Keep(duration, value);
      } else if (quantity == QUANTITY_POSITION) {
        if (modifier == MODIFIER_START) Keep(startPosition, value);
        if (modifier == MODIFIER_END) Keep(endPosition, value);
      }
    }
  }

  // Whether value is written inside the segment's period or range rather
  // than as a measurement of its own. The duration appears in both.
  bool HasPlace(const CGpsDataValue* value) const {
    return value == startTime || value == endTime || value == startPosition || value == endPosition;
  }

private:
  static void Keep(const CGpsDataValue*& slot, const CGpsDataValue* value) {
    if (slot == nullptr) slot = value;
  }
};

// The end of a lap given by start and duration, as UTC text; empty when
// either cannot be read.
std::string EndFromDuration(const CGpsDataValue& start, const CGpsDataValue& duration) {
  int64_t end = 0;
  return GetEndFromDuration(start, duration, &end) ? FormatUtcTime(end) : std::string();
}

}  // namespace

bool CQvxActivity::Write(const CGpsDataTrack& track) {
  if (!_WriteHeading(track) || !_WriteTimeSamples(track)) return false;
  m_writer.CloseHistory();
  m_writer.CloseMeter();
  bool opened = false;
  const bool ok = m_data.GetLaps().IsEmpty() ? _WriteSegmentsFromTrack(track, opened)
                                             : _WriteSegmentsFromLaps(track, opened);
  if (!ok) return false;
  if (opened) m_writer.CloseActivitySegmentSet();
  m_writer.CloseActivity();
  return true;
}

bool CQvxActivity::_WriteHeading(const CGpsDataTrack& track) {
  const std::string source = "#" + m_data.prefix;
  if (!m_writer.OpenElement("activity")) return false;
  if (!m_writer.LeafElement("gml:dataSource", "xlink:href", source.c_str(), nullptr, nullptr, nullptr)) {
    return false;
  }
  if (!track.activityName.empty()) {
    const char* codeSpace = track.activityNameSpace.empty() ? nullptr : "codeSpace";
    if (!m_writer.TextElementAttr("gml:name", codeSpace, track.activityNameSpace.c_str(),
                                  track.activityName.c_str())) {
      return false;
    }
  }
  if (!track.profile.empty()) {
    const std::string profile = "#" + track.profile;
    if (!m_writer.LeafElement("profile", "xlink:href", profile.c_str(), nullptr, nullptr, nullptr))
      return false;
  }
  return m_writer.OpenElement("meter", "id", track.GetId().c_str()) && m_writer.OpenElement("gml:history");
}

bool CQvxActivity::_WriteTimeSamples(const CGpsDataTrack& track) {
  for (const CGpsDataSegment* segment : track.GetSegments()) {
    if (segment->included == 0 || segment->first == nullptr || segment->last == nullptr) continue;
    // Following next pointers from first; a last point that is not reached
    // ends the walk at the end of the track instead of running past it.
    for (const CGpsDataTrackPoint* point = segment->first; point != nullptr; point = point->GetNext()) {
      if (!m_writer.OpenElement("timeSample", "id", point->GetId().c_str())) return false;
      for (const CGpsDataValue* value : point->GetValues()) WriteQvxMeasurement(m_writer, *value);
      m_writer.CloseTimeSample();
      if (point == segment->last) break;
    }
  }
  return true;
}

bool CQvxActivity::_OpenSegment(bool& opened) {
  if (!opened) {
    if (!m_writer.OpenElement("activitySegmentSet")) return false;
    opened = true;
  }
  return m_writer.OpenElement("activitySegment");
}

bool CQvxActivity::_WriteSegmentsFromLaps(const CGpsDataTrack& track, bool& opened) {
  // With the hyphen, track "X-1" does not claim the laps of track "X-12".
  const std::string key = track.GetId() + "-";
  for (const CGpsDataLap* lap : m_data.GetLaps()) {
    if (lap->firstId.empty() || lap->firstId.find(key) == std::string::npos) continue;
    if (!_OpenSegment(opened)) return false;
    const CLapValues lapValues(*lap);
    if (!_WriteTimeSamplePeriod(lap->firstId, lap->lastId)) return false;
    if (lapValues.startTime != nullptr && (lapValues.endTime != nullptr || lapValues.duration != nullptr)) {
      if (!_WriteLapTime(*lapValues.startTime, lapValues.endTime, lapValues.duration)) return false;
    }
    if (lapValues.startPosition != nullptr && lapValues.endPosition != nullptr) {
      if (!_WritePositionRange(*lapValues.startPosition, *lapValues.endPosition)) return false;
    }
    for (const CGpsDataValue* value : lap->GetValues()) {
      if (!lapValues.HasPlace(value)) WriteQvxMeasurement(m_writer, *value);
    }
    m_writer.CloseActivitySegment();
  }
  return true;
}

bool CQvxActivity::_WriteSegmentsFromTrack(const CGpsDataTrack& track, bool& opened) {
  for (const CGpsDataSegment* segment : track.GetSegments()) {
    if (segment->included == 0 || segment->first == nullptr || segment->last == nullptr) continue;
    if (!_OpenSegment(opened)) return false;
    if (!_WriteTimeSamplePeriod(segment->first->GetId(), segment->last->GetId())) return false;
    const CGpsDataValue* firstTime = segment->first->FindValue(QUANTITY_TIME, MODIFIER_INSTANT);
    const CGpsDataValue* lastTime = segment->last->FindValue(QUANTITY_TIME, MODIFIER_INSTANT);
    if (firstTime != nullptr && lastTime != nullptr) {
      if (!_WriteValidTime(firstTime->Format(UNIT_UNIXTIME), lastTime->Format(UNIT_UNIXTIME))) return false;
    }
    const CGpsDataValue* firstPosition = segment->first->FindValue(QUANTITY_POSITION, MODIFIER_INSTANT);
    const CGpsDataValue* lastPosition = segment->last->FindValue(QUANTITY_POSITION, MODIFIER_INSTANT);
    if (firstPosition != nullptr && lastPosition != nullptr) {
      if (!_WritePositionRange(*firstPosition, *lastPosition)) return false;
    }
    m_writer.CloseActivitySegment();
  }
  return true;
}

bool CQvxActivity::_WriteTimeSamplePeriod(const std::string& firstId, const std::string& lastId) {
  if (firstId.empty() && lastId.empty()) return true;
  if (!m_writer.OpenElement("timeSamplePeriod")) return false;
  if (!firstId.empty()) {
    const std::string href = "#" + firstId;
    if (!m_writer.LeafElement("beginTimeSample", "xlink:href", href.c_str(), nullptr, nullptr, nullptr)) {
      return false;
    }
  }
  if (!lastId.empty()) {
    const std::string href = "#" + lastId;
    if (!m_writer.LeafElement("endTimeSample", "xlink:href", href.c_str(), nullptr, nullptr, nullptr)) {
      return false;
    }
  }
  return m_writer.CloseElement("timeSamplePeriod");
}

bool CQvxActivity::_WriteLapTime(const CGpsDataValue& start, const CGpsDataValue* end,
                                 const CGpsDataValue* duration) {
  std::string endText;
  if (end != nullptr) {
    endText = end->Format(UNIT_UNIXTIME);
  } else if (duration != nullptr) {
    endText = EndFromDuration(start, *duration);
  }
  return _WriteValidTime(start.Format(UNIT_UNIXTIME), endText);
}

bool CQvxActivity::_WriteValidTime(const std::string& begin, const std::string& end) {
  if (!m_writer.OpenElement("gml:validTime") || !m_writer.OpenElement("gml:TimePeriod") ||
      !m_writer.TextElement("gml:beginPosition", begin.c_str())) {
    return false;
  }
  if (!end.empty() && !m_writer.TextElement("gml:endPosition", end.c_str())) return false;
  return m_writer.CloseElement("gml:TimePeriod") && m_writer.CloseElement("gml:validTime");
}

bool CQvxActivity::_WritePositionRange(const CGpsDataValue& begin, const CGpsDataValue& end) {
  return m_writer.OpenElement("positionRange") &&
         m_writer.TextElement("beginPosition", begin.Format(UNIT_DEGREES).c_str()) &&
         m_writer.TextElement("endPosition", end.Format(UNIT_DEGREES).c_str()) &&
         m_writer.CloseElement("positionRange");
}
