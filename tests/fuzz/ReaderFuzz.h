// The body shared by the import readers' fuzz targets: any input, read in
// the reader's own chunks and in small ones, must give the same data and the
// same first error, and every record must be reachable afterwards.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "import/ImportReader.h"

inline std::string FuzzDigest(const CXmlFileReader& reader) {
  const CGpsDataSet& data = reader.GetData();
  std::string digest = std::to_string(static_cast<int>(reader.GetFailure())) + ":" +
                       std::to_string(reader.GetErrorId()) + "@" + std::to_string(reader.GetErrorLine()) +
                       "/" + std::to_string(reader.GetXmlErrorLine());
  for (const CGpsDataTrack* track : data.GetTracks()) {
    digest += "|" + track->ident + "#" + std::to_string(track->index);
    for (const CGpsDataTrackPoint* point : track->GetPoints()) {
      digest += ";" + point->GetId();
      for (const CGpsDataValue* value : point->GetValues()) digest += "," + value->Format(value->GetUnit());
    }
    for (const CGpsDataSegment* segment : track->GetSegments()) {
      if (segment->first != nullptr) digest += "[" + segment->first->GetId() + ".." + segment->last->GetId();
    }
  }
  for (const CGpsDataLap* lap : data.GetLaps()) digest += "|lap " + lap->firstId + ".." + lap->lastId;
  for (const CGpsDataRun* run : data.GetRuns()) digest += "|run " + std::to_string(run->trackIndex);
  for (const CGpsDataCourse* course : data.GetCourses()) {
    digest += "|course " + course->name + std::to_string(course->GetLaps().size());
    for (const CGpsDataCoursePoint* point : course->GetPoints()) digest += "," + point->name;
  }
  return digest;
}

inline int FuzzImportReader(const char* fileName, const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the small chunk size.
  const size_t smallChunk = 1 + data[0] % 97;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::unique_ptr<CXmlFileReader> whole = CreateImportReader(fileName);
  std::unique_ptr<CXmlFileReader> pieces = CreateImportReader(fileName);
  if (!whole || !pieces) std::abort();
  whole->ParseText(text);
  pieces->ParseSource(XmlTextSource(text), smallChunk);
  if (FuzzDigest(*whole) != FuzzDigest(*pieces)) std::abort();
  return 0;
}
