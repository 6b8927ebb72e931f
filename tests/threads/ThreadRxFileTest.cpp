// The import job with a real worker thread and message window: the four
// ways an import fails, success, and what the job keeps between runs. The
// readers' own errors and lines are the reader table's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/GpsDataSet.h"
#include "resources/StringIds.h"
#include "support/TestEnv.h"
#include "threads/ThreadRxFile.h"
#include "threads/UploadWorkflow.h"

namespace {

const char* const kGpx =
    "<?xml version=\"1.0\"?>\n<gpx><trk><trkseg>\n<trkpt lat=\"2\" lon=\"1\"/>\n</trkseg></trk></gpx>\n";

struct RunResult {
  WorkerOutcome outcome;
  std::vector<uint16_t> updates;
};

RunResult Import(CThreadRxFile& thread, const std::string& path) {
  RunResult run;
  thread.ResetThread();
  thread.SetImportPath(path);
  thread.GetStatusList().Append(STATUS_BUSY, IDS_STATUS_READING_FILE);
  run.outcome = RunWorkerToCompletion(
      thread, thread.GetStatusList(), [&](CMessageWindow* owner) { return thread.StartThread(owner); },
      [&](uint16_t kind) { run.updates.push_back(kind); });
  return run;
}

// One job runs every row: it keeps the last successful import until the next one.
TEST(ThreadRxFileTest, EndsWithTheLineOfEachOutcome) {
  qvtest::CTempDir dir;
  const auto file = [&](const std::string& name, const std::string& content) {
    qvtest::WriteFile(dir.Path() / name, content);
    return (dir.Path() / name).string();
  };
  const std::string missing = (dir.Path() / "gone & <lost>.gpx").string();
  const struct {
    const char* legend;
    std::string path;
    int kind;
    std::string line;
    const char* ident = nullptr;  // the first track of a successful import
  } rows[] = {
      {"success", file("ride.gpx", kGpx), STATUS_DONE, "Data file successfully imported", "Imported 01"},
      {"unsupported extension", file("route.txt", kGpx), STATUS_ERROR, "Unsupported import file format: TXT"},
      {"validation error", file("bad.gpx", "<gpx><trk><trkseg>\n\n<trkpt lon=\"1\"/></trkseg></trk></gpx>"),
       STATUS_ERROR,
       "Error importing GPX file.<ul class=\"errorlist\"><li>"
       "Track point has invalid laitude/longutude (line 3)</li></ul>"},
      {"file missing (its path escaped for the page)", missing, STATUS_ERROR,
       "Unable to open file<ul class=\"errorlist\"><li>" +
           (dir.Path() / "gone &amp; &lt;lost&gt;.gpx").string() + "</li></ul>"},
      {"malformed XML", file("broken.kml", "<kml>\n<Document>\n</kml>"), STATUS_ERROR,
       "Error importing KML file.<ul class=\"errorlist\"><li>Invalid XML: mismatched tag (line 3)</li></ul>"},
      {"a second success", file("two.kml", "<kml><Placemark><name>two</name></Placemark></kml>"), STATUS_DONE,
       "Data file successfully imported", "two"},
  };
  CThreadRxFile thread;
  std::string kept;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    const RunResult run = Import(thread, row.path);
    EXPECT_EQ(run.outcome.status, THREAD_TERMINATED);
    EXPECT_EQ(run.outcome.result, row.kind == STATUS_DONE ? 1 : 0);
    ASSERT_EQ(run.outcome.lines.size(), 1u);  // the reading line is rewritten
    EXPECT_EQ(run.outcome.lines[0].kind, row.kind);
    EXPECT_EQ(run.outcome.lines[0].text, row.line);
    ASSERT_FALSE(run.updates.empty());
    EXPECT_EQ(run.updates.back(), THREAD_UPD_COMPLETE);
    if (row.ident != nullptr) kept = row.ident;
    ASSERT_NE(thread.GetImportedData(), nullptr);
    EXPECT_EQ(thread.GetImportedData()->GetTracks().GetHead()->ident, kept);
  }
}

}  // namespace
