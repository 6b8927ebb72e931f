// The main dialog on the in-memory element map with its real jobs: simulated
// receivers on pseudo-terminals as the only ports, the reference service on
// loopback as the account's service, an isolated home. Page loads complete
// when the test pumps, as a browser's would after the dialog returned.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/PageResources.h"
#include "app/QVAgentDlg.h"
#include "data/GpsDevice.h"
#include "link/CommsRegistry.h"
#include "link/CommsSerial.h"
#include "link/GpsGarminSerial.h"
#include "platform/HtmlViewMemory.h"
#include "platform/MessageWindow.h"
#include "service/ReferenceService.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace qvtest {

// A Forerunner with `tracks` (a JSON array) that takes uploaded tracks too.
inline std::string ReceiverJson(const std::string& tracks, const std::string& serial = "3456789012") {
  return R"({"product_id": 484, "software_version": 350,
    "descriptions": ["Forerunner305 Software Version 3.50", "SIM VERSION 1.0"],
    "serial_number": )" +
         serial + R"(, "clock": "2024-05-01T12:00:00Z",
    "protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304", "A906:D1011"],
    "tracks": )" +
         tracks + "}";
}

// Three activities on one day, each of `points` points a second apart.
inline std::string ThreeTracksJson(int points = 3) {
  std::string json;
  for (int hour : {6, 12, 18}) {
    json += (json.empty() ? R"([{"ident": "T)" : R"(]}, {"ident": "T)") + std::to_string(hour / 6) +
            R"(", "points": [)";
    for (int p = 0; p < points; ++p) {
      char point[96];
      std::snprintf(point, sizeof point,
                    R"(%s{"lat": 47.37, "lon": 8.54, "time": "2024-05-01T%02d:%02d:%02dZ"})",
                    p > 0 ? "," : "", hour, p / 60, p % 60);
      json += point;
    }
  }
  return json + "]}]";
}

// LoadPage remembers that a load is under way; the rig completes it.
class CLoadingView : public CHtmlViewMemory {
public:
  CLoadingView() : CHtmlViewMemory(PageResources()) {}
  bool LoadPage(unsigned page) override {
    loading = true;
    return CHtmlViewMemory::LoadPage(page);
  }
  bool loading = false;
};

// What every dialog test stands on: an isolated home, the serial engine as
// the only driver with the simulated receivers' ports as the only ports, the
// reference service as the account's service.
class CAgentBed {
public:
  CAgentBed() {
    CUtil::ResetForTests();
    CUtil::Initialize();
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    m_serialPorts.SetPortEnumerator(CPortEnumerator(m_home.Path() / "no-tty", m_home.Path() / "no-tty"));
    CCommsRegistry::Register(&m_serialPorts);
    CGpsDevice::RegisterDevice(&m_serialEngine);
    CUtil::SetDeviceTimeout(2000);
    EXPECT_TRUE(service.Start());
    CUtil::SetServerName(service.Server());
    CUtil::SetAnnouncementsUrlSetting(service.BaseUrl() + "/agent/announcement.qv?username=%s");
  }
  ~CAgentBed() {
    service.Stop();
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    CUtil::ResetForTests();
  }
  void SetAccount() {
    CUtil::SetAccountName("runner");
    CUtil::SetEmail("runner@example.test");
  }
  // A simulated receiver on a pseudo-terminal, its port added to Device\Ports;
  // paced at the real wire rate on request.
  CGarminSim* AddReceiver(const std::string& json, bool paced = false) {
    std::string error;
    auto sim = CGarminSim::FromJson(json, &error);
    EXPECT_NE(sim, nullptr) << error;
    if (sim == nullptr) return nullptr;
    std::string port;
    EXPECT_TRUE(sim->StartSerial(port));
    sim->SetPacing(paced);
    m_ports += (m_ports.empty() ? "" : ";") + port;
    CUtil::SetDevicePorts(m_ports);
    sims.push_back(std::move(sim));
    return sims.back().get();
  }
  std::filesystem::path home() const { return m_home.Path(); }

private:
  CIsolatedHome m_home;
  CCommsSerial m_serialPorts;
  CGpsGarminSerial m_serialEngine;
  std::string m_ports;

public:
  CReferenceService service;
  std::vector<std::unique_ptr<CGarminSim>> sims;
};

// The dialog on the in-memory pages, with a recording shell.
class CDlgRig : public CAgentBed {
public:
  CDlgRig() {
    CQVAgentDlg::Shell shell;
    shell.isTrayIconShown = [this] { return trayIcon; };
    shell.showTrayIcon = [this](bool on) { trayIcon = on; };
    shell.showWindow = [this](bool show) { shown = show; };
    shell.endDialog = [this] { ended = true; };
    shell.open = [](const std::string&) { return true; };
    dlg = std::make_unique<CQVAgentDlg>(view, window, CQVAgentDlg::Jobs{}, shell);
    window.SetHandler([this](unsigned message, WPARAM wParam, LPARAM lParam) {
      return dlg ? dlg->OnMessage(message, wParam, lParam) : 0;
    });
  }
  // Completes page loads and handles messages until `done` holds.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      while (view.loading) {
        view.loading = false;
        view.FireDocumentComplete();
      }
      if (done()) return true;
      window.PumpOne(std::chrono::milliseconds(20));
    }
    return done();
  }
  // Until no job runs and every load is complete.
  bool Settle() {
    return PumpUntil([this] { return !AnyJobActive() && !view.loading && window.QueuedCount() == 0; });
  }
  bool AnyJobActive() {
    return dlg->GetMsgsThread().IsThreadActive() || dlg->GetRxDeviceThread().IsThreadActive() ||
           dlg->GetRxFileThread().IsThreadActive() || dlg->GetTxDeviceThread().IsThreadActive() ||
           dlg->GetTxServerThread().IsThreadActive();
  }
  // Starts on the start page, with the account set unless told otherwise.
  void StartPlain(bool account = true) {
    if (account) SetAccount();
    dlg->Start("");
    ASSERT_TRUE(Settle());
  }
  void Click(const std::string& id) {
    ASSERT_TRUE(view.Has(id)) << id << " on page " << view.GetPage();
    view.Click(id);
  }
  // How many files of the first queue folder end in `tail`.
  size_t Queued(const std::string& tail) const {
    size_t n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(CUtil::GetQueueFolder(0), ec)) {
      n += entry.path().filename().string().ends_with(tail);
    }
    return n;
  }
  CMessageWindow window;
  CLoadingView view;
  bool trayIcon = false;
  bool shown = false;
  bool ended = false;
  // Last, so that it goes first: its jobs use everything above.
  std::unique_ptr<CQVAgentDlg> dlg;
};

}  // namespace qvtest
