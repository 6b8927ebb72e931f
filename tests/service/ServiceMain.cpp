// qv-reference-service: the stand-in web service for the demo, on loopback.
//   qv-reference-service [--port N] [--dir FOLDER] [--status N]
//                        [--announcements items|empty|malformed]
// Runs until interrupted; uploads are kept in FOLDER when one is given.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "service/ReferenceService.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: qv-reference-service [--port N] [--dir FOLDER] [--status N]\n"
               "                            [--announcements items|empty|malformed]\n");
}

bool ParseNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  long port = 8080;
  long status = 200;
  std::string folder;
  AnnouncementMode mode = AnnouncementMode::Items;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) {
      Usage();
      return 2;
    }
    const char* value = argv[++i];
    if (option == "--port" && ParseNumber(value, 0, 65535, port)) continue;
    if (option == "--status" && ParseNumber(value, 100, 599, status)) continue;
    if (option == "--dir") {
      folder = value;
      continue;
    }
    if (option == "--announcements") {
      if (std::strcmp(value, "items") == 0) {
        mode = AnnouncementMode::Items;
      } else if (std::strcmp(value, "empty") == 0) {
        mode = AnnouncementMode::Empty;
      } else if (std::strcmp(value, "malformed") == 0) {
        mode = AnnouncementMode::Malformed;
      } else {
        Usage();
        return 2;
      }
      continue;
    }
    Usage();
    return 2;
  }

  // The serving threads inherit this mask, so only sigwait below sees the signals.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  CReferenceService service;
  if (!folder.empty()) service.SetStoreFolder(folder);
  service.SetUploadStatus(static_cast<int>(status));
  service.SetAnnouncementMode(mode);
  if (!service.Start(static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "qv-reference-service: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  std::printf("Reference service listening on %s (inbox: %s/trail/inbox/view.qv)\n",
              service.BaseUrl().c_str(), service.BaseUrl().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  service.Stop();
  std::printf("Reference service stopped; %zu upload(s) received\n", service.Uploads().size());
  return 0;
}
