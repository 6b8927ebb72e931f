// A stand-in for the Tavelnor web service on loopback, for tests and the
// demo. It accepts uploads (POST /trail/service/qvx/file.qv?...), checks
// their query and gzip body, keeps them (and stores them in a folder when
// given one), and answers with a messages feed and the status a test chose,
// or slowly, or by breaking the connection. It serves the announcements feed
// (/agent/announcement.qv?username=...) and an inbox page listing what
// arrived (/trail/inbox/view.qv). Requests in absolute form (as sent to a
// proxy) are served too, so the service can also stand in for a proxy.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "service/ServiceFeed.h"

enum class UploadAnswer {
  Status,           // the status set by SetUploadStatus (see there)
  Slow,             // the normal answer, after the delay
  DropBeforeReply,  // closes the connection without any answer
  ResetConnection,  // resets the connection without any answer
  DropMidReply,     // sends the status line and headers, then closes
};

enum class AnnouncementMode {
  Items,      // a channel with the items set by SetAnnouncementItems
  Empty,      // a channel without items
  Malformed,  // a document that is not well-formed
};

struct ReceivedUpload {
  std::string target;  // path and query as they arrived
  std::string path;
  std::multimap<std::string, std::string> query;
  std::string body;
  std::string host;
  std::string userAgent;
  std::string contentType;
  std::string proxyAuthorization;
  std::string problem;   // why the upload was rejected; empty when accepted
  int status = 0;        // the status answered; 0 when the connection was broken
  std::string storedAs;  // file name in the store folder, if any
};

struct ReceivedAnnouncementRequest {
  std::string username;
  std::string userAgent;
};

class CReferenceService {
public:
  CReferenceService();
  ~CReferenceService();
  CReferenceService(const CReferenceService&) = delete;
  CReferenceService& operator=(const CReferenceService&) = delete;

  // Listens on 127.0.0.1 at port (0: a free port the system picks) and
  // serves on a thread of its own. Ignores SIGPIPE for the whole process, so
  // that a broken connection cannot end it.
  bool Start(uint16_t port = 0);
  // Stops serving; a slow answer still waiting is given up at once.
  void Stop();
  uint16_t Port() const;
  // "127.0.0.1:<port>", as the setting for the server name takes it.
  std::string Server() const;
  // "http://127.0.0.1:<port>"
  std::string BaseUrl() const;

  // Uploads are also written there, as upload-0001.gz and on.
  void SetStoreFolder(const std::filesystem::path& folder);

  // Status 200 (the default) behaves like the real service: an upload whose
  // query or gzip body is wrong is answered 400, any other 200. Any other
  // status is answered to every upload as it is; 407 comes with a proxy
  // challenge and is answered only to requests without proxy credentials
  // (those with credentials get the 200 behaviour); a redirection status
  // points at the inbox page.
  void SetUploadStatus(int status);
  // delay is used by UploadAnswer::Slow.
  void SetUploadAnswer(UploadAnswer answer, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  // Answer every upload with this body instead of the feed the service makes.
  void SetUploadReply(const std::string& body);

  void SetAnnouncementMode(AnnouncementMode mode);
  void SetAnnouncementItems(const std::vector<ServiceFeedItem>& items);

  std::vector<ReceivedUpload> Uploads() const;
  std::vector<ReceivedAnnouncementRequest> AnnouncementRequests() const;
  void ClearRecords();

private:
  struct State;
  std::unique_ptr<State> m_state;
};
