// qvagent-cli upload: sends the upload queue to the service as the agent's
// upload job does and prints the job's final status line.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "threads/UploadWorkflow.h"

namespace {

int RunUpload(const std::vector<std::string>& args) {
  if (!args.empty()) return CliUsageError("unexpected argument '" + args.front() + "'");
  std::string finalLine;
  bool anyLine = false;
  const int result = RunUploadJob([&](const std::string& line) {
    finalLine = line;
    anyLine = true;
  });
  if (!anyLine) {
    std::printf("Nothing to upload.\n");
  } else {
    std::printf("%s\n", finalLine.c_str());
  }
  std::fflush(stdout);
  return result == 1 ? CLI_OK : CLI_FAILED;
}

const CCliRegistrar registrar({"upload", "upload",
                               "send the queued documents to the service; failed ones stay queued",
                               RunUpload});

}  // namespace
