#include "import/TrainingCenterReader.h"

#include <cmath>
#include <cstdio>

#include "data/GpsUnits.h"
#include "data/LapLinking.h"
#include "import/XmlValueScan.h"
#include "resources/StringIds.h"

namespace {

// A Unix time as a received record holds it: device time, or Unix time for
// an instant before the device epoch. False when it fits neither.
bool DeviceTimeValue(int64_t unixTime, int& unit, int& value) {
  const int64_t deviceTime = unixTime - DEVICE_TIME_OFFSET;
  if (deviceTime > 0 && deviceTime <= INT32_MAX) {
    unit = UNIT_DEVICETIME;
    value = static_cast<int>(deviceTime);
    return true;
  }
  if (unixTime > 0 && unixTime <= INT32_MAX) {
    unit = UNIT_UNIXTIME;
    value = static_cast<int>(unixTime);
    return true;
  }
  return false;
}

bool ReadTime(const std::string& text, int64_t& unixTime) {
  return ParseXmlTime(text, EZonelessTime::UtcAnything, unixTime) && unixTime > 0;
}

int Semicircles(double degrees) {
  const double value = std::round(degrees * (2147483648.0 / 180.0));
  if (!(value > -2147483648.0)) return INT32_MIN;
  if (!(value < 2147483647.0)) return INT32_MAX;
  return static_cast<int>(value);
}

}  // namespace

void CTrainingCenterReader::SetHandlers() {
  m_course = nullptr;
  m_coursePoint = nullptr;
  m_run = nullptr;
  m_lap = nullptr;
  m_track = nullptr;
  m_pending = nullptr;
  m_pendingDistance = nullptr;
  m_pendingNewSegment = 0;
  m_hasTime = m_hasAltitude = m_hasPosition = false;
  m_newSegment = 1;
  m_trackNumber = 0;
  m_lapCounter = 0;
  m_depth = 0;
  m_courseDepth = m_coursePointDepth = m_activityDepth = m_runDepth = m_lapDepth = -1;
  m_trackDepth = m_trackpointDepth = m_positionDepth = m_beginPositionDepth = m_endPositionDepth = -1;
  m_sessionDepth = m_heartRateDepth = -1;
  m_heartRateValueSeen = false;
  m_activityName.clear();
  m_sport = m_program = m_multisport = 0;
  m_latitude = m_longitude = 0;
  m_hasLatitude = m_hasLongitude = false;
  m_secondGeneration = false;
  m_lapValues = CLapValues();
  m_sessionRun = nullptr;
}

void CTrainingCenterReader::OnCharacterData(const char* characters, int length) {
  m_text.append(characters, static_cast<size_t>(length));
}

void CTrainingCenterReader::_Check(const void* created) {
  if (created == nullptr) SetError(IDS_ERR_OUT_OF_MEMORY);
}

void CTrainingCenterReader::OnStartElement(const char* name, const char** attributes) {
  m_text.clear();
  const int depth = ++m_depth;
  if (XmlNameIs(name, "course")) {
    if (m_courseDepth >= 0 || m_course != nullptr) {
      SetError(IDS_IMP_TCX_TAG_COURSE);
      return;
    }
    m_courseDepth = depth;
    _StartCourse();
  } else if (XmlNameIs(name, "firstsport") || XmlNameIs(name, "nextsport") || XmlNameIs(name, "running") ||
             XmlNameIs(name, "biking") || XmlNameIs(name, "other")) {
    if (m_activityDepth >= 0) {
      SetError(IDS_IMP_TCX_TAG_ACTIVITY);
      return;
    }
    m_activityDepth = depth;
    _StartActivityElement(name, attributes);
  } else if (XmlNameIs(name, "run")) {
    if (!_DirectChild(m_activityDepth, depth) || m_runDepth >= 0) {
      SetError(IDS_IMP_TCX_TAG_RUN);
      return;
    }
    m_runDepth = depth;
    _StartRun(false, attributes);
  } else if (XmlNameIs(name, "activity")) {
    if (m_runDepth >= 0 || m_courseDepth >= 0) {
      SetError(IDS_IMP_TCX_TAG_ACTIVITY);
      return;
    }
    m_runDepth = depth;
    _StartRun(true, attributes);
  } else if (XmlNameIs(name, "multisportsession")) {
    if (m_sessionDepth < 0) {
      m_sessionDepth = depth;
      m_sessionRun = nullptr;
    }
  } else if (XmlNameIs(name, "lap")) {
    if (m_course == nullptr && m_run == nullptr) {
      SetError(IDS_IMP_TCX_TAG_LAP);
      return;
    }
    m_lapDepth = depth;
    _StartLap(attributes);
  } else if (XmlNameIs(name, "track")) {
    if (m_course == nullptr && m_run == nullptr) {
      SetError(IDS_IMP_TCX_TAG_TRACK);
      return;
    }
    m_trackDepth = depth;
    m_newSegment = 1;
  } else if (XmlNameIs(name, "coursepoint")) {
    if (m_course == nullptr) {
      SetError(IDS_IMP_TCX_TAG_COURSEPOINT);
      return;
    }
    m_coursePointDepth = depth;
    m_coursePoint = m_course->AddCoursePoint();
    _Check(m_coursePoint);
  } else if (XmlNameIs(name, "trackpoint")) {
    if (!_DirectChild(m_trackDepth, depth) || m_trackpointDepth >= 0 || m_track == nullptr) {
      SetError(IDS_IMP_TCX_TAG_TRACKPOINT);
      return;
    }
    m_trackpointDepth = depth;
    m_pending = GetData().NewPoint();
    _Check(m_pending);
    m_pendingDistance = nullptr;
    m_pendingNewSegment = m_newSegment;
    m_hasTime = m_hasAltitude = m_hasPosition = false;
    m_newSegment = 0;
  } else if (XmlNameIs(name, "position")) {
    if (m_positionDepth >= 0) {
      SetError(IDS_IMP_TCX_TAG_POSITION);
      return;
    }
    m_positionDepth = depth;
    m_hasLatitude = m_hasLongitude = false;
  } else if (XmlNameIs(name, "beginposition") || XmlNameIs(name, "endposition")) {
    if (!_DirectChild(m_lapDepth, depth) || m_lap == nullptr) {
      SetError(IDS_IMP_TCX_TAG_POSITION);
      return;
    }
    (XmlNameIs(name, "beginposition") ? m_beginPositionDepth : m_endPositionDepth) = depth;
    m_hasLatitude = m_hasLongitude = false;
  } else if (XmlNameIs(name, "averageheartratebpm") || XmlNameIs(name, "maximumheartratebpm") ||
             XmlNameIs(name, "heartratebpm")) {
    m_heartRateDepth = depth;
    m_heartRateName = name;
    m_heartRateValueSeen = false;
  }
}

void CTrainingCenterReader::OnEndElement(const char* name) {
  const int depth = m_depth--;  // the depth before the decrement
  if (depth == m_heartRateDepth + 1 && m_heartRateDepth >= 0 && XmlNameIs(name, "value")) {
    // <AverageHeartRateBpm><Value>142</Value></AverageHeartRateBpm>: the
    // value stands for the element around it.
    _StoreValue(m_heartRateName.c_str(), m_heartRateDepth, m_text);
    m_heartRateValueSeen = true;
    return;
  }
  if (depth == m_heartRateDepth) {
    m_heartRateDepth = -1;
    if (m_heartRateValueSeen) return;
  }
  _StoreValue(name, depth, m_text);

  if (depth == m_courseDepth) {
    m_courseDepth = -1;
    m_course = nullptr;
    m_track = nullptr;
  } else if (depth == m_coursePointDepth) {
    m_coursePointDepth = -1;
    m_coursePoint = nullptr;
  } else if (depth == m_activityDepth) {
    m_activityDepth = -1;
  } else if (depth == m_runDepth) {
    _EndRun();
  } else if (depth == m_sessionDepth) {
    if (m_sessionRun != nullptr) m_sessionRun->multisport = 2;
    m_sessionDepth = -1;
    m_sessionRun = nullptr;
  } else if (depth == m_lapDepth) {
    _EndLap();
  } else if (depth == m_trackDepth) {
    // A course keeps its one track over several Track elements; a run keeps
    // its track until the run ends.
    m_trackDepth = -1;
  } else if (depth == m_trackpointDepth) {
    _EndTrackpoint();
  } else if (depth == m_positionDepth) {
    m_positionDepth = -1;
  } else if (depth == m_beginPositionDepth) {
    m_beginPositionDepth = -1;
  } else if (depth == m_endPositionDepth) {
    m_endPositionDepth = -1;
  }
}

void CTrainingCenterReader::_StartCourse() {
  m_course = GetData().AddCourse();
  if (m_course == nullptr) {
    SetError(IDS_ERR_OUT_OF_MEMORY);
    return;
  }
  char ident[32];
  std::snprintf(ident, sizeof ident, "%02d", m_trackNumber);
  m_track = GetData().AddTrack(ident, m_trackNumber);
  _Check(m_track);
  m_course->track = m_track;
  m_newSegment = 1;
  ++m_trackNumber;
}

void CTrainingCenterReader::_StartActivityElement(const char* name, const char** attributes) {
  const bool multisport = XmlNameIs(name, "firstsport") || XmlNameIs(name, "nextsport");
  const char* given = XmlAttribute(attributes, multisport ? "sport" : "name", true);
  if (given != nullptr && *given != '\0') {
    m_activityName = given;
  } else {
    m_activityName = multisport ? "Other" : name;
  }
  if (multisport) {
    if (m_activityName == "Running") {
      m_sport = 0;
      m_activityName = "Run";
    } else if (m_activityName == "Biking") {
      m_sport = 1;
      m_activityName = "Bike";
    } else {
      m_sport = 2;
    }
    m_activityName += " Multisport";
    m_program = 3;
    m_multisport = 1;
    return;
  }
  if (XmlNameIs(name, "running")) {
    m_sport = 0;
    m_activityName = "Run";
  } else if (XmlNameIs(name, "biking")) {
    m_sport = 1;
    m_activityName = "Bike";
  } else {
    m_sport = 2;
  }
  m_program = 0;
  m_multisport = 0;
}

void CTrainingCenterReader::_StartRun(bool secondGeneration, const char** attributes) {
  m_secondGeneration = secondGeneration;
  if (secondGeneration) {
    // The sport comes with the activity itself, mapped as the first
    // generation maps its activity elements; inside a multisport session
    // the activity is one of its legs.
    const char* given = XmlAttribute(attributes, "sport", true);
    std::string sport = given != nullptr && *given != '\0' ? given : "Other";
    const bool leg = m_activityDepth >= 0;
    if (sport == "Running") {
      m_sport = 0;
      sport = "Run";
    } else if (sport == "Biking") {
      m_sport = 1;
      sport = "Bike";
    } else {
      m_sport = 2;
    }
    m_activityName = leg ? sport + " Multisport" : sport;
    m_program = leg ? 3 : 0;
    m_multisport = leg ? 1 : 0;
  }
  m_run = GetData().AddRun();
  if (m_run == nullptr) {
    SetError(IDS_ERR_OUT_OF_MEMORY);
    return;
  }
  m_run->sport = m_sport;
  m_run->program = m_program;
  m_run->multisport = m_multisport;
  if (m_sessionDepth >= 0) m_sessionRun = m_run;
  char ident[300];
  std::snprintf(ident, sizeof ident, "%02d %s", m_trackNumber, m_activityName.c_str());
  m_track = GetData().AddTrack(ident, m_trackNumber);
  _Check(m_track);
  m_newSegment = 1;
  m_run->trackIndex = m_trackNumber;
  m_run->firstLapIndex = m_run->lastLapIndex = m_lapCounter;
  ++m_trackNumber;
}

void CTrainingCenterReader::_EndRun() {
  m_runDepth = -1;
  if (m_run != nullptr) LinkRunLaps(GetData(), *m_run);
  m_run = nullptr;
  m_track = nullptr;
  m_secondGeneration = false;
}

void CTrainingCenterReader::_StartLap(const char** attributes) {
  m_lap = GetData().AddLap();
  if (m_lap == nullptr) {
    SetError(IDS_ERR_OUT_OF_MEMORY);
    return;
  }
  m_lap->trackIndex = -1;
  m_lapValues = CLapValues();
  if (m_course != nullptr) {
    if (!m_course->AddLap(m_lap)) SetError(IDS_ERR_OUT_OF_MEMORY);
  } else {
    m_run->lastLapIndex = m_lapCounter;
  }
  ++m_lapCounter;
  if (m_course == nullptr && m_secondGeneration) {
    // The start of a second-generation lap, held as a received lap holds it.
    const char* start = XmlAttribute(attributes, "starttime", true);
    int64_t unixTime = 0;
    int unit = 0;
    int value = 0;
    if (start == nullptr) return;
    if (!ReadTime(start, unixTime) || !DeviceTimeValue(unixTime, unit, value)) {
      SetError(IDS_IMP_TCX_BAD_TIME);
      return;
    }
    _Check(m_lap->AddInteger(QUANTITY_TIME, MODIFIER_START, unit, value));
  }
}

void CTrainingCenterReader::_EndLap() {
  m_lapDepth = -1;
  if (m_lap != nullptr && m_course == nullptr && m_secondGeneration) {
    const CLapValues& v = m_lapValues;
    if (v.hasTotalTime) _Check(m_lap->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, v.totalTime));
    if (v.hasDistance) _Check(m_lap->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, v.distance));
    if (v.hasCalories) _Check(m_lap->AddInteger(QUANTITY_ENERGY, MODIFIER_SUM, UNIT_CALORIES, v.calories));
    if (v.hasAverageHeartRate) {
      _Check(m_lap->AddInteger(QUANTITY_HEARTRATE, MODIFIER_AVERAGE, UNIT_BPM, v.averageHeartRate));
    }
    if (v.hasMaximumHeartRate) {
      _Check(m_lap->AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, v.maximumHeartRate));
    }
    if (v.hasMaximumSpeed) _Check(m_lap->AddFloat(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, v.maximumSpeed));
    if (v.hasCadence) _Check(m_lap->AddInteger(QUANTITY_CADENCE, MODIFIER_AVERAGE, UNIT_RPM, v.cadence));
  }
  m_lap = nullptr;
}

void CTrainingCenterReader::_EndTrackpoint() {
  m_trackpointDepth = -1;
  if (m_pending != nullptr && m_track != nullptr && m_hasTime && m_hasPosition) {
    if (!m_track->AppendPoint(m_pending, m_pendingNewSegment)) SetError(IDS_ERR_OUT_OF_MEMORY);
  }
  // A point that is not kept stays outside every track and goes with the set.
  m_pending = nullptr;
  m_pendingDistance = nullptr;
}

void CTrainingCenterReader::_StoreValue(const char* name, int depth, const std::string& text) {
  if (m_lap != nullptr && _DirectChild(m_lapDepth, depth)) {
    _StoreLapValue(name, text);
  } else if (m_pending != nullptr && _DirectChild(m_trackpointDepth, depth)) {
    _StorePointValue(name, text);
  } else if (m_coursePoint != nullptr && _DirectChild(m_coursePointDepth, depth)) {
    _StoreCoursePointValue(name, text);
  } else if (_DirectChild(m_positionDepth, depth) || _DirectChild(m_beginPositionDepth, depth) ||
             _DirectChild(m_endPositionDepth, depth)) {
    if (XmlNameIs(name, "altitudemeters") && m_pending != nullptr &&
        _DirectChild(m_trackpointDepth, m_positionDepth)) {
      _StorePointValue(name, text);
    } else {
      _StoreCoordinate(name, text);
    }
  } else if (m_course != nullptr && _DirectChild(m_courseDepth, depth) && XmlNameIs(name, "name")) {
    m_course->name = text;
    if (m_course->track != nullptr) m_course->track->ident = m_course->track->ident + " " + text;
  }
}

void CTrainingCenterReader::_StoreLapValue(const char* name, const std::string& text) {
  // First-generation laps and course laps keep the modifiers they always had;
  // second-generation laps gather their values for the received order.
  const bool received = m_course == nullptr && m_secondGeneration;
  CLapValues& v = m_lapValues;
  float real = 0;
  int whole = 0;
  if (XmlNameIs(name, "totaltimeseconds")) {
    if (!ScanFloat(text, real)) return SetError(IDS_IMP_TCX_BAD_TIME);
    if (received) {
      v.hasTotalTime = true;
      v.totalTime = real;
    } else {
      _Check(m_lap->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, real));
    }
  } else if (XmlNameIs(name, "distancemeters")) {
    if (!ScanFloat(text, real)) return SetError(IDS_IMP_TCX_BAD_DISTANCE);
    if (received) {
      v.hasDistance = true;
      v.distance = real;
    } else {
      _Check(m_lap->AddFloat(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, real));
    }
  } else if (XmlNameIs(name, "maximumspeed")) {
    if (!ScanFloat(text, real)) return SetError(IDS_IMP_TCX_BAD_SPEED);
    if (received) {
      v.hasMaximumSpeed = true;
      v.maximumSpeed = real;
    } else {
      _Check(m_lap->AddFloat(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, real));
    }
  } else if (XmlNameIs(name, "calories")) {
    if (!ScanInt(text, whole)) return SetError(IDS_IMP_TCX_BAD_CALORIES);
    if (received) {
      v.hasCalories = true;
      v.calories = whole;
    } else {
      _Check(m_lap->AddInteger(QUANTITY_ENERGY, MODIFIER_INSTANT, UNIT_CALORIES, whole));
    }
  } else if (XmlNameIs(name, "averageheartratebpm") || XmlNameIs(name, "maximumheartratebpm")) {
    if (!ScanInt(text, whole)) return SetError(IDS_IMP_TCX_BAD_HEARTRATE);
    const bool average = XmlNameIs(name, "averageheartratebpm");
    if (received) {
      (average ? v.hasAverageHeartRate : v.hasMaximumHeartRate) = true;
      (average ? v.averageHeartRate : v.maximumHeartRate) = whole;
    } else {
      _Check(
          m_lap->AddInteger(QUANTITY_HEARTRATE, average ? MODIFIER_AVERAGE : MODIFIER_MAX, UNIT_BPM, whole));
    }
  } else if (XmlNameIs(name, "cadence")) {
    if (!ScanInt(text, whole)) return SetError(IDS_IMP_TCX_BAD_CADENCE);
    if (received) {
      v.hasCadence = true;
      v.cadence = whole;
    } else {
      _Check(m_lap->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, whole));
    }
  }
}

void CTrainingCenterReader::_StorePointValue(const char* name, const std::string& text) {
  const bool received = m_secondGeneration && m_course == nullptr;
  float real = 0;
  int whole = 0;
  if (XmlNameIs(name, "time")) {
    int64_t unixTime = 0;
    int unit = UNIT_UNIXTIME;
    int value = 0;
    const bool ok = ReadTime(text, unixTime) &&
                    (received ? DeviceTimeValue(unixTime, unit, value) : unixTime <= INT32_MAX);
    if (!ok) return SetError(IDS_IMP_TCX_BAD_TIME);
    if (!received) value = static_cast<int>(unixTime);
    _Check(m_pending->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, unit, value));
    m_hasTime = true;
  } else if (XmlNameIs(name, "altitudemeters")) {
    if (!ScanFloat(text, real) || !(real < 1e24f)) return SetError(IDS_IMP_TCX_BAD_ALTITUDE);
    _Check(m_pending->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, real));
    m_hasAltitude = true;
  } else if (XmlNameIs(name, "distancemeters")) {
    if (!ScanFloat(text, real) || !(real < 1e24f)) return SetError(IDS_IMP_TCX_BAD_DISTANCE);
    if (received) {
      // A receiver's distance is a running sum, from GPS unless a sensor says otherwise.
      m_pendingDistance = m_pending->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, real);
      _Check(m_pendingDistance);
      if (m_pendingDistance != nullptr) m_pendingDistance->SetSource(SOURCE_GPS);
    } else {
      _Check(m_pending->AddFloat(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, real));
    }
  } else if (XmlNameIs(name, "heartratebpm")) {
    if (!ScanInt(text, whole)) return SetError(IDS_IMP_TCX_BAD_HEARTRATE);
    _Check(m_pending->AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, whole));
  } else if (XmlNameIs(name, "cadence")) {
    if (!ScanInt(text, whole)) return SetError(IDS_IMP_TCX_BAD_CADENCE);
    _Check(m_pending->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, whole));
  } else if (XmlNameIs(name, "sensorstate")) {
    if (received && m_pendingDistance != nullptr && text.find("Present") != std::string::npos) {
      m_pendingDistance->SetSource(SOURCE_WHEEL);
    }
  }
}

void CTrainingCenterReader::_StoreCoursePointValue(const char* name, const std::string& text) {
  float real = 0;
  if (XmlNameIs(name, "time")) {
    int64_t unixTime = 0;
    if (!ReadTime(text, unixTime) || unixTime > INT32_MAX) return SetError(IDS_IMP_TCX_BAD_TIME);
    _Check(m_coursePoint->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME,
                                     static_cast<int>(unixTime)));
  } else if (XmlNameIs(name, "name")) {
    m_coursePoint->name = text;
  } else if (XmlNameIs(name, "pointtype")) {
    m_coursePoint->pointType = text;
  } else if (XmlNameIs(name, "altitudemeters")) {
    if (!ScanFloat(text, real) || !(real < 1e24f)) return SetError(IDS_IMP_TCX_BAD_ALTITUDE);
    _Check(m_coursePoint->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, real));
  }
}

void CTrainingCenterReader::_StoreCoordinate(const char* name, const std::string& text) {
  const bool latitude = XmlNameIs(name, "latitudedegrees");
  if (!latitude && !XmlNameIs(name, "longitudedegrees")) return;
  double value = 0;
  if (!ScanDouble(text, value)) {
    SetError(latitude ? IDS_IMP_TCX_BAD_LATITUDE : IDS_IMP_TCX_BAD_LONGITUDE);
    (latitude ? m_hasLatitude : m_hasLongitude) = false;
    return;
  }
  (latitude ? m_latitude : m_longitude) = value;
  (latitude ? m_hasLatitude : m_hasLongitude) = true;
  if (m_hasLatitude && m_hasLongitude) _StorePositionPair();
}

void CTrainingCenterReader::_StorePositionPair() {
  m_hasLatitude = m_hasLongitude = false;
  const float longitude = static_cast<float>(m_longitude);
  const float latitude = static_cast<float>(m_latitude);
  if (m_beginPositionDepth >= 0 || m_endPositionDepth >= 0) {
    if (m_lap == nullptr) return;
    const int modifier = m_beginPositionDepth >= 0 ? MODIFIER_START : MODIFIER_END;
    _Check(m_lap->AddFloatPair(QUANTITY_POSITION, modifier, UNIT_DEGREES, longitude, latitude));
  } else if (m_pending != nullptr && _DirectChild(m_trackpointDepth, m_positionDepth)) {
    if (m_secondGeneration && m_course == nullptr) {
      // A received point holds its position in semicircles.
      _Check(m_pending->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES,
                                   Semicircles(m_longitude), Semicircles(m_latitude)));
    } else {
      _Check(m_pending->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, longitude, latitude));
    }
    m_hasPosition = true;
  } else if (m_coursePoint != nullptr && _DirectChild(m_coursePointDepth, m_positionDepth)) {
    _Check(
        m_coursePoint->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, longitude, latitude));
  }
}
