// Replacing a small file so that readers, and a crash, see either the old
// contents or the new ones, never a mixture.
#pragma once

#include <string>
#include <string_view>

// Writes content to a temporary file beside path, flushes it to the disk and
// renames it over path. False, with path untouched and no temporary file
// left, when any step fails.
bool ReplaceFileContents(const std::string& path, std::string_view content);
