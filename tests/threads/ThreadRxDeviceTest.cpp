// The receive job end to end against simulated receivers: what the pages are
// told for each way a run can end, which activities count as new, when the
// receiver is switched off, and a user's abort.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "threads/RxSimRig.h"

namespace {

using qvtest::CRxSimRig;
using qvtest::ForerunnerJson;
using qvtest::kSimDeviceKey;
using qvtest::TwoTracksJson;

const std::string kProduct = "Forerunner305 Software Version 3.50";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

void WriteHistory(const std::vector<std::string>& begins) {
  CSentHistory history;
  for (const std::string& begin : begins) history.Add(kSimDeviceKey, begin);
  ASSERT_TRUE(history.Write(CUtil::GetHistoryFile()));
}

std::vector<int> IncludedFlags(const CGpsDataSet& data) {
  std::vector<int> flags;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    for (const CGpsDataSegment* segment : track->GetSegments()) flags.push_back(segment->included);
  }
  return flags;
}

TEST(ThreadRxDevice, FailedRunsTellWhatWentWrong) {
  struct Case {
    const char* legend;
    std::string scenario;
    bool silent;
    bool powerdown;
    int kind;
    std::string text;  // "%p" stands for the port
  } cases[] = {
      {"nobody answers: the port alone", ForerunnerJson(TwoTracksJson()), true, false, STATUS_WARNING,
       "No device found on %p"},
      {"a link protocol other than L001", Replace(ForerunnerJson(TwoTracksJson()), "\"L001\"", "\"L002\""),
       false, false, STATUS_UNSUPPORTED, "Unsupported device found on " + kProduct + " on %p"},
      {"no track log protocol, switch-off asked for",
       ForerunnerJson(TwoTracksJson(), R"(["P000", "L001", "A010", "A100:D110"])"), false, true,
       STATUS_UNSUPPORTED, "Unsupported device: " + kProduct + " on %p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CRxSimRig rig;
    CUtil::SetPowerdown(c.powerdown);
    CGarminSim* sim = rig.AddReceiver(c.scenario);
    ASSERT_NE(sim, nullptr);
    SimFaults faults = sim->Faults();
    faults.silent = c.silent;
    sim->SetFaults(faults);
    ASSERT_TRUE(rig.RunFirst());

    std::string text = c.text;
    text.replace(text.find("%p"), 2, sim->SlavePath());
    const CStatusList::Entry expected{c.kind, text};
    EXPECT_EQ(rig.thread.GetStatusList().GetLast(), expected);
    ASSERT_EQ(rig.thread.GetErrorList().GetCount(), 1u);
    EXPECT_EQ(rig.thread.GetErrorList().GetAt(0), expected);
    EXPECT_EQ(rig.thread.GetResult(), 0);
    EXPECT_EQ(rig.thread.GetStatus(), THREAD_TERMINATED);
    EXPECT_EQ(rig.thread.GetFailureCount(), 1);
    EXPECT_EQ(rig.thread.GetSuccessCount(), 0);
    // A receiver that failed the transfer is not switched off.
    EXPECT_FALSE(sim->IsPoweredOff());
    ASSERT_FALSE(rig.posted.empty());
    EXPECT_EQ(rig.posted.back(), MAKELONG(THREAD_TYPE_RXDEVICE, THREAD_UPD_COMPLETE));
    EXPECT_EQ(rig.posted[rig.posted.size() - 2], MAKELONG(THREAD_TYPE_RXDEVICE, THREAD_UPD_STATUS));
  }
}

TEST(ThreadRxDevice, ReceiveErrorListsTheCausesAfterTheLine) {
  CRxSimRig rig;
  CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
  ASSERT_NE(sim, nullptr);
  // The receiver goes quiet once it has identified itself: the track log
  // never arrives.
  rig.onUpdate = [&](WPARAM wParam) {
    if (HIWORD(wParam) == THREAD_UPD_STATUS && qvtest::IsRetrieving(rig.thread.GetStatusList())) {
      SimFaults faults = sim->Faults();
      faults.silent = true;
      sim->SetFaults(faults);
    }
  };
  // Silence only from the download on: validation must see a receiver.
  CUtil::SetDeviceTimeout(1000);
  sim->SetPacing(true);
  ASSERT_TRUE(rig.RunFirst());
  const auto last = rig.thread.GetStatusList().GetLast();
  ASSERT_TRUE(last.has_value());
  if (last->kind == STATUS_DONE) GTEST_SKIP() << "the transfer finished before the receiver went quiet";
  EXPECT_EQ(last->kind, STATUS_ERROR);
  const std::string line = "Error retrieving data from " + kProduct + " on " + sim->SlavePath();
  EXPECT_EQ(last->text.rfind(line + "<ul class=\"errorlist\"><li>", 0), 0u) << last->text;
  EXPECT_EQ(rig.thread.GetFailureCount(), 1);
}

TEST(ThreadRxDevice, SuccessMarksWhatTheHistoryDoesNotKnow) {
  struct Case {
    const char* legend;
    std::vector<std::string> history;
    std::vector<int> included;
    int newFound;
  } cases[] = {
      {"empty history: all new", {}, {1, 1}, 1},
      {"first one sent before", {"2024-05-01T06:00:00Z"}, {0, 1}, 1},
      {"both sent before", {"2024-05-01T18:30:00Z", "2024-05-01T06:00:00Z"}, {0, 0}, 0},
      {"same time under another key does not count", {}, {1, 1}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CRxSimRig rig;
    CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
    ASSERT_NE(sim, nullptr);
    WriteHistory(c.history);
    if (c.history.empty()) {
      CSentHistory other;
      other.Add(std::string(kSimDeviceKey) + "0", "2024-05-01T06:00:00Z");
      ASSERT_TRUE(other.Write(CUtil::GetHistoryFile()));
    }
    ASSERT_TRUE(rig.RunFirst());

    const CStatusList::Entry done{STATUS_DONE,
                                  "Data transfer complete for " + kProduct + " on " + sim->SlavePath()};
    EXPECT_EQ(rig.thread.GetStatusList().GetLast(), done);
    EXPECT_TRUE(rig.thread.GetErrorList().IsEmpty());
    EXPECT_EQ(rig.thread.GetResult(), 1);
    EXPECT_EQ(rig.thread.GetStatus(), THREAD_TERMINATED);
    EXPECT_EQ(rig.thread.GetSuccessCount(), 1);
    EXPECT_EQ(rig.thread.GetFailureCount(), 0);
    EXPECT_EQ(rig.thread.GetNewActivitiesFound(), c.newFound);
    EXPECT_EQ(IncludedFlags(rig.thread.GetCurrentDriver()->GetDataSet()), c.included);
    EXPECT_EQ(rig.thread.GetCurrentDriver()->GetDataSet().prefix, kSimDeviceKey);
    for (WPARAM wParam : rig.posted) EXPECT_EQ(LOWORD(wParam), THREAD_TYPE_RXDEVICE);
    // Without the setting the receiver stays on.
    EXPECT_FALSE(sim->IsPoweredOff());
  }
}

TEST(ThreadRxDevice, TwoActivitiesWithOneBeginMatchTheSameEntry) {
  CRxSimRig rig;
  const std::string tracks = R"([
    {"ident": "A", "points": [{"lat": 1, "lon": 1, "time": "2024-05-02T07:00:00Z"},
                              {"lat": 1.1, "lon": 1, "time": "2024-05-02T07:00:10Z"}]},
    {"ident": "B", "points": [{"lat": 2, "lon": 2, "time": "2024-05-02T07:00:00Z"},
                              {"lat": 2.1, "lon": 2, "time": "2024-05-02T07:00:20Z"}]},
    {"ident": "C", "points": [{"lat": 3, "lon": 3, "time": "2024-05-02T09:00:00Z"}]}])";
  ASSERT_NE(rig.AddReceiver(ForerunnerJson(tracks)), nullptr);
  WriteHistory({"2024-05-02T07:00:00Z"});
  ASSERT_TRUE(rig.RunFirst());
  EXPECT_EQ(IncludedFlags(rig.thread.GetCurrentDriver()->GetDataSet()), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(rig.thread.GetNewActivitiesFound(), 1);
}

TEST(ThreadRxDevice, ActivitiesWithoutABeginCountAsKnown) {
  CGpsDataSet data;
  data.prefix = kSimDeviceKey;
  CGpsDataTrack* timed = data.AddTrack("timed", 0);
  timed->AddPoint(0)->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1000);
  CGpsDataTrack* untimed = data.AddTrack("untimed", 1);
  // A duration is not an instant.
  untimed->AddPoint(0)->AddInteger(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 60);
  data.AddTrack("empty", 2);  // one empty segment

  CSentHistory history;
  EXPECT_TRUE(CThreadRxDevice::MarkNewActivities(data, history));
  EXPECT_EQ(IncludedFlags(data), (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(CThreadRxDevice::GetActivityBegin(*timed->GetSegments().GetHead()), "1989-12-31T00:16:40Z");

  history.Add(kSimDeviceKey, "1989-12-31T00:16:40Z");
  EXPECT_FALSE(CThreadRxDevice::MarkNewActivities(data, history));
  EXPECT_EQ(IncludedFlags(data), (std::vector<int>{0, 0, 0}));
}

TEST(ThreadRxDevice, PowerDownOnlyWithTheSettingAndAfterSuccess) {
  for (const bool setting : {false, true}) {
    SCOPED_TRACE(setting ? "Powerdown on" : "Powerdown off");
    CRxSimRig rig;
    CUtil::SetPowerdown(setting);
    CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
    ASSERT_NE(sim, nullptr);
    ASSERT_TRUE(rig.RunFirst());
    EXPECT_EQ(rig.thread.GetResult(), 1);
    EXPECT_EQ(sim->IsPoweredOff(), setting);
  }
}

// The serial engine, asking for an abort right after a complete download.
class CAbortAfterDownload : public CGpsGarminSerial {
public:
  explicit CAbortAfterDownload(CThread& thread) : m_thread(thread) {}
  bool RxGpsData(unsigned& count) override {
    const bool received = CGpsGarminSerial::RxGpsData(count);
    m_thread.RequestAbort();
    return received;
  }

private:
  CThread& m_thread;
};

TEST(ThreadRxDevice, AbortEndsTheRunEvenAfterADownloadThatSucceeded) {
  for (const bool duringTransfer : {true, false}) {
    SCOPED_TRACE(duringTransfer ? "abort at the first progress update" : "abort after the download");
    CRxSimRig rig;
    CUtil::SetPowerdown(true);
    CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
    ASSERT_NE(sim, nullptr);
    CAbortAfterDownload afterDownload(rig.thread);
    if (duringTransfer) {
      sim->SetPacing(true);  // the real wire rate leaves time to press Cancel
      CUtil::SetDeviceTimeout(1000);
      // Packets of the validation count too: the abort waits for the download.
      rig.onUpdate = [&rig, retrieving = false](WPARAM wParam) mutable {
        if (HIWORD(wParam) == THREAD_UPD_STATUS)
          retrieving = qvtest::IsRetrieving(rig.thread.GetStatusList());
        if (HIWORD(wParam) == THREAD_UPD_PROGRESS && retrieving && rig.thread.IsRunning()) {
          rig.thread.RequestAbort();
        }
      };
    } else {
      rig.UseDriver(&afterDownload);
    }
    ASSERT_TRUE(rig.RunFirst());

    const CStatusList::Entry aborted{
        STATUS_WARNING, "User aborted retrieving data from " + kProduct + " on " + sim->SlavePath()};
    EXPECT_EQ(rig.thread.GetStatus(), THREAD_ABORTED);
    EXPECT_EQ(rig.thread.GetResult(), 0);
    EXPECT_EQ(rig.thread.GetStatusList().GetLast(), aborted);
    ASSERT_EQ(rig.thread.GetErrorList().GetCount(), 1u);
    EXPECT_EQ(rig.thread.GetErrorList().GetAt(0), aborted);
    EXPECT_EQ(rig.thread.GetFailureCount(), 1);
    EXPECT_EQ(rig.thread.GetSuccessCount(), 0);
    EXPECT_EQ(rig.thread.GetNewActivitiesFound(), 0);
    if (duringTransfer) {
      EXPECT_NE(std::find(rig.posted.begin(), rig.posted.end(),
                          MAKELONG(THREAD_TYPE_RXDEVICE, THREAD_UPD_PROGRESS)),
                rig.posted.end());
    }
    // A transfer cut short does not switch the receiver off.
    if (duringTransfer) {
      EXPECT_FALSE(sim->IsPoweredOff());
    }

    // The port was closed either way: it can be opened, exclusively, again.
    CCommsSerial port;
    port.SetDevicePath(sim->SlavePath());
    EXPECT_TRUE(port.OpenCommsDevice());
    port.CloseCommsDevice();
  }
}

TEST(ThreadRxDevice, ASecondStartOrAResetWhileRunningIsRefused) {
  CRxSimRig rig;
  CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
  ASSERT_NE(sim, nullptr);
  sim->SetPacing(true);
  CUtil::SetDeviceTimeout(1000);
  WriteHistory({"2024-05-01T06:00:00Z"});
  ASSERT_EQ(rig.thread.LoadHistoryAndGetFirstDevice(&rig.window), 1);
  ASSERT_TRUE(rig.thread.StartThread(&rig.window));
  EXPECT_FALSE(rig.thread.StartThread(&rig.window));
  rig.thread.ResetThread();
  EXPECT_EQ(rig.thread.GetStatus(), THREAD_RUNNING);
  EXPECT_EQ(rig.thread.GetHistory().GetCount(), 1u) << "the worker still reads it";
  ASSERT_TRUE(rig.PumpUntilCompletions(1));
  EXPECT_EQ(rig.completions, 1);
  EXPECT_EQ(rig.thread.GetResult(), 1);
  EXPECT_EQ(IncludedFlags(rig.thread.GetCurrentDriver()->GetDataSet()), (std::vector<int>{0, 1}));
}

TEST(ThreadRxDevice, ResetKeepsTheErrorLinesOnly) {
  CRxSimRig rig;
  CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
  ASSERT_NE(sim, nullptr);
  SimFaults faults = sim->Faults();
  faults.silent = true;
  sim->SetFaults(faults);
  WriteHistory({"2024-05-01T06:00:00Z"});
  ASSERT_TRUE(rig.RunFirst());
  EXPECT_EQ(rig.thread.GetHistory().GetCount(), 1u);
  rig.thread.ResetThread();
  EXPECT_TRUE(rig.thread.GetStatusList().IsEmpty());
  EXPECT_EQ(rig.thread.GetErrorList().GetCount(), 1u);
  EXPECT_EQ(rig.thread.GetHistory().GetCount(), 0u);
  EXPECT_EQ(rig.thread.GetStatus(), THREAD_IDLE);
  EXPECT_EQ(rig.thread.GetResult(), 1);
}

}  // namespace
