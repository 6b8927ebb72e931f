// KML files (2.0 to 2.3): every "Placemark" becomes a track named after the
// placemark (or "Imported NN"), the tuples of its "LineString" coordinates
// become points with position and, when given, elevation, and each
// "gx:Track" (several in a "gx:MultiTrack") becomes a segment of points with
// time, position and elevation. Points, polygons, styles, folders and
// overlays are skipped.
#pragma once

#include <cstdint>
#include <vector>

#include "import/XmlFileReader.h"

class CKmlReader : public CXmlFileReader {
protected:
  void SetHandlers() override;
  void OnStartElement(const char* name, const char** attributes) override;
  void OnEndElement(const char* name) override;
  void OnCharacterData(const char* characters, int length) override;

private:
  struct CTimedCoord {
    float longitude = 0;
    float latitude = 0;
    float altitude = 0;
    bool hasAltitude = false;
    bool valid = false;  // false for a coordinate that did not read: it keeps its place, gives no point
  };

  void _ReadCoordinates();
  // One tuple "lon,lat[,alt]" as a point; false when it has fewer than two numbers.
  bool _AddTuple(std::string_view tuple);
  // The points of the gx:Track that ends: its times and coordinates paired in order.
  void _EndTimedTrack();
  bool _AddPoint(float longitude, float latitude, const float* altitude, const int64_t* time);

  CGpsDataTrack* m_track = nullptr;
  CGpsDataTrackPoint* m_point = nullptr;
  int m_newSegment = 1;
  int m_trackNumber = 1;
  int m_depth = 0;
  int m_placemarkDepth = -1;
  int m_nameDepth = -1;
  int m_lineStringDepth = -1;
  int m_coordinatesDepth = -1;
  int m_timedTrackDepth = -1;
  // The gx:Track being read: its <when> times (0 for one that does not
  // read) and its <gx:coord> coordinates, paired when it ends.
  std::vector<int64_t> m_times;
  std::vector<CTimedCoord> m_coords;
};
