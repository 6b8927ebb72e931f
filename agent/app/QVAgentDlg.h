// The agent's window: one page at a time in the HTML view, a state that says
// what the page is for, and the five background jobs, owned for the whole
// life of the dialog and started again for every run. The state machine
// moves on from two places only: a page finished loading (OnDocumentComplete
// does the work that needs the page's elements) and a job reported
// (OnThreadUpdate redraws and, at a job's end, chooses the next step).
// Clicks and key presses choose the next page and state.
//
// Everything here runs on the UI thread of the message window the jobs
// report to.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/MessageWindow.h"
#include "threads/SyncWorkflow.h"
#include "threads/ThreadMsgs.h"
#include "threads/ThreadRxDevice.h"
#include "threads/ThreadRxFile.h"
#include "threads/ThreadTxDevice.h"
#include "threads/ThreadTxServer.h"

class CHtmlView;
class CMsgFeed;

enum DlgState : int {
  STATE_INTRO = 0,
  STATE_TXSERVER = 1,
  STATE_RXDEVICE_FIRST = 2,
  STATE_RXDEVICE_EDIT = 3,
  STATE_RXDEVICE_NEXT = 4,
  STATE_RXFILE = 5,
  STATE_TXDEVICE_FIRST = 6,
  STATE_TXDEVICE_EDIT = 7,
  STATE_TXDEVICE_NEXT = 8,
  STATE_IMPORT = 9,
  STATE_PREFS = 10,
};

// The page resources of the states.
enum DlgPage : unsigned {
  PAGE_INTRO = 105,
  PAGE_PREFS = 106,
  PAGE_RXDEVICE = 107,
  PAGE_TXSERVER = 108,
  PAGE_IMPORT = 109,
  PAGE_RXDEVICE_EDIT = 110,
  PAGE_TXDEVICE = 192,
  PAGE_TXDEVICE_EDIT = 193,
};

class CQVAgentDlg {
public:
  // The jobs the dialog owns; tests hand in jobs whose runs they script.
  // A null entry gets the real job.
  struct Jobs {
    std::unique_ptr<CThreadMsgs> msgs;
    std::unique_ptr<CThreadRxDevice> rxDevice;
    std::unique_ptr<CThreadRxFile> rxFile;
    std::unique_ptr<CThreadTxDevice> txDevice;
    std::unique_ptr<CThreadTxServer> txServer;
  };

  // What the dialog asks of the application around it.
  struct Shell {
    // The notification-area icon: whether it is shown, and showing or removing it.
    std::function<bool()> isTrayIconShown;
    std::function<void(bool on)> showTrayIcon;
    // Shows the window (the start page in the user's browser) or hides it.
    std::function<void(bool show)> showWindow;
    // The dialog has ended; the application ends with it.
    std::function<void()> endDialog;
    // Opens a web address or folder with the desktop (CShell::Open when unset).
    std::function<bool(const std::string& target)> open;
  };

  CQVAgentDlg(CHtmlView& view, CMessageWindow& window, Jobs jobs = {}, Shell shell = {});
  // Asks every running job to stop and waits for its worker.
  ~CQVAgentDlg();
  CQVAgentDlg(const CQVAgentDlg&) = delete;
  CQVAgentDlg& operator=(const CQVAgentDlg&) = delete;

  // The dialog's start: hooks the view's events, shows or hides the tray
  // icon as TaskbarIcon says, and loads the start page, or the import page
  // for a file on the command line. With "-bg" and TaskbarIcon on it stays
  // hidden. `commandLine` is the program's arguments as one text.
  void Start(const std::string& commandLine);

  // The window messages (WM_THREAD_UPDATE); the message window's handler.
  LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam);

  // Page and user events.
  void OnDocumentComplete(const std::string& url);
  void OnClick(const std::string& id);
  void OnKeyPress(const std::string& keys);
  void OnThreadUpdate(WPARAM wParam);

  // A second agent handed over its command line: a file to import, or
  // (empty) the start page. Either way the window is shown.
  void OnCommandLine(const std::string& commandLine);
  // The notification-area icon's "Open Agent" and double click; a second
  // agent started without a file.
  void ShowStartPage();

  // The close of the window (the last page closed, the Exit button): asks
  // the jobs to stop, waits at most five seconds for them, then either
  // hides (tray icon shown) or allows the close. True when the dialog ends.
  bool ExitCheck();
  // Tray menu "Exit": ends at once, without the exit check.
  void EndDialog();
  bool HasEnded() const { return m_ended; }

  // Ctrl+Shift+D.
  void EnableTracing();
  void ShowAboutBox();

  int GetState() const { return m_state; }
  bool IsStartHidden() const { return m_startHidden; }

  CThreadMsgs& GetMsgsThread() { return *m_msgs; }
  CThreadRxDevice& GetRxDeviceThread() { return *m_rxDevice; }
  CThreadRxFile& GetRxFileThread() { return *m_rxFile; }
  CThreadTxDevice& GetTxDeviceThread() { return *m_txDevice; }
  CThreadTxServer& GetTxServerThread() { return *m_txServer; }

  // The command line trimmed, with one leading and one trailing quote removed.
  static std::string UnquoteCommandLine(const std::string& commandLine);

private:
  // Sets the state and loads its page.
  void _Go(int state, unsigned page);
  void _ShowWindow();
  bool _Open(const std::string& target);

  // Clicks.
  void _OnSavePrefs();
  void _OnImportSend();
  void _OnEditHistorySend();
  void _OnEditTxTracksSend();
  void _OnTxRetry();

  // Page loads, one per state (QVAgentDlgPages.cpp).
  void _CompleteIntro();
  void _CompleteTxServer();
  void _CompleteRxDeviceFirst();
  void _CompleteRxDeviceNext();
  void _CompleteRxFile();
  void _CompleteTxDeviceFirst();
  void _CompleteTxDeviceNext();
  void _CompleteImport();
  // "still running" when the job runs; true when it is idle.
  bool _RequireIdle(const CThread& thread, const char* stateName);
  void _LogStart(const char* stateName, const char* job);

  // Job reports (QVAgentDlgUpdates.cpp).
  void _OnRxDeviceComplete();
  void _OnRxFileComplete();
  void _OnTxDeviceComplete();
  void _OnTxServerComplete();
  void _DrawRxDevice();
  void _DrawRxFile();
  void _DrawTxDevice();
  void _DrawTxServer();
  void _DrawMessages();
  void _DrawAnnouncements();
  void _DrawProgress(const CThread& thread);
  // After the receive search ended: the upload when anything is queued,
  // otherwise the Retry and Cancel buttons.
  void DisplayRxDevicePageOptions();
  // The transmit search's end lines (the receive search ends in the workflow).
  void _EndTxSearch();
  void _StartUpload(const char* logLine);
  // The upload job's feed when the service answered with messages,
  // otherwise the announcements.
  const CMsgFeed& _CurrentFeed() const;

  CHtmlView& m_view;
  CMessageWindow& m_window;
  Shell m_shell;

  std::unique_ptr<CThreadMsgs> m_msgs;
  std::unique_ptr<CThreadRxDevice> m_rxDevice;
  std::unique_ptr<CThreadRxFile> m_rxFile;
  std::unique_ptr<CThreadTxDevice> m_txDevice;
  std::unique_ptr<CThreadTxServer> m_txServer;
  CSyncWorkflow m_sync;

  int m_state = STATE_INTRO;
  int m_lastProgress = -1;
  bool m_importFromCommandLine = false;
  bool m_startHidden = false;
  // Set while the exit check waits: jobs that end then start nothing new.
  bool m_exiting = false;
  bool m_ended = false;
};
