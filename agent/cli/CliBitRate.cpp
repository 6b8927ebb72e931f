// The --baud option shared by the commands that talk to a receiver.
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "link/SerialBitRate.h"
#include "util/Util.h"

bool CliTakeBitRateOption(std::vector<std::string>& args, std::string& error) {
  std::string text;
  if (!CliTakeOption(args, "--baud", text, error)) return error.empty();
  const bool digits =
      !text.empty() && text.size() <= 7 && text.find_first_not_of("0123456789") == std::string::npos;
  const unsigned rate = digits ? static_cast<unsigned>(std::stoul(text)) : 0;
  if (!digits || (rate != 0 && !IsUsualSerialBitRate(rate))) {
    error = "option --baud needs 0 or one of 9600, 19200, 38400, 57600, 115200, 230400";
    return false;
  }
  CUtil::SetSerialBitRateForProcess(rate);
  return true;
}
