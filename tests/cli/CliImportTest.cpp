// qvagent-cli import as a script runs it: the exchange document of a
// second-generation training-centre activity (golden, and the same as the
// receiver's own download of that activity), a failure's texts and exit
// status, and the file queued unchanged and uploaded.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "service/ReferenceService.h"
#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;
using qvtest::RunProgram;

fs::path Fixture(const char* name) {
  return qvtest::DataDir() / "import" / name;
}

// The events of a document (every activity with its samples and
// segments), with the data set's prefix taken out of the ids.
std::string Events(const std::string& document, const std::string& prefix) {
  const size_t begin = document.find("<event>");
  const size_t end = document.rfind("</event>");
  if (begin == std::string::npos || end == std::string::npos) return {};
  std::string events = document.substr(begin, end - begin);
  if (prefix.empty()) return events;
  for (size_t at = events.find(prefix); at != std::string::npos; at = events.find(prefix, at)) {
    events.erase(at, prefix.size());
  }
  return events;
}

std::string Gunzip(const fs::path& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  std::string out;
  char buffer[4096];
  for (int n; file != nullptr && (n = gzread(file, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  if (file != nullptr) gzclose(file);
  return out;
}

TEST(CliImport, SecondGenerationActivityGivesTheReceiversDocument) {
  qvtest::CIsolatedHome home;
  const fs::path imported = home.Path() / "imported.qvx";
  const auto r =
      RunProgram({QV_CLI_PATH, "import", Fixture("activity_v2.tcx").string(), "--out", imported.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Data file successfully imported\nDocument written to " + imported.string() + "\n");
  const std::string document = qvtest::ReadFile(imported);
  const fs::path golden = Fixture("activity_v2.qvx");
  if (std::getenv("QV_UPDATE_GOLDEN") != nullptr) qvtest::WriteFile(golden, document);
  EXPECT_EQ(document, qvtest::ReadFile(golden));

  // The same activity downloaded from a receiver.
  std::string error;
  auto sim = CGarminSim::FromFile(Fixture("activity_v2.json").string(), &error);
  ASSERT_TRUE(sim) << error;
  const std::string socket = (home.Path() / "usb.sock").string();
  ASSERT_TRUE(sim->StartUsb(socket));
  const fs::path received = home.Path() / "received.qvx";
  const auto rx =
      RunProgram({QV_CLI_PATH, "receive", "--port", "usbsim:" + socket, "--out", received.string()});
  ASSERT_EQ(rx.exitCode, 0) << rx.out << rx.err;
  const std::string receivedDocument = qvtest::ReadFile(received);
  const size_t idAt = receivedDocument.find("<gml:Definition gml:id=\"");
  ASSERT_NE(idAt, std::string::npos);
  const size_t idStart = idAt + std::string("<gml:Definition gml:id=\"").size();
  const std::string prefix = receivedDocument.substr(idStart, receivedDocument.find('"', idStart) - idStart);
  ASSERT_FALSE(prefix.empty());
  const std::string events = Events(document, "");
  EXPECT_NE(events.find("<gml:pos>"), std::string::npos);
  EXPECT_NE(events.find("<activitySegment>"), std::string::npos);
  EXPECT_EQ(events, Events(receivedDocument, prefix));
}

TEST(CliImport, FailuresPrintTheJobsTextsAndExitOne) {
  qvtest::CIsolatedHome home;
  const fs::path bad = home.Path() / "bad.kml";
  qvtest::WriteFile(bad,
                    "<kml><Placemark>\n<LineString><coordinates>1,2,3 4</coordinates></LineString>"
                    "</Placemark></kml>\n");
  const auto r = RunProgram({QV_CLI_PATH, "import", bad.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "Error importing KML file.\n  Bad coordinates format (line 2)\n");
}

TEST(CliImport, QueuesTheFileUnchangedAndUploadsIt) {
  qvtest::CIsolatedHome home;
  qvtest::CScopedEnv httpProxy{"http_proxy", std::nullopt};
  qvtest::CScopedEnv allProxy{"all_proxy", std::nullopt};
  CReferenceService service;
  ASSERT_TRUE(service.Start());
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"Name", service.Server()},
                                    {"AccountName", "walker"},
                                    {"Email", "walker@example.org"}}) {
    ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "Server", name, value}).exitCode, 0);
  }
  const fs::path file = home.Path() / "Evening Ride.Gpx";
  const std::string content = "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>\n";
  qvtest::WriteFile(file, content);

  auto r = RunProgram({QV_CLI_PATH, "import", file.string(), "--queue", "--time-conflicts"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const fs::path resend = home.DataHome() / "Tavelnor" / "QueueResend";
  std::vector<fs::path> queued;
  for (const auto& entry : fs::directory_iterator(resend)) queued.push_back(entry.path());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].string().substr(queued[0].string().size() - 7), ".Gpx.gz");
  EXPECT_EQ(Gunzip(queued[0]), content);

  r = RunProgram({QV_CLI_PATH, "import", file.string(), "--queue", "--upload"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto uploads = service.Uploads();
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_EQ(uploads[0].problem, "");
  EXPECT_TRUE(fs::is_empty(resend));
  EXPECT_TRUE(fs::is_empty(home.DataHome() / "Tavelnor" / "Queue"));
}

}  // namespace
