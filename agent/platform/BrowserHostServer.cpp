// The browser host's HTTP side: the session start, the pages and their
// resources, the event stream to each page and the events from it, and the
// folder listing of the file chooser.
#include <httplib.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/BrowserHostImpl.h"
#include "platform/BrowserHostSecurity.h"
#include "platform/PageEvent.h"

namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kCookieName = "qv_session";
// A comment line on an idle event stream, so that a page that went away
// without a word is noticed.
constexpr std::chrono::seconds kKeepAlive{25};
constexpr std::chrono::seconds kFirstPageWait{10};

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Refuse(httplib::Response& res, int status, const char* text) {
  res.status = status;
  res.set_content(text, "text/plain; charset=utf-8");
}

Json ListFolder(const std::string& requested) {
  std::error_code error;
  fs::path folder = requested;
  if (folder.empty()) {
    const char* home = std::getenv("HOME");
    folder = home != nullptr ? home : "/";
  }
  if (fs::is_regular_file(folder, error)) folder = folder.parent_path();
  folder = fs::weakly_canonical(folder, error);
  if (error || !fs::is_directory(folder, error)) return {{"error", "The folder cannot be opened."}};
  std::vector<std::pair<bool, std::string>> names;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code kindError;
    const bool dir = it->is_directory(kindError);
    if (!dir && !it->is_regular_file(kindError)) continue;
    names.emplace_back(!dir, name);
  }
  if (error) return {{"error", "The folder cannot be read."}};
  std::sort(names.begin(), names.end());
  Json entries = Json::array();
  for (const auto& [file, name] : names) entries.push_back({{"name", name}, {"dir", !file}});
  Json listing = {{"path", folder.string()}, {"entries", entries}};
  if (folder.has_parent_path() && folder != folder.root_path())
    listing["parent"] = folder.parent_path().string();
  return listing;
}

std::map<std::string, CBrowserHost::Impl::Input> Inputs(const SPageEvent& event) {
  std::map<std::string, CBrowserHost::Impl::Input> inputs;
  for (const auto& [id, state] : event.inputs) inputs[id] = {state.first, state.second, {}, {}};
  return inputs;
}

}  // namespace

// Here, where the server's type is complete.
CBrowserHost::CBrowserHost(PageResourceLookup resources, Dispatcher dispatcher)
    : m_impl(std::make_unique<Impl>()) {
  m_impl->owner = this;
  m_impl->resources = std::move(resources);
  m_impl->dispatcher = std::move(dispatcher);
}

CBrowserHost::~CBrowserHost() {
  Stop();
  *m_impl->alive = false;
}

bool CBrowserHost::Start() {
  return m_impl->StartServer();
}

void CBrowserHost::Stop() {
  if (!m_impl->server) return;
  {
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->stopping) return;
    m_impl->stopping = true;
    m_impl->log.Append(CPageOpLog::Overlay, "ended", Dump({{"op", "ended"}}));
  }
  m_impl->changed.notify_all();
  // The event streams say goodbye before the server goes.
  for (int i = 0; i < 50 && GetOpenPageCount() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  m_impl->server->stop();
  if (m_impl->serverThread.joinable()) m_impl->serverThread.join();
  if (m_impl->timerThread.joinable()) m_impl->timerThread.join();
}

void CBrowserHost::Impl::StreamOpened(const std::string& pageId) {
  {
    std::lock_guard lock(mutex);
    streams[pageId] = false;
    everConnected = true;
    closeDeadline.reset();
  }
  changed.notify_all();
}

void CBrowserHost::Impl::StreamClosed(const std::string& pageId) {
  {
    std::lock_guard lock(mutex);
    streams.erase(pageId);
    if (streams.empty() && everConnected && !stopping) closeDeadline = Clock::now() + closeGrace;
  }
  changed.notify_all();
}

void CBrowserHost::Impl::RunCloseTimer() {
  std::unique_lock lock(mutex);
  while (!stopping) {
    if (!closeDeadline) {
      changed.wait(lock);
      continue;
    }
    if (Clock::now() < *closeDeadline) {
      changed.wait_until(lock, *closeDeadline);
      continue;
    }
    closeDeadline.reset();
    if (!streams.empty()) continue;
    lock.unlock();
    Post([this] {
      if (owner->m_events.closed) owner->m_events.closed();
    });
    lock.lock();
  }
}

bool CBrowserHost::Impl::StartServer() {
  if (server) return false;
  token = MakeSecret();
  cookie = MakeSecret();
  if (token.empty() || cookie.empty()) return false;
  server = std::make_unique<httplib::Server>();
  httplib::Server& svr = *server;
  // Each open page holds one thread with its event stream; the browser may
  // keep several more connections open besides.
  svr.new_task_queue = [] { return new httplib::ThreadPool(16); };
  svr.set_keep_alive_timeout(1);  // idle connections must not hold up the end

  svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Content-Security-Policy", kContentSecurityPolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Frame-Options", "DENY");
    if (!IsOwnHost(req.get_header_value("Host"), port)) {
      Refuse(res, 421, "Wrong host");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && req.method != "HEAD" && !IsOwnOrigin(req.get_header_value("Origin"), port)) {
      Refuse(res, 403, "Foreign origin");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path == "/start" && req.method == "GET") {
      if (!SameSecret(req.get_param_value("token"), token)) {
        Refuse(res, 403, "Not allowed");
        return httplib::Server::HandlerResponse::Handled;
      }
      res.set_header("Set-Cookie",
                     std::string(kCookieName) + "=" + cookie + "; Path=/; HttpOnly; SameSite=Strict");
      // The address is handed out as soon as the server listens, which may
      // be before the agent has loaded its first page: wait for it rather
      // than send the browser to a page that does not exist.
      std::unique_lock lock(mutex);
      changed.wait_for(lock, kFirstPageWait, [this] { return page != 0; });
      if (page == 0) {
        Refuse(res, 503, "The agent is starting; reload this page");
        return httplib::Server::HandlerResponse::Handled;
      }
      res.set_redirect(PageUrl(), 303);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!SameSecret(FindCookie(req.get_header_value("Cookie"), kCookieName), cookie)) {
      Refuse(res, 403, "Not allowed");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  svr.Get(R"(/page/(\d{1,6}))", [this](const httplib::Request& req, httplib::Response& res) {
    const SPageResource page = resources("HTML", static_cast<unsigned>(std::stoul(req.matches[1])));
    if (page.mimeType.empty()) return Refuse(res, 404, "No such page");
    res.set_content(RewriteResourceAddresses(std::string(page.data)), std::string(page.mimeType).c_str());
  });

  svr.Get(R"(/res/(CSS|IMG|JS)/(\d{1,6}))", [this](const httplib::Request& req, httplib::Response& res) {
    const SPageResource resource =
        resources(req.matches[1], static_cast<unsigned>(std::stoul(req.matches[2])));
    if (resource.mimeType.empty()) return Refuse(res, 404, "No such resource");
    res.set_content(std::string(resource.data), std::string(resource.mimeType).c_str());
  });

  svr.Get("/favicon.ico", [this](const httplib::Request&, httplib::Response& res) {
    const SPageResource icon = resources("IMG", 151);
    if (icon.mimeType.empty()) return Refuse(res, 404, "No icon");
    res.set_content(std::string(icon.data), std::string(icon.mimeType).c_str());
  });

  svr.Get("/events", [this](const httplib::Request& req, httplib::Response& res) {
    struct Stream {
      std::string pageId;
      uint64_t generation = 0;
      uint64_t last = 0;
      bool ending = false;
    };
    auto stream = std::make_shared<Stream>();
    stream->pageId = req.get_param_value("p");
    if (stream->pageId.empty() || stream->pageId.size() > 64) return Refuse(res, 400, "No page");
    stream->generation = std::strtoull(req.get_param_value("g").c_str(), nullptr, 10);
    if (req.has_header("Last-Event-ID")) {
      stream->last = std::strtoull(req.get_header_value("Last-Event-ID").c_str(), nullptr, 10);
    }
    StreamOpened(stream->pageId);
    res.set_header("X-Accel-Buffering", "no");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, stream](size_t, httplib::DataSink& sink) {
          if (stream->ending) {
            sink.done();
            return true;
          }
          std::string text;
          {
            std::unique_lock lock(mutex);
            const auto ready = [&] {
              return stopping || stream->generation != generation || streams[stream->pageId] ||
                     log.LastSeq() > stream->last;
            };
            if (!changed.wait_for(lock, kKeepAlive, ready)) {
              text = ": still here\n\n";
            } else if (stream->generation != generation && !stopping) {
              // A page of an earlier generation goes to the current page.
              text = "data: " + Dump({{"op", "navigate"}, {"url", PageUrl()}}) + "\n\n";
              stream->ending = true;
            } else {
              for (const CPageOpLog::Op* op : log.After(stream->last)) {
                text += "id: " + std::to_string(op->seq) + "\ndata: " + op->json + "\n\n";
              }
              stream->last = log.LastSeq();
              if (stopping || streams[stream->pageId]) stream->ending = true;
            }
          }
          if (!text.empty() && !sink.write(text.data(), text.size())) return false;
          return true;
        },
        [this, stream](bool) { StreamClosed(stream->pageId); });
  });

  svr.Post("/event", [this](const httplib::Request& req, httplib::Response& res) {
    SPageEvent event;
    if (!ParsePageEvent(req.body, event)) return Refuse(res, 400, "Bad event");
    Json reply = Json::object();
    std::unique_lock lock(mutex);
    const bool current = event.generation == generation;
    if (event.type == SPageEvent::Hide) {
      const auto found = streams.find(event.pageId);
      if (found != streams.end()) found->second = true;
      lock.unlock();
      changed.notify_all();
    } else if (event.type == SPageEvent::Load && current && !generationLoaded) {
      generationLoaded = true;
      lock.unlock();
      const std::string url = "http://127.0.0.1:" + std::to_string(port) + event.what;
      Post([this, inputs = Inputs(event), url] {
        ApplySnapshot(inputs);
        if (owner->m_events.documentComplete) owner->m_events.documentComplete(url);
      });
    } else if ((event.type == SPageEvent::Click || event.type == SPageEvent::Key) && current) {
      lock.unlock();
      Post([this, inputs = Inputs(event), what = event.what, click = event.type == SPageEvent::Click] {
        ApplySnapshot(inputs);
        if (click && owner->m_events.click) owner->m_events.click(what);
        if (!click && owner->m_events.keyPress) owner->m_events.keyPress(what);
      });
    } else if (event.type == SPageEvent::Overlay) {
      lock.unlock();
      std::string path;
      if (event.ok && event.hasFile) {
        // The chooser's "file must exist": the overlay stays open otherwise.
        path = !event.name.empty() && event.name[0] == '/' ? event.name
                                                           : (fs::path(event.folder) / event.name).string();
        std::error_code error;
        if (!fs::is_regular_file(path, error)) {
          reply["error"] = "The file does not exist.";
          res.set_content(Dump(reply), "application/json");
          return;
        }
      }
      Post([this, n = event.overlay, ok = event.ok, checks = event.checks, path] {
        AnswerOverlay(n, ok, checks, path);
      });
    }
    res.set_content(Dump(reply), "application/json");
  });

  svr.Get("/files", [this](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(mutex);
      if (!fileChooserOpen) return Refuse(res, 403, "No file chooser open");
    }
    res.set_content(Dump(ListFolder(req.get_param_value("path"))), "application/json");
  });

  port = svr.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    server.reset();
    return false;
  }
  serverThread = std::thread([this] { server->listen_after_bind(); });
  timerThread = std::thread([this] { RunCloseTimer(); });
  return true;
}
