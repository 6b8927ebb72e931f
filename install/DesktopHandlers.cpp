#include "DesktopHandlers.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FileTypes.h"
#include "platform/AtomicFile.h"
#include "platform/ShellFolders.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultsSection = "[Default Applications]";

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void WriteLines(const fs::path& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  ReplaceFileContents(path.string(), text);
}

fs::path MimeAppsPath() {
  return fs::path(CShellFolders::GetConfigFolder()) / "mimeapps.list";
}

fs::path PreviousPath() {
  return fs::path(CShellFolders::GetAppDataFolder()) / "Tavelnor" / "previous-handlers.list";
}

// The value of key in section, or nothing; the first entry of a ";" list.
std::string FindKey(const std::vector<std::string>& lines, const std::string& section, const std::string& key,
                    bool firstOfList) {
  bool inSection = false;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '[') {
      inSection = line == section;
    } else if (inSection && line.rfind(key + "=", 0) == 0) {
      std::string value = line.substr(key.size() + 1);
      if (firstOfList) value = value.substr(0, value.find(';'));
      return value;
    }
  }
  return {};
}

// Sets key in section (created at the end when missing); an empty value removes the key.
void SetKey(std::vector<std::string>& lines, const std::string& section, const std::string& key,
            const std::string& value) {
  bool inSection = false;
  bool sectionSeen = false;
  size_t insertAt = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '[') {
      if (inSection) insertAt = i;
      inSection = line == section;
      if (inSection) sectionSeen = true;
      continue;
    }
    if (inSection && line.rfind(key + "=", 0) == 0) {
      if (value.empty()) {
        lines.erase(lines.begin() + static_cast<long>(i));
      } else {
        lines[i] = key + "=" + value;
      }
      return;
    }
  }
  if (value.empty()) return;
  if (!sectionSeen) {
    if (!lines.empty() && !lines.back().empty()) lines.push_back("");
    lines.push_back(section);
    lines.push_back(key + "=" + value);
    return;
  }
  // After the section's last non-empty line.
  while (insertAt > 0 && lines[insertAt - 1].empty()) --insertAt;
  lines.insert(lines.begin() + static_cast<long>(insertAt), key + "=" + value);
}

// A desktop entry's Exec argument: quoted, with the characters the rules
// reserve inside quotes escaped, and backslashes doubled once more for the
// file's own string escaping.
std::string QuoteExec(const std::string& path) {
  std::string out = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$') {
      out += "\\\\";
      out += c;
    } else if (c == '\\') {
      out += "\\\\\\\\";
    } else if (c == '%') {
      out += "%%";
    } else if (c == '\n' || c == '\r') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string CDesktopHandlers::EntryPath() {
  return (fs::path(CShellFolders::GetAppDataFolder()) / "applications" / kDesktopId).string();
}

void CDesktopHandlers::WriteEntry(const std::string& exePath) {
  std::string types;
  for (const SFileType& type : kFileTypes) types += std::string(type.mimeType) + ";";
  const std::vector<std::string> lines = {
      "[Desktop Entry]",
      "Type=Application",
      "Name=Tavelnor Agent",
      "Comment=Send activities from GPS receivers and files to Tavelnor",
      "Exec=" + QuoteExec(exePath) + " %f",
      "Icon=tavelnor-qvagent",
      "Terminal=false",
      "Categories=Utility;",
      "MimeType=" + types,
      "NoDisplay=false",
  };
  WriteLines(EntryPath(), lines);
}

void CDesktopHandlers::RemoveEntry() {
  std::error_code ignored;
  fs::remove(EntryPath(), ignored);
}

std::string CDesktopHandlers::GetDefault(const std::string& mimeType) {
  return FindKey(ReadLines(MimeAppsPath()), kDefaultsSection, mimeType, true);
}

void CDesktopHandlers::TakeDefault(const SFileType& type) {
  std::vector<std::string> apps = ReadLines(MimeAppsPath());
  const std::string current = FindKey(apps, kDefaultsSection, type.mimeType, false);
  if (current.substr(0, current.find(';')) == kDesktopId) return;
  std::vector<std::string> previous = ReadLines(PreviousPath());
  SetKey(previous, kDefaultsSection, type.mimeType, current);
  WriteLines(PreviousPath(), previous);
  SetKey(apps, kDefaultsSection, type.mimeType, kDesktopId);
  WriteLines(MimeAppsPath(), apps);
}

void CDesktopHandlers::GiveBackDefault(const SFileType& type) {
  std::vector<std::string> apps = ReadLines(MimeAppsPath());
  if (FindKey(apps, kDefaultsSection, type.mimeType, true) != kDesktopId) return;
  std::vector<std::string> previous = ReadLines(PreviousPath());
  SetKey(apps, kDefaultsSection, type.mimeType, FindKey(previous, kDefaultsSection, type.mimeType, false));
  WriteLines(MimeAppsPath(), apps);
  SetKey(previous, kDefaultsSection, type.mimeType, "");
  WriteLines(PreviousPath(), previous);
}
