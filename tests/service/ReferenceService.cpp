#include "service/ReferenceService.h"

#include <httplib.h>
#include <signal.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "service/ConnectionDropper.h"
#include "service/UploadCheck.h"

namespace {

// Requests in absolute form ("http://host/path", as sent to a proxy) match too.
constexpr const char* kUploadPattern = R"((?:http://[^/]+)?/trail/service/qvx/file\.qv)";
constexpr const char* kAnnouncementPattern = R"((?:http://[^/]+)?/agent/announcement\.qv)";
constexpr const char* kInboxPattern = R"((?:http://[^/]+)?/trail/inbox/view\.qv)";
constexpr const char* kActivitiesPattern = R"((?:http://[^/]+)?/trail/?)";
constexpr const char* kProxyRealm = "Basic realm=\"Tavelnor test proxy\"";

std::string Html(const std::string& text) {
  return CServiceFeed::Escape(text);
}

}  // namespace

struct CReferenceService::State {
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  uint16_t port = 0;

  mutable std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  int uploadStatus = 200;
  UploadAnswer answer = UploadAnswer::Status;
  std::chrono::milliseconds delay{0};
  std::optional<std::string> uploadReply;
  AnnouncementMode announcementMode = AnnouncementMode::Items;
  std::optional<std::vector<ServiceFeedItem>> announcementItems;
  std::filesystem::path storeFolder;
  std::vector<ReceivedUpload> uploads;
  std::vector<ReceivedAnnouncementRequest> announcementRequests;
  int nextStored = 1;

  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port); }
  void HandleUpload(const httplib::Request& req, httplib::Response& res);
  void HandleAnnouncements(const httplib::Request& req, httplib::Response& res);
  void HandleInbox(httplib::Response& res);
  void HandleActivities(httplib::Response& res);
  std::string UploadFeed(const ReceivedUpload& upload) const;
  std::string Store(const std::string& body);
};

std::string CReferenceService::State::UploadFeed(const ReceivedUpload& upload) const {
  CServiceFeed feed("Tavelnor", BaseUrl() + "/trail/inbox/view.qv", "Upload results");
  const auto user = upload.query.find("username.value");
  const std::string who = user != upload.query.end() ? user->second : std::string("nobody");
  if (upload.status < 300) {
    feed.AddItem({"Upload received", BaseUrl() + "/trail/inbox/view.qv",
                  std::to_string(upload.body.size()) + " bytes for " + who + " are in your Inbox."});
  } else if (upload.status == 400) {
    feed.AddItem(
        {"Upload rejected", BaseUrl() + "/trail", "The activity data was refused: " + upload.problem});
  } else {
    feed.AddItem({"Upload not processed", BaseUrl() + "/trail",
                  "The service answered with status " + std::to_string(upload.status) + "."});
  }
  return feed.Render();
}

std::string CReferenceService::State::Store(const std::string& body) {
  if (storeFolder.empty()) return {};
  char name[32];
  std::snprintf(name, sizeof name, "upload-%04d.gz", nextStored++);
  std::error_code ec;
  std::filesystem::create_directories(storeFolder, ec);
  std::ofstream out(storeFolder / name, std::ios::binary | std::ios::trunc);
  out.write(body.data(), static_cast<std::streamsize>(body.size()));
  return out.good() ? std::string(name) : std::string();
}

void CReferenceService::State::HandleUpload(const httplib::Request& req, httplib::Response& res) {
  ReceivedUpload upload;
  upload.target = req.target;
  upload.path = req.path;
  upload.query.insert(req.params.begin(), req.params.end());
  upload.body = req.body;
  upload.host = req.get_header_value("Host");
  upload.userAgent = req.get_header_value("User-Agent");
  upload.contentType = req.get_header_value("Content-Type");
  upload.proxyAuthorization = req.get_header_value("Proxy-Authorization");

  std::unique_lock lock(mutex);
  const UploadAnswer mode = answer;
  const int chosen = uploadStatus;
  if (mode == UploadAnswer::DropBeforeReply || mode == UploadAnswer::ResetConnection) {
    uploads.push_back(std::move(upload));
    lock.unlock();
    if (mode == UploadAnswer::DropBeforeReply) {
      CConnectionDropper::Close(req.local_port, req.remote_port);
    } else {
      CConnectionDropper::Reset(req.local_port, req.remote_port);
    }
    return;
  }
  if (mode == UploadAnswer::Slow) {
    wake.wait_for(lock, delay, [this] { return stopping; });
    if (stopping) return;
  }

  const bool proxyPasses = chosen == 407 && !upload.proxyAuthorization.empty();
  if (chosen == 200 || proxyPasses) {
    upload.problem = CUploadCheck::CheckQuery(upload.query);
    if (upload.problem.empty()) upload.problem = CUploadCheck::CheckGzip(upload.body);
    upload.status = upload.problem.empty() ? 200 : 400;
  } else {
    upload.status = chosen;
    if (chosen == 407) res.set_header("Proxy-Authenticate", kProxyRealm);
    if (chosen == 301 || chosen == 302 || chosen == 303 || chosen == 307 || chosen == 308) {
      res.set_header("Location", BaseUrl() + "/trail/inbox/view.qv");
    }
  }
  if (upload.status < 300) upload.storedAs = Store(upload.body);
  const std::string reply = uploadReply ? *uploadReply : UploadFeed(upload);
  res.status = upload.status;
  if (mode == UploadAnswer::DropMidReply) {
    upload.status = 0;
    // The length promised in the headers is never delivered.
    res.set_content_provider(reply.size(), "text/xml",
                             [](size_t, size_t, httplib::DataSink&) { return false; });
  } else {
    res.set_content(reply, "text/xml");
  }
  uploads.push_back(std::move(upload));
}

void CReferenceService::State::HandleAnnouncements(const httplib::Request& req, httplib::Response& res) {
  std::lock_guard lock(mutex);
  announcementRequests.push_back({req.get_param_value("username"), req.get_header_value("User-Agent")});
  if (announcementMode == AnnouncementMode::Malformed) {
    res.set_content("<rss><channel><title>Broken</title><item><title>Half</channel></rss>\n", "text/xml");
    return;
  }
  CServiceFeed feed("Tavelnor announcements", BaseUrl() + "/trail", "News for Tavelnor agent users");
  if (announcementMode == AnnouncementMode::Items) {
    const std::vector<ServiceFeedItem> standard = {
        {"Welcome to Tavelnor", BaseUrl() + "/trail", "Your activities are waiting for you."}};
    for (const auto& item : announcementItems ? *announcementItems : standard) feed.AddItem(item);
  }
  res.set_content(feed.Render(), "text/xml");
}

void CReferenceService::State::HandleInbox(httplib::Response& res) {
  std::lock_guard lock(mutex);
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tavelnor Inbox</title></head><body>\n"
      "<h1>Inbox</h1>\n<table border=\"1\">\n<tr><th>#</th><th>Account</th><th>E-mail</th>"
      "<th>Time conflicts allowed</th><th>Bytes</th><th>Status</th><th>Stored as</th><th>Problem</th></tr>\n";
  int number = 0;
  for (const auto& upload : uploads) {
    auto field = [&upload](const char* name) {
      const auto found = upload.query.find(name);
      return found != upload.query.end() ? Html(found->second) : std::string();
    };
    html += "<tr><td>" + std::to_string(++number) + "</td><td>" + field("username.value") + "</td><td>" +
            field("emailAddress.value") + "</td><td>" + field("timeConflictsAllowed") + "</td><td>" +
            std::to_string(upload.body.size()) + "</td><td>" + std::to_string(upload.status) + "</td><td>" +
            Html(upload.storedAs) + "</td><td>" + Html(upload.problem) + "</td></tr>\n";
  }
  html += "</table>\n<p>" + std::to_string(number) + " upload(s) received.</p>\n</body></html>\n";
  res.set_content(html, "text/html; charset=utf-8");
}

void CReferenceService::State::HandleActivities(httplib::Response& res) {
  res.set_content(
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tavelnor</title></head><body>\n"
      "<h1>Tavelnor</h1>\n<p><a href=\"/trail/inbox/view.qv\">Inbox</a></p>\n</body></html>\n",
      "text/html; charset=utf-8");
}

CReferenceService::CReferenceService() : m_state(std::make_unique<State>()) {}

CReferenceService::~CReferenceService() {
  Stop();
}

bool CReferenceService::Start(uint16_t port) {
  Stop();
  // A peer that breaks a connection must not end the process with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  State* state = m_state.get();
  {
    std::lock_guard lock(state->mutex);
    state->stopping = false;
  }
  state->server = std::make_unique<httplib::Server>();
  httplib::Server& server = *state->server;
  server.set_keep_alive_timeout(1);
  server.set_read_timeout(2, 0);
  server.set_write_timeout(2, 0);
  server.Post(kUploadPattern, [state](const httplib::Request& req, httplib::Response& res) {
    state->HandleUpload(req, res);
  });
  server.Get(kAnnouncementPattern, [state](const httplib::Request& req, httplib::Response& res) {
    state->HandleAnnouncements(req, res);
  });
  server.Get(kInboxPattern,
             [state](const httplib::Request&, httplib::Response& res) { state->HandleInbox(res); });
  server.Get(kActivitiesPattern,
             [state](const httplib::Request&, httplib::Response& res) { state->HandleActivities(res); });

  const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                              : (server.bind_to_port("127.0.0.1", port) ? static_cast<int>(port) : -1);
  if (bound <= 0 || bound > 65535) {
    state->server.reset();
    return false;
  }
  state->port = static_cast<uint16_t>(bound);
  state->thread = std::thread([state] { state->server->listen_after_bind(); });
  for (int i = 0; i < 200 && !server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return server.is_running();
}

void CReferenceService::Stop() {
  State* state = m_state.get();
  if (!state->server) return;
  {
    std::lock_guard lock(state->mutex);
    state->stopping = true;
  }
  state->wake.notify_all();
  state->server->stop();
  if (state->thread.joinable()) state->thread.join();
  state->server.reset();
}

uint16_t CReferenceService::Port() const {
  return m_state->port;
}

std::string CReferenceService::Server() const {
  return "127.0.0.1:" + std::to_string(m_state->port);
}

std::string CReferenceService::BaseUrl() const {
  return m_state->BaseUrl();
}

void CReferenceService::SetStoreFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(m_state->mutex);
  m_state->storeFolder = folder;
}

void CReferenceService::SetUploadStatus(int status) {
  std::lock_guard lock(m_state->mutex);
  m_state->uploadStatus = status;
  m_state->answer = UploadAnswer::Status;
}

void CReferenceService::SetUploadAnswer(UploadAnswer answer, std::chrono::milliseconds delay) {
  std::lock_guard lock(m_state->mutex);
  m_state->answer = answer;
  m_state->delay = delay;
}

void CReferenceService::SetUploadReply(const std::string& body) {
  std::lock_guard lock(m_state->mutex);
  m_state->uploadReply = body;
}

void CReferenceService::SetAnnouncementMode(AnnouncementMode mode) {
  std::lock_guard lock(m_state->mutex);
  m_state->announcementMode = mode;
}

void CReferenceService::SetAnnouncementItems(const std::vector<ServiceFeedItem>& items) {
  std::lock_guard lock(m_state->mutex);
  m_state->announcementItems = items;
  m_state->announcementMode = AnnouncementMode::Items;
}

std::vector<ReceivedUpload> CReferenceService::Uploads() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->uploads;
}

std::vector<ReceivedAnnouncementRequest> CReferenceService::AnnouncementRequests() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->announcementRequests;
}

void CReferenceService::ClearRecords() {
  std::lock_guard lock(m_state->mutex);
  m_state->uploads.clear();
  m_state->announcementRequests.clear();
}
