#include "threads/ThreadMsgs.h"

#include <expat.h>

#include <filesystem>
#include <memory>

#include "platform/HttpFile.h"
#include "platform/InternetException.h"
#include "platform/InternetSession.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

constexpr size_t kMaxExceptionText = 128;

// The feed keeps only the parser's text of why a document did not parse;
// the error list and the trace want the parser's number too.
unsigned FeedParseErrorCode(const CMsgFeed& feed) {
  const std::string text = feed.GetParseErrorText();
  for (int code = 1; code < 100; ++code) {
    const XML_LChar* known = XML_ErrorString(static_cast<XML_Error>(code));
    if (known != nullptr && text == known) return static_cast<unsigned>(code);
  }
  return 0;
}

std::string ErrorLine(HRESULT code, const std::string& text) {
  return CUtil::BuildErrorList(LoadString(IDS_ERR_RETRIEVE_MSGS), code, text, 0, std::string());
}

}  // namespace

CThreadMsgs::CThreadMsgs() : CThread(THREAD_TYPE_MSGS) {}

CThreadMsgs::~CThreadMsgs() {
  // The worker uses this object to its last line.
  RequestAbort();
  WaitForThread(std::chrono::seconds(30));
}

bool CThreadMsgs::StartThread(CMessageWindow* owner) {
  if (!_CanStart(owner, nullptr)) return false;
  m_statusList.Clear();
  return _LaunchThread(&CThreadMsgs::ThreadProc);
}

void CThreadMsgs::ResetThread() {
  if (!_CanReset("CThreadMsgs::ResetThread(): messages thread is running.")) return;
  m_statusList.Clear();
  CThread::ResetThread();
}

void CThreadMsgs::ThreadProc(void* param) {
  LogWrite(LOG_INFO, "CThreadMsgs::ThreadProc()");
  if (param == nullptr) {
    LogWrite(LOG_INFO, "CThreadMsgs::ThreadProc(): terminated (invalid pParam)");
    return;
  }
  static_cast<CThreadMsgs*>(param)->_Run();
}

void CThreadMsgs::_Run() {
  _SetStatus(THREAD_RUNNING);
  m_statusList.Append(STATUS_INFO, IDS_STATUS_RETRIEVING_MSGS);
  _PostUpdate(THREAD_UPD_STATUS);

  const std::string cachePath = CUtil::GetAnnouncementsFile();
  m_feed.Reset();
  if (!cachePath.empty()) m_feed.ParseFile(cachePath);

  const std::string agent = CUtil::GetAgentName();
  const std::string url = CUtil::GetUrlRxMsgs();
  if (url.empty()) {
    _Complete();
    LogWrite(LOG_INFO, "CThreadMsgs::ThreadProc(): terminated (missing URL)");
    return;
  }

  std::unique_ptr<CInternetSession> session;
  try {
    session = std::make_unique<CInternetSession>(agent, 1, INTERNET_OPEN_TYPE_PRECONFIG, std::string(),
                                                 std::string(), 0);
    std::unique_ptr<CHttpFile> response = session->OpenURL(url, 1, INTERNET_FLAG_TRANSFER_ASCII);
    if (!response) {
      m_statusList.RemoveLast();
      _Complete();
      LogWrite(LOG_INFO, "CThreadMsgs::ThreadProc(): terminated (no msgs)");
      session->Close();
      return;
    }

    CHttpFile* reply = response.get();
    const bool wellFormed = m_feed.Parse([reply](char* buffer, size_t size) -> int64_t {
      return static_cast<int64_t>(reply->Read(buffer, size));
    });
    if (!wellFormed) {
      const std::string text = m_feed.GetParseErrorText();
      m_statusList.SetLast(STATUS_ERROR,
                           ErrorLine(static_cast<HRESULT>(0x80190000u | FeedParseErrorCode(m_feed)), text));
      LogWrite(LOG_ERROR, "CThreadMsgs::ThreadProc(): announcements format error=%s", text.c_str());
    }
    response->Close();

    // Only a whole answer with something to say replaces the cache; a
    // broken one must not leave its fragments there or on the page.
    if (wellFormed && m_feed.GetItemCount() > 0) {
      if (!m_feed.Write(cachePath)) {
        LogWrite(LOG_ERROR, "CThreadMsgs::ThreadProc(): read announcements file: %s", cachePath.c_str());
        LogWrite(LOG_ERROR, "CThreadMsgs::ThreadProc(): read announcements file error=%s",
                 m_feed.GetParseErrorText().c_str());
      }
    } else {
      if (!wellFormed) m_feed.Reset();
      _ReloadCache(cachePath);
    }

    m_statusList.RemoveLast();
    _Complete();
    LogWrite(LOG_INFO, "CThreadMsgs::ThreadProc(): terminated (OK)");
    session->Close();
  } catch (const CInternetException& error) {
    m_statusList.SetLast(STATUS_ERROR, ErrorLine(static_cast<HRESULT>(0x80190000u | error.ErrorCode()),
                                                 error.ErrorMessage().substr(0, kMaxExceptionText)));
    _Complete();
    LogWrite(LOG_INFO, "CThreadMsgs::ThreadProc(): terminated (Error retrieving messages)");
    if (session) session->Close();
  }
}

void CThreadMsgs::_ReportUnfinishedRun(const std::string& reason) {
  m_statusList.SetLast(STATUS_ERROR, ErrorLine(0, LoadString(IDS_ERR_INTERNAL) + ": " + reason));
  _SendUpdate(THREAD_UPD_STATUS);
}

void CThreadMsgs::_ReloadCache(const std::string& cachePath) {
  std::error_code ec;
  if (cachePath.empty() || !std::filesystem::exists(cachePath, ec)) return;
  if (!m_feed.ParseFile(cachePath)) {
    LogWrite(LOG_ERROR, "CThreadMsgs::ThreadProc(): read announcements file error=%u",
             FeedParseErrorCode(m_feed));
  }
}

void CThreadMsgs::_Complete() {
  // The dialog reads the thread's feed whenever it draws the messages pane,
  // also for other jobs' updates; so the feed changes only on its thread.
  CMessageWindow* owner = GetOwner();
  if (owner == nullptr) {
    GetMessages() = m_feed;
  } else {
    owner->SendTask([this] { GetMessages() = m_feed; });
  }
  _SetStatus(THREAD_TERMINATED);
  _SendUpdate(THREAD_UPD_COMPLETE);
}
