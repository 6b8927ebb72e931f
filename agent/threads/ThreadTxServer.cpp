#include "threads/ThreadTxServer.h"

#include <expat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/HttpConnection.h"
#include "platform/HttpFile.h"
#include "platform/InternetException.h"
#include "platform/InternetSession.h"
#include "platform/MappedFile.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

constexpr size_t kMaxExceptionText = 260;
constexpr uint32_t kRequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_KEEP_CONNECTION;

HRESULT SuccessCode(uint32_t status) {
  return static_cast<HRESULT>(0x00190000u + (status & 0xFFFFu));
}

HRESULT ExceptionCode(const CInternetException& error) {
  return static_cast<HRESULT>(0x80190000u | error.ErrorCode());
}

// A failed call must never read as success: a call that failed without
// leaving an error number still gives a failure code.
HRESULT Win32FailureCode(uint32_t error) {
  const HRESULT code = HRESULT_FROM_WIN32(error);
  return code < 0 ? code : HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
}

std::string JoinFolder(const std::string& parent, unsigned nameId) {
  if (parent.empty()) return std::string();
  return parent + "/" + LoadString(nameId);
}

// The queued documents of a folder: every regular file whose name ends in
// ".gz", in name order, which is the order in which they were queued.
std::vector<std::filesystem::path> QueuedFiles(const std::string& folder) {
  std::vector<std::filesystem::path> files;
  if (folder.empty()) return files;
  const std::string suffix = "." + LoadString(IDS_EXT_GZ);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    std::error_code typeError;
    if (it->is_regular_file(typeError)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The feed keeps only the parser's text of why a reply did not parse; the
// trace wants the parser's number too.
unsigned FeedParseErrorCode(const CMsgFeed& feed) {
  const std::string text = feed.GetParseErrorText();
  for (int code = 1; code < 100; ++code) {
    const XML_LChar* known = XML_ErrorString(static_cast<XML_Error>(code));
    if (known != nullptr && text == known) return static_cast<unsigned>(code);
  }
  return 0;
}

}  // namespace

CThreadTxServer::CThreadTxServer() : CThread(THREAD_TYPE_TXSERVER) {}

CThreadTxServer::~CThreadTxServer() {
  // The worker uses this object to its last line.
  RequestAbort();
  WaitForThread(std::chrono::seconds(30));
}

bool CThreadTxServer::StartThread(CMessageWindow* owner) {
  if (!_CanStart(owner, "TX server thread is already running.")) return false;
  m_statusList.Clear();
  return _LaunchThread(&CThreadTxServer::ThreadProc);
}

void CThreadTxServer::ResetThread() {
  if (!_CanReset("CThreadTxServer::ResetThread(): TX server thread is running.")) return;
  m_statusList.Clear();
  CThread::ResetThread();
}

bool CThreadTxServer::IsHttp400(HRESULT code) {
  const uint32_t value = static_cast<uint32_t>(code);
  return (value & 0x1FFF0000u) == 0x00190000u && (value & 0xFFFFu) == HTTP_STATUS_BAD_REQUEST;
}

void CThreadTxServer::ThreadProc(void* param) {
  LogWrite(LOG_INFO, "TxServer ThreadProc()");
  if (param == nullptr) return;
  static_cast<CThreadTxServer*>(param)->_Run();
}

void CThreadTxServer::_Run() {
  LogWrite(LOG_INFO, "TX server thread started.");
  _SetResult(1);
  _SetStatus(THREAD_RUNNING);

  // The trace of what led here travels with this very upload.
  if (LogIsEnabled()) {
    LogWrite(LOG_INFO, "Closing log file for synchronization");
    LogCloseAndCompress();
  }

  const uint32_t attempt = InternetAttemptConnect(0);
  if (attempt != 0) {
    LogWrite(LOG_ERROR, "InternetAttemptConnect() failed, error=%u", attempt);
    _SetStatus(THREAD_TERMINATED);
    _SendUpdate(THREAD_UPD_COMPLETE);
    return;
  }
  if (CUtil::GetQueuedBytes() == 0) {
    LogWrite(LOG_WARN, "TX server thread terminated because there are no files to upload.");
    _SetStatus(THREAD_TERMINATED);
    _SendUpdate(THREAD_UPD_COMPLETE);
    return;
  }

  const std::string dataFolder = CUtil::GetDataFolder();
  const std::string sentFolder = JoinFolder(dataFolder, IDS_FOLDER_SENT);
  const std::string errorFolder = JoinFolder(dataFolder, IDS_FOLDER_ERROR);
  std::error_code ignored;
  if (!sentFolder.empty()) std::filesystem::create_directory(sentFolder, ignored);
  if (!errorFolder.empty()) std::filesystem::create_directory(errorFolder, ignored);

  m_replyFeed.Reset();
  m_statusList.SetLast(STATUS_BUSY, IDS_STATUS_SENDING);
  _SendUpdate(THREAD_UPD_STATUS);

  HRESULT code = 0;
  std::string errorText;
  try {
    const std::string agent = CUtil::GetAgentName();
    LogWrite(LOG_INFO, "Create HTTP session with agent name: %s", agent.c_str());
    CInternetSession session(agent, 1, INTERNET_OPEN_TYPE_PRECONFIG, {}, {}, 0);
    const std::string server = CUtil::GetServerName();
    LogWrite(LOG_INFO, "Open HTTP connection with server: %s", server.c_str());
    std::unique_ptr<CHttpConnection> connection =
        session.GetHttpConnection(server, INTERNET_DEFAULT_HTTP_PORT, {}, {});
    code = _TransmitQueue(*connection, 0, sentFolder, errorFolder, errorText);
    if (code >= 0) code = _TransmitQueue(*connection, 1, sentFolder, errorFolder, errorText);
    connection->Close();
    connection.reset();
    session.Close();
  } catch (const CInternetException& error) {
    errorText = error.ErrorMessage().substr(0, kMaxExceptionText);
    LogWrite(LOG_ERROR, "Internet Exception: %s", errorText.c_str());
    code = ExceptionCode(error);
  }
  _Finish(code, errorText);
}

void CThreadTxServer::_ReportUnfinishedRun(const std::string& reason) {
  // Whatever was not sent stays queued for the next run.
  m_statusList.SetLast(STATUS_ERROR,
                       CUtil::BuildErrorList(LoadString(IDS_MSG_UPLOAD_QUEUED), 0,
                                             LoadString(IDS_ERR_INTERNAL) + ": " + reason, 0, std::string()));
  _SendUpdate(THREAD_UPD_STATUS);
  LogWrite(LOG_ERROR, "Upload failed");
}

void CThreadTxServer::_PublishReply() {
  // The dialog reads the thread's feed whenever it draws the messages pane,
  // also for other jobs' updates; so the feed changes only on its thread.
  CMessageWindow* owner = GetOwner();
  if (owner == nullptr) {
    GetMessages() = m_replyFeed;
  } else {
    owner->SendTask([this] { GetMessages() = m_replyFeed; });
  }
}

void CThreadTxServer::_Finish(HRESULT code, const std::string& errorText) {
  _PublishReply();
  if (code >= 0) {
    _SetResult(1);
    m_statusList.SetLast(STATUS_DONE, IDS_MSG_UPLOAD_DONE);
    LogWrite(LOG_INFO, "Upload successful");
  } else {
    _SetResult(0);
    const std::string message = LoadString(IsHttp400(code) ? IDS_MSG_UPLOAD_ERROR : IDS_MSG_UPLOAD_QUEUED);
    m_statusList.SetLast(STATUS_ERROR, CUtil::BuildErrorList(message, code, errorText, 0, std::string()));
    LogWrite(LOG_ERROR, "Upload failed");
  }
  _SetStatus(THREAD_TERMINATED);
  _SendUpdate(THREAD_UPD_COMPLETE);
}

HRESULT CThreadTxServer::_TransmitQueue(CHttpConnection& connection, int resend,
                                        const std::string& sentFolder, const std::string& errorFolder,
                                        std::string& errorText) {
  const std::string uploadPath = CUtil::GetUrlTxServer(resend != 0);
  HRESULT code = 0;
  for (const std::filesystem::path& file : QueuedFiles(CUtil::GetQueueFolder(resend))) {
    if (code < 0 || IsAbortRequested()) break;
    code = TransmitFile(connection, uploadPath, file.string(), errorText);
    if (code >= 0) {
      const HRESULT moved = _FileAway(file.string(), sentFolder, errorText);
      if (moved < 0) code = moved;
    } else if (IsHttp400(code)) {
      // Refused for good: kept for the user, never sent again.
      errorText = LoadString(IDS_ERR_DATA_CORRUPT);
      const HRESULT moved = _FileAway(file.string(), errorFolder, errorText);
      if (moved < 0) code = moved;
    }
  }
  return code;
}

HRESULT CThreadTxServer::_FileAway(const std::string& filePath, const std::string& folder,
                                   std::string& errorText) {
  std::error_code ec;
  if (folder.empty()) {
    ec = std::make_error_code(std::errc::no_such_file_or_directory);
  } else {
    // The rename replaces a file of the same name in one step, so the
    // folder never lacks the file the user may look for.
    const std::filesystem::path target =
        std::filesystem::path(folder) / std::filesystem::path(filePath).filename();
    std::filesystem::rename(filePath, target, ec);
  }
  if (!ec) return 0;
  const uint32_t error = Win32FromErrno(ec.value());
  errorText = LoadString(IDS_ERR_MOVE_FILE);
  LogWrite(LOG_ERROR, "Moving file. GetLastError=%d", static_cast<int>(error));
  return Win32FailureCode(error);
}

HRESULT CThreadTxServer::TransmitFile(CHttpConnection& connection, const std::string& uploadPath,
                                      const std::string& filePath, std::string& errorText) {
  LogWrite(LOG_INFO, "CThreadTxServer::TransmitFile()");
  LogWrite(LOG_INFO, "      upload path : %s", uploadPath.c_str());
  LogWrite(LOG_INFO, "      file path   : %s", filePath.c_str());
  const int maxRetries = CUtil::GetServerMaxRetries();

  HRESULT code = 0;
  CMappedFile mapped;
  std::unique_ptr<CHttpFile> request;
  try {
    request = connection.OpenRequest("POST", uploadPath, {}, 1, {}, {}, kRequestFlags);
    if (!request) {
      const uint32_t error = connection.LastError();
      errorText = LoadString(IDS_ERR_OPEN_REQUEST);
      code = Win32FailureCode(error);
      LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() unable to open HTTP Request to URL: %s (%u)",
               uploadPath.c_str(), error);
    } else if (!mapped.Open(filePath)) {
      errorText = LoadString(IDS_ERR_CREATE_FILE);
      code = Win32FailureCode(mapped.LastError());
      LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() can't open upload file %s (%u)", filePath.c_str(),
               mapped.LastError());
    } else if (!mapped.CreateMapping()) {
      errorText = LoadString(IDS_ERR_INTERNAL);
      code = Win32FailureCode(mapped.LastError());
      LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() can't create file mapping %s (%u)",
               filePath.c_str(), mapped.LastError());
    } else if (!mapped.MapView()) {
      errorText = LoadString(IDS_ERR_INTERNAL);
      code = Win32FailureCode(mapped.LastError());
      LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() can't map view of upload file: %s (%u)",
               filePath.c_str(), mapped.LastError());
    } else if (!request->SendRequest({}, mapped.Data(), mapped.Size())) {
      errorText = LoadString(IDS_ERR_CONNECT_SERVER);
      code = Win32FailureCode(request->LastError());
      LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() CHttpFile::SendRequest() failed nFileSize=%u (%u)",
               static_cast<unsigned>(mapped.Size()), request->LastError());
    } else {
      CHttpFile* reply = request.get();
      CMsgFeed& feed = m_replyFeed;
      const bool parsed = feed.Parse([reply](char* buffer, size_t size) -> int64_t {
        return static_cast<int64_t>(reply->Read(buffer, size));
      });
      if (!parsed) {
        // The service's words are a courtesy; the status decides.
        LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() Unable to parse messages: %s (%u)",
                 feed.GetParseErrorText().c_str(), FeedParseErrorCode(feed));
      }
      uint32_t status = 0;
      if (!request->QueryInfoStatusCode(status)) {
        errorText = LoadString(IDS_ERR_REQUEST_STATUS);
        code = Win32FailureCode(request->LastError());
        LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() Unable to get status code (%u)",
                 request->LastError());
      } else if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
        const uint32_t answer =
            request->ErrorDlg(ERROR_INTERNET_INCORRECT_PASSWORD, FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                                                     FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                                                     FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS);
        if (answer == ERROR_INTERNET_FORCE_RETRY && maxRetries == 0) {
          errorText = LoadString(IDS_ERR_TX_RETRIES);
          code = HRESULT_FROM_HTTP(HTTP_STATUS_PROXY_AUTH_REQ);
          LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() Max retries exceeded (%u)", status);
        } else if (answer == ERROR_INTERNET_FORCE_RETRY) {
          // The credentials are kept; the next run sends the file again.
          code = HRESULT_FROM_WIN32(ERROR_INTERNET_FORCE_RETRY);
          LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() InternetErrorDlg error (%u)", answer);
        } else if (answer == 0 || answer == ERROR_CANCELLED) {
          errorText = LoadString(IDS_ERR_CONNECT_SERVER);
          code = HRESULT_FROM_HTTP(HTTP_STATUS_PROXY_AUTH_REQ);
          LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() InternetErrorDlg was cancelled (%u)", status);
        } else {
          errorText = LoadString(IDS_ERR_CONNECT_SERVER);
          code = Win32FailureCode(answer);
          LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() InternetErrorDlg error (%u)", answer);
        }
      } else if (status < 300) {
        code = SuccessCode(status);
        LogWrite(LOG_INFO, "CThreadTxServer::TransmitFile() Server success status=%u", status);
      } else {
        errorText = LoadString(IDS_ERR_CONNECT_SERVER);
        code = HRESULT_FROM_HTTP(status);
        LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() Server error (%u)", status);
      }
    }
  } catch (const CInternetException& error) {
    errorText = error.ErrorMessage().substr(0, kMaxExceptionText);
    code = ExceptionCode(error);
    LogWrite(LOG_ERROR, "CThreadTxServer::TransmitFile() Internet Exception: %s (%u)", errorText.c_str(),
             error.ErrorCode());
  }

  mapped.Close();
  if (request) {
    request->Close();
    request.reset();
  }
  if (code < 0) {
    LogWrite(LOG_ERROR, "File upload failed");
  } else {
    LogWrite(LOG_INFO, "File upload succeeded");
  }
  return code;
}
