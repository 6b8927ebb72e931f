// "Browse..." on the import page: the file chooser, starting from the name in
// "EditFilename", puts the chosen file's full path back into that field.
#pragma once

#include <vector>

#include "platform/HtmlView.h"

// The chooser's file types, the first one selected.
std::vector<SFileFilter> ImportFileFilters();
void BrowseImportFile(CHtmlView& view);
