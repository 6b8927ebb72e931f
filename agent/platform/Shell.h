// Hand-offs to the desktop: opening addresses and folders, the start-at-login entry.
#pragma once

#include <string>

class CShell {
public:
  // Opens a web address or a folder with the desktop's handler (xdg-open),
  // detached so that the agent never waits for it. False when it cannot start.
  static bool Open(const std::string& target);
  // Opens a local web address as an application window (no tabs, no address
  // bar) when a Chromium-family browser is installed, otherwise as Open does.
  static bool OpenAppWindow(const std::string& url);

  // Writes an XDG autostart entry that runs `program -bg` at login;
  // the file is written to a temporary name and renamed.
  static bool CreateStartupEntry(const std::string& entryPath, const std::string& program,
                                 const std::string& description);
  // Removes the entry; a missing file is not an error.
  static bool RemoveStartupEntry(const std::string& entryPath);
};
