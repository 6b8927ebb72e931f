// The commands of qvagent-cli. Each command lives in its own file and
// registers itself with a static CCliRegistrar, so adding a command touches
// no other file.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Exit statuses shared by every command.
enum CliExit : int { CLI_OK = 0, CLI_FAILED = 1, CLI_USAGE = 2 };

struct CliCommand {
  std::string name;
  std::string usage;    // e.g. "identify [--port PORT]"
  std::string summary;  // one line for --help
  // Arguments after the command name; returns a CliExit.
  std::function<int(const std::vector<std::string>& args)> run;
};

class CCliRegistrar {
public:
  explicit CCliRegistrar(CliCommand command);
};

const std::vector<CliCommand>& CliCommands();

// Prints "qvagent-cli: <message>" to standard error and returns CLI_USAGE.
int CliUsageError(const std::string& message);
// Prints "qvagent-cli: <message>" to standard error and returns CLI_FAILED.
int CliFailure(const std::string& message);

// Takes "--name VALUE" out of args; false when the option is absent.
// A missing value is reported through `error`.
bool CliTakeOption(std::vector<std::string>& args, const std::string& name, std::string& value,
                   std::string& error);
// Takes a flag "--name" out of args.
bool CliTakeFlag(std::vector<std::string>& args, const std::string& name);

// Takes "--baud RATE" out of args: when given, RATE replaces the setting
// Device\SerialBitRate for this process (0: never switch a serial link). False
// with a message in `error` for a rate that is not 0 or a usual serial rate.
bool CliTakeBitRateOption(std::vector<std::string>& args, std::string& error);
