#include "import/GpxReader.h"

#include <cstdio>

#include "data/GpsUnits.h"
#include "import/XmlValueScan.h"
#include "resources/StringIds.h"

namespace {

bool AllStructural(bool a, bool b, bool c, bool d) {
  return a && b && c && d;
}

}  // namespace

void CGpxReader::SetHandlers() {
  m_track = nullptr;
  m_point = nullptr;
  m_newSegment = 1;
  m_trackNumber = 1;
  m_depth = 0;
  m_inGpx = m_inTrk = m_inTrkseg = m_inTrkpt = false;
  m_inEle = m_inTime = m_inCourse = m_inSpeed = false;
  m_inExtensions = m_inPointExtension = false;
}

void CGpxReader::OnCharacterData(const char* characters, int length) {
  m_text.append(characters, static_cast<size_t>(length));
}

bool CGpxReader::_CheckStructural(const char* name) {
  if (XmlNameIs(name, "gpx")) {
    SetError(IDS_IMP_GPX_TAG_GPX);
  } else if (XmlNameIs(name, "trk")) {
    SetError(IDS_IMP_GPX_TAG_TRK);
  } else if (XmlNameIs(name, "trkseg")) {
    SetError(IDS_IMP_GPX_TAG_TRKSEG);
  } else if (XmlNameIs(name, "trkpt")) {
    SetError(IDS_IMP_GPX_TAG_TRKPT);
  } else {
    return false;
  }
  return true;
}

void CGpxReader::OnStartElement(const char* name, const char** attributes) {
  m_text.clear();
  const int depth = m_depth++;
  const bool inPoint = AllStructural(m_inGpx, m_inTrk, m_inTrkseg, m_inTrkpt);
  switch (depth) {
    case 0:
      if (XmlNameIs(name, "gpx")) {
        m_inGpx = true;
        return;
      }
      break;
    case 1:
      if (m_inGpx && XmlNameIs(name, "trk")) {
        m_inTrk = true;
        _CreateTrack();
        return;
      }
      break;
    case 2:
      if (m_inGpx && m_inTrk && XmlNameIs(name, "trkseg")) {
        m_inTrkseg = true;
        m_newSegment = 1;
        return;
      }
      break;
    case 3:
      if (m_inGpx && m_inTrk && m_inTrkseg && XmlNameIs(name, "trkpt")) {
        m_inTrkpt = true;
        _CreatePoint(attributes);
        return;
      }
      break;
    case 4:
      if (inPoint) {
        if (XmlNameIs(name, "ele")) {
          m_inEle = true;
          return;
        }
        if (XmlNameIs(name, "time")) {
          m_inTime = true;
          return;
        }
        if (XmlNameIs(name, "course")) {
          m_inCourse = true;
          return;
        }
        if (XmlNameIs(name, "speed")) {
          m_inSpeed = true;
          return;
        }
        if (XmlNameIs(name, "extensions")) m_inExtensions = true;
      }
      break;
    case 5:
      if (inPoint && m_inExtensions && XmlNameIs(XmlLocalName(name), "trackpointextension")) {
        m_inPointExtension = true;
      }
      return;
    default:
      return;  // deeper elements are never structural
  }
  _CheckStructural(name);
}

void CGpxReader::OnEndElement(const char* name) {
  const int depth = m_depth--;  // the depth before the decrement
  switch (depth) {
    case 1:
      if (m_inGpx && XmlNameIs(name, "gpx")) {
        m_inGpx = false;
        return;
      }
      break;
    case 2:
      if (m_inTrk && XmlNameIs(name, "trk")) {
        m_inTrk = false;
        return;
      }
      break;
    case 3:
      if (m_inTrkseg && XmlNameIs(name, "trkseg")) {
        m_inTrkseg = false;
        return;
      }
      break;
    case 4:
      if (m_inTrkpt && XmlNameIs(name, "trkpt")) {
        m_inTrkpt = false;
        return;
      }
      break;
    case 5:
      _StorePointValue(name);
      if (XmlNameIs(name, "ele")) {
        m_inEle = false;
      } else if (XmlNameIs(name, "time")) {
        m_inTime = false;
      } else if (XmlNameIs(name, "course")) {
        m_inCourse = false;
      } else if (XmlNameIs(name, "speed")) {
        m_inSpeed = false;
      } else if (XmlNameIs(name, "extensions")) {
        m_inExtensions = false;
      }
      break;
    case 6:
      if (m_inPointExtension && XmlNameIs(XmlLocalName(name), "trackpointextension")) {
        m_inPointExtension = false;
      }
      return;
    case 7:
      if (m_inPointExtension) _StoreExtensionValue(name);
      return;
    default:
      return;
  }
  _CheckStructural(name);
}

void CGpxReader::_CreateTrack() {
  char ident[32];
  std::snprintf(ident, sizeof ident, "Imported %02d", m_trackNumber);
  m_track = GetData().AddTrack(ident, m_trackNumber);
  if (m_track == nullptr) {
    SetError(IDS_ERR_OUT_OF_MEMORY);
    return;
  }
  ++m_trackNumber;
}

void CGpxReader::_CreatePoint(const char** attributes) {
  m_point = nullptr;
  const char* lat = XmlAttribute(attributes, "lat");
  const char* lon = XmlAttribute(attributes, "lon");
  if (lat == nullptr || lon == nullptr || *lat == '\0' || *lon == '\0') {
    SetError(IDS_IMP_GPX_BAD_POSITION);
    return;
  }
  float latitude = 0;
  float longitude = 0;
  if (!ScanFloat(lat, latitude) || !ScanFloat(lon, longitude)) {
    m_newSegment = 0;
    return;
  }
  // A track that could not be created has no points either.
  if (m_track == nullptr) return;
  m_point = m_track->AddPoint(m_newSegment);
  if (m_point == nullptr || m_point->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES,
                                                  longitude, latitude) == nullptr) {
    SetError(IDS_ERR_OUT_OF_MEMORY);
  }
  m_newSegment = 0;
}

void CGpxReader::_StorePointValue(const char* name) {
  if (m_point == nullptr || !AllStructural(m_inGpx, m_inTrk, m_inTrkseg, m_inTrkpt)) return;
  if (m_inEle && XmlNameIs(name, "ele")) {
    float elevation = 0;
    if (!ScanFloat(m_text, elevation) || !(elevation < 1e24f)) {
      SetError(IDS_IMP_GPX_BAD_ELEVATION);
    } else if (m_point->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, elevation) == nullptr) {
      SetError(IDS_ERR_OUT_OF_MEMORY);
    }
  } else if (m_inTime && XmlNameIs(name, "time")) {
    int64_t time = 0;
    // A GPX time without a zone is UTC by the format's own definition.
    if (!ParseXmlTime(m_text, EZonelessTime::UtcAtEnd, time) || time <= 0 || time > INT32_MAX) {
      SetError(IDS_IMP_GPX_BAD_TIME);
    } else if (m_point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, static_cast<int>(time)) ==
               nullptr) {
      SetError(IDS_ERR_OUT_OF_MEMORY);
    }
  }
}

void CGpxReader::_StoreExtensionValue(const char* name) {
  if (m_point == nullptr || !AllStructural(m_inGpx, m_inTrk, m_inTrkseg, m_inTrkpt)) return;
  const char* local = XmlLocalName(name);
  int value = 0;
  // Stored as a received point holds them; values a receiver would not
  // deliver (no reading) are left out without an error.
  if (XmlNameIs(local, "hr")) {
    if (ScanInt(m_text, value) && value > 0 && value < 255 &&
        m_point->AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, value) == nullptr) {
      SetError(IDS_ERR_OUT_OF_MEMORY);
    }
  } else if (XmlNameIs(local, "cad")) {
    if (ScanInt(m_text, value) && value >= 0 && value < 255 &&
        m_point->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, value) == nullptr) {
      SetError(IDS_ERR_OUT_OF_MEMORY);
    }
  }
}
