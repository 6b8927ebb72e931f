// The file-association dialog of the preferences page: shows whether the
// agent handles .gpx and .kml files and applies the user's choice through the
// association library.
#pragma once

#include <string>

class CHtmlView;

class CDlgFileAssociations {
public:
  // Opens the dialog for the agent at exePath; OK applies both types, Cancel nothing.
  static void Show(CHtmlView& view, const std::string& exePath);
};
