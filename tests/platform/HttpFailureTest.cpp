// Failures of the exchange reach the caller as CInternetException with the
// WinINet number of the same meaning. Every peer is on loopback; reserved
// ".invalid" names are refused before any name server is asked.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "HttpTestSupport.h"
#include "platform/InternetException.h"
#include "platform/InternetSession.h"

using qvtest::CHttpServiceTest;

namespace {

class HttpFailureTest : public CHttpServiceTest {
protected:
  // Posts a small document to server and returns the error number thrown,
  // 0 when nothing was thrown.
  uint32_t PostAndCatch(const std::string& server, std::string* message = nullptr) {
    CInternetSession session(qvtest::kAgentName);
    session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 2000);
    session.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 1000);
    session.SetOption(INTERNET_OPTION_SEND_TIMEOUT, 1000);
    const std::string body = qvtest::Gzip("<qvx/>");
    try {
      auto connection = session.GetHttpConnection(server);
      auto file = connection->OpenRequest("POST", UploadPath("ann", "ann@example.org", "false"));
      if (file == nullptr) return 0;
      file->SendRequest({}, body.data(), body.size());
      return 0;
    } catch (const CInternetException& e) {
      if (message != nullptr) *message = e.ErrorMessage();
      return e.ErrorCode();
    }
  }
};

TEST_F(HttpFailureTest, BrokenExchangesRaiseTheirWinInetNumbers) {
  struct Row {
    const char* legend;
    std::function<void(CReferenceService&)> arrange;
    bool closedPort;
    uint32_t expected;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"nothing listens: the connection is refused", nullptr, true, ERROR_INTERNET_CANNOT_CONNECT,
       "A connection with the server could not be established"},
      // An orderly close before any answer, or before the announced body is
      // complete, is an abnormal end of the connection (12030); a reset of
      // the connection by the peer is 12031.
      {"closed before any answer",
       [](CReferenceService& s) { s.SetUploadAnswer(UploadAnswer::DropBeforeReply); }, false,
       ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated abnormally"},
      {"closed in the middle of the answer",
       [](CReferenceService& s) { s.SetUploadAnswer(UploadAnswer::DropMidReply); }, false,
       ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated abnormally"},
      {"reset before any answer",
       [](CReferenceService& s) { s.SetUploadAnswer(UploadAnswer::ResetConnection); }, false,
       ERROR_INTERNET_CONNECTION_RESET, "The connection with the server was reset"},
      {"answer slower than the receive timeout",
       [](CReferenceService& s) { s.SetUploadAnswer(UploadAnswer::Slow, std::chrono::seconds(10)); }, false,
       ERROR_INTERNET_TIMEOUT, "The operation timed out"},
  };
  const uint16_t closedPort = qvtest::ClosedPort();
  ASSERT_NE(closedPort, 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    m_service.SetUploadStatus(200);
    if (row.arrange) row.arrange(m_service);
    const std::string server =
        row.closedPort ? "127.0.0.1:" + std::to_string(closedPort) : m_service.Server();
    std::string message;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(PostAndCatch(server, &message), row.expected);
    EXPECT_EQ(message, row.message);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  }
}

TEST_F(HttpFailureTest, SlowAnswerOnAKeptAliveConnectionTimesOut) {
  CInternetSession session(qvtest::kAgentName);
  session.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 1000);
  auto connection = session.GetHttpConnection(m_service.Server());
  const std::string body = qvtest::Gzip("<qvx/>");
  auto first = connection->OpenRequest("POST", UploadPath("ann", "ann@example.org", "false"));
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(first->SendRequest({}, body.data(), body.size()));

  m_service.SetUploadAnswer(UploadAnswer::Slow, std::chrono::seconds(10));
  auto second = connection->OpenRequest("POST", UploadPath("ann", "ann@example.org", "false"));
  ASSERT_NE(second, nullptr);
  const auto started = std::chrono::steady_clock::now();
  try {
    second->SendRequest({}, body.data(), body.size());
    ADD_FAILURE() << "no exception";
  } catch (const CInternetException& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_INTERNET_TIMEOUT);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST_F(HttpFailureTest, ReservedInvalidNamesAreNotResolved) {
  const std::vector<std::string> names = {"upload.invalid", "UPLOAD.Invalid.", "invalid", "a.b.invalid:8080"};
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(PostAndCatch(name), ERROR_INTERNET_NAME_NOT_RESOLVED);
  }
  // Names that only look alike are ordinary names.
  for (const char* name : {"invalid.example", "notinvalid", "x.invalidx"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(CHttpFile::IsReservedInvalidName(name));
  }

  CInternetSession session(qvtest::kAgentName);
  try {
    session.OpenURL("http://news.tavelnor.invalid/agent/announcement.qv?username=ann");
    ADD_FAILURE() << "no exception";
  } catch (const CInternetException& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_INTERNET_NAME_NOT_RESOLVED);
    EXPECT_EQ(e.ErrorMessage(), "The server name or address could not be resolved");
  }
}

TEST_F(HttpFailureTest, AnnouncementsFromAClosedPortRaiseCannotConnect) {
  const uint16_t closedPort = qvtest::ClosedPort();
  CInternetSession session(qvtest::kAgentName);
  try {
    session.OpenURL("http://127.0.0.1:" + std::to_string(closedPort) + "/agent/announcement.qv?username=ann");
    ADD_FAILURE() << "no exception";
  } catch (const CInternetException& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_FALSE(e.Detail().empty());
  }
}

TEST_F(HttpFailureTest, OversizedReplyIsRefusedAsInvalid) {
  m_service.SetUploadReply(std::string(CHttpFile::kMaxReplyBytes + 1, 'x'));
  EXPECT_EQ(PostAndCatch(m_service.Server()), ERROR_HTTP_INVALID_SERVER_RESPONSE);
  // A reply just within the limit is delivered whole.
  m_service.SetUploadReply(std::string(1000, 'y'));
  EXPECT_EQ(PostAndCatch(m_service.Server()), 0u);
}

TEST_F(HttpFailureTest, SessionAnswersAfterCloseWithAnException) {
  CInternetSession session(qvtest::kAgentName);
  EXPECT_FALSE(session.SetOption(99, 1));
  EXPECT_EQ(session.LastError(), ERROR_INTERNET_INVALID_OPTION);
  auto connection = session.GetHttpConnection(m_service.Server());
  session.Close();
  // What was opened before stays usable.
  auto file = connection->OpenRequest("GET", "/trail/inbox/view.qv");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->SendRequest());
  try {
    session.GetHttpConnection(m_service.Server());
    ADD_FAILURE() << "no exception";
  } catch (const CInternetException& e) {
    EXPECT_EQ(e.ErrorCode(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  }
}

}  // namespace
