#include "import/ImportTestSupport.h"

#include <cstdio>

#include "data/GpsUnits.h"

namespace qvtest {

namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string DescribePoint(const CGpsDataTrackPoint& point) {
  std::string out;
  float longitude = 0;
  float latitude = 0;
  if (const CGpsDataValue* position = point.FindValue(QUANTITY_POSITION, MODIFIER_INSTANT)) {
    if (position->GetPairFloat(UNIT_DEGREES, &longitude, &latitude))
      out = Number(longitude) + "," + Number(latitude);
  }
  float real = 0;
  int whole = 0;
  if (const CGpsDataValue* v = point.FindValue(QUANTITY_ELEVATION, MODIFIER_INSTANT)) {
    if (v->GetFloat(UNIT_METRES, &real)) out += ",e=" + Number(real);
  }
  if (const CGpsDataValue* v = point.FindValue(QUANTITY_TIME, MODIFIER_INSTANT)) {
    if (v->GetInt(UNIT_UNIXTIME, &whole)) out += ",t=" + std::to_string(whole);
  }
  if (const CGpsDataValue* v = point.FindValue(QUANTITY_HEARTRATE, MODIFIER_INSTANT)) {
    if (v->GetInt(UNIT_BPM, &whole)) out += ",hr=" + std::to_string(whole);
  }
  if (const CGpsDataValue* v = point.FindValue(QUANTITY_CADENCE, MODIFIER_INSTANT)) {
    if (v->GetInt(UNIT_RPM, &whole)) out += ",cad=" + std::to_string(whole);
  }
  for (const CGpsDataValue* v : point.GetValues()) {
    if (v->GetQuantity() == QUANTITY_DISTANCE && v->GetFloat(UNIT_METRES, &real)) out += ",d=" + Number(real);
  }
  return out;
}

}  // namespace

std::string DescribeDataSet(const CGpsDataSet& data) {
  std::string out;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    out += track->ident + "#" + std::to_string(track->index) + "{";
    bool firstSegment = true;
    for (const CGpsDataSegment* segment : track->GetSegments()) {
      if (segment->first == nullptr) continue;
      if (!firstSegment) out += "|";
      firstSegment = false;
      for (const CGpsDataTrackPoint* point = segment->first; point != nullptr; point = point->GetNext()) {
        if (point != segment->first) out += " ";
        out += DescribePoint(*point);
        if (point == segment->last) break;
      }
    }
    out += "}";
  }
  for (const CGpsDataRun* run : data.GetRuns()) {
    out += " run(" + std::to_string(run->trackIndex) + "," + std::to_string(run->firstLapIndex) + "-" +
           std::to_string(run->lastLapIndex) + "," + std::to_string(run->sport) + "," +
           std::to_string(run->program) + "," + std::to_string(run->multisport) + ")";
  }
  for (const CGpsDataLap* lap : data.GetLaps()) {
    out += " lap(" + lap->firstId + ".." + lap->lastId + ")";
  }
  for (const CGpsDataCourse* course : data.GetCourses()) {
    out += " course(" + course->name + "," + std::to_string(course->GetLaps().size()) + "," +
           std::to_string(course->GetPoints().GetCount()) + "," +
           (course->track != nullptr ? course->track->ident : std::string("-")) + ")";
  }
  return out;
}

}  // namespace qvtest
