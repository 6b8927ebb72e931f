// The browser host in a real, headless Chromium: element operations, clicks
// with their input snapshots, reloads, ordering, overlays, the security rules
// and hostile text from outside.
#include <gtest/gtest.h>
#include <httplib.h>

#include "app/ChoiceTables.h"
#include "app/PageStatus.h"
#include "data/GpsDataSet.h"
#include "data/GpsDataTrack.h"
#include "data/GpsDataTrackPoint.h"
#include "data/GpsUnits.h"
#include "e2e/WebDriver.h"
#include "threads/MsgFeed.h"
#include "threads/StatusList.h"

namespace {

using qvtest::Browser;
using Json = nlohmann::json;

class BrowserHostTest : public qvtest::CHostedPagesTest {
protected:
  void SetUp() override {
    CHostedPagesTest::SetUp();
    if (IsSkipped()) return;
    m_host.SetEvents({[this](const std::string& url) { m_loads.push_back(url); },
                      [this](const std::string& id) {
                        m_clicks.push_back(id);
                        if (m_onClick) m_onClick(id);
                      },
                      [](const std::string&) {}, [this] { ++m_closed; }});
    ASSERT_TRUE(m_host.Start());
  }

  // Loads a page as the dialog does and waits until the browser reports it loaded.
  void Show(unsigned page) {
    const size_t before = m_loads.size();
    ASSERT_TRUE(m_host.LoadPage(page));
    if (m_loads.empty()) Browser().Navigate(m_host.GetStartUrl());
    ASSERT_TRUE(PumpUntil([&] { return m_loads.size() > before; })) << "page " << page << " did not load";
  }

  std::vector<std::string> m_loads;
  std::vector<std::string> m_clicks;
  std::function<void(const std::string&)> m_onClick;
  int m_closed = 0;
};

TEST_F(BrowserHostTest, ElementOperationsClicksSnapshotsReloadAndClose) {
  m_host.SetCloseGrace(std::chrono::milliseconds(400));
  Show(106);
  EXPECT_NE(m_loads.back().find("/page/106"), std::string::npos);
  m_host.SetValue("EditUsername", "runner");
  m_host.SetChecked("RadioSendEdit", true);
  m_host.SetInnerHtml("Version", "2.3.0.0");
  ASSERT_TRUE(
      PageShows("return document.getElementById('EditUsername').value === 'runner' && "
                "document.getElementById('RadioSendEdit').checked && "
                "document.getElementById('Version').textContent === '2.3.0.0';"));
  bool checked = true;
  ASSERT_TRUE(m_host.GetChecked("RadioSendNew", checked));
  EXPECT_FALSE(checked) << "the snapshot follows the radio group";

  // The user types and saves: the click handler reads what the page had.
  std::string readInHandler;
  bool powerInHandler = false;
  m_onClick = [&](const std::string&) {
    m_host.GetValue("EditEmail", readInHandler);
    m_host.GetChecked("CheckPower", powerInHandler);
  };
  ASSERT_TRUE(Browser().Type("#EditEmail", "me@example.test"));
  ASSERT_TRUE(Browser().Click("#CheckPower"));
  ASSERT_TRUE(Browser().Click("#LinkSavePrefs"));
  ASSERT_TRUE(PumpUntil([&] { return !m_clicks.empty(); }));
  EXPECT_EQ(m_clicks, std::vector<std::string>{"LinkSavePrefs"});
  EXPECT_EQ(readInHandler, "me@example.test");
  EXPECT_TRUE(powerInHandler);
  EXPECT_FALSE(Browser().Click("#NoSuchElement"));

  // A reload shows the same state, is not a new page for the dialog and,
  // within the grace, does not close it.
  const size_t loads = m_loads.size();
  Browser().Refresh();
  ASSERT_TRUE(
      PageShows("return document.getElementById('Version').textContent === '2.3.0.0' && "
                "document.getElementById('RadioSendEdit').checked;"));
  PumpUntil([] { return false; }, std::chrono::milliseconds(600));
  EXPECT_EQ(m_loads.size(), loads);
  EXPECT_EQ(m_closed, 0);
  EXPECT_EQ(m_host.GetOpenPageCount(), 1);

  // Image links of the start page are clicks by id; resource addresses are served.
  Show(105);
  BuildTaskTable(m_host, false, true, "https://example.test/activities");
  ASSERT_TRUE(
      PageShows("const i = document.querySelector('#LinkRxDevice2 img');"
                "return i !== null && i.complete && i.naturalWidth > 0;"));
  m_clicks.clear();
  ASSERT_TRUE(Browser().Click("#LinkRxDevice2 img"));
  ASSERT_TRUE(PumpUntil([&] { return !m_clicks.empty(); }));
  EXPECT_EQ(m_clicks.front(), "LinkRxDevice2");
  EXPECT_TRUE(Browser().Execute("return getComputedStyle(document.body).display === 'flex';") == Json(true))
      << "the style sheet applies";
  // Closing the last page closes the dialog after the grace.
  Browser().Navigate("about:blank");
  ASSERT_TRUE(PumpUntil([&] { return m_closed == 1; }));
}

TEST_F(BrowserHostTest, ManyOperationsArriveInOrder) {
  Show(107);
  CStatusList list;
  CStatusList::StatusLine* line =
      list.Append(STATUS_BUSY, "Retrieving: <span id=\"Progress\"><b>0%</b></span>");
  // Each redraw replaces the span that the progress figure goes into; out of
  // order, a figure would land in a span that is gone.
  for (unsigned i = 0; i < 300; ++i) {
    if (i % 10 == 0) {
      line->Set(STATUS_BUSY, "Retrieving " + std::to_string(i) + ": <span id=\"Progress\"><b>0%</b></span>");
      DisplayStatusList(m_host, list, "RxStatusSection");
    }
    DisplayProgress(m_host, i);
  }
  SetRetryText(m_host, 4518);
  ASSERT_TRUE(
      PageShows("return document.getElementById('Progress').textContent === '299%' && "
                "document.getElementById('RxStatusSection').textContent.includes('Retrieving 290') && "
                "document.getElementById('LinkCancelRxDevice') !== null;"));
}

TEST_F(BrowserHostTest, OverlaysAnswerThroughTheirCallbacks) {
  Show(106);
  std::optional<std::vector<bool>> chosen;
  m_host.ShowChecks("File Type Associations",
                    "Select the file type(s) that will be associated with Tavelnor Agent.",
                    {{"GPS Exchange Format (.gpx)", false, false}, {"Google Earth (.kml)", true, true}},
                    [&](bool ok, const std::vector<bool>& checks) {
                      if (ok) chosen = checks;
                    });
  ASSERT_TRUE(
      PageShows("const d = document.querySelector('dialog[open]');"
                "return d !== null && d.textContent.includes('Select the file type(s)');"));
  EXPECT_TRUE(Browser().Execute("return document.getElementById('OverlayCheck1').offsetParent === null;") ==
              Json(true))
      << "the hidden box is not shown";
  ASSERT_TRUE(Browser().Click("#OverlayCheck0"));
  ASSERT_TRUE(Browser().Click("#OverlayOk"));
  ASSERT_TRUE(PumpUntil([&] { return chosen.has_value(); }));
  EXPECT_EQ(*chosen, (std::vector<bool>{true, true}));
  ASSERT_TRUE(PageShows("return document.querySelector('dialog') === null;"));

  bool acknowledged = false;
  m_host.ShowMessageBox("Tavelnor Agent", "Please make sure it's turned on.", [&] { acknowledged = true; });
  ASSERT_TRUE(Browser().Click("dialog[open] #OverlayOk"));
  ASSERT_TRUE(PumpUntil([&] { return acknowledged; }));

  // The file chooser lists the agent's view of the folder, filtered by type,
  // and refuses a file that does not exist.
  qvtest::CTempDir folder;
  qvtest::WriteFile(folder.Path() / "ride.gpx", "<gpx/>");
  qvtest::WriteFile(folder.Path() / "notes.txt", "x");
  std::filesystem::create_directory(folder.Path() / "sub");
  std::optional<std::string> path;
  m_host.ShowFileChooser(
      (folder.Path() / "missing.gpx").string(), {{"All Files (*.*)", "*.*"}, {"GPS", "*.gpx"}},
      [&](bool ok, const std::string& chosenPath) { path = ok ? chosenPath : "<cancel>"; });
  ASSERT_TRUE(PageShows("return document.querySelectorAll('#OverlayList button').length === 4;"));
  ASSERT_TRUE(Browser().Click("#OverlayOk"));
  ASSERT_TRUE(PageShows("const e = document.querySelector('dialog .error'); return e !== null;"));
  Browser().Execute(
      "const f = document.getElementById('OverlayFilter'); f.value = '1';"
      "f.dispatchEvent(new Event('change'));");
  ASSERT_TRUE(
      PageShows("return [...document.querySelectorAll('#OverlayList button')].map(b => b.textContent)"
                ".join('|').endsWith('sub|ride.gpx');"));
  ASSERT_TRUE(Browser().Click("#OverlayList button[data-name='ride.gpx']"));
  ASSERT_TRUE(Browser().Click("#OverlayOk"));
  ASSERT_TRUE(PumpUntil([&] { return path.has_value(); }));
  EXPECT_EQ(*path, (folder.Path() / "ride.gpx").string());
}

TEST_F(BrowserHostTest, OnlyTheOwnPagesGetIn) {
  Show(105);
  httplib::Client client("127.0.0.1", m_host.GetPort());
  const std::string host = "127.0.0.1:" + std::to_string(m_host.GetPort());

  const auto start =
      client.Get(("/start?token=" + m_host.GetStartUrl().substr(m_host.GetStartUrl().find('=') + 1)).c_str());
  ASSERT_TRUE(start);
  EXPECT_EQ(start->status, 303);
  const std::string setCookie = start->get_header_value("Set-Cookie");
  EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos);
  const std::string cookie = setCookie.substr(0, setCookie.find(';'));
  const std::string event = R"({"type":"click","id":"ButtonExit","g":"0"})";

  const std::string evil = "evil.test:" + std::to_string(m_host.GetPort());
  const struct {
    const char* legend;
    const char* path;  // the event address is posted to
    std::string host, cookie, origin;
    int status;
  } cases[] = {
      {"no cookie", "/page/105", host, "", "", 403},
      {"wrong token", "/start?token=00000000000000000000000000000000", host, "", "", 403},
      {"cookie", "/page/105", host, cookie, "", 200},
      {"rebound name", "/page/105", evil, cookie, "", 421},
      {"foreign origin", "/event", host, cookie, "http://evil.test", 403},
      {"no origin", "/event", host, cookie, "", 403},
      {"own origin", "/event", host, cookie, "http://" + host, 200},
      {"no file chooser open", "/files?path=/", host, cookie, "", 403},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    httplib::Headers headers{{"Host", c.host}};
    if (!c.cookie.empty()) headers.emplace("Cookie", c.cookie);
    if (!c.origin.empty()) headers.emplace("Origin", c.origin);
    const auto reply = std::string(c.path) == "/event"
                           ? client.Post(c.path, headers, event, "application/json")
                           : client.Get(c.path, headers);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, c.status);
    EXPECT_NE(reply->get_header_value("Content-Security-Policy").find("script-src 'self'"),
              std::string::npos);
    EXPECT_FALSE(reply->has_header("Access-Control-Allow-Origin"));
  }
}

TEST_F(BrowserHostTest, HostileTextNeverRunsAndRoutesFollowTheFocus) {
  Show(105);
  CMsgFeed feed;
  ASSERT_TRUE(feed.ParseText(
      "<rss><channel><title>News</title><item><title>&lt;img src=x onerror=\"window.pwned=1\"&gt;</title>"
      "<link>javascript:window.pwned=2</link><description>&lt;script&gt;window.pwned=3&lt;/script&gt;"
      "</description></item></channel></rss>"));
  DisplayMessages(m_host, feed);
  ASSERT_TRUE(PageShows("return document.getElementById('MsgSection').textContent.includes('onerror');"));
  EXPECT_EQ(Browser().Execute("return document.querySelectorAll('#MsgSection a, #MsgSection img').length;"),
            Json(0));

  // A hostile track name stays text; the route of the focused row is shown.
  Show(193);
  CGpsDataSet set;
  for (int t = 0; t < 2; ++t) {
    CGpsDataTrack* track = set.AddTrack(t == 0 ? "\"><img src=x onerror=\"window.pwned=4\">" : "t", -1);
    for (int i = 0; i < 50; ++i) {
      CGpsDataTrackPoint* point = track->AddPoint(0);
      point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1116689431 + t * 86400 + i);
      point->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, 600000000 + i * 1000 * (t + 1),
                        100000000 + i * i * 100);
    }
  }
  BuildTrackTable(m_host, set);
  ASSERT_TRUE(
      PageShows("const t = document.getElementById('text1');"
                "return t !== null && t.value.startsWith('\"><img');"));
  EXPECT_EQ(Browser().Execute("return document.querySelectorAll('#TrackTable img').length;"), Json(0));
  const std::string visible =
      "return [...document.querySelectorAll('#RoutePreview svg')].filter(s => "
      "s.getBoundingClientRect().width > 0).map(s => s.id).join();";
  ASSERT_TRUE(PageShows("return document.querySelectorAll('#RoutePreview svg').length === 2;"));
  EXPECT_EQ(Browser().Execute(visible), Json(""));
  ASSERT_TRUE(Browser().Click("#check2"));
  EXPECT_EQ(Browser().Execute(visible), Json("route-check2"));
  ASSERT_TRUE(Browser().Click("#check1"));
  EXPECT_EQ(Browser().Execute(visible), Json("route-check1"));
  // Even script that slipped into markup would not run: the policy forbids it.
  m_host.SetInnerHtml("RoutePreview", "<img src=x onerror=\"window.pwned=5\">");
  ASSERT_TRUE(PageShows("return document.querySelector('#RoutePreview img') !== null;"));
  m_window.PumpPending();
  EXPECT_EQ(Browser().Execute("return window.pwned === undefined;"), Json(true));
}

}  // namespace
