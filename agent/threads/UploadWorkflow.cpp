#include "threads/UploadWorkflow.h"

#include <chrono>

#include "platform/MessageWindow.h"
#include "threads/Thread.h"
#include "threads/ThreadMsgs.h"
#include "threads/ThreadTxServer.h"

namespace {

constexpr uintptr_t kWatchTimer = 1;
constexpr unsigned kWatchIntervalMs = 200;
constexpr auto kWorkerExitWait = std::chrono::seconds(30);

void AppendEntity(const std::string& html, size_t& i, std::string& out) {
  static const struct {
    const char* name;
    char text;
  } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& entity : kEntities) {
    const std::string name = entity.name;
    if (html.compare(i, name.size(), name) == 0) {
      out += entity.text;
      i += name.size();
      return;
    }
  }
  out += html[i++];
}

}  // namespace

WorkerOutcome RunWorkerToCompletion(CThread& thread, CStatusList& statusList,
                                    const std::function<bool(CMessageWindow* owner)>& start,
                                    const std::function<void(uint16_t kind)>& onUpdate) {
  WorkerOutcome outcome;
  CMessageWindow window;
  const auto takeOutcome = [&] {
    outcome.status = thread.GetStatus();
    outcome.result = thread.GetResult();
    outcome.lines = statusList.GetAll();
    outcome.messages = thread.GetMessages();
  };
  window.SetHandler([&](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == WM_TIMER && wParam == kWatchTimer) {
      // A worker that ended without its completion must not hang the caller.
      if (!thread.IsThreadActive()) {
        takeOutcome();
        window.Quit(1);
      }
      return 0;
    }
    if (message != WM_THREAD_UPDATE || LOWORD(wParam) != thread.GetThreadType()) return 0;
    const uint16_t kind = HIWORD(wParam);
    if (onUpdate) onUpdate(kind);
    if (kind == THREAD_UPD_COMPLETE) {
      takeOutcome();
      window.Quit(0);
    }
    return 0;
  });
  thread.ResetThread();
  if (start(&window)) {
    window.SetTimer(kWatchTimer, kWatchIntervalMs);
    window.Run();
    window.KillTimer(kWatchTimer);
  } else {
    takeOutcome();
  }
  thread.WaitForThread(kWorkerExitWait);
  return outcome;
}

WorkerOutcome RunUploadJobDetailed(const StatusLineCallback& onStatus) {
  CThreadTxServer upload;
  CStatusList& list = upload.GetStatusList();
  return RunWorkerToCompletion(
      upload, list, [&upload](CMessageWindow* owner) { return upload.StartThread(owner); },
      [&](uint16_t kind) {
        if (!onStatus || (kind != THREAD_UPD_STATUS && kind != THREAD_UPD_COMPLETE)) return;
        const auto line = list.GetLast();
        if (line) onStatus(StatusLineToText(line->text));
      });
}

int RunUploadJob(const StatusLineCallback& onStatus) {
  return RunUploadJobDetailed(onStatus).result;
}

WorkerOutcome RunMessagesJob() {
  CThreadMsgs messages;
  return RunWorkerToCompletion(messages, messages.GetStatusList(),
                               [&messages](CMessageWindow* owner) { return messages.StartThread(owner); });
}

std::string StatusLineToText(const std::string& html) {
  std::string out;
  size_t i = 0;
  while (i < html.size()) {
    if (html[i] == '<') {
      const size_t end = html.find('>', i);
      if (end == std::string::npos) break;
      std::string tag = html.substr(i + 1, end - i - 1);
      for (char& c : tag) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if (tag == "li" || tag.rfind("li ", 0) == 0) out += "\n  ";
      i = end + 1;
    } else if (html[i] == '&') {
      AppendEntity(html, i, out);
    } else {
      out += html[i++];
    }
  }
  return out;
}
