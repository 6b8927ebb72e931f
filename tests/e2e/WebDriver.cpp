#include "e2e/WebDriver.h"

#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <regex>
#include <thread>

#include "threads/ThreadTxServerTestFixture.h"

namespace qvtest {

namespace {
constexpr const char* kElementKey = "element-6066-11e4-a52e-4f735466cecf";
}  // namespace

CWebDriver::CWebDriver() {
  m_port = UnusedPort();
  m_driver = std::make_unique<CChildProcess>(
      std::vector<std::string>{"chromedriver", "--port=" + std::to_string(m_port), "--log-level=OFF"}, "",
      false);
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    up = _Call("GET", "/status").value("ready", false);
  }
  if (!up) {
    m_error = "chromedriver does not answer";
    return;
  }
  Json args = Json::array({"--user-data-dir=" + m_profile.Str()});
  for (const char* arg : {"--headless=new", "--no-sandbox", "--disable-gpu",
                          "--disable-background-networking", "--disable-component-update", "--disable-sync",
                          "--no-first-run", "--disable-dev-shm-usage", "--window-size=1024,768"})
    args.push_back(arg);
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
  _Post("/url", {{"url", url}});
}

void CWebDriver::Refresh() {
  _Post("/refresh", Json::object());
}

CWebDriver::Json CWebDriver::Execute(const std::string& script, const Json& args) {
  return _Post("/execute/sync", {{"script", script}, {"args", args}});
}

bool CWebDriver::WaitFor(const std::string& script, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (Execute(script) == Json(true)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool CWebDriver::WaitForId(const std::string& id, std::chrono::seconds limit) {
  return WaitFor("return document.getElementById('" + id + "') !== null;", limit);
}

std::string CWebDriver::Html(const std::string& id) {
  const Json html =
      Execute("const e = document.getElementById(arguments[0]); return e ? e.innerHTML : '';", {id});
  return html.is_string() ? html.get<std::string>() : std::string();
}

std::string CWebDriver::_Element(const std::string& selector) {
  const Json found = _Post("/element", {{"using", "css selector"}, {"value", selector}});
  return found.is_object() && found.contains(kElementKey) ? found[kElementKey].get<std::string>()
                                                          : std::string();
}

bool CWebDriver::Click(const std::string& selector) {
  const std::string element = _Element(selector);
  if (element.empty()) return false;
  _Post("/element/" + element + "/click", Json::object());
  return true;
}

bool CWebDriver::Type(const std::string& selector, const std::string& text) {
  const std::string element = _Element(selector);
  if (element.empty()) return false;
  _Post("/element/" + element + "/value", {{"text", text}});
  return true;
}

void CWebDriver::PressChord(const std::vector<std::string>& keys) {
  Json steps = Json::array();
  for (const std::string& key : keys) steps.push_back({{"type", "keyDown"}, {"value", key}});
  for (auto key = keys.rbegin(); key != keys.rend(); ++key)
    steps.push_back({{"type", "keyUp"}, {"value", *key}});
  _Post("/actions", {{"actions", Json::array({{{"type", "key"}, {"id", "keyboard"}, {"actions", steps}}})}});
}

CWebDriver& Browser() {
  static CWebDriver browser;
  return browser;
}

CChildProcess::CChildProcess(const std::vector<std::string>& argv, const std::string& environment,
                             bool keepOutput) {
  int fds[2];
  if (::pipe(fds) != 0) return;
  m_pid = ::fork();
  if (m_pid == 0) {
    ::setpgid(0, 0);
    const int out = keepOutput ? fds[1] : ::open("/dev/null", O_WRONLY);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::close(fds[0]);
    ::close(fds[1]);
    ::signal(SIGINT, SIG_DFL);
    if (!environment.empty()) ::putenv(const_cast<char*>(environment.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::setpgid(m_pid, m_pid);  // before the first signal, whichever process runs first
  ::close(fds[1]);
  m_fd = fds[0];
}

CChildProcess::~CChildProcess() {
  if (m_pid > 0 && !HasExited(std::chrono::milliseconds(0))) {
    ::kill(-m_pid, SIGKILL);
    HasExited(std::chrono::seconds(10));
  }
  if (m_fd >= 0) ::close(m_fd);
}

std::string CChildProcess::WaitFor(const std::string& pattern, std::chrono::seconds limit) {
  const std::regex re(pattern);
  const auto end = std::chrono::steady_clock::now() + limit;
  std::smatch match;
  while (!std::regex_search(m_output, match, re)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd pfd{m_fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return {};
    char buffer[1024];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    m_output.append(buffer, static_cast<size_t>(n));
  }
  return match[1].str();
}

bool CChildProcess::HasExited(std::chrono::milliseconds within) {
  const auto end = std::chrono::steady_clock::now() + within;
  while (!m_exited && m_pid > 0) {
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_exited = true;
      m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else if (std::chrono::steady_clock::now() >= end) {
      return false;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  return m_exited;
}

void CChildProcess::Signal(int signal) {
  ::kill(-m_pid, signal);
}

}  // namespace qvtest
