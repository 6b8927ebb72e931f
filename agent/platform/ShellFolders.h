// The per-user folders the agent writes to, after the XDG base-directory rules.
#pragma once

#include <string>

class CShellFolders {
public:
  // $XDG_DATA_HOME, else $HOME/.local/share; empty when neither is known.
  static std::string GetAppDataFolder();
  // $XDG_CONFIG_HOME, else $HOME/.config; empty when neither is known.
  static std::string GetConfigFolder();
  // <config folder>/autostart: where a desktop session looks for programs to start.
  static std::string GetStartupFolder();
  // The full path of the running program (/proc/self/exe).
  static std::string GetModulePath();
};
