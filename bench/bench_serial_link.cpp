// The serial link against the simulated receiver at the real 9600 baud wire
// rate: validation and a 500-packet D304 track transfer. The time the host
// adds on top of the bytes' own time on the wire (both directions,
// acknowledgements included) is reported as wire_ratio; paced_ratio compares
// with the time of the receiver's own bytes alone, the only ones the
// simulator paces (the host's acknowledgements cross the pseudo-terminal at
// once). GPSBabel downloads the same track log from the same simulator in the
// second benchmark, for comparison.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "garmin/GarminIds.h"
#include "link/GpsGarminSerial.h"
#include "sim/GarminSim.h"

namespace {

// Every packet of the transfer: records, one header, the points, completion.
constexpr int kTransferPackets = 500;
constexpr int kTrackPoints = kTransferPackets - 3;
constexpr double kBitsPerByte = 10.0;
constexpr double kBaud = 9600.0;

// The serial engine, counting the bytes that cross the port.
class CCountingSerial : public CGpsGarminSerial {
public:
  bool WriteCommsDevice(const uint8_t* data, unsigned length) override {
    const bool ok = CGpsGarminSerial::WriteCommsDevice(data, length);
    if (ok) bytes += length;
    if (ok) hostBytes += length;
    return ok;
  }
  bool ReadCommsDevice(uint8_t* buffer, unsigned size, unsigned& got) override {
    const bool ok = CGpsGarminSerial::ReadCommsDevice(buffer, size, got);
    if (ok) bytes += got;
    return ok;
  }
  uint64_t bytes = 0;
  uint64_t hostBytes = 0;
};

std::string TrackScenario() {
  std::string points;
  for (int i = 0; i < kTrackPoints; ++i) {
    char point[256];
    std::snprintf(
        point, sizeof point,
        R"(%s{"lat": %.6f, "lon": %.6f, "time": %d, "alt": %.1f, "distance": %.1f, "heart_rate": %d, "cadence": 85})",
        i == 0 ? "" : ",", 51.4779 + i * 1e-4, -0.0015 + i * 1e-4, 1700000000 + 2 * i, 40.0 + i % 7, i * 5.0,
        120 + i % 30);
    points += point;
  }
  return R"({"product_id": 484, "software_version": 350, "descriptions": ["Forerunner305 Software Version 3.50"],
             "serial_number": 3456789012,
             "protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304"],
             "faults": {"pacing_9600": true},
             "tracks": [{"ident": "BENCH", "points": [)" +
         points + "]}]}";
}

void BM_SerialLinkTrackTransfer(benchmark::State& state) {
  std::string error;
  std::unique_ptr<CGarminSim> sim = CGarminSim::FromJson(TrackScenario(), &error);
  std::string port;
  if (sim == nullptr || !sim->StartSerial(port)) {
    state.SkipWithError(("simulator: " + error).c_str());
    return;
  }
  sim->SetPacing(true);
  CCountingSerial gps;
  gps.SetDevicePath(port);
  gps.SetTimeout(1000);
  double elapsed = 0;
  double wire = 0;
  double receiverWire = 0;
  int packets = 0;
  for (auto _ : state) {
    gps.bytes = 0;
    gps.hostBytes = 0;
    packets = 0;
    const auto start = std::chrono::steady_clock::now();
    if (!gps.OpenGpsDevice(GPS_DIRECTION_RX) || !gps.TransmitCommand(CMD_TRANSFER_TRK)) {
      state.SkipWithError("validation or the track command failed");
      return;
    }
    do {
      if (!gps.ReceivePacket()) {
        state.SkipWithError("receive failed");
        return;
      }
      ++packets;
    } while (gps.GetPacket().id != APP_PID_XFER_CMPLT);
    const auto end = std::chrono::steady_clock::now();
    gps.CloseGpsDevice();
    const double seconds = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(seconds);
    elapsed += seconds;
    wire += static_cast<double>(gps.bytes) * kBitsPerByte / kBaud;
    receiverWire += static_cast<double>(gps.bytes - gps.hostBytes) * kBitsPerByte / kBaud;
  }
  sim->Stop();
  state.counters["packets"] = packets;
  state.counters["wire_seconds"] = wire / static_cast<double>(state.iterations());
  state.counters["wire_ratio"] = wire > 0 ? elapsed / wire : 0;
  state.counters["paced_ratio"] = receiverWire > 0 ? elapsed / receiverWire : 0;
}

// GPSBabel, an independent host, downloading the same track log.
void BM_GpsBabelTrackDownload(benchmark::State& state) {
  std::string error;
  std::unique_ptr<CGarminSim> sim = CGarminSim::FromJson(TrackScenario(), &error);
  std::string port;
  if (sim == nullptr || !sim->StartSerial(port)) {
    state.SkipWithError(("simulator: " + error).c_str());
    return;
  }
  sim->SetPacing(true);
  const std::string command = "gpsbabel -t -i garmin -f " + port + " -o gpx -F /dev/null >/dev/null 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("gpsbabel failed (is it installed?)");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  sim->Stop();
}

BENCHMARK(BM_SerialLinkTrackTransfer)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_GpsBabelTrackDownload)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
