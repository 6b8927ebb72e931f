// qvagent-cli associations: makes the agent the handler of .gpx and .kml
// files, or lets them go, the way the preferences page and the package do.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "QVInstall.h"
#include "cli/CliCommand.h"
#include "util/Util.h"

namespace {

const char* const kTypeNames[] = {"gpx", "kml"};

int TypeNumber(const std::string& name) {
  for (int type = 0; type < 2; ++type) {
    if (name == kTypeNames[type]) return type;
  }
  return -1;
}

// The windowed agent, installed beside this program.
std::string DefaultAgentPath() {
  return (std::filesystem::path(CUtil::GetModulePath()).parent_path() / "qvagent").string();
}

// Takes every "--name TYPE" out of args into types; false with a message on a bad type.
bool TakeTypes(std::vector<std::string>& args, const std::string& name, std::vector<int>& types,
               std::string& error) {
  std::string value;
  while (CliTakeOption(args, name, value, error)) {
    const int type = TypeNumber(value);
    if (type < 0) {
      error = "unknown file type '" + value + "' (gpx or kml)";
      return false;
    }
    types.push_back(type);
  }
  return error.empty();
}

int RunAssociations(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string error;
  std::string exe;
  if (!CliTakeOption(args, "--exe", exe, error)) {
    if (!error.empty()) return CliUsageError(error);
    exe = DefaultAgentPath();
  }
  std::vector<int> set;
  std::vector<int> unset;
  if (!TakeTypes(args, "--set", set, error) || !TakeTypes(args, "--unset", unset, error)) {
    return CliUsageError(error);
  }
  const bool remove = CliTakeFlag(args, "--remove");
  if (!args.empty()) return CliUsageError("unexpected argument '" + args.front() + "'");
  if (remove && (!set.empty() || !unset.empty())) return CliUsageError("--remove goes alone");

  if (remove) QVInstall_RemoveRegistryFileAssociations(std::filesystem::path(exe).parent_path().c_str());
  for (const int type : unset) QVInstall_SetFileTypeAssociation(exe.c_str(), type, 0);
  for (const int type : set) QVInstall_SetFileTypeAssociation(exe.c_str(), type, 1);

  bool allSet = true;
  for (int type = 0; type < 2; ++type) {
    const bool on = QVInstall_IsFileTypeAssociated(exe.c_str(), type) != 0;
    std::printf("%s: %s\n", kTypeNames[type], on ? "associated" : "not associated");
    for (const int wanted : set) {
      if (wanted == type && !on) allSet = false;
    }
  }
  // The registry refuses silently; the exit status tells a script.
  return allSet ? CLI_OK : CliFailure("the association could not be stored");
}

const CCliRegistrar registrar({"associations",
                               "associations [--set gpx|kml]... [--unset gpx|kml]... [--remove] [--exe PATH]",
                               "show, make or remove the .gpx and .kml file associations", RunAssociations});

}  // namespace
