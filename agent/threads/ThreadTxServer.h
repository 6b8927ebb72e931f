// The upload job: posts every queued document to the service, files each
// accepted one in Sent and each one the service refuses as bad data in
// Error, and leaves every other one queued for the next run. The documents
// of the resend queue, which the service is to take even when their times
// overlap stored activities, go only after the whole ordinary queue went.
//
// While a run goes on, the status list holds one line, the upload line,
// which the run rewrites at its end; the messages feed holds the service's
// answer to the last document posted. Both updates are sent, so the dialog
// has drawn the upload line before the first byte goes out.
#pragma once

#include <string>

#include "platform/Win32Errors.h"
#include "threads/StatusList.h"
#include "threads/Thread.h"

class CHttpConnection;

class CThreadTxServer : public CThread {
public:
  CThreadTxServer();
  ~CThreadTxServer() override;

  // Clears the status list and starts a run unless one is going on.
  bool StartThread(CMessageWindow* owner) override;
  // Refused (with a trace line) while a run is going on: the worker still
  // writes the list and the feed.
  void ResetThread() override;

  CStatusList& GetStatusList() { return m_statusList; }
  // The answer to the last file TransmitFile posted; the worker's own until
  // the run ends.
  const CMsgFeed& GetReplyFeed() const { return m_replyFeed; }
  const CStatusList& GetStatusList() const { return m_statusList; }

  // Posts one file to uploadPath on connection and reads the service's
  // answer into the reply feed, which becomes the messages feed at the end
  // of the run. Returns the upload result code: 0x0019xxxx with the
  // HTTP status for an accepted file, 0x8019xxxx with the status (or OR'ed
  // with a WinINet error number for an exception) or 0x8007xxxx with a Win32
  // number for a failure, errorText then holding a short text for the user.
  HRESULT TransmitFile(CHttpConnection& connection, const std::string& uploadPath,
                       const std::string& filePath, std::string& errorText);

  // The worker's entry point; param is the thread object.
  static void ThreadProc(void* param);

  // Whether a result code says the service refused the data (status 400).
  static bool IsHttp400(HRESULT code);

private:
  // One pass over a queue folder, in name order, while code stays
  // non-negative and no abort was asked for.
  HRESULT _TransmitQueue(CHttpConnection& connection, int resend, const std::string& sentFolder,
                         const std::string& errorFolder, std::string& errorText);
  // Moves the file into folder, replacing a file of the same name there.
  // A failure sets errorText and returns its code; 0 on success.
  static HRESULT _FileAway(const std::string& filePath, const std::string& folder, std::string& errorText);
  void _Run();
  void _Finish(HRESULT code, const std::string& errorText);
  void _PublishReply();
  void _ReportUnfinishedRun(const std::string& reason) override;

  CStatusList m_statusList;
  CMsgFeed m_replyFeed;  // the worker's; the answer to the last file posted
};
