// The receive job wired to simulated receivers on pseudo-terminals: an
// isolated home, the serial engine as the only registered driver, a serial
// port search that lists only the ports of the Device\Ports setting, and a
// message window the test pumps on its own thread as the dialog would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "data/GpsDevice.h"
#include "link/CommsRegistry.h"
#include "link/CommsSerial.h"
#include "link/GpsGarminSerial.h"
#include "platform/MessageWindow.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"
#include "threads/ThreadRxDevice.h"
#include "util/Util.h"

// Status lines in failure messages: kind and text.
inline void PrintTo(const CStatusList::Entry& entry, std::ostream* out) {
  *out << "{" << entry.kind << ", \"" << entry.text << "\"}";
}

namespace qvtest {

// The device key of the simulated Forerunner of the scenarios below.
inline const char* const kSimDeviceKey = "device-Garmin-484-3456789012";

// A Forerunner with a protocol array; `tracks` is the JSON array of its tracks.
inline std::string ForerunnerJson(const std::string& tracks, const std::string& protocols = {}) {
  const std::string list = !protocols.empty()
                               ? protocols
                               : R"(["P000", "L001", "A010", "A100:D110", "A301:D310,D304", "A906:D1011"])";
  return R"({"product_id": 484, "software_version": 350,
    "descriptions": ["Forerunner305 Software Version 3.50", "SIM VERSION 1.0"],
    "serial_number": 3456789012, "clock": "2024-05-01T12:00:00Z",
    "protocols": )" +
         list + R"(, "tracks": )" + tracks + "}";
}

// Two tracks of three points; the first starts 2024-05-01T06:00:00Z, the
// second 2024-05-01T18:30:00Z.
inline std::string TwoTracksJson() {
  return R"([
    {"ident": "MORNING RUN", "points": [
      {"lat": 47.3769, "lon": 8.5417, "time": "2024-05-01T06:00:00Z", "heart_rate": 95},
      {"lat": 47.3775, "lon": 8.5423, "time": "2024-05-01T06:00:10Z", "heart_rate": 120},
      {"lat": 47.3781, "lon": 8.5434, "time": "2024-05-01T06:00:20Z", "heart_rate": 131}]},
    {"ident": "EVENING RIDE", "points": [
      {"lat": -33.8567, "lon": 151.2152, "time": "2024-05-01T18:30:00Z"},
      {"lat": -33.8570, "lon": 151.2140, "time": "2024-05-01T18:30:05Z"},
      {"lat": -33.8584, "lon": 151.2121, "time": "2024-05-01T18:30:15Z"}]}])";
}

// Whether the job's current line is the download's (after validation).
inline bool IsRetrieving(const CStatusList& list) {
  const auto last = list.GetLast();
  return last && last->kind == STATUS_BUSY && last->text.rfind("Retrieving", 0) == 0;
}

class CRxSimRig {
public:
  CRxSimRig() {
    CUtil::ResetForTests();
    CUtil::Initialize();
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    // Only the ports of the setting: none of this machine's own.
    m_serialPorts.SetPortEnumerator(CPortEnumerator(m_home.Path() / "no-tty", m_home.Path() / "no-tty"));
    CCommsRegistry::Register(&m_serialPorts);
    UseDriver(&m_serialEngine);
    CUtil::SetDeviceTimeout(150);
    window.SetHandler([this](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
      EXPECT_EQ(message, WM_THREAD_UPDATE);
      posted.push_back(wParam);
      if (HIWORD(wParam) == THREAD_UPD_COMPLETE) ++completions;
      if (onUpdate) onUpdate(wParam);
      return 0;
    });
  }
  ~CRxSimRig() {
    thread.WaitForThread(std::chrono::seconds(30));
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    CUtil::ResetForTests();
  }
  CRxSimRig(const CRxSimRig&) = delete;
  CRxSimRig& operator=(const CRxSimRig&) = delete;

  // Makes driver the only registered one.
  void UseDriver(CGpsDevice* driver) {
    CGpsDevice::UnregisterAllDevices();
    CGpsDevice::RegisterDevice(driver);
  }

  // Starts a simulated receiver and lists its port in Device\Ports, after
  // the ports listed before. Null (with a test failure) on a bad scenario.
  CGarminSim* AddReceiver(const std::string& json) {
    std::string error;
    auto sim = CGarminSim::FromJson(json, &error);
    EXPECT_NE(sim, nullptr) << error;
    if (sim == nullptr) return nullptr;
    std::string port;
    EXPECT_TRUE(sim->StartSerial(port));
    m_ports += (m_ports.empty() ? "" : ";") + port;
    CUtil::SetDevicePorts(m_ports);
    sims.push_back(std::move(sim));
    return sims.back().get();
  }

  // Handles messages until `count` completions arrived in all; false when
  // they did not within the timeout.
  bool PumpUntilCompletions(int count, std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (completions < count && std::chrono::steady_clock::now() < deadline) {
      window.PumpOne(std::chrono::milliseconds(50));
    }
    // Updates posted with the completion are still handled.
    window.PumpPending();
    return completions >= count;
  }

  // One run on the first candidate; false when none was found or the run
  // did not end.
  bool RunFirst() {
    thread.WaitForThread(std::chrono::seconds(10));
    if (thread.LoadHistoryAndGetFirstDevice(&window) == 0) return false;
    const int before = completions;
    if (!thread.StartThread(&window)) return false;
    const bool ended = PumpUntilCompletions(before + 1);
    // As the dialog would before it reads or reuses anything.
    thread.WaitForThread(std::chrono::seconds(10));
    return ended;
  }

  std::string ConfigHome() const { return m_home.ConfigHome().string(); }
  const std::filesystem::path& Home() const { return m_home.Path(); }

private:
  CIsolatedHome m_home;
  CCommsSerial m_serialPorts;
  CGpsGarminSerial m_serialEngine;
  std::string m_ports;

public:
  CMessageWindow window;
  std::vector<WPARAM> posted;
  int completions = 0;
  std::function<void(WPARAM)> onUpdate;
  std::vector<std::unique_ptr<CGarminSim>> sims;
  // Last, so that it goes first: no run may outlive the rig's objects.
  CThreadRxDevice thread;
};

}  // namespace qvtest
