// The four exports over the class registry. Every registry call is attempted
// on its own and failures are ignored: without write access the association
// simply stays as it was, and the next test shows the real state.
#include "QVInstall.h"

#include <string>

#include "DesktopHandlers.h"
#include "FileTypes.h"
#include "platform/Registry.h"

namespace {

// The class registry reads values into a buffer of this many bytes; a longer
// value cannot be read and counts as empty.
constexpr size_t kReadBuffer = 260;

CRegistry& Classes() {
  return CRegistry::Hive(RegHive::ClassesRoot);
}

std::string Read(const std::string& key, const std::string& name) {
  std::string text;
  if (!Classes().GetString(key, name, text) || text.size() + 1 > kReadBuffer) return {};
  return text;
}

std::string Command(const std::string& exe) {
  return exe + " \"%1\"";
}

// The extension goes back to the program it had before, or away.
void RestoreExtension(const SFileType& type) {
  const std::string previous = Read(type.extension, "QVPrevious");
  if (!previous.empty()) {
    Classes().SetString(type.extension, "", previous);
    Classes().DeleteValue(type.extension, "QVPrevious");
  } else {
    Classes().DeleteKey(type.extension);
  }
}

void Associate(const SFileType& type, const std::string& exe) {
  const std::string progId = type.progId;
  if (Read(type.extension, "") != progId) {
    const std::string previous = Read(type.extension, "");
    if (!previous.empty()) {
      Classes().SetString(type.extension, "QVPrevious", previous);
      Classes().DeleteKey(previous + kOpenWithVerb);
    } else {
      Classes().DeleteValue(type.extension, "QVPrevious");
    }
    Classes().SetString(type.extension, "", progId);
  }
  Classes().SetString(progId, "", type.description);
  Classes().SetString(progId, "DefaultIcon", exe + ",0");
  Classes().SetString(progId + "\\shell\\open", "", kOpenCaption);
  Classes().SetString(progId + "\\shell\\open\\command", "", Command(exe));
  CDesktopHandlers::WriteEntry(exe);
  CDesktopHandlers::TakeDefault(type);
}

void Dissociate(const SFileType& type, const std::string& exe) {
  if (Read(type.extension, "") == type.progId) RestoreExtension(type);
  const std::string owner = Read(type.extension, "");
  if (!owner.empty()) {
    Classes().SetString(owner + kOpenWithVerb, "", kOpenCaption);
    Classes().SetString(owner + kOpenWithVerb + "\\command", "", Command(exe));
  }
  Classes().DeleteKey(type.progId);
  // The agent stays on offer for the type ("Open With"), but no longer as its default.
  CDesktopHandlers::WriteEntry(exe);
  CDesktopHandlers::GiveBackDefault(type);
}

void Remove(const SFileType& type) {
  const std::string owner = Read(type.extension, "");
  if (owner == type.progId) {
    RestoreExtension(type);
  } else if (!owner.empty()) {
    Classes().DeleteKey(owner + kOpenWithVerb);
  }
  Classes().DeleteKey(type.progId);
  CDesktopHandlers::GiveBackDefault(type);
}

std::string AgentIn(const char* installDir) {
  std::string path = installDir != nullptr ? installDir : "";
  if (path.empty() || path.back() != '/') path += '/';
  return path + "qvagent";
}

}  // namespace

extern "C" int QVInstall_IsFileTypeAssociated(const char* exePath, int type) {
  const SFileType* fileType = FindFileType(type);
  if (fileType == nullptr || exePath == nullptr) return 0;
  const std::string exe = exePath;
  const std::string progId = fileType->progId;
  const bool associated =
      Read(fileType->extension, "") == progId && Read(progId, "") == fileType->description &&
      Read(progId, "DefaultIcon") == exe + ",0" && Read(progId + "\\shell\\open", "") == kOpenCaption &&
      Read(progId + "\\shell\\open\\command", "") == Command(exe);
  return associated ? 1 : 0;
}

extern "C" void QVInstall_SetFileTypeAssociation(const char* exePath, int type, int associate) {
  const SFileType* fileType = FindFileType(type);
  if (fileType == nullptr || exePath == nullptr) return;
  if (associate != 0) {
    Associate(*fileType, exePath);
  } else {
    Dissociate(*fileType, exePath);
  }
}

extern "C" unsigned QVInstall_CreateDefaultRegistryFileAssociations(const char* installDir) {
  const std::string exe = AgentIn(installDir);
  QVInstall_SetFileTypeAssociation(exe.c_str(), 0, 1);
  QVInstall_SetFileTypeAssociation(exe.c_str(), 1, 0);
  return 1;
}

extern "C" unsigned QVInstall_RemoveRegistryFileAssociations(const char* /*installDir*/) {
  for (int type = 0; type < kFileTypeCount; ++type) Remove(kFileTypes[type]);
  CDesktopHandlers::RemoveEntry();
  return 1;
}
