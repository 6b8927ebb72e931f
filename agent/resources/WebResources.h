// The pages, style sheet, images and scripts of the agent's window, compiled
// into the program from agent/resources/web.
#pragma once

#include <cstddef>
#include <string_view>

struct SWebResource {
  const char* type;  // "HTML", "CSS", "IMG", "JS"
  unsigned number;
  const char* mimeType;
  const unsigned char* data;
  size_t size;
};

// Null when there is no such resource.
const SWebResource* FindWebResource(std::string_view type, unsigned number);
