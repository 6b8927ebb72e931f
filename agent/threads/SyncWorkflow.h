// Synchronising activities without any page: the steps the dialog takes
// around the receive job, so that the dialog and the command-line tool drive
// the job the same way. It starts a device search, decides after every run
// whether the activities go to the queue at once, to the user's choice or
// nowhere, records what was queued in the sent-activity history, walks on to
// further receivers when several are allowed, and ends the search with the
// lines the pages show.
//
// Everything here runs on the owner's UI thread, between runs of the job:
// the job's lists and the driver's data set are read only after its
// completion update.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/CommsDevice.h"

class CCommsDevice;
class CGpsDataSet;
class CMessageWindow;
class CThreadRxDevice;

// What follows a finished receive run.
enum class ESyncStep {
  ChooseActivities,  // the activity choice page; the data set waits for the user's choice
  NextDevice,        // the job runs again, on the next candidate
  SearchEnded,       // no candidate is left: the search-end lines are in the status list
};

// How the activities of a successful run are chosen for the queue.
enum class EActivityChoice {
  AskUser,  // the dialog: the choice page when EditActivities is on or nothing is new
  NewOnly,  // the new activities, queued at once; nothing is queued when none is new
  All,      // every received activity, queued at once
};

// What the last finished run led to.
enum class ERxOutcome {
  None,           // the run failed or was aborted
  ChoicePending,  // the user chooses the activities
  NothingNew,     // every activity was sent before: nothing queued
  Queued,         // a queue document was written
  QueueFailed,    // the document could not be written: nothing queued, the history unchanged
};

struct CSyncRunReport {
  ERxOutcome outcome = ERxOutcome::None;
  std::string device;              // "<product> on <port>" of the run
  int activities = 0;              // activities in the queued document
  std::vector<std::string> files;  // the compressed files put into the queue
  std::string errorText;           // why the document could not be written
};

class CSyncWorkflow {
public:
  explicit CSyncWorkflow(CThreadRxDevice& thread);
  CSyncWorkflow(const CSyncWorkflow&) = delete;
  CSyncWorkflow& operator=(const CSyncWorkflow&) = delete;

  // Start-up, once per process: the protocol objects in the device registry
  // and the port-search objects in the comms registry, USB before serial.
  static void RegisterDeviceObjects();

  // Only this port, whether the search lists it or not: a path ("serial:"
  // prefix ignored) or a USB receiver (usb:... or usbsim:...). Empty: every
  // port the search finds.
  void SetPortFilter(const std::string& port);
  // A communications object of the port's kind pointed at the port named
  // (a device path, "serial:PATH", "usb:..." or "usbsim:..."), for a job's
  // SelectDevice; null for an empty name.
  static std::unique_ptr<CCommsDevice> MakeNamedPort(const std::string& port);

  // A new search: resets the job, reads the history and starts the job on
  // the first candidate. False when there is none; the status list then
  // says that no supported device could be found.
  bool StartSearch(CMessageWindow* owner);

  // The job's completion: queues or holds the received activities as
  // `choice` says, then goes on to the next candidate or ends the search.
  ESyncStep OnReceiveComplete(EActivityChoice choice);
  // After the choice page: the next candidate, or the end of the search.
  ESyncStep ContinueSearch();
  // The choice page's "Send": the included flags of the data set hold the
  // user's choice. The chosen activities go into the resend queue; every
  // received activity counts as seen from now on. False when a document
  // was due and could not be written.
  bool SendChosenActivities();

  // The end of a search after the last candidate: the trailing search line
  // goes when anything succeeded; otherwise the failures of every port are
  // shown, followed by the "No device found on USB ports" line.
  void EndSearch();

  // Asks a running job to stop and the search not to go on (Ctrl+C).
  void RequestStop();
  bool IsStopRequested() const { return m_stopRequested; }

  // Whether the upload should start once a search ended: something is
  // queued, or a trace is being written that the service should see.
  static bool IsUploadDue();

  // Turns the current driver's data set (its included activities) into
  // queue files: the exchange document and, when the data look incomplete,
  // the diagnostics file, each compressed under a temporary name and then
  // renamed, the plain files deleted. resend chooses QueueResend. False,
  // with nothing queued, when the document could not be written whole.
  bool WriteQueueDocument(int resend);
  // A name for the queue files of one document in folder, stamp or
  // stamp-N, that no other writer holds or has queued: claimed by creating
  // its plain document file, which the caller writes and then removes.
  // Empty when the folder takes no file.
  static std::string ClaimQueueName(const std::string& folder, const std::string& stamp);

  // The import page's "to the service": the file, unchanged, compressed
  // into the queue (resend: QueueResend) as "<stamp>.<extension>.gz", the
  // extension as the file's name has it. False, with errorText and nothing
  // queued, when the file cannot be read or the queue not written.
  static bool QueueImportFile(const std::string& path, int resend, std::string& queuedPath,
                              std::string& errorText);

  // The number of included activities (segments) of a data set.
  static int CountIncludedActivities(const CGpsDataSet& data);

  const CSyncRunReport& GetLastReport() const { return m_report; }
  // Runs in this search that ended with a document that could not be queued.
  int GetQueueFailures() const { return m_queueFailures; }

private:
  // The first (or next) candidate that passes the port filter.
  bool _FindCandidate(bool first);
  bool _StartRun();
  ESyncStep _ContinueOrEnd();
  // Queues the included activities and records them in the history once
  // they reached the queue.
  void _QueueIncluded(int resend);
  // Adds to the history the activities not known yet: all received ones,
  // or only those (not) included. Returns how many were added.
  enum class ESelect { All, Included, NotIncluded };
  int _RecordActivities(ESelect select);

  CThreadRxDevice& m_thread;
  CMessageWindow* m_owner = nullptr;
  std::string m_portFilter;
  std::unique_ptr<CCommsDevice> m_givenPort;  // pointed at m_portFilter
  bool m_stopRequested = false;
  CSyncRunReport m_report;
  int m_queueFailures = 0;
};
