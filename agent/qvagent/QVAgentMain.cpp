// qvagent: the windowed agent. Its pages open in the user's browser; with
// --no-browser the start page's address is printed instead.
#include <cstdio>
#include <string>
#include <vector>

#include "app/BrowserWindow.h"
#include "app/QVAgentApp.h"
#include "platform/InterruptSignal.h"
#include "util/Util.h"

namespace {

void PrintUsage() {
  std::printf(
      "usage: qvagent [--no-browser] [-bg] [FILE]\n"
      "  FILE          a GPX, KML or training-centre file to send to the receiver\n"
      "  -bg           start in the background when the TaskbarIcon setting is on\n"
      "  --no-browser  print the start page's address instead of opening a browser\n"
      "  --version     print the version and end\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool openBrowser = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-browser") {
      openBrowser = false;
    } else if (arg == "--help" || arg == "-h") {
      PrintUsage();
      return 0;
    } else if (arg == "--version") {
      CUtil::Initialize();
      std::printf("qvagent %s\n", CUtil::GetVersion().c_str());
      return 0;
    } else {
      args.push_back(arg);
    }
  }

  CQVAgentApp app;
  // Ctrl+C and a termination request end the agent as its Exit command does.
  // Created before any other thread, so that every thread leaves them to it.
  CInterruptSignal interrupt([&app](int) { app.RequestExit(); });
  CBrowserWindow window(openBrowser);
  return app.Run(args, window) == EAppStart::Failed ? 1 : 0;
}
