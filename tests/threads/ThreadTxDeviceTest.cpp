// The transmit job end to end against simulated receivers: each way a run
// can end and what the pages are told (the receiver switched off after a
// success when asked), and a cancellation in the middle of an upload.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/GpsDataSet.h"
#include "threads/RxSimRig.h"
#include "threads/ThreadTxDevice.h"

namespace {

const std::string kProduct = "Forerunner305 Software Version 3.50";
const char kTrackLog[] = R"(["P000", "L001", "A010", "A301:D310,D304"])";
const char kNoTrackLog[] = R"(["P000", "L001", "A010"])";
const char kCourses[] =
    R"(["P000", "L001", "A010", "A301:D310,D304", "A1006:D1006", "A1007:D1007", "A1008:D1012"])";

// The receive rig's home, ports and window, with the transmit job.
class CTxSimRig {
public:
  CTxSimRig() {
    m_rx.window.SetHandler([this](unsigned, WPARAM wParam, LPARAM) -> LRESULT {
      posted.push_back(wParam);
      if (HIWORD(wParam) == THREAD_UPD_COMPLETE) ++completions;
      if (onUpdate) onUpdate(wParam);
      return 0;
    });
  }
  ~CTxSimRig() { thread.WaitForThread(std::chrono::seconds(30)); }

  CGarminSim* AddReceiver(const char* protocols) {
    return m_rx.AddReceiver(qvtest::ForerunnerJson("[]", protocols));
  }
  // One run on the first candidate, or with abortFirst a run asked to stop
  // before it starts.
  bool RunFirst(bool abortFirst = false) {
    if (thread.GetFirstDevice(&m_rx.window) == 0) return false;
    if (abortFirst) thread.RequestAbort();
    if (!thread.StartThread(&m_rx.window)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (completions == 0 && std::chrono::steady_clock::now() < deadline) {
      m_rx.window.PumpOne(std::chrono::milliseconds(50));
    }
    m_rx.window.PumpPending();
    thread.WaitForThread(std::chrono::seconds(10));
    return completions == 1;
  }
  std::string Port() const { return m_rx.sims.front()->SlavePath(); }

  std::vector<WPARAM> posted;
  int completions = 0;
  std::function<void(WPARAM)> onUpdate;

private:
  qvtest::CRxSimRig m_rx;

public:
  CThreadTxDevice thread;
};

// n points 0.001 degrees of latitude and 10 s apart; without positions
// when bare.
void FillRoute(CGpsDataSet& set, int n, bool bare = false) {
  CGpsDataTrack* track = set.AddTrack("Route", 0);
  for (int i = 0; i < n; ++i) {
    CGpsDataTrackPoint* p = track->AddPoint(0);
    p->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1714543200 + 10 * i);
    if (!bare) {
      p->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 8.5f,
                      47.0f + 0.001f * static_cast<float>(i));
    }
  }
}

TEST(ThreadTxDevice, EveryEndOfARun) {
  enum Data { kRoute, kBare, kNone };  // bare: without positions
  const CStatusList::Entry notFound{STATUS_WARNING, "No device found on %p"};
  const CStatusList::Entry aborted{STATUS_WARNING, "User aborted attempting to connect to device on %p"};
  const CStatusList::Entry incompatible{STATUS_UNSUPPORTED,
                                        "The imported data is not compatible with the device: %d on %p"};
  const CStatusList::Entry unsupported{STATUS_UNSUPPORTED, "Unsupported device: %d on %p"};
  const CStatusList::Entry failed{STATUS_ERROR, "Error transferring data to %d on %p"};
  struct Case {
    const char* legend;
    const char* protocols;
    Data data;
    int silentFrom;  // the receiver falls quiet at this packet of the upload; -1: nobody answers
    bool abortFirst;
    bool powerdown;                          // the receiver is switched off after a success
    std::vector<CStatusList::Entry> errors;  // "%p" for the port, "%d" for the product
  } cases[] = {
      {"sent whole", kTrackLog, kRoute, 0, false, false, {}},
      {"sent whole and switched off", kTrackLog, kRoute, 0, false, true, {}},
      {"nobody answers", kTrackLog, kRoute, -1, false, false, {notFound}},
      {"cancelled while connecting", kTrackLog, kRoute, 0, true, false, {aborted}},
      {"course receiver, no positions", kCourses, kBare, 0, false, false, {incompatible}},
      {"no track log protocol", kNoTrackLog, kRoute, 0, false, false, {unsupported, failed}},
      {"the receiver falls quiet", kTrackLog, kRoute, 4, false, false, {failed}},
      {"nothing handed over", kTrackLog, kNone, 0, false, false, {failed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CTxSimRig rig;
    CUtil::SetPowerdown(c.powerdown);
    CGarminSim* sim = rig.AddReceiver(c.protocols);
    ASSERT_NE(sim, nullptr);
    SimFaults faults;
    faults.silent = c.silentFrom < 0;
    faults.silentFromHostPacket = std::max(c.silentFrom, 0);
    sim->SetFaults(faults);
    CGpsDataSet data;
    if (c.data != kNone) FillRoute(data, 3, c.data == kBare);
    rig.thread.SetTxData(c.data != kNone ? &data : nullptr);
    ASSERT_TRUE(rig.RunFirst(c.abortFirst));

    auto fill = [&](std::string text) {
      if (const size_t at = text.find("%d"); at != std::string::npos) text.replace(at, 2, kProduct);
      return text.replace(text.find("%p"), 2, sim->SlavePath());
    };
    EXPECT_EQ(rig.thread.GetStatus(), c.abortFirst ? THREAD_ABORTED : THREAD_TERMINATED);
    const CStatusList& errors = rig.thread.GetErrorList();
    ASSERT_EQ(errors.GetCount(), c.errors.size());
    for (size_t i = 0; i < c.errors.size(); ++i) {
      EXPECT_EQ(errors.GetAt(i).kind, c.errors[i].kind);
      // The error line may carry the causes after its text.
      EXPECT_EQ(errors.GetAt(i).text.rfind(fill(c.errors[i].text), 0), 0u) << errors.GetAt(i).text;
    }
    const auto last = rig.thread.GetStatusList().GetLast();
    ASSERT_TRUE(last.has_value());
    if (c.errors.empty()) {
      EXPECT_EQ(*last, (CStatusList::Entry{STATUS_DONE, fill("Data transfer complete for %d on %p")}));
      EXPECT_EQ(rig.thread.GetResult(), 1);
      EXPECT_EQ(rig.thread.GetSuccessCount(), 1);
      ASSERT_EQ(sim->UploadedTracks().size(), 1u);
      EXPECT_EQ(sim->UploadedTracks()[0].points.size(), 3u);
      EXPECT_EQ(sim->IsPoweredOff(), c.powerdown);
    } else {
      EXPECT_EQ(*last, errors.GetAt(errors.GetCount() - 1));
      EXPECT_EQ(rig.thread.GetResult(), 0);
      EXPECT_EQ(rig.thread.GetFailureCount(), 1);
    }
    ASSERT_FALSE(rig.posted.empty());
    EXPECT_EQ(rig.posted.back(), MAKELONG(THREAD_TYPE_TXDEVICE, THREAD_UPD_COMPLETE));
  }
}

TEST(ThreadTxDevice, CancelStopsTheUploadWithinAPacket) {
  CTxSimRig rig;
  CGarminSim* sim = rig.AddReceiver(kTrackLog);
  ASSERT_NE(sim, nullptr);
  sim->SetPacing(true);
  CGpsDataSet data;
  FillRoute(data, 400);
  rig.thread.SetTxData(&data);
  size_t packetsAtCancel = 0;
  bool transferring = false;
  rig.onUpdate = [&](WPARAM wParam) {
    // Once the upload runs: the status line says so before the first record goes.
    if (HIWORD(wParam) == THREAD_UPD_STATUS) {
      const auto line = rig.thread.GetStatusList().GetLast();
      transferring = line && line->text.rfind("Transfering", 0) == 0;
    }
    if (HIWORD(wParam) == THREAD_UPD_PROGRESS && transferring && packetsAtCancel == 0) {
      rig.thread.RequestAbort();
      packetsAtCancel = sim->HostAppPackets().size();
    }
  };
  ASSERT_TRUE(rig.RunFirst());
  ASSERT_GT(packetsAtCancel, 0u);
  EXPECT_EQ(rig.thread.GetStatus(), THREAD_ABORTED);
  const CStatusList::Entry aborted{STATUS_WARNING,
                                   "User aborted transferring data to " + kProduct + " on " + rig.Port()};
  EXPECT_EQ(rig.thread.GetStatusList().GetLast(), aborted);
  EXPECT_EQ(rig.thread.GetErrorList().GetAt(0), aborted);
  // At most the packet on its way when the cancel came.
  EXPECT_LE(sim->HostAppPackets().size(), packetsAtCancel + 1);
  EXPECT_TRUE(sim->UploadedTracks().empty());
}

}  // namespace
