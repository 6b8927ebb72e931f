#include "app/DlgFileAssociations.h"

#include <vector>

#include "QVInstall.h"
#include "platform/HtmlView.h"

void CDlgFileAssociations::Show(CHtmlView& view, const std::string& exePath) {
  // The .kml box keeps its state but stays hidden, as the dialog's template has it.
  const std::vector<SOverlayCheck> checks = {
      {"GPS Exchange Format (.gpx)", QVInstall_IsFileTypeAssociated(exePath.c_str(), 0) != 0, false},
      {"Google Earth (.kml)", QVInstall_IsFileTypeAssociated(exePath.c_str(), 1) != 0, true},
  };
  view.ShowChecks("File Type Associations",
                  "Select the file type(s) that will be associated with Tavelnor Agent.", checks,
                  [exePath](bool ok, const std::vector<bool>& checked) {
                    if (!ok) return;
                    for (int type = 0; type < 2; ++type) {
                      const bool on = static_cast<size_t>(type) < checked.size() && checked[type];
                      QVInstall_SetFileTypeAssociation(exePath.c_str(), type, on ? 1 : 0);
                    }
                  });
}
