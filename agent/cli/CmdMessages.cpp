// qvagent-cli messages: fetches the service's announcements as the start
// page does and prints the feed the messages pane would show.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "threads/StatusList.h"
#include "threads/UploadWorkflow.h"

namespace {

int RunMessages(const std::vector<std::string>& args) {
  if (!args.empty()) return CliUsageError("unexpected argument '" + args.front() + "'");
  const WorkerOutcome outcome = RunMessagesJob();
  const CMsgFeed& feed = outcome.messages;
  if (feed.GetItemCount() == 0) {
    std::printf("No messages.\n");
  } else {
    if (!feed.GetTitle().empty()) std::printf("%s\n", feed.GetTitle().c_str());
    for (size_t i = 0; i < feed.GetItemCount(); ++i) {
      const CMsgFeedItem& item = feed.GetItem(i);
      std::printf("\n* %s\n", item.title.c_str());
      if (!item.description.empty()) std::printf("  %s\n", item.description.c_str());
      if (!item.link.empty()) std::printf("  %s\n", item.link.c_str());
    }
  }
  std::fflush(stdout);
  // A line left in the list at the end tells why the service could not be read.
  for (const CStatusList::Entry& line : outcome.lines) {
    if (line.kind == STATUS_ERROR) {
      std::fprintf(stderr, "%s\n", StatusLineToText(line.text).c_str());
      return CLI_FAILED;
    }
  }
  return CLI_OK;
}

const CCliRegistrar registrar({"messages", "messages",
                               "show the service's announcements (the cached ones when it cannot be read)",
                               RunMessages});

}  // namespace
