// A small WebDriver client: one headless Chromium, driven over plain HTTP
// through chromedriver, shared by every test of the program.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace qvtest {

class CWebDriver {
public:
  using Json = nlohmann::json;

  // Starts chromedriver and a browser session; IsReady() tells whether it worked.
  CWebDriver();
  ~CWebDriver();
  CWebDriver(const CWebDriver&) = delete;
  CWebDriver& operator=(const CWebDriver&) = delete;

  bool IsReady() const { return !m_session.empty(); }
  const std::string& GetError() const { return m_error; }

  void Navigate(const std::string& url);
  void Refresh();
  // The script's return value; scripts get their arguments as `arguments`.
  Json Execute(const std::string& script, const Json& args = Json::array());
  // Clicks the element with this CSS selector; false when there is none.
  bool Click(const std::string& selector);
  bool Type(const std::string& selector, const std::string& text);
  // Presses the keys down in order and lets them go in reverse, as a chord:
  // {"\uE009", "\uE008", "d"} is Ctrl+Shift+D.
  void PressChord(const std::vector<std::string>& keys);

private:
  Json _Call(const std::string& method, const std::string& path, const Json& body = nullptr);
  std::string _Element(const std::string& selector);

  CTempDir m_profile;
  pid_t m_driver = -1;
  int m_port = 0;
  std::string m_session;
  std::string m_error;
};

// The browser of this test program, started at first use.
CWebDriver& Browser();

}  // namespace qvtest
