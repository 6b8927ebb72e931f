// The browser host's state, shared by its element operations (UI thread) and
// its server (the server's threads). Everything under `mutex` may be touched
// by both; the snapshot and the overlay callbacks belong to the UI thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/BrowserHost.h"
#include "platform/PageOpLog.h"

namespace httplib {
class Server;
}

struct CBrowserHost::Impl {
  using Clock = std::chrono::steady_clock;

  // One input of the page as the last event reported it (or as the agent set it).
  struct Input {
    std::string value;
    bool checked = false;
    std::string type;
    std::string name;  // radio group
  };
  struct PendingOverlay {
    std::string kind;
    std::function<void()> messageDone;
    ChecksDone checksDone;
    FileDone fileDone;
  };

  CBrowserHost* owner = nullptr;
  PageResourceLookup resources;
  Dispatcher dispatcher;
  // Cleared when the host goes, so that events still queued for the UI
  // thread do nothing then.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);

  std::unique_ptr<httplib::Server> server;
  std::thread serverThread;
  std::thread timerThread;
  int port = 0;
  std::string token;
  std::string cookie;

  // Shared state.
  mutable std::mutex mutex;
  std::condition_variable changed;  // the log, the page or the streams changed
  CPageOpLog log;
  unsigned page = 0;
  uint64_t generation = 0;
  bool generationLoaded = false;
  bool stopping = false;
  std::map<std::string, bool> streams;  // page instance -> asked to end
  bool everConnected = false;
  std::optional<Clock::time_point> closeDeadline;
  std::chrono::milliseconds closeGrace{10000};
  bool fileChooserOpen = false;

  // UI thread.
  std::map<std::string, Input> snapshot;
  std::map<int, PendingOverlay> overlays;
  int nextOverlay = 1;

  std::string PageUrl() const;  // with the lock held
  // Hands an event to the UI thread.
  void Post(std::function<void()> task) {
    dispatcher([alive = alive, task = std::move(task)] {
      if (*alive) task();
    });
  }
  void Push(CPageOpLog::Kind kind, const std::string& target, const std::string& json);
  void TakeInputs(const std::string& markup);
  void ApplySnapshot(const std::map<std::string, Input>& inputs);
  int OpenOverlay(PendingOverlay pending, const std::string& json);
  void AnswerOverlay(int n, bool ok, const std::vector<bool>& checks, const std::string& path);

  bool StartServer();
  void RunCloseTimer();
  void StreamOpened(const std::string& pageId);
  void StreamClosed(const std::string& pageId);
};
