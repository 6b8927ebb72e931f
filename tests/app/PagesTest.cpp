// The authored pages against the ids and texts the program relies on.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/ImportBrowse.h"
#include "app/PagePrefs.h"
#include "util/Util.h"

namespace {

TEST(PagesTest, EveryPageHasItsElements) {
  const struct {
    unsigned page;
    const char* header;
    std::vector<std::string> ids;
  } cases[] = {
      {105, "Welcome to the Tavelnor Agent", {"TaskTable", "MsgTitle", "MsgSection", "ButtonExit"}},
      {106,
       "Configure Agent",
       {"EditUsername", "EditEmail", "CheckPower", "CheckTaskbar", "CheckMultiDevices", "RadioSendNew",
        "RadioSendEdit", "Version", "LinkFileAssoc", "LinkSavePrefs", "LinkIntro", "ButtonExit"}},
      {107,
       "Synchronize Activities",
       {"RxStatusSection", "TxStatusSection", "RetryText", "MsgTitle", "MsgSection", "ButtonExit"}},
      {108,
       "Send Queued Activites",
       {"TxStatusSection", "RetryText", "MsgTitle", "MsgSection", "ButtonExit"}},
      {109,
       "Import Files",
       {"EditFilename", "LinkImportBrowse", "RadioSendDevice", "RadioSendServer", "CheckTimeConflicts",
        "LinkImportSend", "LinkIntro", "ButtonExit"}},
      {110,
       "Choose Activities to Send",
       {"ActivityTable", "CheckAll", "LinkEditHistorySend", "LinkEditHistoryCancel", "ButtonExit",
        "RoutePreview"}},
      {192,
       "Transfer Data to Device",
       {"RxStatusSection", "TxStatusSection", "RetryText", "MsgTitle", "MsgSection", "ButtonExit"}},
      {193,
       "Choose Tracks to Transfer",
       {"TrackTable", "CheckAll", "LinkEditTxTracksSend", "LinkEditTxTracksCancel", "ButtonExit",
        "RoutePreview"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    const SPageResource page = FindPageResource("HTML", c.page);
    ASSERT_FALSE(page.mimeType.empty());
    EXPECT_NE(page.data.find(std::string("<h1>") + c.header + "</h1>"), std::string::npos);
    CHtmlViewMemory view = qvtest::LoadedPage(c.page);
    EXPECT_TRUE(view.Has("CQVAgentDlg"));
    for (const std::string& id : c.ids) EXPECT_TRUE(view.Has(id)) << id;
  }
}

TEST(PagesTest, PreferencesRoundTrip) {
  qvtest::CIsolatedHome home;
  CUtil::SetAccountName("runner");
  CUtil::SetEmail("r@example.test");
  CUtil::SetEditActivities(true);
  CUtil::SetMultipleDevices(true);
  CHtmlViewMemory view = qvtest::LoadedPage(106);
  FillPreferences(view);
  EXPECT_EQ(view.Find("EditUsername")->value, "runner");
  EXPECT_TRUE(view.Find("RadioSendEdit")->checked);
  EXPECT_FALSE(view.Find("RadioSendNew")->checked);
  EXPECT_TRUE(view.Find("CheckMultiDevices")->checked);
  EXPECT_FALSE(view.Find("CheckPower")->checked);

  view.SetValue("EditEmail", "not-an-address");  // saved without checks
  view.SetChecked("RadioSendNew", true);
  view.SetChecked("CheckPower", true);
  SavePreferences(view);
  EXPECT_EQ(CUtil::GetEmail(), "not-an-address");
  EXPECT_FALSE(CUtil::GetEditActivities());
  EXPECT_TRUE(CUtil::GetPowerdown());
  EXPECT_TRUE(CUtil::GetMultipleDevices());
}

TEST(PagesTest, BrowseFillsTheFileNameOnlyOnOk) {
  CHtmlViewMemory view = qvtest::LoadedPage(109);
  view.SetValue("EditFilename", "/data/old.gpx");
  BrowseImportFile(view);
  ASSERT_EQ(view.Overlays().size(), 1u);
  EXPECT_EQ(view.Overlays().front().text, "/data/old.gpx");
  const std::vector<SFileFilter>& filters = view.Overlays().front().filters;
  ASSERT_EQ(filters.size(), 9u);
  EXPECT_EQ(filters[0].pattern, "*.*");
  EXPECT_EQ(filters[2].label, "Tavelnor Course Database (*.qvcrs)");
  EXPECT_EQ(filters[2].pattern, "*.crs");
  view.Overlays().front().fileDone(false, "");
  EXPECT_EQ(view.Find("EditFilename")->value, "/data/old.gpx");
  view.Overlays().front().fileDone(true, "/data/new.kml");
  EXPECT_EQ(view.Find("EditFilename")->value, "/data/new.kml");
}

}  // namespace
