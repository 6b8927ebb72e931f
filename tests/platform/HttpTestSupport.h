// What the HTTP tests share: a reference service on loopback, proxy
// variables of the machine switched off (so loopback traffic cannot be sent
// elsewhere), and small helpers.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <random>
#include <string>

#include "platform/HttpFile.h"
#include "platform/ProxyAuthPrompt.h"
#include "service/ReferenceService.h"
#include "support/TestEnv.h"

namespace qvtest {

inline constexpr const char* kAgentName = "QVAgent/2.3.0.0 (Linux test)";

class CHttpServiceTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(m_service.Start()); }
  void TearDown() override {
    m_service.Stop();
    CProxyAuthPrompt::SetHandler({});
    CProxyAuthPrompt::ForgetCredentials();
  }

  static std::string UploadPath(const std::string& user, const std::string& email, const char* conflicts) {
    return "/trail/service/qvx/file.qv?username.value=" + user + "&emailAddress.value=" + email +
           "&timeConflictsAllowed=" + conflicts;
  }

  CScopedEnv m_httpProxy{"http_proxy", std::nullopt};
  CScopedEnv m_httpsProxy{"https_proxy", std::nullopt};
  CScopedEnv m_httpsProxyUpper{"HTTPS_PROXY", std::nullopt};
  CScopedEnv m_allProxy{"all_proxy", std::nullopt};
  CScopedEnv m_allProxyUpper{"ALL_PROXY", std::nullopt};
  CScopedEnv m_noProxy{"no_proxy", std::nullopt};
  CScopedEnv m_noProxyUpper{"NO_PROXY", std::nullopt};
  CReferenceService m_service;
};

// The whole reply, read the way the feed parser reads it.
inline std::string ReadAll(CHttpFile& file, size_t chunk = 128) {
  std::string reply;
  std::string buffer(chunk, '\0');
  while (const size_t got = file.Read(buffer.data(), buffer.size())) reply.append(buffer.data(), got);
  return reply;
}

inline std::string Gzip(const std::string& data) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (auto& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

// A loopback port nothing listens on: one the service had and gave back.
inline uint16_t ClosedPort() {
  CReferenceService service;
  if (!service.Start()) return 0;
  const uint16_t port = service.Port();
  service.Stop();
  return port;
}

}  // namespace qvtest
