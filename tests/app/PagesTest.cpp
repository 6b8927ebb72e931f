// The preferences page's fill and save, and a cancelled file chooser.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/ImportBrowse.h"
#include "app/PagePrefs.h"
#include "util/Util.h"

namespace {

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

// Choosing a file is the import flows' case; a cancelled chooser keeps the name.
TEST(PagesTest, BrowseCancelledKeepsTheFileName) {
  CHtmlViewMemory view = qvtest::LoadedPage(109);
  view.SetValue("EditFilename", "/data/old.gpx");
  BrowseImportFile(view);
  ASSERT_EQ(view.Overlays().size(), 1u);
  EXPECT_EQ(view.Overlays().front().text, "/data/old.gpx");
  view.Overlays().front().fileDone(false, "");
  EXPECT_EQ(view.Find("EditFilename")->value, "/data/old.gpx");
}

}  // namespace
