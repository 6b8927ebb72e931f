#include "import/KmlReader.h"

#include <cstdio>
#include <string_view>

#include "data/GpsUnits.h"
#include "import/XmlValueScan.h"
#include "resources/StringIds.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The next piece of text between white space; empty at the end.
std::string_view NextPiece(std::string_view& text) {
  size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  size_t end = start;
  while (end < text.size() && !IsSpace(text[end])) ++end;
  const std::string_view piece = text.substr(start, end - start);
  text.remove_prefix(end);
  return piece;
}

// Up to three numbers of a "%f,%f,%f" scan; how many were read.
int ScanTuple(std::string_view tuple, float values[3]) {
  int count = 0;
  while (count < 3) {
    // The number ends at the next comma; the scan reads what it can of it.
    const size_t comma = tuple.find(',');
    if (!ScanFloat(tuple.substr(0, comma), values[count])) break;
    ++count;
    if (comma == std::string_view::npos) break;
    tuple.remove_prefix(comma + 1);
  }
  return count;
}

}  // namespace

void CKmlReader::SetHandlers() {
  m_track = nullptr;
  m_point = nullptr;
  m_newSegment = 1;
  m_trackNumber = 1;
  m_depth = 0;
  m_placemarkDepth = m_nameDepth = m_lineStringDepth = m_coordinatesDepth = m_timedTrackDepth = -1;
  m_times.clear();
  m_coords.clear();
}

void CKmlReader::OnCharacterData(const char* characters, int length) {
  m_text.append(characters, static_cast<size_t>(length));
}

void CKmlReader::OnStartElement(const char* qualifiedName, const char**) {
  m_text.clear();
  const int depth = ++m_depth;
  const char* name = XmlLocalName(qualifiedName);
  const bool inPlacemark = m_placemarkDepth >= 0;
  const bool inner = m_nameDepth >= 0 || m_lineStringDepth >= 0 || m_coordinatesDepth >= 0;
  if (XmlNameIs(name, "placemark")) {
    if (inPlacemark || inner) {
      SetError(IDS_IMP_KML_TAG_PLACEMARK);
      return;
    }
    m_placemarkDepth = depth;
    char ident[32];
    std::snprintf(ident, sizeof ident, "Imported %02d", m_trackNumber);
    m_track = GetData().AddTrack(ident, m_trackNumber);
    if (m_track == nullptr) {
      SetError(IDS_ERR_OUT_OF_MEMORY);
      return;
    }
    ++m_trackNumber;
  } else if (XmlNameIs(name, "name")) {
    if (inPlacemark && !inner && depth == m_placemarkDepth + 1) m_nameDepth = depth;
  } else if (XmlNameIs(name, "linestring")) {
    if (!inPlacemark || inner) {
      SetError(IDS_IMP_KML_TAG_LINESTRING);
      return;
    }
    m_lineStringDepth = depth;
    m_newSegment = 1;
  } else if (XmlNameIs(name, "coordinates")) {
    // Coordinates outside a path (points, polygons, overlays) are not part
    // of a track and are passed over.
    if (m_lineStringDepth < 0) return;
    if (!inPlacemark || m_nameDepth >= 0 || m_coordinatesDepth >= 0) {
      SetError(IDS_IMP_KML_TAG_COORDINATES);
      return;
    }
    m_coordinatesDepth = depth;
  } else if (XmlNameIs(name, "track")) {
    if (inPlacemark && !inner && m_timedTrackDepth < 0) {
      m_timedTrackDepth = depth;
      m_times.clear();
      m_coords.clear();
    }
  }
}

void CKmlReader::OnEndElement(const char* qualifiedName) {
  const int depth = m_depth;
  const char* name = XmlLocalName(qualifiedName);
  if (depth == m_nameDepth) {
    if (m_track != nullptr) m_track->ident = std::string(Trim(m_text));
    m_nameDepth = -1;
  } else if (depth == m_coordinatesDepth) {
    if (m_track != nullptr) _ReadCoordinates();
    m_coordinatesDepth = -1;
  } else if (depth == m_lineStringDepth) {
    m_lineStringDepth = -1;
  } else if (depth == m_timedTrackDepth) {
    if (m_track != nullptr) _EndTimedTrack();
    m_timedTrackDepth = -1;
  } else if (depth == m_placemarkDepth) {
    m_placemarkDepth = -1;
  } else if (m_timedTrackDepth >= 0 && depth == m_timedTrackDepth + 1) {
    if (XmlNameIs(name, "when")) {
      int64_t time = 0;
      if (!ParseXmlTime(m_text, EZonelessTime::UtcAtEnd, time) || time <= 0 || time > INT32_MAX) time = 0;
      m_times.push_back(time);
    } else if (XmlNameIs(name, "coord")) {
      std::string_view text = m_text;
      CTimedCoord coord;
      float* fields[3] = {&coord.longitude, &coord.latitude, &coord.altitude};
      int count = 0;
      for (std::string_view piece = NextPiece(text); !piece.empty() && count < 3; piece = NextPiece(text)) {
        if (!ScanFloat(piece, *fields[count])) break;
        ++count;
      }
      if (count < 2) SetError(IDS_IMP_KML_BAD_COORDINATES);
      coord.valid = count >= 2;
      coord.hasAltitude = count == 3;
      m_coords.push_back(coord);
    }
  }
  --m_depth;
}

void CKmlReader::_ReadCoordinates() {
  std::string_view text = m_text;
  for (std::string_view piece = NextPiece(text); !piece.empty(); piece = NextPiece(text)) {
    if (!_AddTuple(piece)) return;
  }
}

bool CKmlReader::_AddTuple(std::string_view tuple) {
  float values[3] = {0, 0, 0};
  const int count = ScanTuple(tuple, values);
  if (count < 2) {
    SetError(IDS_IMP_KML_BAD_COORDINATES);
    return false;
  }
  return _AddPoint(values[0], values[1], count == 3 ? &values[2] : nullptr, nullptr);
}

void CKmlReader::_EndTimedTrack() {
  m_newSegment = 1;
  for (size_t i = 0; i < m_coords.size(); ++i) {
    const CTimedCoord& coord = m_coords[i];
    if (!coord.valid) continue;
    const int64_t* time = i < m_times.size() && m_times[i] > 0 ? &m_times[i] : nullptr;
    if (!_AddPoint(coord.longitude, coord.latitude, coord.hasAltitude ? &coord.altitude : nullptr, time))
      break;
  }
  m_times.clear();
  m_coords.clear();
  m_times.shrink_to_fit();
  m_coords.shrink_to_fit();
}

bool CKmlReader::_AddPoint(float longitude, float latitude, const float* altitude, const int64_t* time) {
  m_point = m_track->AddPoint(m_newSegment);
  m_newSegment = 0;
  if (m_point == nullptr ||
      (time != nullptr && m_point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME,
                                              static_cast<int>(*time)) == nullptr) ||
      m_point->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, longitude, latitude) ==
          nullptr ||
      (altitude != nullptr &&
       m_point->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, *altitude) == nullptr)) {
    SetError(IDS_ERR_OUT_OF_MEMORY);
    return false;
  }
  return true;
}
