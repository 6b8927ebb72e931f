// What a user walks through in the agent's pages, in headless Chromium: the
// dialog with its real jobs on the browser host, simulated receivers on
// pseudo-terminals and the reference service on loopback, in an isolated home.
#include <gtest/gtest.h>

#include <tuple>

#include "app/DlgRig.h"
#include "app/QVAgentDlg.h"
#include "e2e/WebDriver.h"
#include "import/SentHistory.h"
#include "threads/ThreadTxServerTestFixture.h"
#include "util/TraceLog.h"

namespace {

using qvtest::Browser;
using qvtest::ReceiverJson;
using qvtest::ThreeTracksJson;
using Json = nlohmann::json;

size_t CountActivities(const std::string& document) {
  size_t count = 0;
  for (size_t at = document.find("<activity"); at != std::string::npos;
       at = document.find("<activity", at + 1))
    count += document.compare(at, 10, "<activity>") == 0 || document.compare(at, 10, "<activity ") == 0;
  return count;
}

std::string Checkboxes(const std::string& table, int count) {
  return "return document.querySelectorAll('#" + table +
         " input[type=checkbox]').length === " + std::to_string(count) + ";";
}

// The agent's dialog shown in the browser; the same wiring as the program's.
class DialogFlowsTest : public qvtest::CHostedPagesTest {
protected:
  void SetUp() override {
    CHostedPagesTest::SetUp();
    if (IsSkipped()) return;
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

  void Click(const std::string& id) { ASSERT_TRUE(Browser().Click("#" + id)) << id; }
  // Starts the dialog and follows a link of the start page.
  void StartWith(const std::string& link) {
    m_dlg->Start("");
    ASSERT_TRUE(Has(link));
    Click(link);
  }
  // On the import page: picks `name` from the agent's home with the file chooser.
  void ChooseFile(const std::string& name) {
    ASSERT_NO_FATAL_FAILURE(StartWith("LinkImport"));
    ASSERT_TRUE(Has("LinkImportBrowse"));
    // The chooser starts where the field points.
    Browser().Execute("document.getElementById('EditFilename').value = arguments[0];",
                      {(m_bed->home() / "x.gpx").string()});
    Click("LinkImportBrowse");
    const std::string button = "#OverlayList button[data-name='" + name + "']";
    ASSERT_TRUE(PageShows("return document.querySelector(\"" + button + "\") !== null;"));
    ASSERT_TRUE(Browser().Click(button));
    ASSERT_TRUE(Browser().Click("#OverlayOk"));
    ASSERT_TRUE(PageShows("return document.getElementById('EditFilename').value.endsWith('/" + name + "');"));
  }
  std::string Status() {
    return Browser().Html("RxStatusSection") + Browser().Html("TxStatusSection") +
           Browser().Html("RetryText");
  }

  std::unique_ptr<qvtest::CAgentBed> m_bed;
  std::unique_ptr<CQVAgentDlg> m_dlg;
};

// 1. A first start offers only the preferences; once saved, the tasks.
TEST_F(DialogFlowsTest, FirstStartAsksForTheAccountFirst) {
  StartWith("LinkPrefs");
  EXPECT_EQ(Browser().Execute("return document.getElementById('LinkRxDevice') === null;"), Json(true));
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
  m_bed->SetAccount();
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(50)), true);
  StartWith("LinkRxDevice");
  // Every value the page showed between the first and the last.
  ASSERT_TRUE(
      PageShows("const p = document.getElementById('Progress');"
                "if (p) window.__seen = (window.__seen || []).concat([p.textContent]);"
                "return document.getElementById('LinkViewInbox') !== null;"));
  const Json seen = Browser().Execute("return window.__seen || [];");
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const Json& p) { return p != "0%" && p != "100%"; }))
      << seen.dump();
  ASSERT_EQ(m_bed->service.Uploads().size(), 1u);
  EXPECT_TRUE(
      PageShows("return document.getElementById('MsgSection').textContent.includes('Upload received');"));

  Click("LinkIntro");
  ASSERT_TRUE(Has("LinkRxDevice"));
  Click("LinkRxDevice");
  ASSERT_TRUE(PageShows(Checkboxes("ActivityTable", 3)));
  EXPECT_EQ(
      Browser().Execute("return [...document.querySelectorAll('#ActivityTable input')].some(e => e.checked)"
                        " || document.getElementById('CheckAll').checked;"),
      Json(false));
}

// 3. With EditActivities on the user picks two of three; only those reach
// the service, and all three count as sent.
TEST_F(DialogFlowsTest, ChosenActivitiesAreSent) {
  m_bed->SetAccount();
  CUtil::SetEditActivities(true);
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson()));
  StartWith("LinkRxDevice");
  ASSERT_TRUE(PageShows(Checkboxes("ActivityTable", 3)));
  EXPECT_EQ(Browser().Execute("return document.getElementById('CheckAll').checked;"), Json(true));
  Click("check2");
  Click("LinkEditHistorySend");
  ASSERT_TRUE(Has("LinkViewInbox"));
  ASSERT_EQ(m_bed->service.Uploads().size(), 1u);
  EXPECT_EQ(CountActivities(qvtest::GunzipText(m_bed->service.Uploads().front().body)), 2u);
  CSentHistory history;
  history.LoadHistory();
  EXPECT_EQ(history.GetCount(), 3u);
}

// 5. No receiver: the search ends, Retry searches again. 4. Cancel during
// the paced receive that follows: the user aborted, nothing is queued, Retry
// reads the receiver again.
TEST_F(DialogFlowsTest, NoReceiverAndCancelOfferRetry) {
  m_bed->SetAccount();
  StartWith("LinkRxDevice");
  ASSERT_TRUE(Has("LinkRxRetry"));
  EXPECT_NE(Browser().Html("RxStatusSection").find("No supported device could be found."), std::string::npos);
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  Click("LinkRxRetry");
  ASSERT_TRUE(Has("Progress"));
  Click("LinkCancelRxDevice");
  ASSERT_TRUE(Has("LinkRxRetry"));
  EXPECT_NE(Browser().Html("RxStatusSection").find("User aborted"), std::string::npos) << Status();
  EXPECT_EQ(CUtil::GetQueuedBytes(), 0u);
  EXPECT_TRUE(m_bed->service.Uploads().empty());
  m_bed->sims.front()->SetPacing(false);
  Click("LinkRxRetry");
  ASSERT_TRUE(Has("LinkViewInbox")) << Status();
  EXPECT_EQ(m_bed->service.Uploads().size(), 1u);
}

// 6. The service fails, then recovers: the document stays queued, the start
// page offers to send it, Retry sends it.
TEST_F(DialogFlowsTest, AFailedUploadStaysQueuedUntilRetry) {
  m_bed->SetAccount();
  m_bed->service.SetUploadStatus(500);
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson()));
  StartWith("LinkRxDevice");
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

// 7. A GPX file to the receiver: a track renamed in the table; the receiver
// gets the new name and the track thinned to what a track log holds.
TEST_F(DialogFlowsTest, ImportToTheReceiverSendsTheRenamedTracks) {
  m_bed->SetAccount();
  m_bed->AddReceiver(ReceiverJson("[]"));
  std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\">\n";
  for (const auto& [name, points, hour] : {std::tuple{"Long way", 600, 7}, std::tuple{"Short", 20, 8}}) {
    gpx += std::string("<trk><name>") + name + "</name><trkseg>\n";
    for (int i = 0; i < points; ++i) {
      char line[160];
      std::snprintf(line, sizeof line,
                    "<trkpt lat=\"%.5f\" lon=\"8.5\"><time>2024-05-0%dT%02d:%02d:%02dZ</time></trkpt>\n",
                    47.0 + i * 0.0001, 2 + hour % 2, hour, (i / 60) % 60, i % 60);
      gpx += line;
    }
    gpx += "</trkseg></trk>\n";
  }
  qvtest::WriteFile(m_bed->home() / "tracks.gpx", gpx + "</gpx>\n");
  ASSERT_NO_FATAL_FAILURE(ChooseFile("tracks.gpx"));
  Click("LinkImportSend");
  ASSERT_TRUE(PageShows(Checkboxes("TrackTable", 2)));
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

// 8. A file chosen with the file chooser goes to the service as it is, gzipped.
TEST_F(DialogFlowsTest, ImportToTheServiceSendsTheFileUnchanged) {
  m_bed->SetAccount();
  const std::string content = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\"></gpx>\n";
  qvtest::WriteFile(m_bed->home() / "ride.gpx", content);
  ASSERT_NO_FATAL_FAILURE(ChooseFile("ride.gpx"));
  Click("RadioSendServer");
  Click("LinkImportSend");
  ASSERT_TRUE(Has("LinkViewInbox"));
  ASSERT_EQ(m_bed->service.Uploads().size(), 1u);
  EXPECT_EQ(qvtest::GunzipText(m_bed->service.Uploads().front().body), content);
}

// 9. With MultipleDevices on, two receivers give two documents.
TEST_F(DialogFlowsTest, MultipleDevicesReadsEveryReceiver) {
  m_bed->SetAccount();
  CUtil::SetMultipleDevices(true);
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson()));
  m_bed->AddReceiver(ReceiverJson(ThreeTracksJson(), "3456789013"));
  StartWith("LinkRxDevice");
  ASSERT_TRUE(Has("LinkViewInbox"));
  EXPECT_EQ(m_bed->service.Uploads().size(), 2u);
}

}  // namespace
