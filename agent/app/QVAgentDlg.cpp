#include "app/QVAgentDlg.h"

#include <cctype>
#include <chrono>

#include "app/ChoiceTables.h"
#include "app/DlgFileAssociations.h"
#include "app/ImportBrowse.h"
#include "app/PagePrefs.h"
#include "app/PageStatus.h"
#include "app/PageText.h"
#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "platform/HtmlView.h"
#include "platform/Shell.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/ThreadMsgs.h"
#include "threads/ThreadRxDevice.h"
#include "threads/ThreadRxFile.h"
#include "threads/ThreadTxDevice.h"
#include "threads/ThreadTxServer.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

// The exit check waits this often, this long, for the jobs to stop.
constexpr std::chrono::milliseconds kExitPoll{200};
constexpr int kExitPolls = 25;

template <class T>
std::unique_ptr<T> OrNew(std::unique_ptr<T> job) {
  return job ? std::move(job) : std::make_unique<T>();
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    bool same = true;
    for (size_t j = 0; j < part.size() && same; ++j) {
      same = std::tolower(static_cast<unsigned char>(text[i + j])) ==
             std::tolower(static_cast<unsigned char>(part[j]));
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

CQVAgentDlg::CQVAgentDlg(CHtmlView& view, CMessageWindow& window, Jobs jobs, Shell shell)
    : m_view(view),
      m_window(window),
      m_shell(std::move(shell)),
      m_msgs(OrNew(std::move(jobs.msgs))),
      m_rxDevice(OrNew(std::move(jobs.rxDevice))),
      m_rxFile(OrNew(std::move(jobs.rxFile))),
      m_txDevice(OrNew(std::move(jobs.txDevice))),
      m_txServer(OrNew(std::move(jobs.txServer))),
      m_sync(*m_rxDevice) {}

CQVAgentDlg::~CQVAgentDlg() {
  CThread* jobs[] = {m_msgs.get(), m_rxDevice.get(), m_rxFile.get(), m_txDevice.get(), m_txServer.get()};
  for (CThread* job : jobs) {
    if (job->IsRunning()) job->RequestAbort();
  }
  for (CThread* job : jobs) job->WaitForThread(std::chrono::seconds(10));
}

std::string CQVAgentDlg::UnquoteCommandLine(const std::string& commandLine) {
  std::string text = Trim(commandLine);
  if (!text.empty() && text.front() == '"') text.erase(0, 1);
  if (!text.empty() && text.back() == '"') text.pop_back();
  return text;
}

void CQVAgentDlg::Start(const std::string& commandLine) {
  CHtmlView::Events events;
  events.documentComplete = [this](const std::string& url) { OnDocumentComplete(url); };
  events.click = [this](const std::string& id) { OnClick(id); };
  events.keyPress = [this](const std::string& keys) { OnKeyPress(keys); };
  events.closed = [this] { ExitCheck(); };
  m_view.SetEvents(std::move(events));

  const bool taskbarIcon = CUtil::GetTaskbarIcon();
  if (m_shell.showTrayIcon) m_shell.showTrayIcon(taskbarIcon);
  CUtil::SetStartupShortcut(taskbarIcon);

  m_state = STATE_INTRO;
  m_startHidden = taskbarIcon && ContainsNoCase(commandLine, "-bg");
  if (!m_startHidden) {
    const std::string path = UnquoteCommandLine(commandLine);
    if (!path.empty()) {
      m_importFromCommandLine = true;
      m_rxFile->SetImportPath(path);
      m_state = STATE_IMPORT;
    }
  }
  // The start page loads even while hidden, so the announcements are
  // fetched and the page is ready when the window is shown.
  m_view.LoadPage(m_state == STATE_IMPORT ? PAGE_IMPORT : PAGE_INTRO);
  if (!m_startHidden) _ShowWindow();
}

LRESULT CQVAgentDlg::OnMessage(unsigned message, WPARAM wParam, LPARAM) {
  if (message == WM_THREAD_UPDATE) OnThreadUpdate(wParam);
  return 0;
}

void CQVAgentDlg::_Go(int state, unsigned page) {
  m_state = state;
  m_view.LoadPage(page);
}

void CQVAgentDlg::_ShowWindow() {
  m_startHidden = false;
  if (m_shell.showWindow) m_shell.showWindow(true);
}

bool CQVAgentDlg::_Open(const std::string& target) {
  return m_shell.open ? m_shell.open(target) : CShell::Open(target);
}

void CQVAgentDlg::OnClick(const std::string& id) {
  if (m_ended) return;
  if (id == "ButtonExit") {
    ExitCheck();
  } else if (id == "LinkIntro") {
    m_txServer->ResetThread();
    _Go(STATE_INTRO, PAGE_INTRO);
  } else if (id == "LinkViewInbox") {
    _Open(CUtil::GetUrlInbox());
  } else if (id == "LinkRxDevice" || id == "LinkRxDevice2") {
    _Go(STATE_RXDEVICE_FIRST, PAGE_RXDEVICE);
  } else if (id == "LinkCancelRxDevice") {
    if (m_rxDevice->IsRunning()) m_rxDevice->RequestAbort();
  } else if (id == "LinkCancelTxDevice") {
    if (m_txDevice->IsRunning()) m_txDevice->RequestAbort();
  } else if (id == "LinkImport" || id == "LinkImport2") {
    _Go(STATE_IMPORT, PAGE_IMPORT);
  } else if (id == "LinkTxServer" || id == "LinkTxServer2") {
    _Go(STATE_TXSERVER, PAGE_TXSERVER);
  } else if (id == "LinkPrefs" || id == "LinkPrefs2") {
    _Go(STATE_PREFS, PAGE_PREFS);
  } else if (id == "LinkSavePrefs") {
    _OnSavePrefs();
  } else if (id == "LinkRxRetry") {
    SetRetryText(m_view, 0);
    m_lastProgress = -1;
    _Go(STATE_RXDEVICE_FIRST, PAGE_RXDEVICE);
  } else if (id == "LinkTxRetry") {
    _OnTxRetry();
  } else if (id == "LinkTxDeviceRetry") {
    SetRetryText(m_view, 0);
    _Go(STATE_TXDEVICE_FIRST, PAGE_TXDEVICE);
  } else if (id == "LinkImportBrowse") {
    BrowseImportFile(m_view);
  } else if (id == "LinkImportSend") {
    _OnImportSend();
  } else if (id == "LinkEditHistorySend") {
    _OnEditHistorySend();
  } else if (id == "LinkEditHistoryCancel") {
    _Go(STATE_RXDEVICE_NEXT, PAGE_RXDEVICE);
  } else if (id == "LinkEditTxTracksSend") {
    _OnEditTxTracksSend();
  } else if (id == "LinkEditTxTracksCancel") {
    if (CGpsDataSet* data = m_rxFile->GetImportedData()) data->ClearRecords();
    _Go(STATE_INTRO, PAGE_INTRO);
  } else if (id == "LinkFileAssoc") {
    CDlgFileAssociations::Show(m_view, CUtil::GetModulePath());
  } else if (id == "LinkAbout") {
    // Without a notification-area icon its menu cannot open the About box;
    // the start page's link can.
    ShowAboutBox();
  }
}

void CQVAgentDlg::_OnSavePrefs() {
  SavePreferences(m_view);
  const bool taskbarIcon = CUtil::GetTaskbarIcon();
  if (m_shell.showTrayIcon) m_shell.showTrayIcon(taskbarIcon);
  CUtil::SetStartupShortcut(taskbarIcon);
  _Go(STATE_INTRO, PAGE_INTRO);
}

void CQVAgentDlg::_OnTxRetry() {
  SetRetryText(m_view, 0);
  LogWrite(LOG_INFO, "CQVAgentDlg::OnLinkTxRetry() TX server start thread");
  if (!m_txServer->IsRunning()) m_txServer->StartThread(&m_window);
}

void CQVAgentDlg::_OnImportSend() {
  bool toServer = false;
  bool timeConflicts = false;
  std::string name;
  m_view.GetChecked("RadioSendServer", toServer);
  m_view.GetValue("EditFilename", name);
  m_view.GetChecked("CheckTimeConflicts", timeConflicts);
  CUtil::SetAllowTimeConflicts(timeConflicts);
  name = Trim(name);
  if (name.empty()) return;

  if (toServer) {
    std::string queued;
    std::string errorText;
    if (!CSyncWorkflow::QueueImportFile(name, timeConflicts ? 1 : 0, queued, errorText)) {
      // Nothing reached the queue: the upload page would only say so
      // without the reason.
      m_view.ShowMessageBox(LoadString(IDS_AGENT_NAME), errorText.empty() ? name : name + ": " + errorText,
                            [] {});
      return;
    }
    _Go(STATE_TXSERVER, PAGE_TXSERVER);
    return;
  }
  m_rxFile->SetImportPath(name);
  _Go(STATE_RXFILE, PAGE_TXDEVICE);
}

void CQVAgentDlg::_OnEditHistorySend() {
  if (m_rxDevice->IsRunning() || m_rxDevice->GetCurrentDriver() == nullptr) {
    _Go(STATE_RXDEVICE_NEXT, PAGE_RXDEVICE);
    return;
  }
  ReadActivityChoices(m_view, m_rxDevice->GetCurrentDriver()->GetDataSet());
  // Every received activity counts as seen from now on; the chosen ones go
  // into the resend queue, as the service may hold activities they overlap.
  m_sync.SendChosenActivities();
  _Go(STATE_RXDEVICE_NEXT, PAGE_RXDEVICE);
}

void CQVAgentDlg::_OnEditTxTracksSend() {
  CGpsDataSet* data = m_rxFile->GetImportedData();
  if (data != nullptr && !m_rxFile->IsRunning() && ReadTrackChoices(m_view, *data)) {
    _Go(STATE_TXDEVICE_FIRST, PAGE_TXDEVICE);
    return;
  }
  if (data != nullptr) data->ClearRecords();
  _Go(STATE_INTRO, PAGE_INTRO);
}

void CQVAgentDlg::OnKeyPress(const std::string& keys) {
  if (keys == "Ctrl+Shift+D") {
    EnableTracing();
  } else if (keys == "Ctrl+Shift+F") {
    _Open(CUtil::GetDataFolder());
  }
}

void CQVAgentDlg::EnableTracing() {
  if (!LogIsEnabled()) {
    LogEnable(LOG_DEBUG, CUtil::GetQueueFolder(0));
    LogWriteHeader();
  }
  m_view.ShowMessageBox("Logging", "Logging is now enabled.", [this] {
    // The start page offers "Send Queued Activites" while a trace is written.
    if (m_state == STATE_INTRO) m_view.LoadPage(PAGE_INTRO);
  });
}

void CQVAgentDlg::ShowAboutBox() {
  m_view.ShowAbout("About " + LoadString(IDS_AGENT_NAME),
                   FillFragment(IDS_ABOUT_VERSION, {CUtil::GetVersion()}));
}

void CQVAgentDlg::ShowStartPage() {
  m_txServer->ResetThread();
  _Go(STATE_INTRO, PAGE_INTRO);
  _ShowWindow();
}

void CQVAgentDlg::OnCommandLine(const std::string& commandLine) {
  const std::string path = UnquoteCommandLine(commandLine);
  if (path.empty()) {
    ShowStartPage();
    return;
  }
  m_importFromCommandLine = true;
  m_rxFile->SetImportPath(path);
  _Go(STATE_IMPORT, PAGE_IMPORT);
  _ShowWindow();
}

bool CQVAgentDlg::ExitCheck() {
  if (m_ended) return true;
  CThread* jobs[] = {m_msgs.get(), m_rxDevice.get(), m_rxFile.get(), m_txDevice.get(), m_txServer.get()};
  for (CThread* job : jobs) {
    if (job->IsRunning()) job->RequestAbort();
  }
  // Jobs report their end by sent messages, which must be handled while
  // waiting; what those reports would start next is not started.
  m_exiting = true;
  const auto stopped = [&jobs] {
    for (CThread* job : jobs) {
      if (job->IsThreadActive()) return false;
    }
    return true;
  };
  m_window.WaitHandlingSends(stopped, kExitPoll * kExitPolls, kExitPoll);
  m_exiting = false;

  if (m_shell.isTrayIconShown && m_shell.isTrayIconShown()) {
    if (m_shell.showWindow) m_shell.showWindow(false);
    m_rxDevice->ResetThread();
    m_rxFile->ResetThread();
    m_txDevice->ResetThread();
    m_txServer->ResetThread();
    _Go(STATE_INTRO, PAGE_INTRO);
    return false;
  }
  if (LogIsEnabled()) {
    LogWrite(LOG_INFO, "Closing log file for agent termination");
    LogCloseAndCompress();
  }
  EndDialog();
  return true;
}

void CQVAgentDlg::EndDialog() {
  if (m_ended) return;
  m_ended = true;
  if (m_shell.endDialog) m_shell.endDialog();
}
