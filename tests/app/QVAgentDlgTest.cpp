// The main dialog's state machine with its real jobs against simulated
// receivers and the reference service, on the in-memory pages: only what the
// browser flows do not reach.
#include <gtest/gtest.h>

#include "app/DlgRig.h"
#include "threads/ThreadRxDevice.h"
#include "threads/ThreadRxFile.h"
#include "util/TraceLog.h"

namespace {

using qvtest::CDlgRig;
using qvtest::ReceiverJson;
using qvtest::ThreeTracksJson;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The About box stays on the start page; saving TaskbarIcon shows the icon
// and writes the start-at-login entry.
TEST(QVAgentDlg, AboutBoxAndSavedTaskbarIcon) {
  CDlgRig rig;
  rig.StartPlain(false);
  rig.Click("LinkAbout");
  ASSERT_TRUE(rig.Settle());
  ASSERT_EQ(rig.view.Overlays().size(), 1u);
  EXPECT_EQ(rig.view.Overlays().front().text, "Tavelnor Agent Version " + CUtil::GetVersion());
  rig.Click("LinkPrefs");
  ASSERT_TRUE(rig.Settle());
  rig.view.UserSetChecked("CheckTaskbar", true);
  rig.Click("LinkSavePrefs");
  ASSERT_TRUE(rig.Settle());
  EXPECT_EQ(rig.view.GetPage(), 105u);
  EXPECT_TRUE(rig.trayIcon);
  EXPECT_TRUE(std::filesystem::exists(CUtil::GetStartupShortcutPath()));
}

// With MultipleDevices off the search stops after the first receiver that
// delivered: one document, the second receiver never asked.
TEST(QVAgentDlg, WithoutMultipleDevicesOneReceiverIsRead) {
  CDlgRig rig;
  rig.service.SetUploadStatus(500);
  rig.AddReceiver(ReceiverJson(ThreeTracksJson()));
  CGarminSim* second = rig.AddReceiver(ReceiverJson(ThreeTracksJson(), "3456789013"));
  rig.StartPlain();
  rig.Click("LinkRxDevice");
  ASSERT_TRUE(rig.PumpUntil([&] { return !rig.service.Uploads().empty() && !rig.AnyJobActive(); }));
  EXPECT_EQ(rig.Queued(".qvx.gz"), 1u);
  EXPECT_TRUE(second->HostPackets().empty());
}

// A file that cannot be read is not sent to the upload page as if it were
// queued: the user learns why, and stays on the import page.
TEST(QVAgentDlg, ImportToTheServiceOfAMissingFileSaysWhy) {
  CDlgRig rig;
  rig.StartPlain();
  rig.Click("LinkImport");
  ASSERT_TRUE(rig.Settle());
  const std::string missing = (rig.home() / "gone.gpx").string();
  rig.view.SetValue("EditFilename", missing);
  rig.view.UserSetChecked("RadioSendDevice", false);
  rig.view.UserSetChecked("RadioSendServer", true);
  rig.Click("LinkImportSend");
  ASSERT_TRUE(rig.Settle());
  EXPECT_EQ(rig.view.GetPage(), 109u);
  ASSERT_EQ(rig.view.Overlays().size(), 1u);
  EXPECT_TRUE(Contains(rig.view.Overlays().front().text, missing + ": "));
  EXPECT_EQ(CUtil::GetQueuedBytes(), 0u);
}

// How the program's arguments start the dialog (a plain start is every
// browser flow's), and what a second agent's hand-over does to a hidden one.
TEST(QVAgentDlg, CommandLineChoosesTheFirstPage) {
  const struct {
    const char* name;
    bool taskbarIcon;
    std::string commandLine;
    bool hidden;
    std::string importPath;  // empty: the start page
  } cases[] = {
      {"-bg with the icon", true, "-bg", true, ""},
      {"-bg without the icon is a file", false, "-bg", false, "-bg"},
      {"quoted path with a blank", false, "  \"/tmp/a b.gpx\" ", false, "/tmp/a b.gpx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDlgRig rig;
    rig.SetAccount();
    CUtil::SetTaskbarIcon(c.taskbarIcon);
    rig.dlg->Start(c.commandLine);
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.dlg->IsStartHidden(), c.hidden);
    EXPECT_EQ(rig.shown, !c.hidden);
    EXPECT_EQ(rig.trayIcon, c.taskbarIcon);
    EXPECT_EQ(rig.dlg->GetRxFileThread().GetImportPath(), c.importPath);
    // A file goes on to the receiver without a click (and fails: no such file).
    EXPECT_EQ(rig.view.GetPage(), c.importPath.empty() ? 105u : 192u);
    if (!c.hidden) continue;
    rig.dlg->OnCommandLine("");
    ASSERT_TRUE(rig.Settle());
    EXPECT_TRUE(rig.shown);
    EXPECT_FALSE(rig.dlg->IsStartHidden());
    EXPECT_EQ(rig.view.GetPage(), 105u);
  }
}

// Clicking Synchronise again while a receive runs starts no second one;
// leaving then stops it, closes the trace and compresses it into the queue;
// the stopped receive queues nothing.
TEST(QVAgentDlg, ASecondClickAndExitDuringAReceive) {
  CDlgRig rig;
  rig.AddReceiver(ReceiverJson(ThreeTracksJson(400)), true);
  rig.StartPlain();
  rig.dlg->EnableTracing();
  ASSERT_EQ(rig.view.Overlays().size(), 1u);
  rig.view.Overlays().front().messageDone();
  rig.view.Overlays().clear();
  ASSERT_TRUE(rig.Settle());
  rig.Click("LinkRxDevice");
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.dlg->GetRxDeviceThread().IsRunning(); }));
  // As from the start page the tray icon brings up meanwhile.
  rig.view.Click("LinkRxDevice");
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.view.Has("LinkCancelRxDevice"); }, std::chrono::seconds(5)));
  const std::string trace = qvtest::ReadFile(LogPath());
  EXPECT_TRUE(Contains(trace, "CQVAgentDlg::OnDocumentComplete(STATE_RXDEVICE_FIRST) thread still running"));
  // The fresh page shows the running search again, with its Cancel.
  EXPECT_TRUE(Contains(rig.view.Find("RxStatusSection")->html, "/dev/pts/"));

  rig.Click("ButtonExit");
  EXPECT_FALSE(rig.dlg->GetRxDeviceThread().IsThreadActive());
  EXPECT_TRUE(rig.ended);
  EXPECT_FALSE(LogIsEnabled());
  EXPECT_EQ(rig.Queued(".txt.gz"), 1u);
  EXPECT_EQ(rig.Queued(".qvx.gz"), 0u);
}

}  // namespace
