// The agent's string table: every user-visible text, page fragment, setting
// name, file and folder name, addressed by number.
#pragma once

#include <string>

// The text of string `id`, or nullptr when the table has no such string.
const char* FindString(unsigned id);

// The text of string `id`; empty when the table has no such string.
std::string LoadString(unsigned id);
