// The dialog's work once a page has loaded: what each state fills in and
// which job it starts.
#include "app/ChoiceTables.h"
#include "app/PagePrefs.h"
#include "app/PageStatus.h"
#include "app/QVAgentDlg.h"
#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "platform/HtmlView.h"
#include "resources/StringIds.h"
#include "threads/ThreadMsgs.h"
#include "threads/ThreadRxDevice.h"
#include "threads/ThreadRxFile.h"
#include "threads/ThreadTxDevice.h"
#include "threads/ThreadTxServer.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

const char* StateName(int state) {
  switch (state) {
    case STATE_INTRO:
      return "STATE_INTRO";
    case STATE_TXSERVER:
      return "STATE_TXSERVER";
    case STATE_RXDEVICE_FIRST:
      return "STATE_RXDEVICE_FIRST";
    case STATE_RXDEVICE_EDIT:
      return "STATE_RXDEVICE_EDIT";
    case STATE_RXDEVICE_NEXT:
      return "STATE_RXDEVICE_NEXT";
    case STATE_RXFILE:
      return "STATE_RXFILE";
    case STATE_TXDEVICE_FIRST:
      return "STATE_TXDEVICE_FIRST";
    case STATE_TXDEVICE_EDIT:
      return "STATE_TXDEVICE_EDIT";
    case STATE_TXDEVICE_NEXT:
      return "STATE_TXDEVICE_NEXT";
    case STATE_IMPORT:
      return "STATE_IMPORT";
    case STATE_PREFS:
      return "STATE_PREFS";
    default:
      return nullptr;
  }
}

}  // namespace

void CQVAgentDlg::OnDocumentComplete(const std::string& url) {
  // An anchor within the page is no new page.
  if (url.find('#') != std::string::npos) return;
  if (m_ended) return;
  LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete()");
  const char* name = StateName(m_state);
  if (name == nullptr) {
    LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete(<unknown state=%u>)", static_cast<unsigned>(m_state));
    LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete(): exit");
    return;
  }
  LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete(%s)", name);
  switch (m_state) {
    case STATE_INTRO:
      _CompleteIntro();
      break;
    case STATE_TXSERVER:
      if (_RequireIdle(*m_txServer, name)) _CompleteTxServer();
      break;
    case STATE_RXDEVICE_FIRST:
      if (_RequireIdle(*m_rxDevice, name)) {
        _CompleteRxDeviceFirst();
      } else {
        // The fresh page must still show the running search and its Cancel.
        _DrawRxDevice();
        SetRetryText(m_view, IDS_HTML_CANCEL_RXDEVICE);
      }
      break;
    case STATE_RXDEVICE_EDIT:
      if (_RequireIdle(*m_rxDevice, name) && m_rxDevice->GetCurrentDriver() != nullptr) {
        BuildActivityTable(m_view, m_rxDevice->GetCurrentDriver()->GetDataSet());
      }
      break;
    case STATE_RXDEVICE_NEXT:
      if (_RequireIdle(*m_rxDevice, name)) _CompleteRxDeviceNext();
      break;
    case STATE_RXFILE:
      // The import page cannot be left while a file is read, so nothing to say.
      if (!m_rxFile->IsRunning()) _CompleteRxFile();
      break;
    case STATE_TXDEVICE_FIRST:
      if (_RequireIdle(*m_txDevice, name)) _CompleteTxDeviceFirst();
      break;
    case STATE_TXDEVICE_EDIT:
      if (_RequireIdle(*m_rxFile, name) && m_rxFile->GetImportedData() != nullptr) {
        BuildTrackTable(m_view, *m_rxFile->GetImportedData());
      }
      break;
    case STATE_TXDEVICE_NEXT:
      if (_RequireIdle(*m_txDevice, name)) _CompleteTxDeviceNext();
      break;
    case STATE_IMPORT:
      _CompleteImport();
      break;
    case STATE_PREFS:
      FillPreferences(m_view);
      break;
    default:
      break;
  }
  LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete(): exit");
}

bool CQVAgentDlg::_RequireIdle(const CThread& thread, const char* stateName) {
  if (!thread.IsRunning()) return true;
  LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete(%s) thread still running", stateName);
  return false;
}

void CQVAgentDlg::_LogStart(const char* stateName, const char* job) {
  LogWrite(LOG_INFO, "CQVAgentDlg::OnDocumentComplete(%s) %s start thread", stateName, job);
}

void CQVAgentDlg::_CompleteIntro() {
  const bool incomplete = CUtil::GetAccountName().empty() || CUtil::GetEmail().empty();
  BuildTaskTable(m_view, incomplete, CUtil::GetQueuedBytes() > 0 || LogIsEnabled(),
                 CUtil::GetUrlActivities());
  if (!m_msgs->IsRunning()) {
    _LogStart("STATE_INTRO", "TX msgs");
    m_msgs->StartThread(&m_window);
  }
  _DrawMessages();
}

void CQVAgentDlg::_CompleteTxServer() {
  m_txServer->ResetThread();
  _LogStart("STATE_TXSERVER", "TX server");
  m_txServer->StartThread(&m_window);
  _DrawTxServer();
  _DrawMessages();
}

void CQVAgentDlg::_CompleteRxDeviceFirst() {
  m_lastProgress = -1;
  m_txServer->ResetThread();
  // The search resets the job, writes the searching line and starts the
  // job on the first candidate.
  _LogStart("STATE_RXDEVICE_FIRST", "RX device");
  const bool started = m_sync.StartSearch(&m_window);
  if (started) SetRetryText(m_view, IDS_HTML_CANCEL_RXDEVICE);
  _DrawRxDevice();
  _DrawTxServer();
  _DrawMessages();
  if (!started) DisplayRxDevicePageOptions();
}

void CQVAgentDlg::_CompleteRxDeviceNext() {
  m_lastProgress = -1;
  const ESyncStep step = m_sync.ContinueSearch();
  _DrawRxDevice();
  _DrawTxServer();
  _DrawMessages();
  if (step == ESyncStep::NextDevice) {
    SetRetryText(m_view, IDS_HTML_CANCEL_RXDEVICE);
  } else {
    DisplayRxDevicePageOptions();
  }
}

void CQVAgentDlg::_CompleteRxFile() {
  m_rxFile->ResetThread();
  m_txDevice->ResetThread();
  m_rxFile->GetStatusList().Append(STATUS_BUSY, IDS_STATUS_READING_FILE);
  _DrawRxFile();
  _DrawTxDevice();
  _DrawAnnouncements();
  _LogStart("STATE_RXFILE", "RX file");
  m_rxFile->StartThread(&m_window);
}

void CQVAgentDlg::_CompleteTxDeviceFirst() {
  CStatusList& status = m_txDevice->GetStatusList();
  status.Clear();
  // Failures of an earlier transfer must not reappear at the end of this one.
  m_txDevice->GetErrorList().Clear();
  status.Append(STATUS_INFO, IDS_STATUS_SEARCHING);
  _DrawRxFile();
  _DrawTxDevice();
  _DrawAnnouncements();
  if (m_txDevice->GetFirstDevice(&m_window) != 0) {
    SetRetryText(m_view, IDS_HTML_CANCEL_TXDEVICE);
    _LogStart("STATE_TXDEVICE_FIRST", "TX device");
    m_txDevice->StartThread(&m_window);
    _DrawTxDevice();
    return;
  }
  status.SetLast(STATUS_WARNING, IDS_MSG_NO_DEVICE);
  _DrawTxDevice();
  SetRetryText(m_view, IDS_HTML_RETRY_TXDEVICE);
}

void CQVAgentDlg::_CompleteTxDeviceNext() {
  const bool next = m_txDevice->GetResult() != 1;
  if (next) m_txDevice->GetStatusList().SetLast(STATUS_INFO, IDS_STATUS_SEARCHING);
  _DrawRxFile();
  _DrawTxDevice();
  _DrawAnnouncements();
  if (next && m_txDevice->GetNextDevice() != 0) {
    _DrawTxDevice();
    _LogStart("STATE_TXDEVICE_NEXT", "TX device");
    m_txDevice->StartThread(&m_window);
    return;
  }
  _EndTxSearch();
  SetRetryText(m_view, IDS_HTML_RETRY_TXDEVICE);
}

void CQVAgentDlg::_CompleteImport() {
  m_view.SetChecked("RadioSendDevice", true);
  if (CUtil::GetAllowTimeConflicts()) m_view.SetChecked("CheckTimeConflicts", true);
  m_view.SetValue("EditFilename", m_rxFile->GetImportPath());
  if (!m_importFromCommandLine) return;
  m_importFromCommandLine = false;
  // A file handed over by the desktop goes to the receiver without a click.
  if (!m_rxFile->GetImportPath().empty()) _Go(STATE_RXFILE, PAGE_TXDEVICE);
}
