// Speed of the upload job: 100 queued documents of 200 KB each posted to the
// reference service on loopback, the whole job as the dialog runs it (queue
// walk, memory-mapped bodies, the reply feed parsed, each file moved to
// Sent). For comparison the same 100 files posted by the curl program in one
// run (one connection, --next between requests), which is about the least a
// client can do for the same requests.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "service/ReferenceService.h"
#include "threads/UploadWorkflow.h"
#include "util/Util.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 100;
constexpr size_t kFileBytes = 200 * 1024;

// A gzip member of random bytes (so it does not shrink), cut to 200 KB by
// choosing the input size: the service accepts only whole gzip streams.
std::string Document() {
  std::mt19937 generator(11);
  std::string input(kFileBytes - 64, '\0');
  for (char& c : input) c = static_cast<char>(generator() & 0xFF);
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(input.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(input.data());
  stream.avail_in = static_cast<uInt>(input.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A private home for settings and data, and the service, for the whole program.
struct Environment {
  Environment() {
    char pattern[] = "/tmp/qv-bench-upload-XXXXXX";
    root = mkdtemp(pattern);
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    unsetenv("http_proxy");
    unsetenv("all_proxy");
    unsetenv("ALL_PROXY");
    service.Start();
    CUtil::Initialize();
    CUtil::SetServerName(service.Server());
    CUtil::SetAccountName("walker");
    CUtil::SetEmail("walker@example.org");
    document = Document();
    fs::create_directories(root / "curl");
    for (int i = 0; i < kFiles; ++i) WriteBytes(root / "curl" / Name(i), document);
  }
  ~Environment() {
    service.Stop();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  static std::string Name(int i) {
    char name[32];
    std::snprintf(name, sizeof(name), "doc_%03d.gz", i);
    return name;
  }

  fs::path root;
  CReferenceService service;
  std::string document;
};

Environment& Env() {
  static Environment environment;
  return environment;
}

void SetFileRate(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles *
                          static_cast<int64_t>(kFileBytes));
  state.counters["files_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

void BM_UploadJob(benchmark::State& state) {
  Environment& env = Env();
  const fs::path queue = CUtil::GetQueueFolder(0);
  const fs::path sent = fs::path(CUtil::GetDataFolder()) / "Sent";
  for (auto _ : state) {
    state.PauseTiming();
    env.service.ClearRecords();
    std::error_code ec;
    fs::remove_all(sent, ec);
    for (int i = 0; i < kFiles; ++i) WriteBytes(queue / Environment::Name(i), env.document);
    state.ResumeTiming();
    if (RunUploadJob() != 1) {
      state.SkipWithError("the upload job failed");
      break;
    }
  }
  const auto uploads = env.service.Uploads();
  if (uploads.size() != kFiles || uploads.back().status != 200) {
    state.SkipWithError(("not every file arrived: " + std::to_string(uploads.size())).c_str());
  }
  SetFileRate(state);
}
BENCHMARK(BM_UploadJob)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlProgram(benchmark::State& state) {
  Environment& env = Env();
  if (std::system("curl --version > /dev/null 2>&1") != 0) {
    state.SkipWithError("curl is not installed");
    return;
  }
  // One configuration file with a request per document, so the run is one
  // process and one connection, as in the agent.
  const fs::path config = env.root / "curl.conf";
  {
    std::ofstream out(config);
    const std::string url =
        "http://" + env.service.Server() +
        "/trail/service/qvx/file.qv?username.value=walker&emailAddress.value=walker%40example.org"
        "&timeConflictsAllowed=false";
    for (int i = 0; i < kFiles; ++i) {
      if (i > 0) out << "next\n";
      out << "url = \"" << url << "\"\n";
      out << "data-binary = \"@" << (env.root / "curl" / Environment::Name(i)).string() << "\"\n";
      // As the agent sends it: no form content type (which the service would
      // refuse at this size) and no wait for a "100 Continue".
      out << "header = \"Content-Type:\"\n";
      out << "header = \"Expect:\"\n";
      out << "output = \"/dev/null\"\n";
      out << "silent\n";
    }
  }
  const std::string command = "curl -K '" + config.string() + "'";
  for (auto _ : state) {
    state.PauseTiming();
    env.service.ClearRecords();
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("curl failed");
      break;
    }
  }
  const auto uploads = env.service.Uploads();
  if (uploads.size() != kFiles || uploads.back().status != 200) {
    state.SkipWithError(("not every file arrived: " + std::to_string(uploads.size())).c_str());
  }
  SetFileRate(state);
}
BENCHMARK(BM_CurlProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
