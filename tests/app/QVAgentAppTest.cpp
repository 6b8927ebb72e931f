// The application object: one agent per desktop over the instance channel,
// a second agent's hand-over, and the end of the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/AgentWindow.h"
#include "app/PageResources.h"
#include "app/QVAgentApp.h"
#include "app/QVAgentDlg.h"
#include "data/GpsDevice.h"
#include "link/CommsRegistry.h"
#include "platform/HtmlViewMemory.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace {

// Pages in memory whose loads complete on the UI thread, as a browser's do.
class CMemoryWindow : public CAgentWindow {
public:
  class CView : public CHtmlViewMemory {
  public:
    explicit CView(CMemoryWindow& owner) : CHtmlViewMemory(PageResources()), m_owner(owner) {}
    bool LoadPage(unsigned page) override {
      const bool loaded = CHtmlViewMemory::LoadPage(page);
      m_owner.page.store(page);
      if (CMessageWindow* ui = m_owner.ui.load()) ui->PostTask([this] { FireDocumentComplete(); });
      return loaded;
    }

  private:
    CMemoryWindow& m_owner;
  };

  CHtmlView& GetView() override { return view; }
  bool Create(CMessageWindow&) override { return true; }
  void Show() override { ++shows; }
  void Hide() override {}
  void Destroy() override { destroyed = true; }

  CView view{*this};
  std::atomic<CMessageWindow*> ui{nullptr};
  std::atomic<unsigned> page{0};
  std::atomic<int> shows{0};
  std::atomic<bool> destroyed{false};
};

bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

class CQVAgentAppTest : public ::testing::Test {
protected:
  void SetUp() override {
    CUtil::ResetForTests();
    CUtil::Initialize();
    // No service to ask for announcements: the feed fails at once.
    CUtil::SetServerName("127.0.0.1:9");
    CUtil::SetAnnouncementsUrlSetting("http://127.0.0.1:9/agent/announcement.qv?username=%s");
  }
  void TearDown() override {
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    CUtil::ResetForTests();
  }

  qvtest::CIsolatedHome m_home;
};

// With the background setting on: a second agent started at login stays
// quiet; one with a file hands it over (the start page without arguments is
// the browser flows' case).
TEST_F(CQVAgentAppTest, ASecondAgentHandsOverAndEnds) {
  CUtil::SetTaskbarIcon(true);
  CQVAgentApp first;
  CMemoryWindow firstWindow;
  // The first agent runs on a thread of its own until RequestExit.
  auto running = std::async(std::launch::async, [&] { return first.Run({}, firstWindow); });
  EXPECT_TRUE(
      WaitFor([&] { return first.GetMessageWindow() != nullptr && firstWindow.page.load() == 105u; }));
  firstWindow.ui.store(first.GetMessageWindow());
  EXPECT_TRUE(first.IsTrayIconShown());
  EXPECT_EQ(firstWindow.shows.load(), 1);
  CQVAgentApp quiet;
  CMemoryWindow quietWindow;
  EXPECT_EQ(quiet.Run({"-bg"}, quietWindow), EAppStart::HandedOver);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(firstWindow.shows.load(), 1);

  // The path keeps its blanks and inner quotes; the outer quotes go.
  CQVAgentApp second;
  CMemoryWindow secondWindow;
  EXPECT_EQ(second.Run({"\"/tmp/my ride \"one\".gpx\""}, secondWindow), EAppStart::HandedOver);
  EXPECT_EQ(secondWindow.page.load(), 0u);
  ASSERT_TRUE(WaitFor([&] { return firstWindow.page.load() == 192u; }));
  std::string path;
  ASSERT_TRUE(first.GetMessageWindow()->SendTask(
      [&] { path = first.GetDialog()->GetRxFileThread().GetImportPath(); }));
  EXPECT_EQ(path, "/tmp/my ride \"one\".gpx");
  EXPECT_GT(firstWindow.shows.load(), 1);

  first.RequestExit();
  ASSERT_EQ(running.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(running.get(), EAppStart::Ran);
  EXPECT_TRUE(firstWindow.destroyed.load());
}

}  // namespace
