// Speed of the exchange document writer on a large track log: one million
// receiver track points, each with the six measurements a fitness receiver
// reports, written to a file; then the gzip compression that puts the
// document into the upload queue, at zlib's default level.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "data/GpsDataSet.h"
#include "document/QvxDocument.h"
#include "util/Util.h"

namespace {

constexpr int kPoints = 1000000;
constexpr int kStart = 515425500;  // 2006-05-01T13:45:00Z as device time
constexpr int kLon = 101408950;    // 8.5 degrees in semicircles
constexpr int kLat = 566697074;    // 47.5 degrees

// One track with laps every 1000 points, built once for every benchmark.
// The agent version stays empty: CUtil is not initialised here, so that the
// benchmark touches no settings or data folders.
const CGpsDataSet& LargeSet() {
  static CGpsDataSet* data = [] {
    auto* set = new CGpsDataSet;
    set->prefix = "G3651";
    set->deviceDescription = "Forerunner305 Software Version 2.80";
    CGpsDataTrack* track = set->AddTrack("ACTIVE LOG", 0);
    for (int n = 0; n < kPoints; ++n) {
      CGpsDataTrackPoint* point = track->AddPoint(0);
      point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, kStart + n);
      point->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, kLon + 37 * n, kLat - 21 * n);
      point->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES,
                      400.0f + static_cast<float>(n % 500));
      point->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 3.1f * static_cast<float>(n))
          ->SetSource(SOURCE_GPS);
      point->AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, 110 + n % 70);
      point->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, 80 + n % 20);
    }
    for (int first = 1; first <= kPoints; first += 1000) {
      CGpsDataLap* lap = set->AddLap();
      lap->firstId = track->GetId() + "-" + std::to_string(first);
      lap->lastId = track->GetId() + "-" + std::to_string(first + 999);
      lap->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kStart + first - 1);
      lap->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 1000.0f);
      lap->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 3100.0f);
    }
    return set;
  }();
  return *data;
}

// Both rates: per second of wall time (what a user waits, disk included, and
// what a busy machine stretches) and per second of the process's processor
// time (user and system, the writer's own cost).
void SetRates(benchmark::State& state, double cpuSeconds) {
  const double points = static_cast<double>(kPoints) * static_cast<double>(state.iterations());
  state.counters["points_per_second"] = benchmark::Counter(points, benchmark::Counter::kIsRate);
  if (cpuSeconds > 0) state.counters["points_per_cpu_second"] = points / cpuSeconds;
}

double ProcessCpuSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_WriteQvxDocument(benchmark::State& state) {
  const CGpsDataSet& data = LargeSet();
  const std::string path = TempPath("bench_qvx_writer.qvx");
  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) {
    CQvxDocument document;
    if (!document.Create(data, path.c_str())) state.SkipWithError("writing the document failed");
  }
  SetRates(state, ProcessCpuSeconds() - cpuStart);
  std::error_code ec;
  const auto bytes = static_cast<double>(std::filesystem::file_size(path, ec));
  state.counters["document_bytes"] = bytes;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  std::filesystem::remove(path, ec);
}
BENCHMARK(BM_WriteQvxDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GzipQvxDocument(benchmark::State& state) {
  const std::string path = TempPath("bench_qvx_writer_gzip.qvx");
  const std::string gz = path + ".gz";
  CQvxDocument document;
  if (!document.Create(LargeSet(), path.c_str())) {
    state.SkipWithError("writing the document failed");
    return;
  }
  std::error_code ec;
  const auto bytes = static_cast<double>(std::filesystem::file_size(path, ec));
  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) {
    if (CUtil::GzipFile(path.c_str(), gz.c_str()) != 0) state.SkipWithError("compression failed");
  }
  SetRates(state, ProcessCpuSeconds() - cpuStart);
  state.counters["document_bytes"] = bytes;
  state.counters["gzip_bytes"] = static_cast<double>(std::filesystem::file_size(gz, ec));
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  std::filesystem::remove(path, ec);
  std::filesystem::remove(gz, ec);
}
BENCHMARK(BM_GzipQvxDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
