// The synchronisation as the dialog and the command-line tool drive it,
// against simulated receivers: what goes into the queue folders and the
// history, how the search walks on to further receivers, and what the
// status list says when it ends.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "support/RunProgram.h"
#include "threads/RxSimRig.h"
#include "threads/SyncWorkflow.h"

namespace {

using qvtest::CRxSimRig;
using qvtest::ForerunnerJson;
using qvtest::kSimDeviceKey;
using qvtest::TwoTracksJson;

const std::string kProduct = "Forerunner305 Software Version 3.50";

// One device search, run to its end the way the dialog does it.
struct SearchResult {
  bool started = false;
  bool ended = false;
  ESyncStep lastStep = ESyncStep::SearchEnded;
  std::vector<CSyncRunReport> reports;
};

SearchResult RunSearch(CRxSimRig& rig, CSyncWorkflow& workflow, EActivityChoice choice) {
  SearchResult result;
  rig.onUpdate = [&](WPARAM wParam) {
    if (HIWORD(wParam) != THREAD_UPD_COMPLETE) return;
    result.lastStep = workflow.OnReceiveComplete(choice);
    result.reports.push_back(workflow.GetLastReport());
    if (result.lastStep != ESyncStep::NextDevice) result.ended = true;
  };
  result.started = workflow.StartSearch(&rig.window);
  if (!result.started) {
    result.ended = true;
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!result.ended && std::chrono::steady_clock::now() < deadline) {
    rig.window.PumpOne(std::chrono::milliseconds(50));
  }
  rig.thread.WaitForThread(std::chrono::seconds(10));
  rig.window.PumpPending();
  return result;
}

// The file names of a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Gunzip(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  std::string text;
  char buffer[4096];
  int n = 0;
  while ((n = gzread(file, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  gzclose(file);
  return text;
}

// The gzip program, the independent judge of the compressed files.
std::string GzipProgram() {
  for (const char* path : {"/usr/bin/gzip", "/bin/gzip"}) {
    if (std::filesystem::exists(path)) return path;
  }
  return "gzip";
}

CSentHistory LoadHistory() {
  CSentHistory history;
  history.LoadFile(CUtil::GetHistoryFile());
  return history;
}

TEST(SyncWorkflow, QueueDocumentIsCompressedWholeAndThePlainFilesGo) {
  struct Case {
    const char* legend;
    std::string scenario;
    std::vector<std::string> suffixes;  // of the queued files, in name order
  } cases[] = {
      {"consistent data: the document alone", ForerunnerJson(TwoTracksJson()), {".qvx.gz"}},
      // This product always records laps: without them the data look
      // incomplete and the diagnostics report goes along.
      {"no laps from a lap-recording receiver: with diagnostics",
       [] {
         std::string json = ForerunnerJson(TwoTracksJson());
         json.replace(json.find("484"), 3, "282");
         return json;
       }(),
       {".qvx.gz", ".txt.gz"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CRxSimRig rig;
    ASSERT_NE(rig.AddReceiver(c.scenario), nullptr);
    CSyncWorkflow workflow(rig.thread);
    const SearchResult result = RunSearch(rig, workflow, EActivityChoice::NewOnly);
    ASSERT_TRUE(result.ended);
    ASSERT_EQ(result.reports.size(), 1u);
    const CSyncRunReport& report = result.reports[0];
    EXPECT_EQ(report.outcome, ERxOutcome::Queued) << report.errorText;
    EXPECT_EQ(report.activities, 2);

    const std::string queue = CUtil::GetQueueFolder(0);
    const std::vector<std::string> names = Names(queue);
    ASSERT_EQ(names.size(), c.suffixes.size());
    ASSERT_EQ(report.files.size(), c.suffixes.size());
    for (size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i]);
      EXPECT_TRUE(EndsWith(names[i], c.suffixes[i]));
      EXPECT_EQ(report.files[i], queue + "/" + names[i]);
      const auto gzip = qvtest::RunProgram({GzipProgram(), "-t", report.files[i]});
      EXPECT_EQ(gzip.exitCode, 0) << gzip.err;
    }
    EXPECT_TRUE(Names(CUtil::GetQueueFolder(1)).empty());
    const std::string document = Gunzip(report.files[0]);
    EXPECT_EQ(document.rfind("<?xml", 0), 0u);
    EXPECT_NE(document.find("</qvx>"), std::string::npos);
    EXPECT_NE(document.find("device-Garmin-"), std::string::npos);

    const CSentHistory history = LoadHistory();
    ASSERT_EQ(history.GetCount(), 2u);
    EXPECT_EQ(history.GetAt(0).begin, "2024-05-01T06:00:00Z");
    EXPECT_EQ(history.GetAt(1).begin, "2024-05-01T18:30:00Z");
  }
}

TEST(SyncWorkflow, OnlyTheNewActivitiesGoAndASecondSearchFindsNothing) {
  CRxSimRig rig;
  ASSERT_NE(rig.AddReceiver(ForerunnerJson(TwoTracksJson())), nullptr);
  CSentHistory sent;
  sent.Add(kSimDeviceKey, "2024-05-01T06:00:00Z");
  ASSERT_TRUE(sent.Write(CUtil::GetHistoryFile()));
  CSyncWorkflow workflow(rig.thread);

  SearchResult first = RunSearch(rig, workflow, EActivityChoice::NewOnly);
  ASSERT_EQ(first.reports.size(), 1u);
  EXPECT_EQ(first.reports[0].outcome, ERxOutcome::Queued);
  EXPECT_EQ(first.reports[0].activities, 1);
  ASSERT_EQ(first.reports[0].files.size(), 1u);
  // The document holds one activity: its points, not the other's.
  const std::string document = Gunzip(first.reports[0].files[0]);
  EXPECT_NE(document.find("2024-05-01T18:30:05Z"), std::string::npos);
  EXPECT_EQ(document.find("2024-05-01T06:00:10Z"), std::string::npos);
  EXPECT_EQ(LoadHistory().GetCount(), 2u);

  SearchResult second = RunSearch(rig, workflow, EActivityChoice::NewOnly);
  ASSERT_EQ(second.reports.size(), 1u);
  EXPECT_EQ(second.reports[0].outcome, ERxOutcome::NothingNew);
  EXPECT_EQ(Names(CUtil::GetQueueFolder(0)).size(), 1u);
  EXPECT_EQ(LoadHistory().GetCount(), 2u);
}

TEST(SyncWorkflow, ADocumentThatCannotBeWrittenQueuesNothingAndStaysNew) {
  CRxSimRig rig;
  ASSERT_NE(rig.AddReceiver(ForerunnerJson(TwoTracksJson())), nullptr);
  // A file where the queue folder should be: no document can be created.
  const std::string queue = CUtil::GetQueueFolder(0);
  std::filesystem::remove_all(queue);
  qvtest::WriteFile(queue, "not a folder");
  CSyncWorkflow workflow(rig.thread);

  SearchResult failed = RunSearch(rig, workflow, EActivityChoice::NewOnly);
  ASSERT_EQ(failed.reports.size(), 1u);
  EXPECT_EQ(failed.reports[0].outcome, ERxOutcome::QueueFailed);
  EXPECT_TRUE(failed.reports[0].files.empty());
  EXPECT_FALSE(failed.reports[0].errorText.empty());
  EXPECT_EQ(workflow.GetQueueFailures(), 1);
  EXPECT_EQ(qvtest::ReadFile(queue), "not a folder");
  EXPECT_TRUE(Names(CUtil::GetQueueFolder(1)).empty());
  EXPECT_FALSE(std::filesystem::exists(CUtil::GetHistoryFile()));

  // Once the folder is back, the same activities are still new and go.
  std::filesystem::remove(queue);
  std::filesystem::create_directories(queue);
  SearchResult retried = RunSearch(rig, workflow, EActivityChoice::NewOnly);
  ASSERT_EQ(retried.reports.size(), 1u);
  EXPECT_EQ(retried.reports[0].outcome, ERxOutcome::Queued);
  EXPECT_EQ(retried.reports[0].activities, 2);
  EXPECT_EQ(workflow.GetQueueFailures(), 0);
}

TEST(SyncWorkflow, DocumentsOfOneSecondDoNotReplaceEachOther) {
  CRxSimRig rig;
  ASSERT_NE(rig.AddReceiver(ForerunnerJson(TwoTracksJson())), nullptr);
  ASSERT_TRUE(rig.RunFirst());
  CSyncWorkflow workflow(rig.thread);
  std::vector<std::string> files;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(workflow.WriteQueueDocument(1));
    ASSERT_EQ(workflow.GetLastReport().files.size(), 1u);
    files.push_back(workflow.GetLastReport().files[0]);
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(std::unique(files.begin(), files.end()), files.end());
  EXPECT_EQ(Names(CUtil::GetQueueFolder(1)).size(), 3u);
  // Writing a document records nothing by itself.
  EXPECT_FALSE(std::filesystem::exists(CUtil::GetHistoryFile()));
}

TEST(SyncWorkflow, TwoWritersRacingForOneStampNeverReplaceADocument) {
  // As two instances of the agent queueing in the same second: each claims
  // a name, writes its plain document, queues it compressed and drops the
  // claim.
  qvtest::CTempDir queue;
  const std::string folder = queue.Str();
  constexpr int kPerWriter = 25;
  const auto text = [](int who, int i) {
    return "writer " + std::to_string(who) + " document " + std::to_string(i);
  };
  const auto writer = [&](int who) {
    for (int i = 0; i < kPerWriter; ++i) {
      const std::string plain =
          folder + "/" + CSyncWorkflow::ClaimQueueName(folder, "2024-05-01_12-00-00") + ".qvx";
      qvtest::WriteFile(plain, text(who, i));
      EXPECT_EQ(CUtil::GzipFileNew(plain.c_str(), (plain + ".gz").c_str()), 0u);
      std::filesystem::remove(plain);
    }
  };
  std::thread other(writer, 1);
  writer(0);
  other.join();
  std::vector<std::string> found, expected;
  for (const std::string& name : Names(folder)) found.push_back(Gunzip(folder + "/" + name));
  for (int i = 0; i < 2 * kPerWriter; ++i) expected.push_back(text(i % 2, i / 2));
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected) << "every document queued, none replaced";
  const std::vector<std::string> names = Names(folder);
  const std::string before = Gunzip(folder + "/" + names[0]);
  EXPECT_EQ(CUtil::GzipFileNew((folder + "/" + names[1]).c_str(), (folder + "/" + names[0]).c_str()),
            ERROR_FILE_EXISTS);
  EXPECT_EQ(Gunzip(folder + "/" + names[0]), before) << "left as it was";
}

TEST(SyncWorkflow, MultipleDevicesDecidesWhetherTheSearchGoesOn) {
  struct Case {
    const char* legend;
    bool multiple;
    size_t runs;
  } cases[] = {
      {"MultipleDevices off: the first receiver that delivered ends it", false, 1},
      {"MultipleDevices on: every receiver, a document each", true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CRxSimRig rig;
    CUtil::SetMultipleDevices(c.multiple);
    CGarminSim* first = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
    CGarminSim* second = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
    ASSERT_TRUE(first != nullptr && second != nullptr);
    CSyncWorkflow workflow(rig.thread);
    // Both receivers hold the same activities under one key: with every
    // activity chosen, the second receiver's go again, into the resend queue.
    const SearchResult result = RunSearch(rig, workflow, EActivityChoice::All);
    ASSERT_TRUE(result.ended);
    ASSERT_EQ(result.reports.size(), c.runs);
    for (const CSyncRunReport& report : result.reports) EXPECT_EQ(report.outcome, ERxOutcome::Queued);
    EXPECT_EQ(result.reports[0].device, kProduct + " on " + first->SlavePath());
    if (c.runs == 2) {
      EXPECT_EQ(result.reports[1].device, kProduct + " on " + second->SlavePath());
    }
    EXPECT_EQ(Names(CUtil::GetQueueFolder(0)).size() + Names(CUtil::GetQueueFolder(1)).size(), c.runs);
    EXPECT_EQ(rig.thread.GetSuccessCount(), static_cast<int>(c.runs));
    // The trailing search line is gone: the last line is the last success.
    const CGarminSim* last = c.runs == 2 ? second : first;
    const CStatusList::Entry done{STATUS_DONE,
                                  "Data transfer complete for " + kProduct + " on " + last->SlavePath()};
    EXPECT_EQ(rig.thread.GetStatusList().GetLast(), done);
  }
}

TEST(SyncWorkflow, SearchEndShowsEveryFailureWhenNothingSucceeded) {
  struct Case {
    const char* legend;
    std::vector<bool> silent;  // per receiver, in port order
    bool success;
  } cases[] = {
      {"both receivers quiet", {true, true}, false},
      {"first quiet, second answers", {true, false}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CRxSimRig rig;
    std::vector<CGarminSim*> sims;
    for (bool silent : c.silent) {
      CGarminSim* sim = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
      ASSERT_NE(sim, nullptr);
      SimFaults faults = sim->Faults();
      faults.silent = silent;
      sim->SetFaults(faults);
      sims.push_back(sim);
    }
    CSyncWorkflow workflow(rig.thread);
    // Lines left from an earlier search must not show at the end of this one.
    rig.thread.GetErrorList().Append(STATUS_ERROR, "left over");

    const SearchResult result = RunSearch(rig, workflow, EActivityChoice::NewOnly);
    ASSERT_TRUE(result.ended);
    EXPECT_EQ(result.lastStep, ESyncStep::SearchEnded);
    const std::vector<CStatusList::Entry> lines = rig.thread.GetStatusList().GetAll();
    if (c.success) {
      ASSERT_EQ(result.reports.size(), 2u);
      EXPECT_EQ(result.reports[1].outcome, ERxOutcome::Queued);
      const CStatusList::Entry done{STATUS_DONE,
                                    "Data transfer complete for " + kProduct + " on " + sims[1]->SlavePath()};
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back(), done);
    } else {
      const std::vector<CStatusList::Entry> expected = {
          {STATUS_WARNING, "No device found on " + sims[0]->SlavePath()},
          {STATUS_WARNING, "No device found on " + sims[1]->SlavePath()},
          {STATUS_WARNING, "No device found on USB ports"},
      };
      EXPECT_EQ(lines, expected);
      EXPECT_TRUE(rig.thread.GetErrorList().IsEmpty());
    }
  }
}

TEST(SyncWorkflow, NoCandidateSaysSoAtOnce) {
  CRxSimRig rig;
  CSyncWorkflow workflow(rig.thread);
  const SearchResult result = RunSearch(rig, workflow, EActivityChoice::NewOnly);
  EXPECT_FALSE(result.started);
  const std::vector<CStatusList::Entry> expected = {{STATUS_WARNING, LoadString(IDS_MSG_NO_DEVICE)}};
  EXPECT_EQ(rig.thread.GetStatusList().GetAll(), expected);
  EXPECT_EQ(rig.completions, 0);
}

TEST(SyncWorkflow, ThePortNamedIsThePortUsedListedOrNot) {
  for (const bool listed : {true, false}) {
    SCOPED_TRACE(listed);
    CRxSimRig rig;
    CUtil::SetMultipleDevices(true);
    ASSERT_NE(rig.AddReceiver(ForerunnerJson(TwoTracksJson())), nullptr);
    std::unique_ptr<CGarminSim> unlisted = CGarminSim::FromJson(ForerunnerJson(TwoTracksJson()));
    std::string unlistedPort;
    ASSERT_TRUE(unlisted && unlisted->StartSerial(unlistedPort));
    CGarminSim* wanted = listed ? rig.AddReceiver(ForerunnerJson(TwoTracksJson())) : unlisted.get();
    ASSERT_NE(wanted, nullptr);
    CSyncWorkflow workflow(rig.thread);
    workflow.SetPortFilter("serial:" + wanted->SlavePath());
    const SearchResult result = RunSearch(rig, workflow, EActivityChoice::NewOnly);
    ASSERT_EQ(result.reports.size(), 1u);
    EXPECT_EQ(result.reports[0].device, kProduct + " on " + wanted->SlavePath());
    EXPECT_EQ(result.reports[0].outcome, ERxOutcome::Queued);
    EXPECT_EQ(rig.sims[0]->HostCommands(), std::vector<uint16_t>{});
  }
}

TEST(SyncWorkflow, TheDialogAsksWhenNothingIsNewOrEditingIsOn) {
  struct Case {
    const char* legend;
    bool editActivities;
    std::vector<std::string> sent;
    ESyncStep step;
  } cases[] = {
      {"new activities, editing off: queued at once", false, {}, ESyncStep::SearchEnded},
      {"editing on: the choice page", true, {}, ESyncStep::ChooseActivities},
      {"nothing new: the choice page",
       false,
       {"2024-05-01T06:00:00Z", "2024-05-01T18:30:00Z"},
       ESyncStep::ChooseActivities},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CRxSimRig rig;
    CUtil::SetEditActivities(c.editActivities);
    ASSERT_NE(rig.AddReceiver(ForerunnerJson(TwoTracksJson())), nullptr);
    CSentHistory sent;
    for (const std::string& begin : c.sent) sent.Add(kSimDeviceKey, begin);
    ASSERT_TRUE(sent.Write(CUtil::GetHistoryFile()));
    CSyncWorkflow workflow(rig.thread);
    const SearchResult result = RunSearch(rig, workflow, EActivityChoice::AskUser);
    EXPECT_EQ(result.lastStep, c.step);
    ASSERT_EQ(result.reports.size(), 1u);
    if (c.step == ESyncStep::SearchEnded) {
      EXPECT_EQ(result.reports[0].outcome, ERxOutcome::Queued);
      EXPECT_EQ(Names(CUtil::GetQueueFolder(0)).size(), 1u);
      continue;
    }
    EXPECT_EQ(result.reports[0].outcome, ERxOutcome::ChoicePending);
    EXPECT_TRUE(Names(CUtil::GetQueueFolder(0)).empty());

    // The user picks the evening ride only; it goes to the resend queue and
    // both activities count as seen from now on.
    CGpsDataSet& data = rig.thread.GetCurrentDriver()->GetDataSet();
    data.GetTracks().GetHead()->SetIncluded(0);
    data.GetTracks().GetTail()->SetIncluded(1);
    ASSERT_TRUE(workflow.SendChosenActivities());
    EXPECT_EQ(workflow.GetLastReport().activities, 1);
    EXPECT_TRUE(Names(CUtil::GetQueueFolder(0)).empty());
    ASSERT_EQ(Names(CUtil::GetQueueFolder(1)).size(), 1u);
    const std::string document = Gunzip(workflow.GetLastReport().files.at(0));
    EXPECT_NE(document.find("2024-05-01T18:30:05Z"), std::string::npos);
    EXPECT_EQ(document.find("2024-05-01T06:00:10Z"), std::string::npos);
    EXPECT_EQ(LoadHistory().GetCount(), 2u);
    EXPECT_EQ(workflow.ContinueSearch(), ESyncStep::SearchEnded);
  }
}

TEST(SyncWorkflow, EverythingAgainGoesToTheResendQueue) {
  CRxSimRig rig;
  ASSERT_NE(rig.AddReceiver(ForerunnerJson(TwoTracksJson())), nullptr);
  CSentHistory sent;
  sent.Add(kSimDeviceKey, "2024-05-01T06:00:00Z");
  ASSERT_TRUE(sent.Write(CUtil::GetHistoryFile()));
  CSyncWorkflow workflow(rig.thread);
  const SearchResult result = RunSearch(rig, workflow, EActivityChoice::All);
  ASSERT_EQ(result.reports.size(), 1u);
  EXPECT_EQ(result.reports[0].outcome, ERxOutcome::Queued);
  EXPECT_EQ(result.reports[0].activities, 2);
  EXPECT_TRUE(Names(CUtil::GetQueueFolder(0)).empty());
  EXPECT_EQ(Names(CUtil::GetQueueFolder(1)).size(), 1u);
  // Recorded once each, however often they are sent.
  EXPECT_EQ(LoadHistory().GetCount(), 2u);
}

TEST(SyncWorkflow, StopEndsTheRunAndTheSearch) {
  CRxSimRig rig;
  CUtil::SetMultipleDevices(true);
  CGarminSim* first = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
  CGarminSim* second = rig.AddReceiver(ForerunnerJson(TwoTracksJson()));
  ASSERT_TRUE(first != nullptr && second != nullptr);
  first->SetPacing(true);
  CUtil::SetDeviceTimeout(1000);  // frames at the wire rate take their time
  CSyncWorkflow workflow(rig.thread);
  bool stopped = false;
  bool retrieving = false;
  SearchResult result;
  rig.onUpdate = [&](WPARAM wParam) {
    if (HIWORD(wParam) == THREAD_UPD_STATUS) retrieving = qvtest::IsRetrieving(rig.thread.GetStatusList());
    if (HIWORD(wParam) == THREAD_UPD_PROGRESS && retrieving && !stopped) {
      stopped = true;
      workflow.RequestStop();
    }
    if (HIWORD(wParam) == THREAD_UPD_COMPLETE) {
      result.lastStep = workflow.OnReceiveComplete(EActivityChoice::NewOnly);
      result.reports.push_back(workflow.GetLastReport());
      result.ended = result.lastStep != ESyncStep::NextDevice;
    }
  };
  ASSERT_TRUE(workflow.StartSearch(&rig.window));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!result.ended && std::chrono::steady_clock::now() < deadline)
    rig.window.PumpOne(std::chrono::milliseconds(50));
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.lastStep, ESyncStep::SearchEnded);
  ASSERT_EQ(result.reports.size(), 1u);
  EXPECT_EQ(rig.thread.GetStatus(), THREAD_ABORTED);
  EXPECT_TRUE(second->HostCommands().empty());
  EXPECT_TRUE(Names(CUtil::GetQueueFolder(0)).empty());
}

}  // namespace

namespace {

TEST(SyncWorkflow, StartUpRegistersUsbBeforeSerial) {
  CCommsRegistry::Clear();
  CGpsDevice::UnregisterAllDevices();
  CSyncWorkflow::RegisterDeviceObjects();
  ASSERT_EQ(CCommsRegistry::Count(), 2u);
  ASSERT_EQ(CGpsDevice::GetRegisteredDeviceCount(), 2);
  CCommsDevice* usbPorts = CCommsRegistry::GetFirst();
  CCommsDevice* serialPorts = CCommsRegistry::GetNext();
  CGpsDevice* usbDriver = CGpsDevice::FirstRegisteredDevice();
  CGpsDevice* serialDriver = CGpsDevice::NextRegisteredDevice();
  // The USB engine searches its own ports; the serial engine is found
  // through a separate port-search object of its kind.
  EXPECT_EQ(usbPorts, usbDriver->GetCommsDevice());
  EXPECT_NE(serialPorts, serialDriver->GetCommsDevice());
  EXPECT_TRUE(CThreadDevice::IsDriverForPort(*usbDriver, *usbPorts));
  EXPECT_FALSE(CThreadDevice::IsDriverForPort(*serialDriver, *usbPorts));
  EXPECT_TRUE(CThreadDevice::IsDriverForPort(*serialDriver, *serialPorts));
  EXPECT_FALSE(CThreadDevice::IsDriverForPort(*usbDriver, *serialPorts));
  CCommsRegistry::Clear();
  CGpsDevice::UnregisterAllDevices();
}

}  // namespace
