// What a user walks through in the agent's pages, in headless Chromium: the
// dialog with its real jobs on the browser host, simulated receivers on
// pseudo-terminals and the reference service on loopback, in an isolated home.
#include <gtest/gtest.h>
#include <zlib.h>

#include <set>

#include "app/DlgRig.h"
#include "app/PageResources.h"
#include "app/QVAgentDlg.h"
#include "e2e/WebDriver.h"
#include "import/SentHistory.h"
#include "platform/BrowserHost.h"
#include "util/TraceLog.h"

namespace {

using qvtest::Browser;
using qvtest::ReceiverJson;
using qvtest::ThreeTracksJson;
using Json = nlohmann::json;

size_t CountActivities(const std::string& document) {
  size_t count = 0;
  for (size_t at = document.find("<activity"); at != std::string::npos;
       at = document.find("<activity", at + 1)) {
    const char next = at + 9 < document.size() ? document[at + 9] : '\0';
    count += next == '>' || next == ' ';
  }
  return count;
}

std::string Gunzip(const std::string& data) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return {};
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  std::string text;
  char buffer[4096];
  int rc = Z_OK;
  while (rc == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    rc = inflate(&stream, Z_NO_FLUSH);
    text.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return rc == Z_STREAM_END ? text : std::string();
}

// The agent's dialog shown in the browser; the same wiring as the program's.
class DialogFlowsTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!Browser().IsReady()) GTEST_SKIP() << Browser().GetError();
    m_bed = std::make_unique<qvtest::CAgentBed>();
    ASSERT_TRUE(m_host.Start());
    CQVAgentDlg::Shell shell;
    shell.showWindow = [this](bool show) {
      if (show && m_host.GetOpenPageCount() == 0) Browser().Navigate(m_host.GetStartUrl());
    };
    shell.open = [](const std::string&) { return true; };
    m_dlg = std::make_unique<CQVAgentDlg>(m_host, m_window, CQVAgentDlg::Jobs{}, shell);
    m_window.SetHandler([this](unsigned message, WPARAM wParam, LPARAM lParam) {
      return m_dlg ? m_dlg->OnMessage(message, wParam, lParam) : 0;
    });
  }
  void TearDown() override {
    m_dlg.reset();
    m_host.Stop();
    m_bed.reset();
  }

  void SetAccount() { m_bed->SetAccount(); }
  void AddReceiver(const std::string& json, bool paced = false) { m_bed->AddReceiver(json, paced); }

  // Handles the agent's events until the page's script answers true.
  bool PageShows(const std::string& script, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      m_window.PumpPending();
      if (Browser().Execute(script) == Json(true)) return true;
      m_window.PumpOne(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool Has(const std::string& id) {
    return PageShows("return document.getElementById('" + id + "') !== null;");
  }
  std::string Html(const std::string& id) {
    const Json html = Browser().Execute(
        "const e = document.getElementById(arguments[0]); return e ? e.innerHTML : '';", {id});
    return html.is_string() ? html.get<std::string>() : std::string();
  }
  void Click(const std::string& id) { ASSERT_TRUE(Browser().Click("#" + id)) << id; }

  std::unique_ptr<qvtest::CAgentBed> m_bed;
  CMessageWindow m_window;
  CBrowserHost m_host{PageResources(),
                      [this](std::function<void()> task) { m_window.PostTask(std::move(task)); }};
  std::unique_ptr<CQVAgentDlg> m_dlg;
};

// 1. A first start offers only the preferences; once saved, the tasks.
TEST_F(DialogFlowsTest, FirstStartAsksForTheAccountFirst) {
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkPrefs"));
  EXPECT_EQ(Browser().Execute("return document.getElementById('LinkRxDevice') === null;"), Json(true));
  Click("LinkPrefs");
  ASSERT_TRUE(Has("EditUsername"));
  ASSERT_TRUE(Browser().Type("#EditUsername", "runner"));
  ASSERT_TRUE(Browser().Type("#EditEmail", "runner@example.test"));
  Click("LinkSavePrefs");
  ASSERT_TRUE(Has("LinkRxDevice"));
  EXPECT_TRUE(Has("LinkImport"));
  EXPECT_EQ(CUtil::GetAccountName(), "runner");
  EXPECT_EQ(CUtil::GetEmail(), "runner@example.test");

  // Ctrl+Shift+D starts a trace; the start page then offers to send it.
  Browser().PressChord({"\uE009", "\uE008", "d"});
  ASSERT_TRUE(
      PageShows("const d = document.querySelector('dialog[open]');"
                "return d !== null && d.textContent.includes('Logging is now enabled.');"));
  ASSERT_TRUE(Browser().Click("#OverlayOk"));
  EXPECT_TRUE(Has("LinkTxServer"));
  EXPECT_TRUE(LogIsEnabled());
  LogClose();
}

// 2. Synchronise: moving progress, the upload, the inbox button and the
// service's reply; the next one finds nothing new.
TEST_F(DialogFlowsTest, SynchroniseSendsTheNewActivities) {
  SetAccount();
  AddReceiver(ReceiverJson(ThreeTracksJson(50)), true);
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  std::set<std::string> progress;
  ASSERT_TRUE(PageShows([&] {
    return "const p = document.getElementById('Progress');"
           "if (p) window.__seen = (window.__seen || []).concat([p.textContent]);"
           "return document.getElementById('LinkViewInbox') !== null;";
  }()));
  // Every value the page showed between the first and the last.
  const Json seen = Browser().Execute("return window.__seen || [];");
  for (const auto& value : seen) progress.insert(value.get<std::string>());
  EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](const std::string& p) {
    return p != "0%" && p != "100%";
  })) << seen.dump();
  ASSERT_EQ(m_bed->service.Uploads().size(), 1u);
  EXPECT_TRUE(
      PageShows("return document.getElementById('MsgSection').textContent.includes('Upload received');"));

  Click("LinkIntro");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(Has("ActivityTable"));
  ASSERT_TRUE(
      PageShows("return document.querySelectorAll('#ActivityTable input[type=checkbox]').length === 3;"));
  EXPECT_EQ(
      Browser().Execute("return [...document.querySelectorAll('#ActivityTable input')].some(e => e.checked)"
                        " || document.getElementById('CheckAll').checked;"),
      Json(false));
}

// 5. No receiver: the search ends, Retry searches again.
TEST_F(DialogFlowsTest, NoReceiverOffersRetry) {
  SetAccount();
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(Has("LinkRxRetry"));
  EXPECT_NE(Html("RxStatusSection").find("No supported device could be found."), std::string::npos);
  AddReceiver(ReceiverJson(ThreeTracksJson()));
  Click("LinkRxRetry");
  ASSERT_TRUE(Has("LinkViewInbox")) << Html("RxStatusSection") << Html("TxStatusSection")
                                    << Html("RetryText");
  EXPECT_EQ(m_bed->service.Uploads().size(), 1u);
}

// 8. A file chosen with the file chooser goes to the service as it is, gzipped.
TEST_F(DialogFlowsTest, ImportToTheServiceSendsTheFileUnchanged) {
  SetAccount();
  const std::string content = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\"></gpx>\n";
  qvtest::WriteFile(m_bed->home() / "ride.gpx", content);
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkImport"));
  Click("LinkImport");
  ASSERT_TRUE(Has("LinkImportBrowse"));
  // The chooser starts where the field points.
  Browser().Execute("document.getElementById('EditFilename').value = arguments[0];",
                    {(m_bed->home() / "x.gpx").string()});
  Click("LinkImportBrowse");
  ASSERT_TRUE(
      PageShows("return document.querySelector(\"#OverlayList button[data-name='ride.gpx']\") !== null;"));
  ASSERT_TRUE(Browser().Click("#OverlayList button[data-name='ride.gpx']"));
  ASSERT_TRUE(Browser().Click("#OverlayOk"));
  ASSERT_TRUE(PageShows("return document.getElementById('EditFilename').value.endsWith('/ride.gpx');"));
  Click("RadioSendServer");
  Click("LinkImportSend");
  ASSERT_TRUE(Has("LinkViewInbox"));
  ASSERT_EQ(m_bed->service.Uploads().size(), 1u);
  EXPECT_EQ(Gunzip(m_bed->service.Uploads().front().body), content);
}

// 7. A GPX file to the receiver: chosen with the chooser, a track renamed in
// the table; the receiver gets the new name and the track thinned to what a
// track log holds.
TEST_F(DialogFlowsTest, ImportToTheReceiverSendsTheRenamedTracks) {
  SetAccount();
  AddReceiver(ReceiverJson("[]"));
  std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\">\n";
  const auto track = [&gpx](const std::string& name, int points, int hour) {
    gpx += "<trk><name>" + name + "</name><trkseg>\n";
    for (int i = 0; i < points; ++i) {
      char line[160];
      std::snprintf(line, sizeof line,
                    "<trkpt lat=\"%.5f\" lon=\"8.5\"><time>2024-05-0%dT%02d:%02d:%02dZ</time></trkpt>\n",
                    47.0 + i * 0.0001, 2 + hour % 2, hour, (i / 60) % 60, i % 60);
      gpx += line;
    }
    gpx += "</trkseg></trk>\n";
  };
  track("Long way", 600, 7);
  track("Short", 20, 8);
  gpx += "</gpx>\n";
  qvtest::WriteFile(m_bed->home() / "tracks.gpx", gpx);

  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkImport"));
  Click("LinkImport");
  ASSERT_TRUE(Has("LinkImportBrowse"));
  Browser().Execute("document.getElementById('EditFilename').value = arguments[0];",
                    {(m_bed->home() / "x.gpx").string()});
  Click("LinkImportBrowse");
  ASSERT_TRUE(
      PageShows("return document.querySelector(\"#OverlayList button[data-name='tracks.gpx']\") !== null;"));
  ASSERT_TRUE(Browser().Click("#OverlayList button[data-name='tracks.gpx']"));
  ASSERT_TRUE(Browser().Click("#OverlayOk"));
  ASSERT_TRUE(PageShows("return document.getElementById('EditFilename').value.endsWith('/tracks.gpx');"));
  Click("LinkImportSend");
  ASSERT_TRUE(
      PageShows("return document.querySelectorAll('#TrackTable input[type=checkbox]').length === 2;"));
  EXPECT_EQ(Browser().Execute("return document.getElementById('CheckAll').checked;"), Json(true));
  const Json shownName = Browser().Execute("return document.getElementById('text2').value;");
  Browser().Execute("document.getElementById('text1').value = 'Lake loop';");
  Click("LinkEditTxTracksSend");
  ASSERT_TRUE(PageShows(
      "return document.querySelector('#RetryText #LinkIntro') !== null"
      " && document.getElementById('TxStatusSection').textContent.includes('Data transfer complete');"));
  const std::vector<SimTrack> tracks = m_bed->sims.front()->UploadedTracks();
  ASSERT_EQ(tracks.size(), 2u);
  // Newest first in the table, but sent in the file's order.
  EXPECT_EQ(tracks[0].ident, "Lake loop");
  EXPECT_EQ(Json(tracks[1].ident), shownName);
  EXPECT_LE(tracks[0].points.size(), 500u);
  EXPECT_GT(tracks[0].points.size(), 100u);
  EXPECT_EQ(tracks[1].points.size(), 20u);
}

// 3. With EditActivities on the user picks two of three; only those reach
// the service, and all three count as sent.
TEST_F(DialogFlowsTest, ChosenActivitiesAreSent) {
  SetAccount();
  CUtil::SetEditActivities(true);
  AddReceiver(ReceiverJson(ThreeTracksJson()));
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(
      PageShows("return document.querySelectorAll('#ActivityTable input[type=checkbox]').length === 3;"));
  EXPECT_EQ(Browser().Execute("return document.getElementById('CheckAll').checked;"), Json(true));
  Click("check2");
  Click("LinkEditHistorySend");
  ASSERT_TRUE(Has("LinkViewInbox"));
  ASSERT_EQ(m_bed->service.Uploads().size(), 1u);
  EXPECT_EQ(CountActivities(Gunzip(m_bed->service.Uploads().front().body)), 2u);
  CSentHistory history;
  history.LoadHistory();
  EXPECT_EQ(history.GetCount(), 3u);
}

// 4. Cancel during a paced receive: the user aborted, nothing is queued,
// Retry reads the receiver again.
TEST_F(DialogFlowsTest, CancelStopsTheReceive) {
  SetAccount();
  AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(Has("Progress"));
  Click("LinkCancelRxDevice");
  ASSERT_TRUE(Has("LinkRxRetry"));
  EXPECT_NE(Html("RxStatusSection").find("User aborted"), std::string::npos) << Html("RxStatusSection");
  EXPECT_EQ(CUtil::GetQueuedBytes(), 0u);
  EXPECT_TRUE(m_bed->service.Uploads().empty());
  m_bed->sims.front()->SetPacing(false);
  Click("LinkRxRetry");
  ASSERT_TRUE(Has("LinkViewInbox")) << Html("RxStatusSection") << Html("TxStatusSection")
                                    << Html("RetryText");
  EXPECT_EQ(m_bed->service.Uploads().size(), 1u);
}

// 6. The service fails, then recovers: the document stays queued, the start
// page offers to send it, Retry sends it.
TEST_F(DialogFlowsTest, AFailedUploadStaysQueuedUntilRetry) {
  SetAccount();
  m_bed->service.SetUploadStatus(500);
  AddReceiver(ReceiverJson(ThreeTracksJson()));
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(Has("LinkTxRetry"));
  EXPECT_GT(CUtil::GetQueuedBytes(), 0u);
  Click("LinkIntro");
  ASSERT_TRUE(Has("LinkTxServer"));
  Click("LinkTxServer");
  ASSERT_TRUE(Has("LinkTxRetry"));
  m_bed->service.SetUploadStatus(200);
  Click("LinkTxRetry");
  ASSERT_TRUE(Has("LinkViewInbox"));
  EXPECT_EQ(CUtil::GetQueuedBytes(), 0u);
  const auto uploads = m_bed->service.Uploads();
  ASSERT_EQ(uploads.size(), 3u);
  EXPECT_EQ(uploads[0].body, uploads[2].body);
}

// 9. With MultipleDevices on, two receivers give two documents.
TEST_F(DialogFlowsTest, MultipleDevicesReadsEveryReceiver) {
  SetAccount();
  CUtil::SetMultipleDevices(true);
  AddReceiver(ReceiverJson(ThreeTracksJson()));
  AddReceiver(ReceiverJson(ThreeTracksJson(), "3456789013"));
  m_dlg->Start("");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(Has("LinkViewInbox"));
  EXPECT_EQ(m_bed->service.Uploads().size(), 2u);
}

}  // namespace
