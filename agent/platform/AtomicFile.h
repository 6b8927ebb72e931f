// Replacing a small file so that readers, and a crash, see either the old
// contents or the new ones, never a mixture.
#pragma once

#include <string>
#include <string_view>

// Writes content to a temporary file beside path, flushes it to the disk and
// renames it over path. False, with path untouched and no temporary file
// left, when any step fails.
bool ReplaceFileContents(const std::string& path, std::string_view content);

// Creates path as a new empty file. False, with error set to the errno value
// (EEXIST when a file of that name is there already), when it cannot.
bool CreateNewFile(const std::string& path, int* error);

// Renames from to to in one step unless to exists. False, with from left as
// it is and error set (EEXIST when to exists), otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to, int* error);
