// qvagent-cli settings: shows and changes the agent's settings.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "platform/Registry.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/Util.h"

namespace {

struct SettingRow {
  unsigned section;
  unsigned value;
  bool integer;
  // What the agent uses when the setting is absent; nullopt when nobody reads it.
  std::optional<std::string> defaultText;
};

std::vector<SettingRow> SettingsTable() {
  return {
      {IDS_SECTION_USERINTERFACE, IDS_VALUE_TASKBARICON, true, "0"},
      {IDS_SECTION_DEVICE, IDS_VALUE_POWERDOWN, true, "0"},
      {IDS_SECTION_DEVICE, IDS_VALUE_MULTIPLEDEVICES, true, "0"},
      {IDS_SECTION_DEVICE, IDS_VALUE_TIMEOUT, true, "500"},
      {IDS_SECTION_DEVICE, IDS_VALUE_MAXRETRIES, true, std::nullopt},
      {IDS_SECTION_DEVICE, IDS_VALUE_MAXERRORS, true, std::nullopt},
      {IDS_SECTION_DEVICE, IDS_VALUE_PORTS, false, ""},
      {IDS_SECTION_DEVICE, IDS_VALUE_SERIALBITRATE, true, "0"},
      {IDS_SECTION_SERVER, IDS_VALUE_NAME, false, CUtil::DefaultServerName()},
      {IDS_SECTION_SERVER, IDS_VALUE_ACCOUNTNAME, false, ""},
      {IDS_SECTION_SERVER, IDS_VALUE_EMAIL, false, ""},
      {IDS_SECTION_SERVER, IDS_VALUE_MAXRETRIES, true, "5"},
      {IDS_SECTION_SERVER, IDS_VALUE_TIMEOUT, true, std::nullopt},
      {IDS_SECTION_SERVER, IDS_VALUE_ANNOUNCEMENTSURL, false, ""},
      {IDS_SECTION_DATA, IDS_VALUE_EDITACTIVITIES, true, "0"},
      {IDS_SECTION_DATA, IDS_VALUE_ALLOWTIMECONFLICTS, true, "0"},
  };
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

int ShowSettings() {
  CRegistry& hive = CRegistry::Hive(RegHive::CurrentUser);
  for (const SettingRow& row : SettingsTable()) {
    const std::string name = LoadString(row.section) + "\\" + LoadString(row.value);
    const std::optional<RegValue> stored =
        hive.GetValue(CUtil::GetSectionKey(row.section), LoadString(row.value));
    bool usable = stored.has_value() && (stored->type == RegType::Dword) == row.integer;
    if (usable) {
      const std::string data = row.integer ? std::to_string(static_cast<int>(stored->dword)) : stored->text;
      std::printf("%s = %s\n", name.c_str(), data.c_str());
    } else if (row.defaultText) {
      std::printf("%s = %s (default)\n", name.c_str(), row.defaultText->c_str());
    } else {
      std::printf("%s (not set)\n", name.c_str());
    }
  }
  return CLI_OK;
}

int SetSetting(const std::vector<std::string>& args) {
  if (args.size() != 4) return CliUsageError("usage: settings set SECTION VALUE DATA");
  for (const SettingRow& row : SettingsTable()) {
    if (!SameName(args[1], LoadString(row.section)) || !SameName(args[2], LoadString(row.value))) continue;
    bool ok = false;
    if (row.integer) {
      char* end = nullptr;
      const long number = std::strtol(args[3].c_str(), &end, 10);
      if (args[3].empty() || *end != '\0' || number < INT32_MIN || number > INT32_MAX) {
        return CliUsageError(LoadString(row.section) + "\\" + LoadString(row.value) +
                             " takes a whole number, not '" + args[3] + "'");
      }
      ok = CUtil::WriteProfileInt(row.section, row.value, static_cast<int>(number));
    } else {
      ok = CUtil::WriteProfileString(row.section, row.value, args[3]);
    }
    if (!ok) {
      return CliFailure("cannot write the settings file " +
                        CRegistry::HivePath(RegHive::CurrentUser).string());
    }
    return CLI_OK;
  }
  return CliUsageError("unknown setting " + args[1] + "\\" + args[2] + " (see qvagent-cli settings)");
}

int RunSettings(const std::vector<std::string>& args) {
  if (args.empty()) return ShowSettings();
  if (args[0] == "set") return SetSetting(args);
  return CliUsageError("usage: settings [set SECTION VALUE DATA]");
}

const CCliRegistrar registrar({"settings", "settings [set SECTION VALUE DATA]",
                               "show every setting (defaults marked), or change one", RunSettings});

}  // namespace
