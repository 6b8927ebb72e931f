// The upload and announcements jobs without pages, for the command line:
// the calling thread becomes the jobs' UI thread, runs the message loop the
// dialog would run until the job's completion, and hands back what the
// dialog would have shown.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "threads/MsgFeed.h"
#include "threads/StatusList.h"

class CThread;
class CMessageWindow;

struct WorkerOutcome {
  int status = 0;                         // THREAD_TERMINATED or THREAD_ABORTED; 0 when the job never ran
  int result = 0;                         // 1 when the run succeeded
  std::vector<CStatusList::Entry> lines;  // the status list at completion
  CMsgFeed messages;                      // the job's messages feed at completion
};

// Called with a status line's text whenever the job rewrites its list.
using StatusLineCallback = std::function<void(const std::string& line)>;

// Starts the job with start(owner) and handles its updates until it has
// completed; onUpdate sees every update kind. Returns with the worker gone.
WorkerOutcome RunWorkerToCompletion(CThread& thread, CStatusList& statusList,
                                    const std::function<bool(CMessageWindow* owner)>& start,
                                    const std::function<void(uint16_t kind)>& onUpdate = {});

// Sends the whole upload queue as the dialog's upload job does. onStatus
// gets the upload line as plain text (markup stripped), when the upload
// starts and at its end; an empty queue ends without a line. Returns the
// job's result: 1 when everything queued was sent, 0 when a document stays
// queued or was refused.
int RunUploadJob(const StatusLineCallback& onStatus = {});
// The same with everything the job leaves for the dialog.
WorkerOutcome RunUploadJobDetailed(const StatusLineCallback& onStatus = {});

// Fetches the announcements as the start page does; the outcome's feed is
// the one the messages pane would show.
WorkerOutcome RunMessagesJob();

// A status line's HTML as plain text: tags dropped, each list item on a line
// of its own indented by two blanks, entity references resolved.
std::string StatusLineToText(const std::string& html);
