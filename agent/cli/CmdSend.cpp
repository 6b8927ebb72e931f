// qvagent-cli send: the import page's "to the receiver" without pages. The
// file is read with the import job; the tracks chosen (all tracks with
// points, or those numbered as the track table numbers them) go, under the
// names given, to the first receiver that takes them, with the transmit job
// walking the candidate ports as the dialog does. Status lines are printed
// as they change, the percentage on a terminal; Ctrl+C is the Cancel button.
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliStatusPrinter.h"
#include "data/GpsDataSet.h"
#include "link/CommsDevice.h"
#include "platform/InterruptSignal.h"
#include "platform/MessageWindow.h"
#include "platform/Terminal.h"
#include "resources/StringIds.h"
#include "threads/StatusList.h"
#include "threads/SyncWorkflow.h"
#include "threads/ThreadRxFile.h"
#include "threads/ThreadTxDevice.h"
#include "threads/UploadWorkflow.h"

namespace {

// The track table's name field holds at most this many characters.
constexpr size_t kMaxTrackName = 50;

struct SendChoice {
  std::set<int> tracks;              // empty: every track with points
  std::map<int, std::string> names;  // by track number
};

// Includes and names the tracks as the track table's send button does; the
// numbers count every track, rows exist only for tracks with points.
bool ApplyChoice(CGpsDataSet& data, const SendChoice& choice, std::string& error) {
  std::set<int> rows;
  int number = 0;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    ++number;
    if (track->GetPoints().GetCount() > 0) rows.insert(number);
  }
  for (int wanted : choice.tracks) {
    if (!rows.count(wanted)) {
      error = "no track " + std::to_string(wanted) + " with points in the file";
      return false;
    }
  }
  for (const auto& [wanted, name] : choice.names) {
    if (!rows.count(wanted)) {
      error = "no track " + std::to_string(wanted) + " with points in the file";
      return false;
    }
  }
  number = 0;
  bool any = false;
  for (CGpsDataTrack* track : data.GetTracks()) {
    ++number;
    if (!rows.count(number)) continue;
    const bool chosen = choice.tracks.empty() || choice.tracks.count(number) != 0;
    CGpsDataSet::SetIncluded(track, chosen ? 1 : 0);
    const auto name = choice.names.find(number);
    if (name != choice.names.end()) track->ident = name->second;
    any = any || chosen;
  }
  if (!any) error = "the file holds no track with points";
  return any;
}

// A track number as the track table counts: 1 and up.
bool ParseTrackNumber(const std::string& text, int& number) {
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  number = std::stoi(text);
  return number >= 1;
}

bool ParseChoice(std::vector<std::string>& rest, SendChoice& choice, std::string& error) {
  std::string value;
  int number = 0;
  while (CliTakeOption(rest, "--track", value, error)) {
    if (!ParseTrackNumber(value, number)) {
      error = "--track needs a track number, not '" + value + "'";
      return false;
    }
    choice.tracks.insert(number);
  }
  if (!error.empty()) return false;
  while (CliTakeOption(rest, "--name", value, error)) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos || !ParseTrackNumber(value.substr(0, equals), number)) {
      error = "--name needs N=TEXT, not '" + value + "'";
      return false;
    }
    const std::string name = value.substr(equals + 1);
    if (name.size() > kMaxTrackName) {
      error = "a track name holds at most " + std::to_string(kMaxTrackName) + " characters";
      return false;
    }
    choice.names[number] = name;
  }
  return error.empty();
}

// Reads the file with the import job; the final status line is printed.
bool ImportFile(CThreadRxFile& reader, const std::string& file) {
  reader.SetImportPath(file);
  reader.GetStatusList().Append(STATUS_BUSY, IDS_STATUS_READING_FILE);
  const WorkerOutcome outcome = RunWorkerToCompletion(
      reader, reader.GetStatusList(), [&](CMessageWindow* owner) { return reader.StartThread(owner); });
  if (!outcome.lines.empty()) std::printf("%s\n", StatusLineToText(outcome.lines.back().text).c_str());
  std::fflush(stdout);
  return outcome.result == 1 && reader.GetImportedData() != nullptr;
}

// The candidates of the transmit job as the dialog walks them, or only the
// port named (listed or not), as every command takes --port.
class CSendSearch {
public:
  CSendSearch(CThreadTxDevice& thread, CMessageWindow& window, const std::string& port)
      : m_thread(thread), m_window(window), m_namedPort(CSyncWorkflow::MakeNamedPort(port)) {}

  bool FindCandidate(bool first) {
    if (m_namedPort) {
      return first && m_thread.SelectDevice(&m_window, m_namedPort.get(), m_thread.GetStatusList(),
                                            THREAD_TYPE_TXDEVICE) != 0;
    }
    return (first ? m_thread.GetFirstDevice(&m_window) : m_thread.GetNextDevice()) != 0;
  }

private:
  CThreadTxDevice& m_thread;
  CMessageWindow& m_window;
  std::unique_ptr<CCommsDevice> m_namedPort;
};

int RunSend(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  std::string port;
  std::string error;
  const bool portGiven = CliTakeOption(rest, "--port", port, error);
  if (!error.empty()) return CliUsageError(error);
  if (portGiven && port.empty()) return CliUsageError("option --port needs a port");
  if (!CliTakeBitRateOption(rest, error)) return CliUsageError(error);
  SendChoice choice;
  if (!ParseChoice(rest, choice, error)) return CliUsageError(error);
  if (rest.empty()) return CliUsageError("send needs a FILE");
  const std::string file = rest.front();
  rest.erase(rest.begin());
  if (!rest.empty()) return CliUsageError("unexpected argument '" + rest.front() + "'");

  CMessageWindow window;
  CStatusPrinter printer(CTerminal::IsStdoutTerminal());
  CThreadTxDevice thread;
  bool stopRequested = false;
  // Ctrl+C does what the page's Cancel button does. Declared after the window
  // and the job so that it stops first.
  CInterruptSignal interrupt([&](int) {
    window.PostTask([&] {
      printer.PrintNote("Stopping...");
      stopRequested = true;
      thread.RequestAbort();
    });
  });

  CThreadRxFile reader;
  if (!ImportFile(reader, file)) return CLI_FAILED;
  CGpsDataSet* data = reader.GetImportedData();
  if (!ApplyChoice(*data, choice, error)) return CliFailure(error);
  if (stopRequested) return CLI_FAILED;

  CSyncWorkflow::RegisterDeviceObjects();
  thread.SetTxData(data);
  CSendSearch search(thread, window, port);
  CStatusList& status = thread.GetStatusList();
  status.Append(STATUS_INFO, IDS_STATUS_SEARCHING);
  if (!search.FindCandidate(true)) {
    status.SetLast(STATUS_WARNING, IDS_MSG_NO_DEVICE);
    printer.PrintChanges(status);
    return CLI_FAILED;
  }

  printer.PrintChanges(status);
  int exitCode = CLI_FAILED;
  window.SetHandler([&](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message != WM_THREAD_UPDATE || LOWORD(wParam) != THREAD_TYPE_TXDEVICE) return 0;
    switch (HIWORD(wParam)) {
      case THREAD_UPD_STATUS:
        printer.PrintChanges(status);
        break;
      case THREAD_UPD_PROGRESS:
        printer.PrintProgress(thread.GetProgressPercent());
        break;
      case THREAD_UPD_COMPLETE: {
        printer.PrintChanges(status);
        thread.WaitForThread(std::chrono::seconds(10));
        if (thread.IsAbortRequested()) {
          window.Quit(0);
          break;
        }
        // A receiver took the data: the search ends there.
        if (thread.GetResult() == 1) {
          exitCode = CLI_OK;
          window.Quit(0);
          break;
        }
        status.SetLast(STATUS_INFO, IDS_STATUS_SEARCHING);
        if (search.FindCandidate(false)) {
          thread.StartThread(&window);
          break;
        }
        // Every candidate failed: what went wrong on each, as the page shows it.
        printer.Finish();
        status.TakeAll(thread.GetErrorList());
        status.Append(STATUS_WARNING, IDS_STATUS_NO_DEVICE_USB);
        for (const CStatusList::Entry& line : status.GetAll()) {
          std::printf("%s\n", StatusLineToText(line.text).c_str());
        }
        window.Quit(0);
        break;
      }
      default:
        break;
    }
    return 0;
  });

  if (!thread.StartThread(&window)) return CliFailure("unable to start the transmit job");
  window.Run();
  thread.WaitForThread(std::chrono::seconds(10));
  printer.Finish();
  if (stopRequested || thread.IsAbortRequested()) {
    printer.PrintNote("Stopped.");
    return CLI_FAILED;
  }
  return exitCode;
}

const CCliRegistrar registrar(
    {"send", "send FILE [--port PORT] [--baud RATE] [--track N]... [--name N=TEXT]...",
     "send the tracks of an activity file (GPX, TCX/HST/CRS, KML) to the first receiver that takes them, or "
     "to "
     "the one on PORT; --track N sends only the tracks numbered N (all tracks with points otherwise), --name "
     "N=TEXT renames track N",
     RunSend});

}  // namespace
