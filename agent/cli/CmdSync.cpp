// qvagent-cli sync: the "Synchronize Activities" task without pages. The
// receive job runs on every candidate port (or only on the port given) as
// the dialog drives it; each status line is printed as plain text when it
// changes, and on a terminal the transfer's percentage as well. The new
// activities (every activity with --all) go into the upload queue as one
// document per receiver and are recorded in the sent-activity history.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliStatusPrinter.h"
#include "platform/InterruptSignal.h"
#include "platform/MessageWindow.h"
#include "platform/Terminal.h"
#include "threads/StatusList.h"
#include "threads/SyncWorkflow.h"
#include "threads/ThreadRxDevice.h"
#include "threads/UploadWorkflow.h"

namespace {

std::string Plural(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The upload of the queue follows the search, as on the page: every queued
// document is sent; what the service did not take stays queued.
int UploadQueuedDocuments(CStatusPrinter& printer) {
  const int result = RunUploadJob([&printer](const std::string& line) { printer.PrintNote(line); });
  return result == 1 ? CLI_OK : CLI_FAILED;
}

int RunSync(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  std::string port;
  std::string error;
  const bool portGiven = CliTakeOption(rest, "--port", port, error);
  if (!error.empty()) return CliUsageError(error);
  if (portGiven && port.empty()) return CliUsageError("option --port needs a port");
  const bool all = CliTakeFlag(rest, "--all");
  const bool noUpload = CliTakeFlag(rest, "--no-upload");
  if (!CliTakeBitRateOption(rest, error)) return CliUsageError(error);
  if (!rest.empty()) return CliUsageError("unexpected argument '" + rest.front() + "'");

  CMessageWindow window;
  CStatusPrinter printer(CTerminal::IsStdoutTerminal());
  CThreadRxDevice thread;
  CSyncWorkflow workflow(thread);
  if (portGiven) workflow.SetPortFilter(port);
  // Ctrl+C does what the page's Cancel button does, and ends the search.
  // Declared after the window and the job so that it stops first.
  CInterruptSignal interrupt([&window, &workflow, &printer](int) {
    window.PostTask([&workflow, &printer] {
      printer.PrintNote("Stopping...");
      workflow.RequestStop();
    });
  });
  CSyncWorkflow::RegisterDeviceObjects();

  const EActivityChoice choice = all ? EActivityChoice::All : EActivityChoice::NewOnly;
  int exitCode = CLI_OK;
  window.SetHandler([&](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message != WM_THREAD_UPDATE || LOWORD(wParam) != THREAD_TYPE_RXDEVICE) return 0;
    switch (HIWORD(wParam)) {
      case THREAD_UPD_STATUS:
        printer.PrintChanges(thread.GetStatusList());
        break;
      case THREAD_UPD_PROGRESS:
        printer.PrintProgress(thread.GetProgressPercent());
        break;
      case THREAD_UPD_COMPLETE: {
        printer.PrintChanges(thread.GetStatusList());
        const ESyncStep step = workflow.OnReceiveComplete(choice);
        const CSyncRunReport& report = workflow.GetLastReport();
        switch (report.outcome) {
          case ERxOutcome::Queued:
            printer.PrintNote("Queued " + Plural(report.activities, "activity", "activities") + " from " +
                              report.device + ":");
            for (const std::string& file : report.files) printer.PrintNote("  " + file);
            break;
          case ERxOutcome::NothingNew:
            printer.PrintNote("No new activities on " + report.device + "; nothing queued.");
            break;
          case ERxOutcome::QueueFailed:
            printer.PrintNote("Unable to queue the activities from " + report.device + ": " +
                              report.errorText);
            break;
          case ERxOutcome::None:
          case ERxOutcome::ChoicePending:
            break;
        }
        if (step == ESyncStep::SearchEnded) {
          if (workflow.IsStopRequested()) {
            // The abort line is out already; the user knows why nothing else came.
          } else if (thread.GetSuccessCount() > 0) {
            printer.PrintChanges(thread.GetStatusList());
          } else {
            // Every port failed: what went wrong on each, as the page shows it.
            printer.Finish();
            printer.PrintAll(thread.GetStatusList());
          }
          if (thread.GetSuccessCount() == 0) exitCode = CLI_FAILED;
          window.Quit(0);
        } else {
          printer.PrintChanges(thread.GetStatusList());
        }
        break;
      }
      default:
        break;
    }
    return 0;
  });

  if (workflow.StartSearch(&window)) {
    window.Run();
    thread.WaitForThread(std::chrono::seconds(10));
    printer.Finish();
  } else {
    printer.PrintAll(thread.GetStatusList());
    exitCode = CLI_FAILED;
  }

  if (workflow.GetQueueFailures() > 0) exitCode = CLI_FAILED;
  if (workflow.IsStopRequested()) {
    printer.PrintNote("Stopped.");
    return CLI_FAILED;
  }
  // As on the page: whatever is queued goes, also after a search that found
  // nothing new or no receiver at all.
  if (!noUpload && CSyncWorkflow::IsUploadDue()) {
    const int uploaded = UploadQueuedDocuments(printer);
    if (exitCode == CLI_OK) exitCode = uploaded;
  }
  return exitCode;
}

const CCliRegistrar registrar({"sync", "sync [--port PORT] [--baud RATE] [--all] [--no-upload]",
                               "receive from every receiver found (or the one on PORT), queue the new "
                               "activities (--all: every activity) and record them as sent; --baud asks "
                               "serial receivers for RATE; --no-upload leaves the queue for later",
                               RunSync});

}  // namespace
