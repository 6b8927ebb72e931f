// qvagent-cli: the scriptable face of the agent.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

std::vector<CliCommand>& Registry() {
  static std::vector<CliCommand> commands;
  return commands;
}

void PrintHelp() {
  std::printf("Usage: qvagent-cli COMMAND [OPTIONS]\n\n");
  std::printf("The scriptable face of the Tavelnor Agent.\n\nCommands:\n");
  for (const CliCommand& c : CliCommands()) {
    std::printf("  %-44s %s\n", c.usage.c_str(), c.summary.c_str());
  }
  std::printf("\nOptions:\n  %-44s %s\n  %-44s %s\n", "--help", "show this help", "--version",
              "show the agent's version");
}

}  // namespace

CCliRegistrar::CCliRegistrar(CliCommand command) {
  Registry().push_back(std::move(command));
}

const std::vector<CliCommand>& CliCommands() {
  return Registry();
}

int CliUsageError(const std::string& message) {
  std::fprintf(stderr, "qvagent-cli: %s\n", message.c_str());
  return CLI_USAGE;
}

int CliFailure(const std::string& message) {
  std::fprintf(stderr, "qvagent-cli: %s\n", message.c_str());
  return CLI_FAILED;
}

bool CliTakeOption(std::vector<std::string>& args, const std::string& name, std::string& value,
                   std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      if (i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        args.erase(args.begin() + static_cast<long>(i));
        return false;
      }
      value = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

bool CliTakeFlag(std::vector<std::string>& args, const std::string& name) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      args.erase(args.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp();
    return CLI_USAGE;
  }
  const std::string name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp();
    return CLI_OK;
  }
  if (name == "--version") {
    CUtil::Initialize();
    std::printf("qvagent-cli %s\n", CUtil::GetVersion().c_str());
    return CLI_OK;
  }
  for (const CliCommand& c : CliCommands()) {
    if (c.name == name) {
      args.erase(args.begin());
      if (CliTakeFlag(args, "--help")) {
        std::printf("Usage: qvagent-cli %s\n%s\n", c.usage.c_str(), c.summary.c_str());
        return CLI_OK;
      }
      CUtil::MigrateOldSettings();
      CUtil::Initialize();
      const int rc = c.run(args);
      LogClose();
      return rc;
    }
  }
  return CliUsageError("unknown command '" + name + "' (see qvagent-cli --help)");
}
