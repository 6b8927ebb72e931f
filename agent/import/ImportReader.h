// The choice of a reader for an activity file, by the extension of its name
// alone: the contents are never inspected to choose.
#pragma once

#include <memory>
#include <string>

#include "import/XmlFileReader.h"

// The text after the last "." of path (empty pieces between full stops are
// skipped), as written; a path without a full stop is its own extension.
std::string GetFileExtension(const std::string& path);
// The same in upper case: what chooses the reader.
std::string GetImportExtension(const std::string& path);

// A new reader for the file's extension: GPX and QVGPX for GPX files; HST,
// CRS, TCX, QVHST and QVCRS for training-centre files; KML for KML files.
// nullptr for any other extension.
std::unique_ptr<CXmlFileReader> CreateImportReader(const std::string& path);
