#include "e2e/WebDriver.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace qvtest {

namespace {

constexpr const char* kElementKey = "element-6066-11e4-a52e-4f735466cecf";

// A port that was free a moment ago, for chromedriver to listen on.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace

CWebDriver::CWebDriver() {
  m_port = FreePort();
  const std::string portArg = "--port=" + std::to_string(m_port);
  const char* argv[] = {"chromedriver", portArg.c_str(), "--log-level=OFF", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int spawned =
      posix_spawnp(&m_driver, "chromedriver", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    m_driver = -1;
    m_error = "chromedriver cannot be started";
    return;
  }
  httplib::Client client("127.0.0.1", m_port);
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.set_read_timeout(2, 0);
    const auto status = client.Get("/status");
    up = status && status->status == 200;
  }
  if (!up) {
    m_error = "chromedriver does not answer";
    return;
  }
  const Json args = {"--headless=new",
                     "--no-sandbox",
                     "--disable-gpu",
                     "--disable-background-networking",
                     "--disable-component-update",
                     "--disable-sync",
                     "--no-first-run",
                     "--disable-dev-shm-usage",
                     "--window-size=1024,768",
                     "--user-data-dir=" + m_profile.Str()};
  const Json session =
      _Call("POST", "/session",
            {{"capabilities",
              {{"alwaysMatch", {{"browserName", "chrome"}, {"goog:chromeOptions", {{"args", args}}}}}}}});
  if (session.contains("sessionId")) {
    m_session = session["sessionId"].get<std::string>();
  } else {
    m_error = "no browser session: " + session.dump();
  }
}

CWebDriver::~CWebDriver() {
  if (!m_session.empty()) _Call("DELETE", "/session/" + m_session);
  if (m_driver > 0) {
    ::kill(m_driver, SIGTERM);
    int status = 0;
    ::waitpid(m_driver, &status, 0);
  }
}

CWebDriver::Json CWebDriver::_Call(const std::string& method, const std::string& path, const Json& body) {
  httplib::Client client("127.0.0.1", m_port);
  client.set_read_timeout(60, 0);
  httplib::Result result =
      method == "GET" ? client.Get(path.c_str())
      : method == "DELETE"
          ? client.Delete(path.c_str())
          : client.Post(path.c_str(), body.is_null() ? "{}" : body.dump(), "application/json");
  if (!result) return Json::object();
  const Json reply = Json::parse(result->body, nullptr, false);
  if (reply.is_discarded() || !reply.contains("value")) return Json::object();
  return reply["value"];
}

void CWebDriver::Navigate(const std::string& url) {
  _Call("POST", "/session/" + m_session + "/url", {{"url", url}});
}

void CWebDriver::Refresh() {
  _Call("POST", "/session/" + m_session + "/refresh", Json::object());
}

CWebDriver::Json CWebDriver::Execute(const std::string& script, const Json& args) {
  return _Call("POST", "/session/" + m_session + "/execute/sync", {{"script", script}, {"args", args}});
}

std::string CWebDriver::_Element(const std::string& selector) {
  const Json found =
      _Call("POST", "/session/" + m_session + "/element", {{"using", "css selector"}, {"value", selector}});
  return found.is_object() && found.contains(kElementKey) ? found[kElementKey].get<std::string>()
                                                          : std::string();
}

bool CWebDriver::Click(const std::string& selector) {
  const std::string element = _Element(selector);
  if (element.empty()) return false;
  _Call("POST", "/session/" + m_session + "/element/" + element + "/click", Json::object());
  return true;
}

bool CWebDriver::Type(const std::string& selector, const std::string& text) {
  const std::string element = _Element(selector);
  if (element.empty()) return false;
  _Call("POST", "/session/" + m_session + "/element/" + element + "/value", {{"text", text}});
  return true;
}

void CWebDriver::PressChord(const std::vector<std::string>& keys) {
  Json steps = Json::array();
  for (const std::string& key : keys) steps.push_back({{"type", "keyDown"}, {"value", key}});
  for (auto key = keys.rbegin(); key != keys.rend(); ++key)
    steps.push_back({{"type", "keyUp"}, {"value", *key}});
  _Call("POST", "/session/" + m_session + "/actions",
        {{"actions", Json::array({{{"type", "key"}, {"id", "keyboard"}, {"actions", steps}}})}});
}

CWebDriver& Browser() {
  static CWebDriver browser;
  return browser;
}

}  // namespace qvtest
