#include "app/ImportBrowse.h"

#include <string>
#include <string_view>

namespace {

// Label and pattern pairs as the chooser lists them.
constexpr std::string_view kFilter =
    "All Files (*.*)|*.*|Tavelnor GPS Exchange (*.qvgpx)|*.qvgpx|Tavelnor Course Database (*.qvcrs)|*.crs|"
    "Tavelnor History Database (*.hst)|*.hst|GPS Exchange (*.gpx)|*.gpx|Garmin Course Database (*.crs)|*.crs|"
    "Garmin History Database (*.hst)|*.hst|Google Earth (*.kml)|*.kml|XML Files (*.xml)|*.xml||";

}  // namespace

std::vector<SFileFilter> ImportFileFilters() {
  std::vector<SFileFilter> filters;
  std::string_view rest = kFilter;
  while (true) {
    const size_t labelEnd = rest.find('|');
    if (labelEnd == std::string_view::npos || labelEnd == 0) break;
    const size_t patternEnd = rest.find('|', labelEnd + 1);
    if (patternEnd == std::string_view::npos) break;
    filters.push_back({std::string(rest.substr(0, labelEnd)),
                       std::string(rest.substr(labelEnd + 1, patternEnd - labelEnd - 1))});
    rest = rest.substr(patternEnd + 1);
  }
  return filters;
}

void BrowseImportFile(CHtmlView& view) {
  std::string initial;
  view.GetValue("EditFilename", initial);
  view.ShowFileChooser(initial, ImportFileFilters(), [&view](bool ok, const std::string& path) {
    if (ok) view.SetValue("EditFilename", path);
  });
}
