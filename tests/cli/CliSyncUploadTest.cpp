// qvagent-cli sync all the way: a simulated receiver's new activities into
// the reference service, and a failed upload that leaves the queue intact.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "service/ReferenceService.h"
#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

std::string Gunzip(const std::string& bytes) {
  z_stream stream{};
  inflateInit2(&stream, 16 + MAX_WBITS);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  std::string out;
  char buffer[4096];
  int rc = Z_OK;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    rc = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  } while (rc == Z_OK);
  inflateEnd(&stream);
  return rc == Z_STREAM_END ? out : std::string();
}

class CliSyncUpload : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    sim = CGarminSim::FromFile((qvtest::DataDir() / "sim" / "two_tracks_a301.json").string(), &error);
    ASSERT_TRUE(sim) << error;
    ASSERT_TRUE(sim->StartSerial(pty));
    ASSERT_TRUE(service.Start());
    Set("Device", "Ports", pty);
    Set("Server", "Name", "127.0.0.1:" + std::to_string(service.Port()));
    Set("Server", "AccountName", "Tom & Jerry");
    Set("Server", "Email", "runner+test@example.org");
  }
  void Set(const std::string& section, const std::string& value, const std::string& data) {
    ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", section, value, data}).exitCode, 0);
  }
  size_t CountFiles(const char* folder) const {
    size_t n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(home.DataHome() / "Tavelnor" / folder, ec);
         !ec && it != std::filesystem::directory_iterator(); ++it) {
      ++n;
    }
    return n;
  }
  qvtest::CIsolatedHome home;
  std::unique_ptr<CGarminSim> sim;
  std::string pty;
  CReferenceService service;
};

TEST_F(CliSyncUpload, NewActivitiesReachTheServiceAndASecondRunSendsNothing) {
  auto r = RunProgram({QV_CLI_PATH, "sync"}, 120);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto uploads = service.Uploads();
  ASSERT_EQ(uploads.size(), 1u) << r.out;
  EXPECT_EQ(uploads[0].problem, "");
  // The account texts arrive as they were typed.
  EXPECT_EQ(uploads[0].query.find("username.value")->second, "Tom & Jerry");
  EXPECT_EQ(uploads[0].query.find("emailAddress.value")->second, "runner+test@example.org");
  const std::string document = Gunzip(uploads[0].body);
  EXPECT_NE(document.find("2024-05-01T06:00:00Z"), std::string::npos);
  EXPECT_NE(document.find("2024-05-01T18:30:00Z"), std::string::npos);
  EXPECT_EQ(CountFiles("Queue"), 0u);
  EXPECT_EQ(CountFiles("Sent"), 1u);

  r = RunProgram({QV_CLI_PATH, "sync"}, 120);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(service.Uploads().size(), 1u) << "nothing new, nothing sent";
}

TEST_F(CliSyncUpload, AFailedUploadKeepsTheDocumentQueued) {
  service.SetUploadStatus(500);
  auto r = RunProgram({QV_CLI_PATH, "sync"}, 120);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_EQ(CountFiles("Queue"), 1u);

  // The next upload, once the service is back, sends it.
  service.SetUploadStatus(200);
  r = RunProgram({QV_CLI_PATH, "upload"}, 120);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(CountFiles("Queue"), 0u);
  EXPECT_EQ(CountFiles("Sent"), 1u);
}

}  // namespace
