// qvagent-cli upload and messages against the reference service: the final
// line and exit status a script sees, and the documents left behind.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <optional>

#include "service/ReferenceService.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;
using qvtest::RunProgram;

std::string Gzip(const std::string& data) {
  std::string out(compressBound(static_cast<uLong>(data.size())) + 32, '\0');
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

class CliUploadTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_service.Start());
    Set("Server", "Name", m_service.Server());
    Set("Server", "AccountName", "walker");
    Set("Server", "Email", "walker@example.org");
  }
  static void Set(const char* section, const char* name, const std::string& value) {
    const auto r = RunProgram({QV_CLI_PATH, "settings", "set", section, name, value});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  fs::path Folder(const char* name) const { return m_home.DataHome() / "Tavelnor" / name; }
  size_t Count(const char* name) const {
    std::error_code ec;
    size_t n = 0;
    for (fs::directory_iterator it(Folder(name), ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
  }

  qvtest::CIsolatedHome m_home;
  qvtest::CScopedEnv m_httpProxy{"http_proxy", std::nullopt};
  qvtest::CScopedEnv m_allProxy{"all_proxy", std::nullopt};
  CReferenceService m_service;
};

TEST_F(CliUploadTest, PrintsTheFinalLineAndFailsWhileDocumentsStayQueued) {
  const auto empty = RunProgram({QV_CLI_PATH, "upload"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "Nothing to upload.\n");

  qvtest::WriteFile(Folder("Queue") / "a.gz", Gzip("<qvx/>"));
  qvtest::WriteFile(Folder("Queue") / "b.gz", Gzip("<qvx/>"));
  m_service.SetUploadStatus(500);
  const auto failed = RunProgram({QV_CLI_PATH, "upload"});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.out,
            "Unable to send data to Tavelnor. Your data has been added to the local Queue to be sent when "
            "Tavelnor is available through the Internet.\n  Unable to connect to server (HTTP status 500)\n");
  EXPECT_EQ(Count("Queue"), 2u);

  m_service.SetUploadStatus(200);
  const auto sent = RunProgram({QV_CLI_PATH, "upload"});
  EXPECT_EQ(sent.exitCode, 0) << sent.err;
  EXPECT_EQ(sent.out,
            "You successfully retrieved the activity data from your GPS device. Review what was sent to your "
            "Tavelnor Inbox on the right.\n");
  EXPECT_EQ(Count("Queue"), 0u);
  EXPECT_EQ(Count("Sent"), 2u);
  EXPECT_EQ(RunProgram({QV_CLI_PATH, "upload", "extra"}).exitCode, 2);
}

TEST_F(CliUploadTest, MessagesPrintsTheFeedAndFallsBackToTheCache) {
  Set("Server", "AnnouncementsUrl", m_service.BaseUrl() + "/agent/announcement.qv?username=%s");
  m_service.SetAnnouncementItems({{"New agent", "http://example.org/agent", "Version 2.4 is out & ready."}});
  const auto fetched = RunProgram({QV_CLI_PATH, "messages"});
  EXPECT_EQ(fetched.exitCode, 0) << fetched.err;
  EXPECT_EQ(
      fetched.out,
      "Tavelnor announcements\n\n* New agent\n  Version 2.4 is out & ready.\n  http://example.org/agent\n");

  // The service gone: the cached feed is shown and the failure named.
  m_service.Stop();
  const auto cached = RunProgram({QV_CLI_PATH, "messages"});
  EXPECT_EQ(cached.exitCode, 1);
  EXPECT_EQ(cached.out, fetched.out);
  EXPECT_NE(cached.err.find("Error retrieving messages from Tavelnor\n  "), std::string::npos) << cached.err;
}

}  // namespace
