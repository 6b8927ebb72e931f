// GPX files (1.0 and 1.1): every "trk" becomes a track named "Imported NN",
// every "trkseg" a segment, every "trkpt" a point with its position and,
// when given, its elevation, time, and the heart rate and cadence of the
// common track-point extension. Metadata, waypoints and routes are skipped.
#pragma once

#include "import/XmlFileReader.h"

class CGpxReader : public CXmlFileReader {
protected:
  void SetHandlers() override;
  void OnStartElement(const char* name, const char** attributes) override;
  void OnEndElement(const char* name) override;
  void OnCharacterData(const char* characters, int length) override;

private:
  void _CreateTrack();
  void _CreatePoint(const char** attributes);
  void _StorePointValue(const char* name);
  void _StoreExtensionValue(const char* name);
  // The error of a misplaced structural element; false for other names.
  bool _CheckStructural(const char* name);

  CGpsDataTrack* m_track = nullptr;
  CGpsDataTrackPoint* m_point = nullptr;
  int m_newSegment = 1;
  int m_trackNumber = 1;
  int m_depth = 0;
  bool m_inGpx = false;
  bool m_inTrk = false;
  bool m_inTrkseg = false;
  bool m_inTrkpt = false;
  bool m_inEle = false;
  bool m_inTime = false;
  bool m_inCourse = false;
  bool m_inSpeed = false;
  // The track-point extension: <extensions> at depth 4, its
  // <...:TrackPointExtension> at depth 5.
  bool m_inExtensions = false;
  bool m_inPointExtension = false;
};
