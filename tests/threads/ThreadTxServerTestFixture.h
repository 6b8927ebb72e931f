// What the upload tests share: an isolated data folder and settings, the
// reference service on loopback with the machine's proxy variables switched
// off, queue helpers, and a run of the upload job on a real message loop
// that records every update the dialog would get.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/ProxyAuthPrompt.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "service/ReferenceService.h"
#include "support/TestEnv.h"
#include "threads/ThreadTxServer.h"
#include "threads/UploadWorkflow.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace qvtest {

namespace fs = std::filesystem;

inline std::string GzipText(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline std::string GunzipText(const std::string& data) {
  z_stream stream{};
  inflateInit2(&stream, 16 + MAX_WBITS);
  std::string out;
  char buffer[4096];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  int rc = Z_OK;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof(buffer);
    rc = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof(buffer) - stream.avail_out);
  } while (rc == Z_OK);
  inflateEnd(&stream);
  return out;
}

inline std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

// What one run left for the dialog, and what the dialog saw on the way.
struct UploadRun {
  WorkerOutcome outcome;
  std::vector<uint16_t> updates;                      // update kinds in arrival order
  std::vector<std::vector<CStatusList::Entry>> seen;  // the list at each update
};

class CUploadTest : public ::testing::Test {
protected:
  void SetUp() override {
    CUtil::ResetForTests();
    CUtil::Initialize();
    ASSERT_TRUE(m_service.Start());
    CUtil::SetServerName(m_service.Server());
    CUtil::SetAccountName("walker");
    CUtil::SetEmail("walker@example.org");
  }
  void TearDown() override {
    m_service.Stop();
    LogClose();
    CProxyAuthPrompt::SetHandler({});
    CProxyAuthPrompt::ForgetCredentials();
    CUtil::ResetForTests();
  }

  static fs::path Queue(int resend = 0) { return CUtil::GetQueueFolder(resend); }
  static fs::path Data(const char* name) { return fs::path(CUtil::GetDataFolder()) / name; }
  static void Queued(const std::string& name, const std::string& content, int resend = 0) {
    WriteFile(Queue(resend) / name, content);
  }
  static std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  UploadRun Run(CThreadTxServer& thread) {
    UploadRun run;
    run.outcome = RunWorkerToCompletion(
        thread, thread.GetStatusList(),
        [&thread](CMessageWindow* owner) { return thread.StartThread(owner); },
        [&](uint16_t kind) {
          run.updates.push_back(kind);
          run.seen.push_back(thread.GetStatusList().GetAll());
        });
    return run;
  }
  UploadRun Run() {
    CThreadTxServer thread;
    return Run(thread);
  }

  // The line the dialog shows for a failed run.
  static std::string FailureLine(unsigned messageId, HRESULT code, const std::string& errorText) {
    return CUtil::BuildErrorList(LoadString(messageId), code, errorText, 0, std::string());
  }

  CIsolatedHome m_home;
  CScopedEnv m_httpProxy{"http_proxy", std::nullopt};
  CScopedEnv m_httpsProxy{"https_proxy", std::nullopt};
  CScopedEnv m_allProxy{"all_proxy", std::nullopt};
  CScopedEnv m_allProxyUpper{"ALL_PROXY", std::nullopt};
  CScopedEnv m_noProxy{"no_proxy", std::nullopt};
  CScopedEnv m_noProxyUpper{"NO_PROXY", std::nullopt};
  CReferenceService m_service;
};

// A loopback port nothing listens on: one the service had and gave back.
inline uint16_t UnusedPort() {
  CReferenceService service;
  if (!service.Start()) return 0;
  const uint16_t port = service.Port();
  service.Stop();
  return port;
}

}  // namespace qvtest
