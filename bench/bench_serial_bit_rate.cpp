// A 2,000-point track log from the simulated receiver, paced at its line
// speed: at 9600 bit/s, after switching to 115200, and GPSBabel with its own
// bit-rate option on the same simulator, in one run. The benchmark's time is
// the switched download; the counters hold each time in seconds and the two
// ratios (speedup over 9600, and GPSBabel's time over ours).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "garmin/GarminIds.h"
#include "link/GpsGarminSerial.h"
#include "sim/GarminSim.h"
#include "util/Util.h"

namespace {

constexpr int kTrackPoints = 2000;
constexpr unsigned kFastRate = 115200;

std::string TrackScenario() {
  std::string points;
  for (int i = 0; i < kTrackPoints; ++i) {
    char point[256];
    std::snprintf(
        point, sizeof point,
        R"(%s{"lat": %.6f, "lon": %.6f, "time": %d, "alt": %.1f, "distance": %.1f, "heart_rate": %d, "cadence": 85})",
        i == 0 ? "" : ",", 51.4779 + i * 1e-5, -0.0015 + i * 1e-5, 1700000000 + 2 * i, 40.0 + i % 7, i * 5.0,
        120 + i % 30);
    points += point;
  }
  return R"({"product_id": 484, "software_version": 350, "descriptions": ["Forerunner305 Software Version 3.50"],
             "serial_number": 3456789012,
             "protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304"],
             "tracks": [{"ident": "BENCH", "points": [)" +
         points + "]}]}";
}

std::unique_ptr<CGarminSim> StartPacedSim(std::string& port) {
  std::unique_ptr<CGarminSim> sim = CGarminSim::FromJson(TrackScenario());
  if (sim == nullptr || !sim->StartSerial(port)) return nullptr;
  sim->SetPacing(true);
  return sim;
}

// Validation, the bit-rate change (none for 9600), the track log and the
// return to 9600; seconds, or a negative number when the download failed.
double AgentDownload(unsigned bitRate) {
  std::string port;
  std::unique_ptr<CGarminSim> sim = StartPacedSim(port);
  if (sim == nullptr) return -1;
  CUtil::SetSerialBitRateForProcess(bitRate == 9600 ? 0 : bitRate);
  CGpsGarminSerial gps;
  gps.SetDevicePath(port);
  gps.SetTimeout(1000);
  const auto start = std::chrono::steady_clock::now();
  if (!gps.OpenGpsDevice(GPS_DIRECTION_RX) || gps.GetLinkBitRate() != bitRate ||
      !gps.TransmitCommand(CMD_TRANSFER_TRK)) {
    return -1;
  }
  int points = 0;
  do {
    if (!gps.ReceivePacket()) return -1;
    if (gps.GetPacket().id == APP_PID_TRK_DATA) ++points;
  } while (gps.GetPacket().id != APP_PID_XFER_CMPLT);
  gps.CloseGpsDevice();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return points == kTrackPoints && sim->BitRate() == 9600 ? seconds : -1;
}

double GpsBabelDownload() {
  std::string port;
  std::unique_ptr<CGarminSim> sim = StartPacedSim(port);
  if (sim == nullptr) return -1;
  const std::string command = "gpsbabel -t -i garmin,baud=" + std::to_string(kFastRate) + " -f " + port +
                              " -o gpx -F /dev/null >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return sim->BitRateChanges().empty() ? -1 : seconds;
}

void BM_TrackLog2000PointsBitRates(benchmark::State& state) {
  for (auto _ : state) {
    const double slow = AgentDownload(9600);
    const double fast = AgentDownload(kFastRate);
    const double babel = GpsBabelDownload();
    if (slow < 0 || fast < 0) {
      state.SkipWithError("the agent's download failed");
      return;
    }
    if (babel < 0) {
      state.SkipWithError("gpsbabel failed or did not switch (is it installed?)");
      return;
    }
    state.SetIterationTime(fast);
    state.counters["seconds_9600"] = slow;
    state.counters["seconds_115200"] = fast;
    state.counters["seconds_gpsbabel_115200"] = babel;
    state.counters["speedup_over_9600"] = slow / fast;
    state.counters["gpsbabel_over_agent"] = babel / fast;
  }
  CUtil::SetSerialBitRateForProcess(-1);
}

BENCHMARK(BM_TrackLog2000PointsBitRates)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
