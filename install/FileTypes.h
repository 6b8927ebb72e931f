// The two file types the agent can be the handler of.
#pragma once

#include <cstddef>

struct SFileType {
  const char* extension;    // registry key of the extension
  const char* progId;       // the agent's file type
  const char* description;  // the file type's default value
  const char* mimeType;     // the desktop's name of the type
};

constexpr SFileType kFileTypes[] = {
    {".gpx", "Tavelnor Agent.gpxfile", "GPS Exchange Format", "application/gpx+xml"},
    {".kml", "Tavelnor Agent.kmlfile", "Google Earth KML", "application/vnd.google-earth.kml+xml"},
};
constexpr int kFileTypeCount = static_cast<int>(sizeof kFileTypes / sizeof kFileTypes[0]);

// Null for a type number outside the table.
inline const SFileType* FindFileType(int type) {
  return type >= 0 && type < kFileTypeCount ? &kFileTypes[type] : nullptr;
}

// The open verb's caption and the key of the verb left on another program's type.
constexpr const char* kOpenCaption = "Open with Tavelnor Agent";
constexpr const char* kOpenWithVerb = "\\shell\\open_with_tavelnor_agent";
