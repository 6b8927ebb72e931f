// A whole download from a simulated Forerunner-class receiver over the USB
// test transport: validation, then runs, laps, track log, profile, workouts,
// occurrences and limits, and the linking. Reports records per second and
// outside_share, the part of the time the host spends outside the transport
// (decoding, building the data set, linking) rather than waiting on reads and
// writes of the simulated pipes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "link/GpsGarminUsb.h"
#include "sim/GarminSim.h"

namespace {

constexpr int kRuns = 20;
constexpr int kLapsPerRun = 5;
constexpr int kPointsPerRun = 500;  // 10,000 track points in all
constexpr int kWorkouts = 10;
constexpr int kOccurrences = 10;
constexpr int64_t kFirstRun = 1700000000;
// Runs, laps, points, three profiles, workouts, occurrences and the limits.
constexpr unsigned kRecords =
    kRuns + kRuns * kLapsPerRun + kRuns * kPointsPerRun + 3 + kWorkouts + kOccurrences + 1;

using Clock = std::chrono::steady_clock;

// The USB engine, timing every read and write of the pipes.
class CTimedUsb : public CGpsGarminUsb {
public:
  bool WriteCommsDevice(const uint8_t* data, unsigned length) override {
    const auto start = Clock::now();
    const bool ok = CGpsGarminUsb::WriteCommsDevice(data, length);
    transport += Clock::now() - start;
    return ok;
  }
  bool ReadCommsDeviceIo(uint32_t code, uint8_t* buffer, unsigned size, unsigned minimum,
                         unsigned& total) override {
    const auto start = Clock::now();
    const bool ok = CGpsGarminUsb::ReadCommsDeviceIo(code, buffer, size, minimum, total);
    transport += Clock::now() - start;
    return ok;
  }
  bool ReadCommsDevice(uint8_t* buffer, unsigned size, unsigned minimum, unsigned& total) override {
    const auto start = Clock::now();
    const bool ok = CGpsGarminUsb::ReadCommsDevice(buffer, size, minimum, total);
    transport += Clock::now() - start;
    return ok;
  }
  using CGpsGarminUsb::ReadCommsDevice;

  Clock::duration transport{};
};

SimProtocolTag Tag(char letter, uint16_t number) {
  return {letter, number};
}

CSimScenario Forerunner() {
  CSimScenario s;
  s.productId = 484;
  s.softwareVersion = 350;
  s.descriptions = {"Forerunner305 Software Version 3.50"};
  s.serialNumber = 3456789012u;
  s.protocols = std::vector<SimProtocolTag>{
      Tag('P', 0),    Tag('L', 1),    Tag('A', 10),   Tag('A', 302),  Tag('D', 311),  Tag('D', 304),
      Tag('A', 906),  Tag('D', 1011), Tag('A', 1000), Tag('D', 1009), Tag('A', 1002), Tag('D', 1002),
      Tag('A', 1003), Tag('D', 1003), Tag('A', 1004), Tag('D', 1004), Tag('A', 1005), Tag('D', 1005)};
  const int lapSeconds = kPointsPerRun * 2 / kLapsPerRun;
  for (int r = 0; r < kRuns; ++r) {
    const int64_t start = kFirstRun + r * 86400;
    SimTrack track;
    track.index = static_cast<uint16_t>(r);
    for (int i = 0; i < kPointsPerRun; ++i) {
      SimTrackPoint point;
      point.lat = 51.4779 + i * 1e-4;
      point.lon = -0.0015 + r * 1e-3;
      point.time = start + 2 * i;
      point.alt = 40.0f + i % 7;
      point.distance = i * 5.0f;
      point.heartRate = static_cast<uint8_t>(120 + i % 30);
      point.cadence = 85;
      track.points.push_back(point);
    }
    s.tracks.push_back(std::move(track));
    for (int l = 0; l < kLapsPerRun; ++l) {
      SimLap lap;
      lap.index = static_cast<uint32_t>(r * kLapsPerRun + l);
      lap.startTime = start + l * lapSeconds;
      lap.totalTime = lapSeconds;
      lap.distance = 500.0f;
      lap.avgHeartRate = 135;
      lap.maxHeartRate = 150;
      lap.avgCadence = 85;
      s.laps.push_back(lap);
    }
    s.runs.push_back({r, static_cast<uint32_t>(r * kLapsPerRun), static_cast<uint32_t>(r * kLapsPerRun + 4),
                      static_cast<uint8_t>(r % 3), 0, 0});
  }
  SimProfile profile;
  for (SimProfileActivity& activity : profile.activities) {
    for (int i = 0; i < 5; ++i) activity.heartRateZones[i] = {uint8_t(100 + 15 * i), uint8_t(115 + 15 * i)};
    for (int j = 0; j < 10; ++j) activity.speedZones[j] = {1.0f + j, 2.0f + j, "Zone " + std::to_string(j)};
    activity.maxHeartRate = 190;
  }
  s.profile = profile;
  for (int w = 0; w < kWorkouts; ++w) {
    SimWorkout workout;
    workout.name = "Workout " + std::to_string(w);
    workout.sport = static_cast<uint8_t>(w % 3);
    for (int step = 0; step < 5; ++step) {
      workout.steps.push_back({"Step " + std::to_string(step), 0, 0, 600, 0, 0, 1, uint8_t(1 + step % 4)});
    }
    s.workouts.push_back(std::move(workout));
  }
  for (int o = 0; o < kOccurrences; ++o)
    s.occurrences.push_back({"Workout 0", uint32_t(1000000 + o * 86400)});
  s.limits = SimLimits{100, 10, 200};
  return s;
}

void BM_FullDownloadOverUsb(benchmark::State& state) {
  const std::string socket =
      (std::filesystem::temp_directory_path() /
       ("bench_full_download_" + std::to_string(Clock::now().time_since_epoch().count()) + ".sock"))
          .string();
  CGarminSim sim(Forerunner());
  if (!sim.StartUsb(socket)) {
    state.SkipWithError(("simulator: " + sim.LastError()).c_str());
    return;
  }
  CTimedUsb gps;
  gps.SetDevicePath("usbsim:" + socket);
  gps.SetTimeout(2000);
  double records = 0;
  double elapsed = 0;
  double transport = 0;
  for (auto _ : state) {
    gps.transport = {};
    const auto start = Clock::now();
    unsigned count = 0;
    const bool ok = gps.OpenGpsDevice(GPS_DIRECTION_RX) && gps.RxGpsData(count);
    gps.CloseGpsDevice();
    if (!ok || count != kRecords) {
      state.SkipWithError(
          ("the download failed or came back short: " + std::to_string(count) + " records").c_str());
      return;
    }
    elapsed += std::chrono::duration<double>(Clock::now() - start).count();
    transport += std::chrono::duration<double>(gps.transport).count();
    records += count;
  }
  sim.Stop();
  state.counters["records"] = benchmark::Counter(records / static_cast<double>(state.iterations()));
  state.counters["records_per_s"] = benchmark::Counter(records / elapsed);
  state.counters["outside_share"] = benchmark::Counter(elapsed > 0 ? (elapsed - transport) / elapsed : 0);
}
BENCHMARK(BM_FullDownloadOverUsb)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
