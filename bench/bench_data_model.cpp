// Memory and speed of the data model on a large track log: one million
// receiver track points, each with the six measurements a fitness receiver
// reports. Heap use is measured by counting every global allocation.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "data/GpsDataSet.h"

namespace {
std::atomic<long long> g_liveBytes{0};

// Each block carries its size in front so that delete can subtract it.
constexpr size_t kHeader = alignof(std::max_align_t);

[[gnu::noinline]] void* CountedAllocate(size_t size) noexcept {
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) return nullptr;
  *static_cast<size_t*>(raw) = size;
  g_liveBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
  return static_cast<char*>(raw) + kHeader;
}

[[gnu::noinline]] void CountedFree(void* p) noexcept {
  if (p == nullptr) return;
  void* raw = static_cast<char*>(p) - kHeader;
  g_liveBytes.fetch_sub(static_cast<long long>(*static_cast<size_t*>(raw)), std::memory_order_relaxed);
  std::free(raw);
}
}  // namespace

void* operator new(size_t size) {
  void* p = CountedAllocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) {
  void* p = CountedAllocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocate(size);
}
void operator delete(void* p) noexcept {
  CountedFree(p);
}
void operator delete[](void* p) noexcept {
  CountedFree(p);
}
void operator delete(void* p, size_t) noexcept {
  CountedFree(p);
}
void operator delete[](void* p, size_t) noexcept {
  CountedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  CountedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  CountedFree(p);
}

namespace {

constexpr int kPoints = 1000000;

// Fills one track the way the receive side does for each D304 point.
bool FillTrackLog(CGpsDataSet& set, int points) {
  CGpsDataTrack* track = set.AddTrack("ACTIVE LOG", -1);
  if (track == nullptr) return false;
  for (int i = 0; i < points; ++i) {
    CGpsDataTrackPoint* point = track->AddPoint(0);
    if (point == nullptr) return false;
    if (point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 500000000 + i) == nullptr)
      return false;
    if (point->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, 500000000 + i,
                          -100000000 - i) == nullptr) {
      return false;
    }
    if (point->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 100.0f + (i & 63)) == nullptr) {
      return false;
    }
    CGpsDataFloat* distance = point->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 3.5f * i);
    if (distance == nullptr) return false;
    distance->SetSource(SOURCE_GPS);
    if (point->AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, 120 + (i & 31)) == nullptr)
      return false;
    if (point->AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, 80 + (i & 15)) == nullptr)
      return false;
  }
  return true;
}

void BM_BuildTrackLog(benchmark::State& state) {
  const int points = static_cast<int>(state.range(0));
  double bytesPerPoint = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    auto* set = new CGpsDataSet();
    set->prefix = "GARMIN-3318112233";
    long long before = g_liveBytes.load();
    state.ResumeTiming();

    if (!FillTrackLog(*set, points)) state.SkipWithError("out of memory");

    state.PauseTiming();
    bytesPerPoint = static_cast<double>(g_liveBytes.load() - before) / points;
    benchmark::DoNotOptimize(set->CountTrackPoints());
    delete set;
    state.ResumeTiming();
  }
  state.counters["bytes_per_point"] = bytesPerPoint;
  state.counters["points_per_second"] = benchmark::Counter(
      static_cast<double>(points) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_BuildTrackLog)->Arg(kPoints)->Unit(benchmark::kMillisecond)->Iterations(5);

// Reading back what the document writer reads for each point: its id, time
// text and position.
void BM_ReadTrackLog(benchmark::State& state) {
  CGpsDataSet set;
  set.prefix = "GARMIN-3318112233";
  if (!FillTrackLog(set, static_cast<int>(state.range(0)))) state.SkipWithError("out of memory");
  const CGpsDataTrack* track = set.GetTracks().GetHead();
  for (auto _ : state) {
    size_t length = 0;
    for (const CGpsDataTrackPoint* point : track->GetPoints()) {
      length += point->GetId().size();
      const CGpsDataValue* time = point->FindValue(QUANTITY_TIME, MODIFIER_INSTANT);
      if (time != nullptr) length += time->Format(UNIT_UNIXTIME).size();
      const CGpsDataValue* position = point->FindValue(QUANTITY_POSITION, MODIFIER_INSTANT);
      if (position != nullptr) length += position->Format(UNIT_DEGREES).size();
    }
    benchmark::DoNotOptimize(length);
  }
  state.counters["points_per_second"] =
      benchmark::Counter(static_cast<double>(state.range(0)) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ReadTrackLog)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
