// Requests against the reference service on loopback: what the server
// receives, and what the caller reads back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HttpTestSupport.h"
#include "platform/InternetException.h"
#include "platform/InternetSession.h"
#include "platform/MappedFile.h"

using qvtest::CHttpServiceTest;

namespace {

class HttpRequestTest : public CHttpServiceTest {};

TEST_F(HttpRequestTest, PostedBodyArrivesAsSentAndTheReplyFeedIsRead) {
  struct Row {
    const char* legend;
    std::string body;
    uint32_t status;
    const char* replyItem;
  };
  const std::string gzipped = qvtest::Gzip("<qvx>one activity</qvx>");
  const std::vector<Row> rows = {
      {"gzip document", gzipped, 200, "Upload received"},
      {"empty body", "", 400, "Upload rejected"},
      {"binary with NUL, CR LF and high bytes", std::string("\x1f\x8b\0\r\n\xff\x80 end", 12), 400,
       "Upload rejected"},
  };
  CInternetSession session(qvtest::kAgentName);
  auto connection = session.GetHttpConnection(m_service.Server());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    m_service.ClearRecords();
    auto file = connection->OpenRequest("POST", UploadPath("ann", "ann@example.org", "false"), {}, 1, {}, {},
                                        INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_KEEP_CONNECTION);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->SendRequest({}, row.body.data(), row.body.size()));
    uint32_t status = 0;
    ASSERT_TRUE(file->QueryInfoStatusCode(status));
    EXPECT_EQ(status, row.status);
    const std::string reply = qvtest::ReadAll(*file);
    EXPECT_NE(reply.find(row.replyItem), std::string::npos) << reply;
    EXPECT_EQ(file->Read(nullptr, 1), 0u);

    const auto uploads = m_service.Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].body, row.body);
    EXPECT_EQ(uploads[0].userAgent, qvtest::kAgentName);
    EXPECT_EQ(uploads[0].contentType, "");
    EXPECT_EQ(uploads[0].target, UploadPath("ann", "ann@example.org", "false"));
  }
}

TEST_F(HttpRequestTest, LargeBodyIsPostedStraightFromTheMappedFile) {
  qvtest::CTempDir dir;
  const auto stored = dir.Path() / "stored";
  m_service.SetStoreFolder(stored);
  // Random bytes do not compress: the document stays at about 200 KB.
  const std::string document = qvtest::Gzip(qvtest::RandomBytes(200 * 1024, 7));
  ASSERT_GT(document.size(), 200u * 1024u);
  const auto path = dir.Path() / "20261207-activity.gz";
  qvtest::WriteFile(path, document);

  CMappedFile mapped;
  ASSERT_TRUE(mapped.Open(path));
  ASSERT_TRUE(mapped.CreateMapping());
  ASSERT_TRUE(mapped.MapView());
  ASSERT_EQ(mapped.Size(), document.size());

  CInternetSession session(qvtest::kAgentName);
  auto connection = session.GetHttpConnection(m_service.Server());
  auto file = connection->OpenRequest("POST", UploadPath("ann", "ann@example.org", "true"));
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->SendRequest({}, mapped.Data(), mapped.Size()));
  uint32_t status = 0;
  ASSERT_TRUE(file->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 200u);

  const auto uploads = m_service.Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_TRUE(uploads[0].body == document) << "body differs, " << uploads[0].body.size() << " bytes arrived";
  EXPECT_EQ(uploads[0].storedAs, "upload-0001.gz");
  EXPECT_TRUE(qvtest::ReadFile(stored / "upload-0001.gz") == document);
}

TEST_F(HttpRequestTest, MappedFileStepsFailWithTheirOwnErrors) {
  qvtest::CTempDir dir;
  qvtest::WriteFile(dir.Path() / "empty.gz", "");
  struct Row {
    const char* legend;
    std::filesystem::path path;
    bool opens;
    uint32_t openError;
  };
  const std::vector<Row> rows = {
      {"missing file", dir.Path() / "missing.gz", false, ERROR_FILE_NOT_FOUND},
      {"a folder", dir.Path(), false, ERROR_ACCESS_DENIED},
      {"empty file maps to an empty view", dir.Path() / "empty.gz", true, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    CMappedFile mapped;
    EXPECT_EQ(mapped.Open(row.path), row.opens);
    EXPECT_EQ(mapped.LastError(), row.openError);
    if (!row.opens) {
      EXPECT_FALSE(mapped.CreateMapping());
      EXPECT_FALSE(mapped.MapView());
      continue;
    }
    EXPECT_TRUE(mapped.CreateMapping());
    EXPECT_TRUE(mapped.MapView());
    EXPECT_EQ(mapped.Size(), 0u);
  }
}

TEST_F(HttpRequestTest, StatusChosenByTheServiceIsReported) {
  struct Row {
    const char* legend;
    int serviceStatus;
    uint32_t expected;
  };
  const std::vector<Row> rows = {
      {"accepted", 200, 200},
      {"rejected data", 400, 400},
      {"not authorised", 401, 401},
      {"proxy authentication", 407, 407},
      {"server failure", 500, 500},
      // Following would turn the upload into a GET that reports success
      // although the document was never delivered.
      {"redirect is not followed by a POST", 302, 302},
  };
  const std::string body = qvtest::Gzip("<qvx/>");
  CInternetSession session(qvtest::kAgentName);
  auto connection = session.GetHttpConnection(m_service.Server());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    m_service.ClearRecords();
    m_service.SetUploadStatus(row.serviceStatus);
    auto file = connection->OpenRequest("POST", UploadPath("ann", "ann@example.org", "false"));
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->SendRequest({}, body.data(), body.size()));
    uint32_t status = 0;
    ASSERT_TRUE(file->QueryInfoStatusCode(status));
    EXPECT_EQ(status, row.expected);
    EXPECT_NE(qvtest::ReadAll(*file).find("<rss"), std::string::npos);
    EXPECT_EQ(m_service.Uploads().size(), 1u);
  }
}

TEST_F(HttpRequestTest, RequestUsedOutOfOrderFailsWithoutThrowing) {
  CInternetSession session(qvtest::kAgentName);
  auto connection = session.GetHttpConnection(m_service.Server());
  auto file = connection->OpenRequest("POST", "/trail/service/qvx/file.qv");
  ASSERT_NE(file, nullptr);
  uint32_t status = 7;
  EXPECT_FALSE(file->QueryInfoStatusCode(status));
  EXPECT_EQ(file->LastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  char byte = 0;
  EXPECT_EQ(file->Read(&byte, 1), 0u);
  EXPECT_FALSE(file->SendRequest({}, nullptr, 10));
  EXPECT_EQ(file->LastError(), ERROR_INVALID_PARAMETER);
  file->Close();
  EXPECT_FALSE(file->SendRequest());
  EXPECT_EQ(file->LastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);

  EXPECT_EQ(connection->OpenRequest("", "/x"), nullptr);
  EXPECT_EQ(connection->LastError(), ERROR_INVALID_PARAMETER);
  connection->Close();
  EXPECT_EQ(connection->OpenRequest("GET", "/x"), nullptr);
  EXPECT_EQ(connection->LastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  EXPECT_TRUE(m_service.Uploads().empty());
}

TEST_F(HttpRequestTest, AccountTextsReachTheServiceAsStored) {
  struct Row {
    const char* legend;
    const char* user;
    const char* email;
  };
  // Characters that cannot travel in an address are encoded on the way and
  // decoded by the service; everything else goes as written.
  const std::vector<Row> rows = {
      {"plain", "ann", "ann@example.org"},
      {"space and hash", "Ann Lee#2", "ann@example.org"},
      {"non-ASCII", "J\xc3\xbcrgen", "j\xc3\xbcrgen@example.org"},
      {"quote and braces", "a\"b{c}", "x@example.org"},
  };
  const std::string body = qvtest::Gzip("<qvx/>");
  CInternetSession session(qvtest::kAgentName);
  auto connection = session.GetHttpConnection(m_service.Server());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    m_service.ClearRecords();
    auto file = connection->OpenRequest("POST", UploadPath(row.user, row.email, "false"));
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->SendRequest({}, body.data(), body.size()));
    const auto uploads = m_service.Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const auto user = uploads[0].query.find("username.value");
    ASSERT_NE(user, uploads[0].query.end());
    EXPECT_EQ(user->second, row.user);
    EXPECT_EQ(uploads[0].query.find("emailAddress.value")->second, row.email);
    EXPECT_EQ(uploads[0].status, 200) << uploads[0].problem;
  }
}

TEST_F(HttpRequestTest, ServerNameMayCarryItsPort) {
  struct Row {
    const char* legend;
    const char* server;
    bool valid;
    const char* host;
    uint16_t port;
  };
  const std::vector<Row> rows = {
      {"name alone keeps the given port", "www.example.org", true, "www.example.org", 80},
      {"name with port", "127.0.0.1:8080", true, "127.0.0.1", 8080},
      {"surrounding blanks", "  host:81 ", true, "host", 81},
      {"bracketed IPv6 with port", "[::1]:8080", true, "::1", 8080},
      {"bracketed IPv6 alone", "[::1]", true, "::1", 80},
      {"bare IPv6", "fe80::1", true, "fe80::1", 80},
      {"empty", "", false, "", 0},
      {"port missing", "host:", false, "", 0},
      {"port zero", "host:0", false, "", 0},
      {"port too large", "host:65536", false, "", 0},
      {"port not a number", "host:8o", false, "", 0},
      {"host missing", ":80", false, "", 0},
      {"bracket not closed", "[::1:80", false, "", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    std::string host;
    uint16_t port = 80;
    ASSERT_EQ(CInternetSession::SplitServer(row.server, host, port), row.valid);
    if (!row.valid) continue;
    EXPECT_EQ(host, row.host);
    EXPECT_EQ(port, row.port);
  }

  CInternetSession session(qvtest::kAgentName);
  try {
    session.GetHttpConnection("host:0");
    ADD_FAILURE() << "no exception";
  } catch (const CInternetException& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_INTERNET_INVALID_URL);
  }
  // The port in the name wins over the default port argument.
  auto connection = session.GetHttpConnection(m_service.Server(), INTERNET_DEFAULT_HTTP_PORT);
  EXPECT_EQ(connection->GetPort(), m_service.Port());
  auto file = connection->OpenRequest("GET", "/trail/inbox/view.qv");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->SendRequest());
  EXPECT_NE(qvtest::ReadAll(*file).find("upload(s) received"), std::string::npos);
}

TEST_F(HttpRequestTest, AnnouncementsAreFetchedByAddress) {
  struct Row {
    const char* legend;
    AnnouncementMode mode;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {"items", AnnouncementMode::Items, "<title>Welcome to Tavelnor</title>"},
      {"empty channel", AnnouncementMode::Empty, "<channel>\n<title>Tavelnor announcements</title>"},
      {"malformed", AnnouncementMode::Malformed, "<title>Half</channel>"},
  };
  CInternetSession session(qvtest::kAgentName);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    m_service.ClearRecords();
    m_service.SetAnnouncementMode(row.mode);
    auto file = session.OpenURL(m_service.BaseUrl() + "/agent/announcement.qv?username=ann lee");
    ASSERT_NE(file, nullptr);
    uint32_t status = 0;
    ASSERT_TRUE(file->QueryInfoStatusCode(status));
    EXPECT_EQ(status, 200u);
    const std::string reply = qvtest::ReadAll(*file);
    EXPECT_NE(reply.find(row.expected), std::string::npos) << reply;
    EXPECT_EQ(row.mode == AnnouncementMode::Empty, reply.find("<item>") == std::string::npos);
    const auto requests = m_service.AnnouncementRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].username, "ann lee");
    EXPECT_EQ(requests[0].userAgent, qvtest::kAgentName);
  }
}

TEST_F(HttpRequestTest, AddressesThatAreNotHttpAreRefused) {
  CInternetSession session(qvtest::kAgentName);
  EXPECT_EQ(session.OpenURL("ftp://127.0.0.1/agent/announcement.qv"), nullptr);
  EXPECT_EQ(session.LastError(), ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  for (const char* address : {"http://", "no scheme at all", ""}) {
    SCOPED_TRACE(address);
    try {
      session.OpenURL(address);
      ADD_FAILURE() << "no exception";
    } catch (const CInternetException& e) {
      EXPECT_EQ(e.ErrorCode(), ERROR_INTERNET_INVALID_URL);
    }
  }
  EXPECT_TRUE(m_service.AnnouncementRequests().empty());
}

}  // namespace
