#include "import/ImportReader.h"

#include "import/GpxReader.h"
#include "import/KmlReader.h"
#include "import/TrainingCenterReader.h"

std::string GetFileExtension(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && path[end - 1] == '.') --end;
  const size_t dot = path.rfind('.', end == 0 ? 0 : end - 1);
  const size_t start = dot == std::string::npos || end == 0 ? 0 : dot + 1;
  return path.substr(start, end - start);
}

std::string GetImportExtension(const std::string& path) {
  std::string extension = GetFileExtension(path);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return extension;
}

std::unique_ptr<CXmlFileReader> CreateImportReader(const std::string& path) {
  const std::string extension = GetImportExtension(path);
  if (extension == "QVGPX" || extension == "GPX") return std::make_unique<CGpxReader>();
  if (extension == "QVHST" || extension == "QVCRS" || extension == "HST" || extension == "CRS" ||
      extension == "TCX") {
    return std::make_unique<CTrainingCenterReader>();
  }
  if (extension == "KML") return std::make_unique<CKmlReader>();
  return nullptr;
}
