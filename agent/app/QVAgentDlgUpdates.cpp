// The dialog's side of the jobs' reports: redrawing status and progress, and
// at the end of a run choosing what comes next.
#include "app/PageStatus.h"
#include "app/QVAgentDlg.h"
#include "platform/HtmlView.h"
#include "resources/StringIds.h"
#include "threads/ThreadMsgs.h"
#include "threads/ThreadRxDevice.h"
#include "threads/ThreadRxFile.h"
#include "threads/ThreadTxDevice.h"
#include "threads/ThreadTxServer.h"
#include "util/TraceLog.h"
#include "util/Util.h"

void CQVAgentDlg::OnThreadUpdate(WPARAM wParam) {
  const uint16_t type = LOWORD(wParam);
  const uint16_t kind = HIWORD(wParam);
  if (m_ended) return;
  switch (type) {
    case THREAD_TYPE_MSGS:
      _DrawMessages();
      break;
    case THREAD_TYPE_RXDEVICE:
      if (kind == THREAD_UPD_STATUS) _DrawRxDevice();
      if (kind == THREAD_UPD_PROGRESS) _DrawProgress(*m_rxDevice);
      if (kind == THREAD_UPD_COMPLETE) _OnRxDeviceComplete();
      break;
    case THREAD_TYPE_RXFILE:
      if (kind == THREAD_UPD_STATUS) _DrawRxFile();
      if (kind == THREAD_UPD_COMPLETE) _OnRxFileComplete();
      break;
    case THREAD_TYPE_TXDEVICE:
      if (kind == THREAD_UPD_STATUS) {
        _DrawRxFile();
        _DrawTxDevice();
      }
      if (kind == THREAD_UPD_PROGRESS) _DrawProgress(*m_txDevice);
      if (kind == THREAD_UPD_COMPLETE) _OnTxDeviceComplete();
      break;
    case THREAD_TYPE_TXSERVER:
      if (kind == THREAD_UPD_PROGRESS) {
        DisplayProgress(m_view, static_cast<unsigned>(m_txServer->GetProgressPercent()));
        break;
      }
      _DrawTxServer();
      _DrawMessages();
      if (kind == THREAD_UPD_COMPLETE) _OnTxServerComplete();
      break;
    default:
      break;
  }
}

void CQVAgentDlg::_DrawProgress(const CThread& thread) {
  const int percent = thread.GetProgressPercent();
  if (percent == m_lastProgress) return;
  DisplayProgress(m_view, static_cast<unsigned>(percent));
  m_lastProgress = percent;
}

void CQVAgentDlg::_OnRxDeviceComplete() {
  // A report that waited in the queue while the job was reset (the exit
  // check does so) belongs to a run nobody follows any more.
  if (m_rxDevice->GetStatus() == THREAD_IDLE) return;
  _DrawRxDevice();
  // While the dialog closes, a run that ends starts nothing new.
  if (m_exiting) return;
  const ESyncStep step = m_sync.OnReceiveComplete(EActivityChoice::AskUser);
  if (step == ESyncStep::ChooseActivities) {
    _Go(STATE_RXDEVICE_EDIT, PAGE_RXDEVICE_EDIT);
    return;
  }
  _DrawRxDevice();
  if (step == ESyncStep::NextDevice) {
    m_state = STATE_RXDEVICE_NEXT;
    LogWrite(LOG_INFO,
             "CQVAgentDlg::OnThreadUpdate(THREAD_TYPE_RXDEVICE, THREAD_UPD_COMPLETE) RX device start thread");
    return;
  }
  DisplayRxDevicePageOptions();
}

void CQVAgentDlg::DisplayRxDevicePageOptions() {
  if (CSyncWorkflow::IsUploadDue()) {
    SetRetryText(m_view, 0);
    _StartUpload("CQVAgentDlg::DisplayRxDevicePageOptions() TX server start thread");
  } else {
    SetRetryText(m_view, IDS_HTML_RETRY_RXDEVICE);
  }
}

void CQVAgentDlg::_StartUpload(const char* logLine) {
  LogWrite(LOG_INFO, "%s", logLine);
  if (!m_txServer->IsRunning()) m_txServer->StartThread(&m_window);
}

void CQVAgentDlg::_OnRxFileComplete() {
  if (m_rxFile->GetStatus() == THREAD_IDLE) return;
  _DrawRxFile();
  if (m_exiting) return;
  if (m_rxFile->GetResult() != 1) {
    SetRetryText(m_view, IDS_HTML_BUTTON_CANCEL);
    return;
  }
  m_txDevice->SetTxData(m_rxFile->GetImportedData());
  _Go(STATE_TXDEVICE_EDIT, PAGE_TXDEVICE_EDIT);
}

void CQVAgentDlg::_OnTxDeviceComplete() {
  if (m_txDevice->GetStatus() == THREAD_IDLE) return;
  CStatusList& status = m_txDevice->GetStatusList();
  if (m_txDevice->IsAbortRequested()) {
    status.TakeAll(m_txDevice->GetErrorList());
    _DrawRxFile();
    _DrawTxDevice();
    SetRetryText(m_view, IDS_HTML_RETRY_TXDEVICE);
    return;
  }
  _DrawRxFile();
  _DrawTxDevice();
  const bool next = m_txDevice->GetResult() != 1 && !m_exiting;
  if (m_txDevice->GetResult() != 1) status.SetLast(STATUS_INFO, IDS_STATUS_SEARCHING);
  _DrawRxFile();
  _DrawTxDevice();
  if (next && m_txDevice->GetNextDevice() != 0) {
    _DrawTxDevice();
    m_state = STATE_TXDEVICE_NEXT;
    LogWrite(LOG_INFO,
             "CQVAgentDlg::OnThreadUpdate(THREAD_TYPE_TXDEVICE, THREAD_UPD_COMPLETE) TX device start thread");
    // The finished run's worker is on its way out; the frame waits for it.
    m_txDevice->StartThread(&m_window);
    return;
  }
  _EndTxSearch();
  SetRetryText(m_view, m_txDevice->GetSuccessCount() > 0 || m_txDevice->GetFailureCount() < 1
                           ? IDS_HTML_BUTTON_OK
                           : IDS_HTML_RETRY_TXDEVICE);
  _DrawRxFile();
  _DrawTxDevice();
}

void CQVAgentDlg::_EndTxSearch() {
  CStatusList& status = m_txDevice->GetStatusList();
  if (m_txDevice->GetFailureCount() < 1 || m_txDevice->GetSuccessCount() > 0) {
    status.RemoveLast();
  } else {
    status.TakeAll(m_txDevice->GetErrorList());
    status.Append(STATUS_WARNING, IDS_STATUS_NO_DEVICE_USB);
  }
  _DrawTxDevice();
}

void CQVAgentDlg::_OnTxServerComplete() {
  if (m_txServer->GetResult() == 1) {
    SetRetryText(m_view, IDS_HTML_VIEW_INBOX, IDS_HTML_MAIN_MENU);
  } else if (CUtil::GetQueuedBytes() > 0) {
    SetRetryText(m_view, IDS_HTML_RETRY_TXSERVER);
  } else {
    SetRetryText(m_view, IDS_HTML_BUTTON_CANCEL);
  }
}

void CQVAgentDlg::_DrawRxDevice() {
  DisplayStatusList(m_view, m_rxDevice->GetStatusList(), "RxStatusSection");
}

void CQVAgentDlg::_DrawRxFile() {
  DisplayStatusList(m_view, m_rxFile->GetStatusList(), "RxStatusSection");
}

void CQVAgentDlg::_DrawTxDevice() {
  DisplayStatusList(m_view, m_txDevice->GetStatusList(), "TxStatusSection");
}

void CQVAgentDlg::_DrawTxServer() {
  DisplayStatusList(m_view, m_txServer->GetStatusList(), "TxStatusSection");
}

const CMsgFeed& CQVAgentDlg::_CurrentFeed() const {
  if (m_txServer->GetMessages().GetItemCount() > 0) return m_txServer->GetMessages();
  return m_msgs->GetMessages();
}

void CQVAgentDlg::_DrawMessages() {
  DisplayMessages(m_view, _CurrentFeed());
}

void CQVAgentDlg::_DrawAnnouncements() {
  DisplayMessages(m_view, m_msgs->GetMessages());
}
