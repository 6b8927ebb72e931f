// The desktop's side of the associations, after the freedesktop.org rules:
// the agent's desktop entry (whose command imports the file it is given, and
// which names both file types so the agent is offered under "Open With"), and
// the user's default handler of each type in $XDG_CONFIG_HOME/mimeapps.list.
// The handler a type had before the agent took it over is kept in
// $XDG_DATA_HOME/Tavelnor/previous-handlers.list and given back when the
// agent lets the type go. File failures are ignored, as for the registry.
#pragma once

#include <string>

struct SFileType;

class CDesktopHandlers {
public:
  static constexpr const char* kDesktopId = "tavelnor-qvagent.desktop";

  // Writes the desktop entry for the agent at exePath.
  static void WriteEntry(const std::string& exePath);
  static void RemoveEntry();
  // Makes the agent the type's default handler, remembering the previous one.
  static void TakeDefault(const SFileType& type);
  // When the agent is the default, gives the type back to the remembered handler.
  static void GiveBackDefault(const SFileType& type);

  // The default handler's desktop id of mimeType; empty when there is none.
  static std::string GetDefault(const std::string& mimeType);
  static std::string EntryPath();
};
